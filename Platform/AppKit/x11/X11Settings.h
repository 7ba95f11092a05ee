#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat::x11 {

// The desktop's settings as an XSETTINGS manager publishes them, and the scale of the display and
// the cursors that follow from them. Blobs come from another program: lengths and counts are bounded.
class X11Settings {
public:
    static constexpr size_t kMaxBlob = 1 << 20;
    static constexpr uint32_t kMaxSettings = 4096;
    static constexpr uint32_t kMaxName = 256;
    static constexpr uint32_t kMaxString = 64 * 1024;

    struct Setting {
        std::string name;
        enum class Type : uint8_t { kInteger, kString, kColor } type = Type::kInteger;
        int32_t integer = 0;
        std::string text;
        uint16_t color[4] = {};
    };
    // Parses one _XSETTINGS_SETTINGS property; false (and nothing kept) when it is malformed.
    [[nodiscard]] bool Parse(const uint8_t* data, size_t size);
    const std::vector<Setting>& Settings() const { return fSettings; }
    const Setting* Find(const char* name) const;

    // The integer scale (1-3) from Gdk/WindowScalingFactor, else Xft/DPI (1024ths of a dot per inch);
    // 0 when the settings name neither sanely.
    int32_t Scale() const;

    // The Xcursor theme (Gtk/CursorThemeName: a directory name, so no '/' and no control
    // characters) and size in pixels (Gtk/CursorThemeSize, 8-512); empty and 0 when absent or absurd.
    std::string CursorTheme() const;
    int32_t CursorSize() const;

    // The scale from an Xft.dpi resource value; 0 when absent or absurd.
    static int32_t ScaleFromDpiText(const std::string& text);
    // The Xft.dpi value in a resource database string (RESOURCE_MANAGER), empty when absent.
    static std::string DpiResource(const std::string& resources);
    // ORBILUME_SCALE when it names 1-3, else the settings' scale, else Xft.dpi's, else 1.
    static int32_t ChooseScale(const char* environment, int32_t settingsScale, int32_t dpiScale);

private:
    std::vector<Setting> fSettings;
};

}  // namespace plat::x11
