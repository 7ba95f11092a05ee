#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandleBase.h"
#include "Lib3/LSources/CoreData/LSLinkBase.h"

// Three 8-bit components; the constructor clamps each to 255.
struct LRGB {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;

    LRGB() = default;
    LRGB(unsigned r, unsigned g, unsigned b)
        : red(static_cast<uint8_t>(r > 255 ? 255 : r)),
          green(static_cast<uint8_t>(g > 255 ? 255 : g)),
          blue(static_cast<uint8_t>(b > 255 ? 255 : b)) {}
    bool operator==(const LRGB&) const = default;
};

// sRGB components in 0..1.
struct LRGBA {
    float red = 0;
    float green = 0;
    float blue = 0;
    float alpha = 1;
    bool operator==(const LRGBA&) const = default;
};

// Interned colour data: equal colours share one block from a process-wide cache (main thread).
class LColorData : public LHandleData, public SSLink {
public:
    static constexpr uint32_t kNoSystemColour = 0xFFFFFFFF;

    struct Key {
        LRGB rgb;
        uint32_t mode = 0;
        uint32_t systemColour = kNoSystemColour;
        float alpha = 1.0f;
    };

    ~LColorData() override;

    static LColorData* FindOrCreate(const LRGB& rgb, uint32_t mode, float alpha);
    static LColorData* FindOrCreateGrey(uint32_t level);
    static LColorData* FindOrCreateSystem(uint32_t number);
    // Number of blocks in the cache (for tests and diagnostics).
    static uint32_t CacheCount();

    const Key& GetKey() const { return fKey; }
    // Components for drawing; system colours are looked up in the current theme each time.
    LRGBA Resolve() const;

private:
    explicit LColorData(const Key& key) : fKey(key) {}
    static LColorData* Find(const Key& key);
    static LColorData* Make(const Key& key, bool permanent);

    Key fKey;
};

// A handle to interned colour data; an empty handle is "no colour".
class LColor : public LHandleBase {
public:
    LColor() = default;
    // Grey level 1..4 (64, 128, 192, 255); other levels are black.
    static LColor Grey(uint32_t level) { return LColor(LColorData::FindOrCreateGrey(level)); }
    // System colour 0..7 of the theme table.
    static LColor System(uint32_t number) { return LColor(LColorData::FindOrCreateSystem(number)); }
    LColor(const LRGB& rgb, uint32_t mode, float alpha = 1.0f)
        : LColor(LColorData::FindOrCreate(rgb, mode, alpha)) {}

    const LColorData* ColorData() const { return static_cast<const LColorData*>(Data()); }
    // For drawing: an empty handle is opaque black.
    LRGBA ForDrawing() const;
    // For native controls: an empty handle is white.
    LRGBA ForControls() const;

private:
    explicit LColor(LColorData* data) : LHandleBase(data) {}
};

// The theme the system colours come from (a fixed light theme by default).
struct LColorTheme {
    LRGBA colour[8];
    static const LColorTheme& Current();
    static void SetCurrent(const LColorTheme& theme);
};
