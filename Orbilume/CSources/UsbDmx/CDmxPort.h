#pragma once

// The side of a USB DMX interface that its owner sees: output and input request queues, the two-frame
// ring of received frames, and the error report. CDmxIo adds the USB protocol.
//
// Threads: everything guarded by the owner's event-loop lock (LAsyncLoop::Lock); requests may be queued
// from any thread. Completions of input requests and the "CDmxIo_Close" message come on the loop's
// thread; an output request completes on whichever thread sends its frame (its bytes are copied by
// then).

#include <atomic>
#include <cstdint>

#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LSLinkBase.h"
#include "Orbilume/CSources/UsbDmx/CDmxRequest.h"
#include "Orbilume/CSources/UsbDmx/UsbDmxReports.h"

// Sent to the upper handler, on the loop's thread, after a transfer failed while the port was open.
L_MESSAGE_ID(CDmxIo_Close);

class CDmxPort : public LHandler {
public:
    enum : int { kOpenOk = 0, kOpenFailed = 1, kOpenExclusive = 2 };
    using FrameListener = void (*)(void* context, uint8_t startCode, uint32_t slotCount);

    CDmxPort(LHandler* upper, LAsyncLoop* loop);
    ~CDmxPort() override;

    LMessage Handle(const LMessage& msg) override;

    // 0 open (also when already open), 1 failure, 2 the device is in exclusive use elsewhere. Drops
    // undelivered frames first.
    [[nodiscard]] int Open(const char* path);
    // Completes the queued output requests unsent and closes the device; input and timing requests
    // stay queued.
    void Close();
    bool IsOpen() const { return fOpen.load(std::memory_order_acquire); }
    // Open and no transfer has failed since.
    bool IsWorking();
    void QueueInput(CDmxRequest* request);
    // Completes at once when closed.
    void QueueOutput(CDmxRequest* request);
    // Takes a queued input request back; false when it was not queued.
    bool CancelInput(CDmxRequest* request);
    uint32_t DeviceRelease() const { return fRelease; }
    // Told of every delivered frame. At most kMaxListeners.
    [[nodiscard]] bool AddFrameListener(void* context, FrameListener listener);
    void RemoveFrameListener(void* context, FrameListener listener);

    static constexpr int kMaxListeners = 4;

protected:
    virtual int OpenTransport(const char* path) = 0;
    virtual void CloseTransport() = 0;
    // Sends the first n bytes of fStaging.
    virtual void WriteFrame(uint32_t n) = 0;
    virtual void ReadMore() = 0;

    // Loop lock held by the callers of these.
    void SendStep();
    void DeliveryStep();
    // A transfer failed while open: no further transfers, and "CDmxIo_Close" on the loop's thread.
    void Broken();

    LAsyncLoop* fLoop;
    uint32_t fRelease = 0;
    std::atomic<bool> fOpen{false};
    bool fOutputBusy = false;  // loop lock
    bool fBroken = false;      // loop lock
    LSLinkBase fOutput;        // loop lock
    LSLinkBase fInput;         // loop lock
    usbdmx::FrameRing fRing;   // loop lock
    uint8_t fStaging[usbdmx::kMaxFrame] = {};

private:
    LAsyncSignal fError;
    struct Listener {
        void* context;
        FrameListener function;
    };
    Listener fListeners[kMaxListeners] = {};  // loop lock
};
