#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Platform/Foundation/Object.h"
#include "Platform/Video/PixelBuffer.h"

namespace plat {

// What a capture device delivers (a mask).
enum CaptureMediaKind : uint32_t { kCaptureVideo = 1, kCaptureMuxed = 2, kCaptureAudio = 4 };

struct CaptureDeviceInfo {
    std::string name;
    uint32_t kinds = 0;
};

// Called on the stream's own thread: each newest frame (BGRA, retained for the callee), and once
// when the device went away (no frame follows).
struct CaptureCallbacks {
    std::function<void(Ref<PixelBuffer>)> frame;
    std::function<void()> gone;
};

// The frames of one open device, delivered by a thread of the stream's own while it runs.
class CaptureStream {
public:
    virtual ~CaptureStream() = default;  // stopped first
    // False when the device cannot stream (gone, busy).
    [[nodiscard]] virtual bool Start() = 0;
    // Returns once no callback runs any more; nothing when not running.
    virtual void Stop() = 0;
};

// One kind of capture device (V4L2 nodes, synthetic devices). Main thread only.
class CaptureProvider {
public:
    virtual ~CaptureProvider() = default;
    // The devices present now, under the provider's own names (which may repeat).
    virtual std::vector<CaptureDeviceInfo> Devices() = 0;
    // index: the device's position in Devices(); null when it is gone or cannot be opened.
    virtual std::unique_ptr<CaptureStream> Open(size_t index, CaptureCallbacks callbacks) = 0;

    // Set by the registry; the provider calls it on the main thread when a device came (true) or
    // went (false).
    std::function<void(bool connected)> onChange;
};

}  // namespace plat
