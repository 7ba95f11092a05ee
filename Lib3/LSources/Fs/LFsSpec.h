#pragma once

#include "Lib3/LSources/CoreString/LString.h"

// Names a file or folder: a file URL "file:///" volume "/" segment "/" ..., every segment
// percent-encoded (CURLU::Encode). A folder's spec may end in "/". Copies share the text; two specs
// are equal when their texts are equal byte for byte. The empty spec has the empty text.
class LFsSpec : public LHandleBase {
public:
    LFsSpec() : LHandleBase(LString::GetNullData()) {}
    explicit LFsSpec(const LString& text) : LHandleBase(text.Data()) {}

    const unsigned char* Text() const { return Str()->Text(); }
    const char* CStr() const { return reinterpret_cast<const char*>(Text()); }
    uint32_t Length() const { return Str()->Length(); }
    bool IsEmpty() const { return Length() == 0; }
    // The text, shared.
    LString GetText() const {
        LString s;
        static_cast<LHandleBase&>(s) = *this;
        return s;
    }

    // The decoded leaf name.
    LString name() const;

    bool operator==(const LFsSpec& other) const;

    // Replaces the leaf; a spec ending in "/" gets the name inside the folder.
    void SetName(const unsigned char* name);
    void SetName(const char* name) { SetName(reinterpret_cast<const unsigned char*>(name)); }
    // Inserts the decimal n before the leaf's extension: notes.txt becomes notes2.txt.
    void Suffix(int n);

    // File-name equality with ASCII case folding.
    static bool samename(const unsigned char* a, const unsigned char* b);

private:
    const LStringData* Str() const { return static_cast<const LStringData*>(Data()); }
};

class CFileSysU {
public:
    // The spec sharing text that already is spec text.
    static LFsSpec FsSpecFromPath(const LString& specText) { return LFsSpec(specText); }
};
