#pragma once

#include <cstdint>
#include <string>

#include "Lib3/LSources/CoreString/LString.h"

// Keyed-value nodes over opaque handles (dictionaries). Reads of missing keys or of values of
// another type fail and leave outputs alone; writes through a read-only node are ignored.
class PrefsNode {
public:
    using Handle = void*;

    static constexpr int kReadOnly = 0;
    static constexpr int kWritable = 1;

    virtual ~PrefsNode() = default;
    // kWritable or kReadOnly.
    virtual int Mode() = 0;
    // The dictionary under the key, made (empty) when missing or not a dictionary; null when the
    // node is read-only or the parent is null.
    virtual Handle OpenSubWritable(Handle parent, const char* key) = 0;
    // The dictionary under the key, or null.
    virtual Handle OpenSub(Handle parent, const char* key) = 0;
    virtual void CloseSub(Handle handle) = 0;
    virtual void Remove(Handle parent, const char* key) = 0;
    // With a buffer copies min(length, size) bytes and sets size to that; without one sets size
    // to the full length. size 0 and false when the value is not data.
    virtual bool GetData(Handle parent, const char* key, void* buffer, uint32_t& size) = 0;
    virtual bool GetString(Handle parent, const char* key, LString& out) = 0;
    virtual void SetData(Handle parent, const char* key, const void* bytes, uint32_t count) = 0;
    virtual void SetString(Handle parent, const char* key, const LString& value) = 0;
    // The node's own root dictionary, or null.
    virtual Handle Root() = 0;
};

// A node over one dictionary of a preferences value.
class PrefsDictNode : public PrefsNode {
public:
    PrefsDictNode(Handle root, int mode) : mRoot(root), mMode(mode) {}
    int Mode() override { return mMode; }
    Handle OpenSubWritable(Handle parent, const char* key) override;
    Handle OpenSub(Handle parent, const char* key) override;
    void CloseSub(Handle) override {}
    void Remove(Handle parent, const char* key) override;
    bool GetData(Handle parent, const char* key, void* buffer, uint32_t& size) override;
    bool GetString(Handle parent, const char* key, LString& out) override;
    void SetData(Handle parent, const char* key, const void* bytes, uint32_t count) override;
    void SetString(Handle parent, const char* key, const LString& value) override;
    Handle Root() override { return mRoot; }

private:
    Handle mRoot;
    int mMode;
};

// The "prefs" dictionary of one application id (the current application for an empty id). Every
// store of an id shares one in-process value, so stores open at the same time see each other's
// edits and none overwrites another's. A writable store writes the value to its file when it
// closes, changed or not; a read-only store of an id without the value answers every lookup as
// absent.
class PrefsStore : public PrefsDictNode {
public:
    PrefsStore(const LString& appId, int mode);
    ~PrefsStore() override;
    PrefsStore(const PrefsStore&) = delete;
    PrefsStore& operator=(const PrefsStore&) = delete;

    // Writes the value now; false when the file could not be written (it then stays as it was).
    [[nodiscard]] bool Synchronize();

private:
    std::string mAppId;
    int mStoreMode;
};

// One sub-dictionary of another node, opened (writable when the target is) for its lifetime. The
// section is found again under its key on every use, so removing or replacing the key through any
// node leaves no dangling handle: reads then answer absent and writes make the section anew.
class PrefsSection : public PrefsNode {
public:
    PrefsSection(PrefsNode* target, const char* key);
    ~PrefsSection() override;
    PrefsSection(const PrefsSection&) = delete;
    PrefsSection& operator=(const PrefsSection&) = delete;

    int Mode() override;
    Handle OpenSubWritable(Handle parent, const char* key) override;
    Handle OpenSub(Handle parent, const char* key) override;
    void CloseSub(Handle handle) override;
    void Remove(Handle parent, const char* key) override;
    bool GetData(Handle parent, const char* key, void* buffer, uint32_t& size) override;
    bool GetString(Handle parent, const char* key, LString& out) override;
    void SetData(Handle parent, const char* key, const void* bytes, uint32_t count) override;
    void SetString(Handle parent, const char* key, const LString& value) override;
    // The section's dictionary as it is now, or null.
    Handle Root() override;

    // The same on the opened section (nothing without one).
    void Remove(const char* key) { Remove(Root(), key); }
    bool GetData(const char* key, void* buffer, uint32_t& size) { return GetData(Root(), key, buffer, size); }
    bool GetString(const char* key, LString& out) { return GetString(Root(), key, out); }
    void SetData(const char* key, const void* bytes, uint32_t count) {
        SetData(WritableRoot(), key, bytes, count);
    }
    void SetString(const char* key, const LString& value) { SetString(WritableRoot(), key, value); }

private:
    // The section's dictionary, made again when a writable target lost it.
    Handle WritableRoot();

    PrefsNode* mTarget;
    std::string mKey;
    bool mOpened = false;
};
