#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Platform/AppKit/x11/X11Settings.h"

namespace {

using plat::x11::X11Settings;

// Builds an XSETTINGS property in either byte order.
class Blob {
public:
    explicit Blob(bool big) : fBig(big) {}
    Blob& Int(const std::string& name, int32_t v) {
        Head(0, name);
        U32(uint32_t(v));
        ++fCount;
        return *this;
    }
    Blob& Text(const std::string& name, const std::string& v) {
        Head(1, name);
        U32(uint32_t(v.size()));
        Bytes(v);
        ++fCount;
        return *this;
    }
    Blob& Color(const std::string& name) {
        Head(2, name);
        for (uint16_t c : {1, 2, 3, 4}) U16(c);
        ++fCount;
        return *this;
    }
    std::vector<uint8_t> Build() const {
        std::vector<uint8_t> out{uint8_t(fBig ? 1 : 0), 0, 0, 0};
        Blob head(fBig);
        head.U32(1);
        head.U32(fCount);
        out.insert(out.end(), head.fBody.begin(), head.fBody.end());
        out.insert(out.end(), fBody.begin(), fBody.end());
        return out;
    }

private:
    void Head(uint8_t type, const std::string& name) {
        fBody.push_back(type);
        fBody.push_back(0);
        U16(uint16_t(name.size()));
        Bytes(name);
        U32(0);  // last change
    }
    void Bytes(const std::string& s) {
        fBody.insert(fBody.end(), s.begin(), s.end());
        while (fBody.size() % 4) fBody.push_back(0);
    }
    void U16(uint16_t v) {
        if (fBig) {
            fBody.push_back(uint8_t(v >> 8));
            fBody.push_back(uint8_t(v));
        } else {
            fBody.push_back(uint8_t(v));
            fBody.push_back(uint8_t(v >> 8));
        }
    }
    void U32(uint32_t v) {
        U16(uint16_t(fBig ? v >> 16 : v));
        U16(uint16_t(fBig ? v : v >> 16));
    }

