#pragma once

// One USB DMX interface per key in use. One user may claim an interface's input and one its output;
// the interface is closed and deleted when both are released. Refresh reopens interfaces that closed
// (device removed, transfer failure) and publishes 1 (open) or 0 (closed) per key in the state set.
//
// Threads: Acquire, Release, Refresh and the state set are main-thread only (the thread of the run loop
// given). A failed transfer ("CDmxIo_Close", on the input loop) and hot-plug reports only signal a
// refresh there. Deleting an interface takes the input loop's lock, so no completion runs on it then.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Orbilume/CSources/UsbDmx/CDmxIo.h"
#include "Platform/Foundation/Object.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/USB/UsbHost.h"

// What the users of an interface hold: sending with at most one frame waiting behind the one on the
// wire, input frames to a callback on the input loop, and coalesced timing sets.
class CDmxIO {
public:
    // On the input loop's thread: a received frame (start code and slots, 1..513 bytes), status 0.
    using InputCallback = void (*)(void* context, const uint8_t* data, uint32_t count, uint32_t status);
    enum : int { kSendQueued = 0, kSendClosed = 1, kSendBusy = 2 };

    CDmxIO(LHandler* upper, LAsyncLoop* loop, plat::UsbHost* host);
    ~CDmxIO();

    // 0 queued, 1 closed, 2 busy (the frame is dropped). At most 513 bytes are taken; count 0 queues
    // nothing.
    int Send(const uint8_t* data, uint32_t count);
    // One set in flight; then the latest values given meanwhile, the ones in between skipped.
    void SetTiming(uint32_t brk, uint32_t mab, uint32_t mbs);
    void SetInputCallback(void* context, InputCallback callback);
    bool IsOpen() const { return fIo->IsOpen(); }
    CDmxIo& Port() { return *fIo; }

private:
    static void SentDone(void* self, CDmxRequest* request);
    static void InputDone(void* self, CDmxRequest* request);
    static void TimingDone(void* self, CDmxTimingRequest* request, uint32_t status);

    LAsyncLoop* fLoop;
    std::unique_ptr<CDmxIo> fIo;
    CDmxRequest fOut;
    CDmxRequest fIn[2];
    bool fOutQueued = false;  // loop lock
    CDmxTimingRequest fTiming;
    bool fTimingBusy = false;  // loop lock
    bool fTimingWaiting = false;
    uint32_t fNext[3] = {};
    void* fInputContext = nullptr;  // loop lock
    InputCallback fInput = nullptr;
};

class CDmxIoManager : public LHandler {
public:
    enum Side : uint8_t { kInput, kOutput };
    // Writes 1 or 0 under the key in the USB interface state set (a preferences record).
    using StateWriter = void (*)(void* context, const std::string& key, int32_t value);

    // mainLoop: the main thread's run loop (refreshes and hot-plug reports run there). host null:
    // plat::UsbHost::Current().
    CDmxIoManager(LAsyncLoop* inputLoop, plat::RunLoop* mainLoop, StateWriter writer, void* context,
                  plat::UsbHost* host = nullptr);
    ~CDmxIoManager() override;

    // The interface of the key with that side claimed; null when the side is already claimed or the
    // key is empty. The interface is opened when it is made (it may stay closed until plugged).
    CDmxIO* Acquire(const std::string& key, Side side);
    void Release(CDmxIO* io, Side side);
    // Last entry first: keeps an open interface, else opens it again; writes 1 or 0 under its key.
    void Refresh();
    // Starts hot-plug reports (false when the backend cannot watch).
    [[nodiscard]] bool StartWatching();

    size_t EntryCount() const { return fEntries.size(); }
    LMessage Handle(const LMessage& msg) override;

private:
    struct Entry {
        std::unique_ptr<CDmxIO> io;
        std::string key;
        bool input = false;
        bool output = false;
    };
    int OpenEntry(Entry& entry);
    void Discard(std::unique_ptr<CDmxIO> io);
    static void RefreshNow(void* self);
    static void Plugged(void* self, plat::UsbWatch::Event event, const plat::UsbDeviceInfo& device);

    LAsyncLoop* fInputLoop;
    plat::RunLoop* fMainLoop;
    StateWriter fWriter;
    void* fContext;
    plat::UsbHost* fHost;
    std::vector<Entry> fEntries;  // main thread
    plat::Ref<plat::RunLoopSource> fRefresh;
    std::unique_ptr<plat::UsbWatch> fWatch;
};
