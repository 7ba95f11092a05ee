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
    CDmxIo* Acquire(const std::string& key, Side side);
    void Release(CDmxIo* io, Side side);
    // Last entry first: keeps an open interface, else opens it again; writes 1 or 0 under its key.
    void Refresh();
    // Starts hot-plug reports (false when the backend cannot watch).
    [[nodiscard]] bool StartWatching();

    size_t EntryCount() const { return fEntries.size(); }
    LMessage Handle(const LMessage& msg) override;

private:
    struct Entry {
        std::unique_ptr<CDmxIo> io;
        std::string key;
        bool input = false;
        bool output = false;
    };
    int OpenEntry(Entry& entry);
    void Discard(std::unique_ptr<CDmxIo> io);
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