    bool fBig;
    uint32_t fCount = 0;
    std::vector<uint8_t> fBody;
};

TEST(X11SettingsTest, ScaleFromTheScalingFactorElseTheDpiInBothByteOrders) {
    struct Case {
        const char* name;
        bool big;
        std::vector<uint8_t> blob;
        int32_t scale;
    } cases[] = {
        {"factor 2", false,
         Blob(false).Text("Net/ThemeName", "Adwaita").Int("Gdk/WindowScalingFactor", 2).Build(), 2},
        {"factor wins over dpi", true,
         Blob(true).Int("Xft/DPI", 96 * 1024).Color("Gtk/Color").Int("Gdk/WindowScalingFactor", 3).Build(),
         3},
        {"factor 9 capped", false, Blob(false).Int("Gdk/WindowScalingFactor", 9).Build(), 3},
        {"factor 0 falls to dpi", false,
         Blob(false).Int("Gdk/WindowScalingFactor", 0).Int("Xft/DPI", 192 * 1024).Build(), 2},
        {"dpi 144 rounds to 2", true, Blob(true).Int("Xft/DPI", 144 * 1024).Build(), 2},
        {"dpi 120 rounds to 1", false, Blob(false).Int("Xft/DPI", 120 * 1024).Build(), 1},
        {"dpi negative", false, Blob(false).Int("Xft/DPI", -1).Build(), 0},
        {"dpi huge", false, Blob(false).Int("Xft/DPI", 0x7fffffff).Build(), 0},
        {"dpi as text", false, Blob(false).Text("Xft/DPI", "192").Build(), 0},
        {"neither", false, Blob(false).Text("Net/ThemeName", "x").Build(), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        X11Settings s;
        ASSERT_TRUE(s.Parse(c.blob.data(), c.blob.size()));
        EXPECT_EQ(s.Scale(), c.scale);
    }
    X11Settings s;
    std::vector<uint8_t> blob = Blob(true).Text("Net/ThemeName", "Adwaita").Color("Gtk/Color").Build();
    ASSERT_TRUE(s.Parse(blob.data(), blob.size()));
    ASSERT_EQ(s.Settings().size(), 2u);
    EXPECT_EQ(s.Find("Net/ThemeName")->text, "Adwaita");
    EXPECT_EQ(s.Find("Gtk/Color")->color[3], 4);
}

TEST(X11SettingsTest, CursorThemeAndSize) {
    struct Case {
        const char* name;
        std::vector<uint8_t> blob;
        std::string theme;
        int32_t size;
    } cases[] = {
        {"both", Blob(false).Text("Gtk/CursorThemeName", "DMZ-White").Int("Gtk/CursorThemeSize", 48).Build(),
         "DMZ-White", 48},
        {"big endian, among others",
         Blob(true)
             .Int("Xft/DPI", 98304)
             .Text("Gtk/CursorThemeName", "Adwaita")
             .Int("Gtk/CursorThemeSize", 24)
             .Build(),
         "Adwaita", 24},
        {"neither", Blob(false).Text("Net/ThemeName", "Adwaita").Build(), "", 0},
        {"size as text, theme as number",
         Blob(false).Text("Gtk/CursorThemeSize", "32").Int("Gtk/CursorThemeName", 5).Build(), "", 0},
        {"size zero", Blob(false).Int("Gtk/CursorThemeSize", 0).Build(), "", 0},
        {"size negative", Blob(false).Int("Gtk/CursorThemeSize", -24).Build(), "", 0},
        {"size huge", Blob(false).Int("Gtk/CursorThemeSize", 100000).Build(), "", 0},
        {"a path", Blob(false).Text("Gtk/CursorThemeName", "../../etc").Build(), "", 0},
        {"parent", Blob(false).Text("Gtk/CursorThemeName", "..").Build(), "", 0},
        {"control characters", Blob(false).Text("Gtk/CursorThemeName", std::string("a\nb", 3)).Build(), "",
         0},
        {"empty", Blob(false).Text("Gtk/CursorThemeName", "").Build(), "", 0},
        {"too long", Blob(false).Text("Gtk/CursorThemeName", std::string(300, 'x')).Build(), "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        X11Settings s;
        ASSERT_TRUE(s.Parse(c.blob.data(), c.blob.size()));
        EXPECT_EQ(s.CursorTheme(), c.theme);
        EXPECT_EQ(s.CursorSize(), c.size);
    }
}

TEST(X11SettingsTest, MalformedBlobsAreRefusedWhole) {
    const std::vector<uint8_t> good =
        Blob(false).Text("Net/ThemeName", "Adwaita").Int("Xft/DPI", 98304).Build();
    X11Settings s;
    ASSERT_TRUE(s.Parse(good.data(), good.size()));
    // Every truncation fails and keeps nothing.
    for (size_t n = 0; n < good.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_FALSE(s.Parse(good.data(), n));
        EXPECT_TRUE(s.Settings().empty());
    }
    auto patched = [&](size_t at, uint32_t v) {
        std::vector<uint8_t> b = good;
        std::memcpy(&b[at], &v, 4);
        return b;
    };
    std::vector<uint8_t> bad[] = {
        patched(0, 2),            // byte order neither 0 nor 1
        patched(8, 3),            // more settings than there are
        patched(8, 0xFFFFFFFF),   // a count to allocate for
        patched(36, 0x7FFFFFF0),  // a string longer than the blob
    };
    for (const auto& b : bad) EXPECT_FALSE(s.Parse(b.data(), b.size()));
    std::vector<uint8_t> unknownType = good;
    unknownType[12] = 7;
    EXPECT_FALSE(s.Parse(unknownType.data(), unknownType.size()));
}

TEST(X11SettingsTest, XftDpiResourcesAndTheEnvironmentOverride) {
    struct Case {
        const char* resources;
        int32_t scale;
    } cases[] = {
        {"Xft.antialias:\t1\nXft.dpi:\t192\n", 2},
        {"Xft.dpi: 96", 1},
        {"Xft.dpi:\t288.0\n", 3},
        {"Xft.dpi:\t0\n", 0},
        {"Xft.dpi:\t-96\n", 0},
        {"Xft.dpi:\t1e300\n", 0},
        {"Xft.dpi:\tlarge\n", 0},
        {"Xft.dpi:\t192 dots\n", 0},
        {"Xft.hinting: 1\n", 0},
        {"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.resources);
        EXPECT_EQ(X11Settings::ScaleFromDpiText(X11Settings::DpiResource(c.resources)), c.scale);
    }
    EXPECT_EQ(X11Settings::ChooseScale("2", 1, 1), 2);
    EXPECT_EQ(X11Settings::ChooseScale("7", 3, 1), 3);    // out of range: ignored
    EXPECT_EQ(X11Settings::ChooseScale("two", 0, 2), 2);  // not a number: ignored
    EXPECT_EQ(X11Settings::ChooseScale(nullptr, 0, 0), 1);
    EXPECT_EQ(X11Settings::ChooseScale("", 2, 3), 2);
}

}  // namespace
