#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/Media/CaptureDevice.h"

namespace plat {

// Posted on the main thread through NotificationCenter::Default() with the registry as object.
inline constexpr char kCaptureDeviceConnected[] = "CaptureDeviceWasConnected";
inline constexpr char kCaptureDeviceDisconnected[] = "CaptureDeviceWasDisconnected";

// The capture devices of every provider under unique names: a device whose name is taken gets
// " (2)", " (3)", ... in provider order, so each can be opened by name. Main thread only.
class CaptureRegistry {
public:
    // The application's registry: the V4L2 provider, and a synthetic device when
    // ORBILUME_SYNTHETIC_CAPTURE names one ("name" or "name:WxH@fps").
    static CaptureRegistry& Default();

    CaptureRegistry() = default;
    CaptureRegistry(const CaptureRegistry&) = delete;
    CaptureRegistry& operator=(const CaptureRegistry&) = delete;

    void AddProvider(std::shared_ptr<CaptureProvider> provider);
    void RemoveProvider(const CaptureProvider* provider);

    std::vector<CaptureDeviceInfo> Devices() const;
    // The video or muxed device of exactly that name; null for none (or an audio-only device).
    std::unique_ptr<CaptureStream> Open(const std::string& name, CaptureCallbacks callbacks) const;

    // Providers call these when devices come and go.
    void DeviceConnected();
    void DeviceDisconnected();

private:
    struct Entry {
        CaptureDeviceInfo info;
        CaptureProvider* provider;
        size_t index;
    };
    std::vector<Entry> Entries() const;

    std::vector<std::shared_ptr<CaptureProvider>> fProviders;
};

}  // namespace plat
