#include "Lib3/LSources/CoreData/LRsrcData.h"

#include "Platform/Resources/ResourceFile.h"

LRsrcData::LRsrcData(uint32_t type, const SRsrcRequest& request, ResourceProvider* provider) : mType(type) {
    URsrc::Fetch(*this, request, provider);
}

LRsrcData::~LRsrcData() {
    plat::Release(mHandle);
}

bool LRsrcData::Load(int32_t fileRef, const SRsrcRequest& request) {
    plat::ResourceHandle* handle = URsrc::Get1Resource(fileRef, mType, request);
    if (!handle) return false;
    plat::Release(mHandle);
    mHandle = handle;
    return true;
}

const uint8_t* LRsrcData::Bytes() const {
    return mHandle ? mHandle->Bytes() : nullptr;
}

size_t LRsrcData::Size() const {
    return mHandle ? mHandle->Size() : 0;
}
