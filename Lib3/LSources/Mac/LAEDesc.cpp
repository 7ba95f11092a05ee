#include "Lib3/LSources/Mac/LAEDesc.h"

#include "Platform/AppKit/Event.h"

LAEDesc::~LAEDesc() {
    if (!fBorrowed) plat::AppleEvents::DisposeDesc(fDesc);
}

plat::OSErr LAEDesc::Create(plat::DescType type, const void* data, uint32_t size) {
    Dispose();
    fBorrowed = false;
    return plat::AppleEvents::CreateDesc(type, data, size, fDesc);
}

LAEDesc& LAEDesc::Dispose() {
    if (fBorrowed)
        fDesc = plat::AEDesc{};
    else
        plat::AppleEvents::DisposeDesc(fDesc);
    fBorrowed = false;
    return *this;
}

void LAEDesc::Borrow(const plat::AEDesc* desc) {
    Dispose();
    if (desc) {
        fDesc = *desc;
        fBorrowed = true;
        return;
    }
    (void)plat::AppleEvents::CreateList(fDesc);
}

plat::OSErr LAEDesc::GetNthPtr(uint32_t index, plat::DescType desiredType, void* buffer,
                               uint32_t& size) const {
    const uint32_t capacity = size;
    if (index == UINT32_MAX) {
        size = 0;
        return plat::kErrAEDescNotFound;
    }
    plat::DescType type = desiredType;
    return plat::AppleEvents::GetNthPtr(fDesc, index + 1, type, buffer, capacity, size);
}

bool AEWaitIdle(const plat::Event* event, uint32_t* sleepTicks, CRgn** mouseRegion) {
    if (!event || event->type == plat::EventType::kNone) {
        if (sleepTicks) *sleepTicks = 1;
        if (mouseRegion) *mouseRegion = nullptr;
    }
    return false;
}
