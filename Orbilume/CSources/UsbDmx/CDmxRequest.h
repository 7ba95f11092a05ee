#pragma once

// The requests that travel between a DMX interface's owner and its port (CDmxPort, CDmxIo): a DMX
// frame to send or to fill, and a signal-timing read or write. The owner allocates them and keeps them
// until they complete.

#include <cstdint>

#include "Lib3/LSources/CoreData/LSLinkBase.h"

class CDmxRequest;
class CDmxTimingRequest;

using DmxRequestDone = void (*)(void* context, CDmxRequest* request);
// status 0 done, 1 failed, 2 aborted.
using DmxTimingDone = void (*)(void* context, CDmxTimingRequest* request, uint32_t status);

// One DMX frame: start code and up to 512 slots.
class CDmxRequest : public SSLink {
public:
    static constexpr uint32_t kMaxSize = 513;

    CDmxRequest() = default;
    CDmxRequest(void* context, DmxRequestDone function) : fContext(context), fFunction(function) {}

    void SetCompletion(void* context, DmxRequestDone function) {
        fContext = context;
        fFunction = function;
    }
    uint32_t Size() const { return fSize; }
    // Clamps to 1..513; bytes added by growing are zero.
    void SetSize(uint32_t size);
    uint8_t* Data() { return fData; }
    const uint8_t* Data() const { return fData; }
    void Complete() {
        if (fFunction) fFunction(fContext, this);
    }

private:
    void* fContext = nullptr;
    DmxRequestDone fFunction = nullptr;
    uint32_t fSize = 1;
    uint8_t fData[kMaxSize] = {};
};

// Break, mark-after-break and mark-between-slots in the interface's timing units.
class CDmxTimingRequest : public SSLink {
public:
    uint32_t brk = 0;
    uint32_t mab = 0;
    uint32_t mbs = 0;
    void* context = nullptr;
    DmxTimingDone function = nullptr;
};
