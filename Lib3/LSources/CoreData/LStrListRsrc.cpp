#include "Lib3/LSources/CoreData/LStrListRsrc.h"

#include <cstring>

#include "Platform/Foundation/Bytes.h"
#include "Platform/Resources/ResourceFile.h"

LStrListRsrc::LStrListRsrc(const SRsrcRequest& request, ResourceProvider* provider, uint32_t type)
    : mType(type) {
    URsrc::Fetch(*this, request, provider);
}

LStrListRsrc::~LStrListRsrc() {
    plat::Release(mHandle);
}

bool LStrListRsrc::Load(int32_t fileRef, const SRsrcRequest& request) {
    plat::ResourceHandle* handle = URsrc::Get1Resource(fileRef, mType, request);
    if (!handle) return false;
    plat::Release(mHandle);
    mHandle = handle;
    const uint8_t* bytes = handle->Bytes();
    mCount = handle->Size() >= 2 ? plat::LoadBE16(bytes) : 0;
    mIndex = 0;
    mOffset = 2;
    return true;
}

LString LStrListRsrc::GetString(uint32_t index) {
    if (index >= mCount || !mHandle) return LString();
    if (index < mIndex) {
        mIndex = 0;
        mOffset = 2;
    }
    const uint8_t* bytes = mHandle->Bytes();
    const size_t size = mHandle->Size();
    // A list whose strings run out before its count reads as empty strings from there on.
    while (mIndex < index && mOffset < size) {
        const void* zero = std::memchr(bytes + mOffset, 0, size - mOffset);
        mOffset = zero ? uint32_t(static_cast<const uint8_t*>(zero) - bytes) + 1 : uint32_t(size);
        ++mIndex;
    }
    if (mIndex < index || mOffset >= size) return LString();
    const void* zero = std::memchr(bytes + mOffset, 0, size - mOffset);
    const size_t end = zero ? size_t(static_cast<const uint8_t*>(zero) - bytes) : size;
    return LString(bytes + mOffset, uint32_t(end - mOffset));
}

namespace {

class StrListBlock : public LHandleData {
public:
    StrListBlock(const SRsrcRequest& request, ResourceProvider* provider, uint32_t type)
        : list(request, provider, type) {}
    LStrListRsrc list;
};

}  // namespace

LStrListRsrcH::LStrListRsrcH(const SRsrcRequest& request, ResourceProvider* provider, uint32_t type)
    : LHandleBase(new StrListBlock(request, provider, type)) {}

LStrListRsrc* LStrListRsrcH::List() const {
    return Data() ? &static_cast<StrListBlock*>(Data())->list : nullptr;
}

LString LStrListRsrcH::GetString(uint32_t index) const {
    LStrListRsrc* list = List();
    return list ? list->GetString(index) : LString();
}

uint32_t LStrListRsrcH::Count() const {
    LStrListRsrc* list = List();
    return list ? list->Count() : 0;
}
