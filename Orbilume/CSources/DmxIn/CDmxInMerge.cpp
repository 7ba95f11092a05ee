#include "Orbilume/CSources/DmxIn/CDmxInMerge.h"

#include <cstring>

#include "Common/Mac/CRunLoopThread.h"
#include "Common/Mac/CRunLoopTimer.h"
#include "Lib3/LSources/Mac/GetEventTimeMs.h"

CDmxInMerge::CDmxInMerge(void* sinkContext, Sink sink, CRunLoopThread* loop)
    : fSinkContext(sinkContext),
      fSink(sink),
      fTimer(new CRunLoopTimer(loop ? loop : CMainRunLoopSource::Get(), this, &Fire)) {}

CDmxInMerge::~CDmxInMerge() {
    delete fTimer;
}

uint32_t CDmxInMerge::TimeoutMs(uint32_t kind) {
    switch (kind) {
        case DmxInSource::kUsb:
            return 1000;
        case DmxInSource::kOsc:
            return 2500;
        case DmxInSource::kArtNet:
            return 10000;
        case DmxInSource::kSAcn:
            return 2500;
        default:
            return 0;
    }
}

void CDmxInMerge::Offer(const DmxInSource& source, uint32_t count, const uint8_t* slots) {
    if (count > 512) count = 512;
    {
        CPsxMutex::Locker lock(fMutex);
        uint32_t now = uint32_t(GetEventTimeMs());
        bool accept = false;
        if (source.kind == fCurrent.kind && source.address == fCurrent.address)
            accept = true;
        else if (source.priority > fCurrent.priority)
            accept = true;
        else
            accept = now - fLastAccepted >= TimeoutMs(fCurrent.kind);
        if (!accept) return;
        fCurrent = source;
        fLastAccepted = now;
        fLength = count;
        fData[0] = 0;
        if (count) std::memcpy(fData + 1, slots, count);
    }
    // One delivery for a burst: the timer is armed only when none is pending.
    if (!fPending.exchange(true)) fTimer->FireAfter(0);
}

void CDmxInMerge::Deliver() {
    fPending.store(false);
    DmxInSource source;
    uint32_t n;
    {
        CPsxMutex::Locker lock(fMutex);
        if (fCurrent.kind == DmxInSource::kNone) return;
        source = fCurrent;
        n = fLength + 1;
        std::memcpy(fOut, fData, n);
    }
    // The sink takes its own locks (the hub's); it is called without the merge's.
    if (fSink) fSink(fSinkContext, source, fOut, n);
}

DmxInSource CDmxInMerge::Current() {
    CPsxMutex::Locker lock(fMutex);
    return fCurrent;
}

void CDmxInMerge::Fire(void* self) {
    static_cast<CDmxInMerge*>(self)->Deliver();
}
