#pragma once

// The UsbHost over libusb-1.0. Listing and hot-plug use one libusb context; every opened device gets a
// context of its own whose descriptors become descriptor sources on the claiming loop, so transfer
// callbacks run on that loop's thread. A kernel driver is never detached: a claim it refuses is
// reported as exclusive use. Serial numbers come from sysfs, so listing needs no access to the device
// node; opening without access reports kAccessDenied (see UsbAccessHint).

#include <mutex>
#include <vector>

#include "Platform/Foundation/Object.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/USB/UsbHost.h"

struct libusb_context;
struct libusb_device;

namespace plat {

class LibusbHost : public UsbHost {
public:
    LibusbHost();
    ~LibusbHost() override;

    bool IsAvailable() const override { return fContext != nullptr; }
    bool HasHotplug() const override;
    std::vector<UsbDeviceInfo> Devices(const UsbMatch& match) override;
    UsbOpenResult Open(const char* path, std::unique_ptr<UsbDevice>& out) override;
    std::unique_ptr<UsbWatch> Watch(const UsbMatch& match, RunLoop* loop, UsbWatch::Callback callback,
                                    void* context) override;

    // The description of a listed libusb device (serial from sysfs).
    static bool Describe(libusb_device* device, UsbDeviceInfo& out);

private:
    class LibusbWatch;
    void AttachEvents(RunLoop* loop);
    void DetachEvents();
    static void EventsReady(FdSource* source, int fd, uint32_t ready, void* self);

    libusb_context* fContext = nullptr;
    std::mutex fLock;
    int fWatchCount = 0;
    std::vector<Ref<FdSource>> fSources;
};

}  // namespace plat
