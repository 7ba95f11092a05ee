#pragma once

// Finds USB DMX interfaces by key: the device's serial number when it reports one, else its location id
// as 8 uppercase hexadecimal digits. Keys become preference keys, so they are bounded and made printable.

#include <cstddef>
#include <string>
#include <vector>

#include "Platform/USB/UsbHost.h"

class CDmxIoFinder {
public:
    static constexpr size_t kMaxKey = 126;

    // Empty when the device has neither a serial nor a location (such a device is never matched).
    static std::string GetKey(const plat::UsbDeviceInfo& device);
    // The path of the attached interface with this key; empty when none is attached.
    static std::string FindPath(plat::UsbHost& host, const std::string& key);
    static plat::UsbMatch Match();
    // The keys of the attached interfaces in the host's order (devices without a key left out).
    static std::vector<std::string> Keys(plat::UsbHost& host);
};
