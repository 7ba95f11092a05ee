#include "Platform/Media/CaptureRegistry.h"

#include <algorithm>
#include <cstdlib>
#include <set>

#include "Platform/AppKit/NotificationCenter.h"
#include "Platform/Media/synthetic/SyntheticCapture.h"
#include "Platform/Media/v4l2/V4l2Capture.h"

namespace plat {

CaptureRegistry& CaptureRegistry::Default() {
    static CaptureRegistry* registry = [] {
        auto* r = new CaptureRegistry;  // lives as long as the process
        r->AddProvider(std::make_shared<V4l2Capture>());
        if (const char* spec = std::getenv("ORBILUME_SYNTHETIC_CAPTURE"); spec && *spec) {
            auto synthetic = std::make_shared<SyntheticCapture>();
            r->AddProvider(synthetic);
            SyntheticDeviceSpec device;
            if (ParseSyntheticDeviceSpec(spec, device)) synthetic->AddDevice(device);
        }
        return r;
    }();
    return *registry;
}

void CaptureRegistry::AddProvider(std::shared_ptr<CaptureProvider> provider) {
    if (!provider) return;
    provider->onChange = [this](bool connected) {
        if (connected)
            DeviceConnected();
        else
            DeviceDisconnected();
    };
    fProviders.push_back(std::move(provider));
}

void CaptureRegistry::RemoveProvider(const CaptureProvider* provider) {
    auto it = std::find_if(fProviders.begin(), fProviders.end(),
                           [&](const std::shared_ptr<CaptureProvider>& p) { return p.get() == provider; });
    if (it == fProviders.end()) return;
    (*it)->onChange = nullptr;
    fProviders.erase(it);
}

std::vector<CaptureRegistry::Entry> CaptureRegistry::Entries() const {
    std::vector<Entry> entries;
    std::set<std::string> taken;
    for (const std::shared_ptr<CaptureProvider>& provider : fProviders) {
        std::vector<CaptureDeviceInfo> devices = provider->Devices();
        for (size_t i = 0; i < devices.size(); ++i) {
            CaptureDeviceInfo info = devices[i];
            std::string name = info.name;
            for (int n = 2; taken.count(name); ++n) name = info.name + " (" + std::to_string(n) + ")";
            taken.insert(name);
            info.name = name;
            entries.push_back({std::move(info), provider.get(), i});
        }
    }
    return entries;
}

std::vector<CaptureDeviceInfo> CaptureRegistry::Devices() const {
    std::vector<CaptureDeviceInfo> devices;
    for (Entry& e : Entries()) devices.push_back(std::move(e.info));
    return devices;
}

std::unique_ptr<CaptureStream> CaptureRegistry::Open(const std::string& name,
                                                     CaptureCallbacks callbacks) const {
    for (const Entry& e : Entries()) {
        if (e.info.name != name) continue;
        if (!(e.info.kinds & (kCaptureVideo | kCaptureMuxed))) return nullptr;
        return e.provider->Open(e.index, std::move(callbacks));
    }
    return nullptr;
}

void CaptureRegistry::DeviceConnected() {
    NotificationCenter::Default().Post(kCaptureDeviceConnected, this);
}

void CaptureRegistry::DeviceDisconnected() {
    NotificationCenter::Default().Post(kCaptureDeviceDisconnected, this);
}

}  // namespace plat
