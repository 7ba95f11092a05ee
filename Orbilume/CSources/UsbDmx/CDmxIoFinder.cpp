#include "Orbilume/CSources/UsbDmx/CDmxIoFinder.h"

#include <utility>

#include "Orbilume/CSources/UsbDmx/CDmxIo.h"

std::string CDmxIoFinder::GetKey(const plat::UsbDeviceInfo& device) {
    if (device.serial.empty()) {
        if (device.locationId == 0) return std::string();
        return plat::FormatLocationId(device.locationId);
    }
    std::string key = device.serial.substr(0, kMaxKey);
    for (char& c : key) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) c = '_';
    }
    return key;
}

plat::UsbMatch CDmxIoFinder::Match() {
    plat::UsbMatch match;
    match.vendor = CDmxIo::kVendor;
    match.product = CDmxIo::kProduct;
    return match;
}

std::string CDmxIoFinder::FindPath(plat::UsbHost& host, const std::string& key) {
    if (key.empty()) return std::string();
    for (const plat::UsbDeviceInfo& device : host.Devices(Match()))
        if (GetKey(device) == key) return device.path;
    return std::string();
}

std::vector<std::string> CDmxIoFinder::Keys(plat::UsbHost& host) {
    std::vector<std::string> keys;
    for (const plat::UsbDeviceInfo& device : host.Devices(Match()))
        if (std::string key = GetKey(device); !key.empty()) keys.push_back(std::move(key));
    return keys;
}
