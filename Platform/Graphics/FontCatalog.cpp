#include "Platform/Graphics/FontCatalog.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/PangoShared.h"

namespace plat {

namespace {

std::string StringOf(FcPattern* p, const char* object) {
    FcChar8* s = nullptr;
    if (FcPatternGetString(p, object, 0, &s) != FcResultMatch || !s) return {};
    return reinterpret_cast<const char*>(s);
}

int IntOf(FcPattern* p, const char* object, int fallback) {
    int v = fallback;
    FcPatternGetInteger(p, object, 0, &v);
    return v;
}

uint32_t TraitsOf(int weight, int slant) {
    return (weight >= FC_WEIGHT_BOLD ? uint32_t{Font::kBoldTrait} : 0u) |
           (slant != FC_SLANT_ROMAN ? uint32_t{Font::kItalicTrait} : 0u);
}

}  // namespace

std::vector<std::string> FontCatalog::Families() {
    std::vector<std::string> families;
    std::lock_guard<std::mutex> lock(pango::Lock());
    FcPattern* pat = FcPatternCreate();
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* set = FcFontList(nullptr, pat, os);
    for (int i = 0; set && i < set->nfont; ++i) {
        std::string family = StringOf(set->fonts[i], FC_FAMILY);
        if (!family.empty()) families.push_back(std::move(family));
    }
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(os);
    FcPatternDestroy(pat);
    std::sort(families.begin(), families.end());
    families.erase(std::unique(families.begin(), families.end()), families.end());
    return families;
}

std::vector<Typeface> FontCatalog::Typefaces(const std::string& family) {
    std::vector<Typeface> faces;
    if (family.empty()) return faces;
    std::vector<int> slants;
    {
        std::lock_guard<std::mutex> lock(pango::Lock());
        FcPattern* pat = FcPatternCreate();
        FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
        FcObjectSet* os = FcObjectSetBuild(FC_POSTSCRIPT_NAME, FC_STYLE, FC_WEIGHT, FC_SLANT, nullptr);
        FcFontSet* set = FcFontList(nullptr, pat, os);
        for (int i = 0; set && i < set->nfont; ++i) {
            FcPattern* f = set->fonts[i];
            Typeface t;
            t.fontName = StringOf(f, FC_POSTSCRIPT_NAME);
            t.styleName = StringOf(f, FC_STYLE);
            t.weight = IntOf(f, FC_WEIGHT, FC_WEIGHT_REGULAR);
            t.traits = TraitsOf(t.weight, IntOf(f, FC_SLANT, FC_SLANT_ROMAN));
            if (t.fontName.empty()) continue;
            faces.push_back(std::move(t));
        }
        if (set) FcFontSetDestroy(set);
        FcObjectSetDestroy(os);
        FcPatternDestroy(pat);
    }
    std::sort(faces.begin(), faces.end(), [](const Typeface& a, const Typeface& b) {
        const bool ai = a.traits & Font::kItalicTrait, bi = b.traits & Font::kItalicTrait;
        if (ai != bi) return bi;
        if (a.weight != b.weight) return a.weight < b.weight;
        return a.fontName < b.fontName;
    });
    faces.erase(std::unique(faces.begin(), faces.end(),
                            [](const Typeface& a, const Typeface& b) { return a.fontName == b.fontName; }),
                faces.end());
    return faces;
}

std::string FontCatalog::FontNameOf(const Font& font) {
    const uint32_t want = font.Traits() & (Font::kBoldTrait | Font::kItalicTrait);
    std::vector<Typeface> faces = Typefaces(font.FamilyName());
    // The face with exactly the font's traits, the regular weight preferred among several.
    const Typeface* best = nullptr;
    for (const Typeface& t : faces) {
        if (t.traits != want) continue;
        const int target = (want & Font::kBoldTrait) ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR;
        if (!best || std::abs(t.weight - target) < std::abs(best->weight - target)) best = &t;
    }
    if (!best && !faces.empty()) best = &faces.front();
    return best ? best->fontName : std::string();
}

}  // namespace plat
