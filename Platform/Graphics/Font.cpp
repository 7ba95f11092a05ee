#include "Platform/Graphics/Font.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include "Platform/Graphics/PangoShared.h"

namespace plat {

namespace {
constexpr const char* kSansFamily = "sans-serif";
constexpr const char* kFixedFamily = "monospace";
constexpr double kMaxSize = 4096;

double SizeOr(double size, double fallback) {
    if (!(size > 0)) return fallback;
    return size > kMaxSize ? kMaxSize : size;
}

// The family, weight and slant of the first installed font whose property equals name.
bool ListByName(const char* object, const char* name, std::string& family, uint32_t& traits) {
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, object, reinterpret_cast<const FcChar8*>(name));
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, FC_WEIGHT, FC_SLANT, nullptr);
    FcFontSet* set = FcFontList(nullptr, pat, os);
    bool found = false;
    if (set && set->nfont > 0) {
        FcChar8* fam = nullptr;
        int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        FcPattern* f = set->fonts[0];
        if (FcPatternGetString(f, FC_FAMILY, 0, &fam) == FcResultMatch) {
            family = reinterpret_cast<const char*>(fam);
            FcPatternGetInteger(f, FC_WEIGHT, 0, &weight);
            FcPatternGetInteger(f, FC_SLANT, 0, &slant);
            traits = (weight >= FC_WEIGHT_BOLD ? uint32_t{Font::kBoldTrait} : 0u) |
                     (slant != FC_SLANT_ROMAN ? uint32_t{Font::kItalicTrait} : 0u);
            found = true;
        }
    }
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(os);
    FcPatternDestroy(pat);
    return found;
}
}  // namespace

Ref<Font> Font::Make(const char* family, double size, uint32_t traits) {
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, family);
    pango_font_description_set_size(desc, static_cast<gint>(size * PANGO_SCALE + 0.5));
    if (traits & kBoldTrait) pango_font_description_set_weight(desc, PANGO_WEIGHT_BOLD);
    if (traits & kItalicTrait) pango_font_description_set_style(desc, PANGO_STYLE_ITALIC);
    return Adopt(new Font(desc, size, traits & kItalicTrait));
}

Font::Font(PangoFontDescription* desc, double size, bool wantItalic) : fDesc(desc), fSize(size) {
    std::lock_guard<std::mutex> lock(pango::Lock());
    PangoFont* font = pango_font_map_load_font(pango::FontMap(), pango::MeasuringContext(), desc);
    if (!font) {
        fFamily = pango_font_description_get_family(desc) ? pango_font_description_get_family(desc) : "";
        fAscent = size * 0.8;
        fDescent = size * 0.2;
        fLineHeight = size * 1.2;
        return;
    }
    PangoFontDescription* actual = pango_font_describe(font);
    const char* fam = pango_font_description_get_family(actual);
    fFamily = fam ? fam : "";
    if (pango_font_description_get_weight(actual) >= PANGO_WEIGHT_SEMIBOLD) fTraits |= kBoldTrait;
    bool italic = pango_font_description_get_style(actual) != PANGO_STYLE_NORMAL;
    if (italic) fTraits |= kItalicTrait;
    fSynthetic = wantItalic && !italic;
    PangoFontFace* face = pango_font_get_face(font);
    PangoFontFamily* family = face ? pango_font_face_get_family(face) : nullptr;
    if (family && pango_font_family_is_monospace(family)) fTraits |= kFixedPitchTrait;
    pango_font_description_free(actual);

    PangoFontMetrics* m = pango_font_get_metrics(font, nullptr);
    fAscent = static_cast<double>(pango_font_metrics_get_ascent(m)) / PANGO_SCALE;
    fDescent = static_cast<double>(pango_font_metrics_get_descent(m)) / PANGO_SCALE;
    int height = pango_font_metrics_get_height(m);
    fLineHeight = height > 0 ? static_cast<double>(height) / PANGO_SCALE : fAscent + fDescent;
    pango_font_metrics_unref(m);
    g_object_unref(font);
}

Font::~Font() {
    pango_font_description_free(fDesc);
}

Ref<Font> Font::CreateUser(double size) {
    return Make(kSansFamily, SizeOr(size, UserFontSize()), 0);
}

Ref<Font> Font::CreateSystem(double size) {
    return Make(kSansFamily, SizeOr(size, SystemFontSize()), 0);
}

Ref<Font> Font::CreateUserFixedPitch(double size) {
    return Make(kFixedFamily, SizeOr(size, FixedPitchFontSize()), 0);
}

Ref<Font> Font::CreateWithName(const char* name, double size) {
    if (!name || !*name) return nullptr;
    std::string family;
    uint32_t traits = 0;
    {
        std::lock_guard<std::mutex> lock(pango::Lock());
        // A family name asks for the family's regular face; the other names for the face they name.
        if (ListByName(FC_FAMILY, name, family, traits)) {
            family = name;
            traits = 0;
        } else if (!ListByName(FC_POSTSCRIPT_NAME, name, family, traits) &&
                   !ListByName(FC_FULLNAME, name, family, traits)) {
            return nullptr;
        }
    }
    return Make(family.c_str(), SizeOr(size, UserFontSize()), traits);
}

Ref<Font> Font::CopyWithTrait(uint32_t trait) const {
    const char* family = pango_font_description_get_family(fDesc);
    uint32_t traits = 0;
    if (pango_font_description_get_weight(fDesc) >= PANGO_WEIGHT_SEMIBOLD) traits |= kBoldTrait;
    if (pango_font_description_get_style(fDesc) != PANGO_STYLE_NORMAL) traits |= kItalicTrait;
    traits |= trait & (kBoldTrait | kItalicTrait);
    if ((trait & kFixedPitchTrait) && !(fTraits & kFixedPitchTrait)) family = kFixedFamily;
    return Make(family ? family : kSansFamily, fSize, traits);
}

Ref<Font> Font::CopyWithSize(double size) const {
    PangoFontDescription* desc = pango_font_description_copy(fDesc);
    double s = SizeOr(size, fSize);
    pango_font_description_set_size(desc, static_cast<gint>(s * PANGO_SCALE + 0.5));
    return Adopt(new Font(desc, s, pango_font_description_get_style(fDesc) != PANGO_STYLE_NORMAL));
}

}  // namespace plat
