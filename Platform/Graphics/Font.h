#pragma once

#include <cstdint>
#include <string>

#include "Platform/Foundation/Object.h"

typedef struct _PangoFontDescription PangoFontDescription;

namespace plat {

// A font resolved through fontconfig and Pango: a family, a size in points (pixels) and traits.
// Immutable; the copy operations make new fonts.
class Font : public Object {
public:
    enum : uint32_t { kItalicTrait = 1, kBoldTrait = 2, kFixedPitchTrait = 0x400 };

    static double UserFontSize() { return 12; }
    static double SystemFontSize() { return 13; }
    static double SmallSystemFontSize() { return 11; }
    static double FixedPitchFontSize() { return 10; }

    // A size of 0 or less means the kind's default.
    static Ref<Font> CreateUser(double size);
    static Ref<Font> CreateSystem(double size);
    static Ref<Font> CreateUserFixedPitch(double size);
    // A family, PostScript or full name of an installed font; null when none has that name.
    static Ref<Font> CreateWithName(const char* name, double size);

    // The same font with a trait added. Italic that the family cannot give is slanted
    // synthetically (SyntheticSlant).
    Ref<Font> CopyWithTrait(uint32_t trait) const;
    Ref<Font> CopyWithSize(double size) const;

    double Size() const { return fSize; }
    const std::string& FamilyName() const { return fFamily; }
    uint32_t Traits() const { return fTraits; }
    bool SyntheticSlant() const { return fSynthetic; }

    // Metrics in pixels: ascent and descent above and below the baseline (both positive), and the
    // distance between baselines.
    double Ascent() const { return fAscent; }
    double Descent() const { return fDescent; }
    double LineHeight() const { return fLineHeight; }

    PangoFontDescription* Description() const { return fDesc; }

private:
    Font(PangoFontDescription* desc, double size, bool wantItalic);
    ~Font() override;
    static Ref<Font> Make(const char* family, double size, uint32_t traits);

    PangoFontDescription* fDesc;
    double fSize;
    std::string fFamily;
    uint32_t fTraits = 0;
    bool fSynthetic = false;
    double fAscent = 0;
    double fDescent = 0;
    double fLineHeight = 0;
};

}  // namespace plat
