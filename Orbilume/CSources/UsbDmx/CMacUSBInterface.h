#pragma once

// One USB interface of a device, opened by path through plat::UsbHost, with asynchronous interrupt
// or bulk reads and writes and control requests. Completions of each kind (reads, writes, control
// requests) reach their functions in issue order, on the thread of the event loop handed in, with the
// loop lock held. A call the backend refuses completes at once, before it returns, on the calling
// thread, also under the loop lock.
//
// Threads: Open, the Async calls and Close from any thread. Close aborts every pending transfer and
// returns once each has completed (aborted), at most about a second later; on the loop's own thread it
// completes them itself.

#include <cstdint>
#include <memory>

#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LSLinkBase.h"
#include "Orbilume/CSources/UsbDmx/CMacUSBRequest.h"
#include "Platform/USB/UsbHost.h"

// Setup words of a control request.
struct SUSBSetup {
    uint8_t bmRequestType = 0;
    uint8_t bRequest = 0;
    uint16_t wValue = 0;
    uint16_t wIndex = 0;
};

class CMacUSBInterface : public LHandler {
public:
    enum : int { kOpenOk = 0, kOpenFailed = 1, kOpenNoDevice = 2, kOpenExclusive = 3 };
    enum : uint8_t { kTransferInterrupt = 3 };
    enum : uint8_t { kDirectionOut = 0, kDirectionIn = 1 };

    // host null: plat::UsbHost::Current() at each Open.
    CMacUSBInterface(LHandler* upper, LAsyncLoop* loop, plat::UsbHost* host = nullptr);
    ~CMacUSBInterface() override;

    LMessage Handle(const LMessage& msg) override;

    virtual bool IsOpen() const;
    // 0 open (also when already open), 1 failure, 2 nothing at the path, 3 held exclusively elsewhere.
    [[nodiscard]] virtual int Open(const char* path);
    virtual void Close();
    virtual std::unique_ptr<CMacUSBRequest> NewRequest();
    // The index-th (0 = first) pipe of the transfer type and direction, with its endpoint number.
    [[nodiscard]] virtual bool FindPipe(uint8_t type, uint8_t direction, uint32_t index, uint8_t& pipe,
                                        uint8_t& endpoint);
    virtual void ReadPipeAsync(CMacUSBRequest* request, uint8_t pipe, void* buffer, uint32_t length,
                               void* context, USBCompletion function);
    virtual void WritePipeAsync(CMacUSBRequest* request, uint8_t pipe, const void* buffer, uint32_t length,
                                void* context, USBCompletion function);
    virtual void ControlRequestAsync(CMacUSBRequest* request, const SUSBSetup& setup, void* data,
                                     uint16_t length, void* context, USBCompletion function);
    virtual void AbortPipe(uint8_t pipe);
    // bcdDevice; non-zero result when closed.
    [[nodiscard]] virtual int GetDeviceReleaseNumber(uint32_t& out);

    // Seconds Close waits for the backend to give back aborted transfers.
    static constexpr double kCloseLimit = 1.0;

private:
    enum Kind { kRead, kWrite, kControl };
    void Start(Kind kind, CMacUSBRequest* request, uint8_t pipe, void* buffer, uint32_t length, void* context,
               USBCompletion function, const SUSBSetup* setup);
    // Loop lock held: completes every finished request at the head of each list.
    void Dispatch();
    bool HasPending();
    void CompleteLeftovers();
    static void Completed(void* request, const plat::UsbCompletion& completion);
    plat::UsbHost& Host() { return fHost ? *fHost : plat::UsbHost::Current(); }

    LAsyncLoop* fLoop;
    plat::UsbHost* fHost;
    LAsyncSignal fSignal;
    LSLinkBase fLists[3];                            // loop lock
    std::unique_ptr<plat::UsbInterface> fInterface;  // loop lock; none when closed
};
