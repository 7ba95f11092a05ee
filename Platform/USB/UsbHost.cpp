#include "Platform/USB/UsbHost.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "Platform/USB/libusb/LibusbHost.h"

namespace plat {

namespace {
std::atomic<UsbHost*> gInstalled{nullptr};

bool FieldMatches(uint16_t want, uint16_t have) {
    return want == kUsbAny || want == have;
}

// A decimal number 0..255 at p; advances p.
bool ReadNumber(const char*& p, int& out) {
    if (*p < '0' || *p > '9') return false;
    int v = 0;
    while (*p >= '0' && *p <= '9') {
        v = v * 10 + (*p++ - '0');
        if (v > 255) return false;
    }
    out = v;
    return true;
}
}  // namespace

bool Matches(const UsbMatch& match, const UsbDeviceInfo& info) {
    return FieldMatches(match.vendor, info.vendor) && FieldMatches(match.product, info.product) &&
           FieldMatches(match.deviceClass, info.deviceClass) &&
           FieldMatches(match.deviceSubClass, info.deviceSubClass);
}

uint32_t MakeLocationId(uint8_t bus, const uint8_t* ports, int count) {
    if (count < 0 || count > 6) return 0;
    uint32_t id = uint32_t(bus) << 24;
    for (int i = 0; i < count; ++i) {
        if (ports[i] == 0 || ports[i] > 15) return 0;
        id |= uint32_t(ports[i]) << (20 - 4 * i);
    }
    return id;
}

std::string FormatLocationId(uint32_t locationId) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", locationId);
    return text;
}

std::string MakeUsbPath(uint8_t bus, const uint8_t* ports, int count, int configuration, int interface) {
    std::string path = "usb:" + std::to_string(bus);
    for (int i = 0; i < count; ++i) path += (i ? "." : "-") + std::to_string(ports[i]);
    if (interface >= 0) path += ":" + std::to_string(configuration) + "." + std::to_string(interface);
    return path;
}

bool ParseUsbPath(const char* text, UsbPath& out) {
    out = UsbPath{};
    if (!text || text[0] != 'u' || text[1] != 's' || text[2] != 'b' || text[3] != ':') return false;
    const char* p = text + 4;
    int n = 0;
    if (!ReadNumber(p, n)) return false;
    out.bus = uint8_t(n);
    if (*p == '-') {
        do {
            ++p;
            if (out.portCount == int(sizeof out.ports) || !ReadNumber(p, n) || n == 0) return false;
            out.ports[out.portCount++] = uint8_t(n);
        } while (*p == '.');
    }
    if (*p == ':') {
        ++p;
        int c = 0, i = 0;
        if (!ReadNumber(p, c) || *p++ != '.' || !ReadNumber(p, i)) return false;
        out.configuration = c;
        out.interface = i;
    }
    return *p == 0;
}

UsbHost& UsbHost::Current() {
    if (UsbHost* h = gInstalled.load(std::memory_order_acquire)) return *h;
    static LibusbHost* real = new LibusbHost();  // kept for the process: watches may outlive statics
    return *real;
}

void UsbHost::SetCurrent(UsbHost* host) {
    gInstalled.store(host, std::memory_order_release);
}

const char* UsbAccessHint() {
    return "no permission for the USB device: install packaging/udev/60-orbilume-usbdmx.rules "
           "(see its README), reload the rules and replug the interface";
}

}  // namespace plat
