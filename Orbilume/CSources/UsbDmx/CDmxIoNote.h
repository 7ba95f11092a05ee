#pragma once

// Hot-plug reports of the USB DMX vendor's devices: each arrival or removal sends "CDmxIoNote_Change"
// to the upper handler, on the run loop given (the thread that made the note). The first reports
// after Start are the devices already present. Main thread only.

#include <memory>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Platform/USB/UsbHost.h"

namespace plat {
class RunLoop;
}

L_MESSAGE_ID(CDmxIoNote_Change);

class CDmxIoNote : public LHandler {
public:
    // loop null: the current thread's run loop; host null: plat::UsbHost::Current().
    CDmxIoNote(LHandler* upper, plat::RunLoop* loop = nullptr, plat::UsbHost* host = nullptr);
    ~CDmxIoNote() override;
    CDmxIoNote(const CDmxIoNote&) = delete;
    CDmxIoNote& operator=(const CDmxIoNote&) = delete;

    // False when the backend cannot watch.
    [[nodiscard]] bool Start();
    bool IsWatching() const { return fWatch != nullptr; }
    plat::UsbHost& Host() const { return *fHost; }
    static plat::UsbMatch Match();

private:
    static void Plugged(void* self, plat::UsbWatch::Event event, const plat::UsbDeviceInfo& device);

    plat::RunLoop* fLoop;
    plat::UsbHost* fHost;
    std::unique_ptr<plat::UsbWatch> fWatch;
};
