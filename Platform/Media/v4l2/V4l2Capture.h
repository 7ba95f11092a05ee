#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/Foundation/Object.h"
#include "Platform/Media/CaptureDevice.h"

struct udev;
struct udev_monitor;

namespace plat {

class FdSource;

// Video capture nodes (/dev/videoN) found through libudev, named by their card name; metadata-only
// nodes are left out. Streams read through libv4l2 (which converts exotic camera formats) with four
// mmap buffers and convert to BGRA. A udev monitor on the main run loop announces nodes that come
// and go. Main thread only, but for the streams' threads.
class V4l2Capture final : public CaptureProvider {
public:
    V4l2Capture();
    ~V4l2Capture() override;

    std::vector<CaptureDeviceInfo> Devices() override;
    std::unique_ptr<CaptureStream> Open(size_t index, CaptureCallbacks callbacks) override;

private:
    struct Node {
        std::string path;
        std::string card;
    };
    void Scan();
    static void Readable(FdSource* source, int fd, uint32_t ready, void* self);

    udev* fUdev = nullptr;
    udev_monitor* fMonitor = nullptr;
    Ref<FdSource> fSource;
    std::vector<Node> fNodes;
    bool fScanned = false;
};

}  // namespace plat
