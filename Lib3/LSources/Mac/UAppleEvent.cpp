#include "Lib3/LSources/Mac/UAppleEvent.h"

#include <atomic>

#include "Lib3/LSources/Mac/LAEDesc.h"

namespace {

// The framework's wait routine, run on the null event while a reply is awaited.
void WaitIdle() {
    uint32_t sleepTicks = 0;
    CRgn* mouseRegion = nullptr;
    (void)AEWaitIdle(nullptr, &sleepTicks, &mouseRegion);
}

std::atomic<void (*)()> gIdle{&WaitIdle};

}  // namespace

plat::OSErr UAppleEvent::Create(plat::AEDesc& event, const plat::AEDesc& target, uint32_t eventClass,
                                uint32_t eventID) {
    event = plat::AEDesc{};
    return plat::AppleEvents::CreateEvent(target, eventClass, eventID, event);
}

plat::OSErr UAppleEvent::PutParamPtr(plat::AEDesc& event, plat::AEKeyword key, plat::DescType type,
                                     const void* data, uint32_t size) {
    return plat::AppleEvents::PutParamPtr(event, key, type, data, size);
}

plat::OSErr UAppleEvent::PutParamDesc(plat::AEDesc& event, plat::AEKeyword key, const plat::AEDesc& desc) {
    return plat::AppleEvents::PutParamDesc(event, key, desc);
}

plat::OSErr UAppleEvent::GetParamList(const plat::AEDesc& event, plat::AEKeyword key, plat::AEDesc& list) {
    return plat::AppleEvents::GetParamDesc(event, key, plat::kTypeList, list);
}

plat::OSErr UAppleEvent::GetParamPtr(const plat::AEDesc& event, plat::AEKeyword key, plat::DescType& type,
                                     void* buffer, uint32_t& size) {
    uint32_t actual = 0;
    const plat::OSErr err = plat::AppleEvents::GetParamPtr(event, key, type, buffer, size, actual);
    size = err == plat::kNoErr ? (actual < size ? actual : size) : 0;
    return err;
}

plat::OSErr UAppleEvent::Send(const plat::AEDesc& event, plat::AEDesc* reply, int32_t timeout) {
    return plat::AppleEvents::Send(event, reply, timeout, reply ? gIdle.load() : nullptr);
}

void UAppleEvent::SetIdleRoutine(void (*idle)()) {
    gIdle.store(idle ? idle : &WaitIdle);
}
