#include "Common/Mac/PrefsStore.h"

#include <cstring>

#include "Platform/Preferences/Preferences.h"

namespace {

plat::PrefNode* Dict(PrefsNode::Handle h) {
    return static_cast<plat::PrefNode*>(h);
}

}  // namespace

PrefsNode::Handle PrefsDictNode::OpenSubWritable(Handle parent, const char* key) {
    if (mMode != kWritable || !parent) return nullptr;
    plat::PrefNode* child = plat::DictGet(Dict(parent), key);
    if (plat::TypeOf(child) == plat::PrefType::Dictionary) return child;
    return plat::DictSetDictionary(Dict(parent), key);
}

PrefsNode::Handle PrefsDictNode::OpenSub(Handle parent, const char* key) {
    plat::PrefNode* child = plat::DictGet(Dict(parent), key);
    return plat::TypeOf(child) == plat::PrefType::Dictionary ? child : nullptr;
}

void PrefsDictNode::Remove(Handle parent, const char* key) {
    if (mMode == kWritable) plat::DictRemove(Dict(parent), key);
}

bool PrefsDictNode::GetData(Handle parent, const char* key, void* buffer, uint32_t& size) {
    const uint8_t* bytes = nullptr;
    size_t length = 0;
    if (!plat::GetData(plat::DictGet(Dict(parent), key), bytes, length)) {
        size = 0;
        return false;
    }
    if (!buffer) {
        size = uint32_t(length);
        return true;
    }
    if (length < size) size = uint32_t(length);
    if (size) std::memcpy(buffer, bytes, size);
    return true;
}

bool PrefsDictNode::GetString(Handle parent, const char* key, LString& out) {
    std::string text;
    if (!plat::GetString(plat::DictGet(Dict(parent), key), text)) return false;
    out = LString(text.data(), uint32_t(text.size()));
    return true;
}

void PrefsDictNode::SetData(Handle parent, const char* key, const void* bytes, uint32_t count) {
    if (mMode == kWritable) plat::DictSetData(Dict(parent), key, bytes, count);
}

void PrefsDictNode::SetString(Handle parent, const char* key, const LString& value) {
    if (mMode == kWritable) plat::DictSetString(Dict(parent), key, std::string(value.CStr(), value.Length()));
}

PrefsStore::PrefsStore(const LString& appId, int mode)
    : PrefsDictNode(plat::Preferences::AppDictionary(appId.CStr(), "prefs", mode == kWritable),
                    mode == kWritable ? kWritable : kReadOnly),
      mAppId(appId.CStr()),
      mStoreMode(mode) {}

PrefsStore::~PrefsStore() {
    // A destructor has no one to tell: a failed write leaves the file as it was.
    if (mStoreMode == kWritable && Root()) (void)Synchronize();
}

bool PrefsStore::Synchronize() {
    return Root() && plat::Preferences::Synchronize(mAppId);
}

PrefsSection::PrefsSection(PrefsNode* target, const char* key) : mTarget(target), mKey(key ? key : "") {
    if (!mTarget || !key) return;
    Handle root = mTarget->Root();
    if (!root) return;
    mOpened = (mTarget->Mode() == kWritable ? mTarget->OpenSubWritable(root, key)
                                            : mTarget->OpenSub(root, key)) != nullptr;
}

PrefsSection::~PrefsSection() {
    if (Handle h = Root()) mTarget->CloseSub(h);
}

PrefsNode::Handle PrefsSection::Root() {
    if (!mOpened) return nullptr;
    Handle root = mTarget->Root();
    return root ? mTarget->OpenSub(root, mKey.c_str()) : nullptr;
}

PrefsNode::Handle PrefsSection::WritableRoot() {
    if (!mOpened || mTarget->Mode() != kWritable) return nullptr;
    Handle root = mTarget->Root();
    return root ? mTarget->OpenSubWritable(root, mKey.c_str()) : nullptr;
}

int PrefsSection::Mode() {
    return mTarget ? mTarget->Mode() : kReadOnly;
}

PrefsNode::Handle PrefsSection::OpenSubWritable(Handle parent, const char* key) {
    return mTarget ? mTarget->OpenSubWritable(parent, key) : nullptr;
}

PrefsNode::Handle PrefsSection::OpenSub(Handle parent, const char* key) {
    return mTarget ? mTarget->OpenSub(parent, key) : nullptr;
}

void PrefsSection::CloseSub(Handle handle) {
    if (mTarget) mTarget->CloseSub(handle);
}

void PrefsSection::Remove(Handle parent, const char* key) {
    if (mTarget && parent) mTarget->Remove(parent, key);
}

bool PrefsSection::GetData(Handle parent, const char* key, void* buffer, uint32_t& size) {
    if (!mTarget || !parent) {
        size = 0;
        return false;
    }
    return mTarget->GetData(parent, key, buffer, size);
}

bool PrefsSection::GetString(Handle parent, const char* key, LString& out) {
    return mTarget && parent && mTarget->GetString(parent, key, out);
}

void PrefsSection::SetData(Handle parent, const char* key, const void* bytes, uint32_t count) {
    if (mTarget && parent) mTarget->SetData(parent, key, bytes, count);
}

void PrefsSection::SetString(Handle parent, const char* key, const LString& value) {
    if (mTarget && parent) mTarget->SetString(parent, key, value);
}
