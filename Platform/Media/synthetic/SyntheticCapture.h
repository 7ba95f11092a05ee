#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/Media/CaptureDevice.h"

namespace plat {

struct SyntheticDeviceSpec {
    std::string name;
    int32_t width = 320;
    int32_t height = 240;
    double fps = 30;
    uint32_t kinds = kCaptureVideo;
};

// "name" or "name:WxH@fps"; false for an empty name or numbers out of range.
bool ParseSyntheticDeviceSpec(const std::string& text, SyntheticDeviceSpec& spec);

// Devices made and removed at run time, for tests and demonstrations. Each frame shows its frame
// number (from 1) in the top band as 32 bars, most significant bit on the left, white for 1 and
// black for 0; the rest of the frame is mid grey. Main thread only, but for the streams' threads.
class SyntheticCapture final : public CaptureProvider {
public:
    SyntheticCapture();
    ~SyntheticCapture() override;

    std::vector<CaptureDeviceInfo> Devices() override;
    std::unique_ptr<CaptureStream> Open(size_t index, CaptureCallbacks callbacks) override;

    // Adds a device and announces it.
    void AddDevice(const SyntheticDeviceSpec& spec);
    // Removes the first device of that name: its open streams end, saying so. False for none.
    bool RemoveDevice(const std::string& name);

    // The frame number shown in a frame's bars (0 when the frame is too small to hold them).
    static uint32_t ReadBars(const uint8_t* bgra, size_t bytesPerRow, int32_t width, int32_t height);
    static constexpr int32_t kBarBandRows = 8;

    struct Device;

private:
    std::vector<std::shared_ptr<Device>> fDevices;
};

}  // namespace plat
