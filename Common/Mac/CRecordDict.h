#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Common/Mac/PrefsStore.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"

// A dictionary of a keyed-value node seen as a record store: texts, bytes, and lists of
// integers or floats kept as texts (each number followed by one blank). A view whose handle is
// null (a missing child) fails every read.
class PrefsDictView {
public:
    PrefsDictView(PrefsNode* node, PrefsNode::Handle handle) : mNode(node), mHandle(handle) {}

    bool IsValid() const { return mNode && mHandle; }
    PrefsDictView OpenChild(const char* key) const;
    PrefsDictView CreateChild(const char* key) const;
    void Close() const;
    void Remove(const char* key) const;

    void SetText(const char* key, const LString& text) const;
    bool GetText(const char* key, LString& text) const;
    void SetBytes(const char* key, const void* bytes, uint32_t n) const;
    bool GetBytes(const char* key, std::vector<uint8_t>& bytes) const;
    void SetIntList(const char* key, const int64_t* values, uint32_t n) const;
    bool GetIntList(const char* key, std::vector<int64_t>& values) const;
    void SetFloatList(const char* key, const double* values, uint32_t n) const;
    bool GetFloatList(const char* key, std::vector<double>& values) const;

    // A prefix followed by the decimal index ("a0", "s12").
    static std::string IndexedKey(const char* prefix, uint32_t index);

private:
    PrefsNode* mNode;
    PrefsNode::Handle mHandle;
};

// Records in a dictionary: every field with a tag is stored under the tag's text (leading blanks
// skipped); sub-records and record arrays become nested dictionaries. No editor is used, so no
// undo entries are made; a record in a holder broadcasts its changes as usual.
class CRecordDict {
public:
    static void ToDictionary(const PrefsDictView& dict, CRecordRef ref);
    // Resets the record to its defaults, then reads what the dictionary holds.
    static void FromDictionary(const PrefsDictView& dict, CRecordRef ref);

    // The key of a tag: its four characters without leading blanks.
    static std::string TagKey(uint32_t tag);

    static constexpr uint32_t kMaxDepth = 64;
};
