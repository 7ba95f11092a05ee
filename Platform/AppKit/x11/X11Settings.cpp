#include "Platform/AppKit/x11/X11Settings.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Platform/Foundation/Bytes.h"

namespace plat::x11 {

namespace {

constexpr int32_t kMaxScale = 3;

// Rounds a dots-per-inch value to a scale; 0 when absurd.
int32_t ScaleOfDpi(double dpi) {
    if (!std::isfinite(dpi) || dpi < 24 || dpi > 96 * 8) return 0;
    const double scale = std::round(dpi / 96);
    return scale < 1 ? 1 : scale > kMaxScale ? kMaxScale : int32_t(scale);
}

class Reader {
public:
    Reader(const uint8_t* data, size_t size, bool bigEndian) : fData(data), fSize(size), fBig(bigEndian) {}
    bool Skip(size_t n) {
        if (n > fSize - fAt) return false;
        fAt += n;
        return true;
    }
    bool U8(uint8_t* v) {
        if (fAt >= fSize) return false;
        *v = fData[fAt++];
        return true;
    }
    bool U16(uint16_t* v) {
        if (2 > fSize - fAt) return false;
        *v = fBig ? LoadBE16(fData + fAt) : LoadLE16(fData + fAt);
        fAt += 2;
        return true;
    }
    bool U32(uint32_t* v) {
        if (4 > fSize - fAt) return false;
        *v = fBig ? LoadBE32(fData + fAt) : LoadLE32(fData + fAt);
        fAt += 4;
        return true;
    }
    // n bytes, then padding to a multiple of four.
    bool Text(uint32_t n, std::string* out) {
        const size_t padded = (size_t(n) + 3) & ~size_t(3);
        if (padded > fSize - fAt) return false;
        out->assign(reinterpret_cast<const char*>(fData + fAt), n);
        fAt += padded;
        return true;
    }

private:
    const uint8_t* fData;
    size_t fSize;
    size_t fAt = 0;
    bool fBig;
};

}  // namespace

bool X11Settings::Parse(const uint8_t* data, size_t size) {
    fSettings.clear();
    if (!data || size < 12 || size > kMaxBlob || data[0] > 1) return false;
    Reader r(data, size, data[0] == 1);
    uint32_t serial = 0, count = 0;
    if (!r.Skip(4) || !r.U32(&serial) || !r.U32(&count) || count > kMaxSettings) return false;
    std::vector<Setting> settings;
    for (uint32_t i = 0; i < count; ++i) {
        Setting s;
        uint8_t type = 0;
        uint16_t nameLength = 0;
        uint32_t changed = 0;
        if (!r.U8(&type) || !r.Skip(1) || !r.U16(&nameLength) || nameLength > kMaxName ||
            !r.Text(nameLength, &s.name) || !r.U32(&changed))
            return false;
        switch (type) {
            case 0: {
                uint32_t v = 0;
                if (!r.U32(&v)) return false;
                s.type = Setting::Type::kInteger;
                std::memcpy(&s.integer, &v, 4);
                break;
            }
            case 1: {
                uint32_t n = 0;
                if (!r.U32(&n) || n > kMaxString || !r.Text(n, &s.text)) return false;
                s.type = Setting::Type::kString;
                break;
            }
            case 2:
                s.type = Setting::Type::kColor;
                for (uint16_t& c : s.color)
                    if (!r.U16(&c)) return false;
                break;
            default:
                return false;
        }
        settings.push_back(std::move(s));
    }
    fSettings = std::move(settings);
    return true;
}

const X11Settings::Setting* X11Settings::Find(const char* name) const {
    for (const Setting& s : fSettings)
        if (s.name == name) return &s;
    return nullptr;
}

int32_t X11Settings::Scale() const {
    if (const Setting* s = Find("Gdk/WindowScalingFactor"); s && s->type == Setting::Type::kInteger)
        if (s->integer >= 1 && s->integer <= 16) return std::min(s->integer, kMaxScale);
    if (const Setting* s = Find("Xft/DPI"); s && s->type == Setting::Type::kInteger && s->integer > 0)
        return ScaleOfDpi(s->integer / 1024.0);
    return 0;
}

std::string X11Settings::CursorTheme() const {
    const Setting* s = Find("Gtk/CursorThemeName");
    if (!s || s->type != Setting::Type::kString || s->text.empty() || s->text.size() > 255) return {};
    if (s->text == "." || s->text == "..") return {};
    for (unsigned char c : s->text)
        if (c < 0x20 || c == 0x7f || c == '/') return {};
    return s->text;
}

int32_t X11Settings::CursorSize() const {
    const Setting* s = Find("Gtk/CursorThemeSize");
    if (!s || s->type != Setting::Type::kInteger || s->integer < 8 || s->integer > 512) return 0;
    return s->integer;
}

int32_t X11Settings::ScaleFromDpiText(const std::string& text) {
    if (text.empty() || text.size() > 32) return 0;
    char* end = nullptr;
    const double dpi = std::strtod(text.c_str(), &end);
    if (end == text.c_str()) return 0;
    while (*end == ' ' || *end == '\t') ++end;
    return *end ? 0 : ScaleOfDpi(dpi);
}

std::string X11Settings::DpiResource(const std::string& resources) {
    size_t at = 0;
    while (at < resources.size()) {
        size_t end = resources.find('\n', at);
        if (end == std::string::npos) end = resources.size();
        std::string line = resources.substr(at, end - at);
        at = end + 1;
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, colon);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
        if (key != "Xft.dpi" && key != "*dpi") continue;
        size_t v = colon + 1;
        while (v < line.size() && (line[v] == ' ' || line[v] == '\t')) ++v;
        return line.substr(v);
    }
    return {};
}

int32_t X11Settings::ChooseScale(const char* environment, int32_t settingsScale, int32_t dpiScale) {
    if (environment && *environment) {
        char* end = nullptr;
        const long v = std::strtol(environment, &end, 10);
        if (*end == 0 && v >= 1 && v <= kMaxScale) return int32_t(v);
    }
    if (settingsScale >= 1 && settingsScale <= kMaxScale) return settingsScale;
    if (dpiScale >= 1 && dpiScale <= kMaxScale) return dpiScale;
    return 1;
}

}  // namespace plat::x11
