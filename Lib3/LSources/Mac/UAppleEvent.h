#pragma once

#include <cstdint>

#include "Platform/Scripting/AppleEvent.h"

// Building and sending Apple events.
struct UAppleEvent {
    static constexpr int32_t kNoTimeOut = -2;

    static plat::OSErr Create(plat::AEDesc& event, const plat::AEDesc& target, uint32_t eventClass,
                              uint32_t eventID);
    static plat::OSErr PutParamPtr(plat::AEDesc& event, plat::AEKeyword key, plat::DescType type,
                                   const void* data, uint32_t size);
    static plat::OSErr PutParamDesc(plat::AEDesc& event, plat::AEKeyword key, const plat::AEDesc& desc);
    // A parameter as a list descriptor.
    static plat::OSErr GetParamList(const plat::AEDesc& event, plat::AEKeyword key, plat::AEDesc& list);
    // On error size becomes 0.
    static plat::OSErr GetParamPtr(const plat::AEDesc& event, plat::AEKeyword key, plat::DescType& type,
                                   void* buffer, uint32_t& size);
    // With a reply descriptor the call waits for the reply, running the idle routine meanwhile.
    static plat::OSErr Send(const plat::AEDesc& event, plat::AEDesc* reply, int32_t timeout);
    // The idle routine run while a reply is awaited; null restores the framework's (AEWaitIdle).
    static void SetIdleRoutine(void (*idle)());
};
