#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

class Font;

// One installed face of a family, as fontconfig lists it.
struct Typeface {
    std::string fontName;   // PostScript name; what Font::CreateWithName finds the face by
    std::string styleName;  // "Bold Oblique"
    uint32_t traits = 0;    // Font::kBoldTrait, Font::kItalicTrait
    int weight = 0;         // fontconfig weight
};

// The installed font families and their faces, read from fontconfig each time (the font panel
// reloads them when it is shown). Any thread.
class FontCatalog {
public:
    // Family names, sorted and without repeats.
    static std::vector<std::string> Families();
    // The faces of a family: upright before slanted, lighter before bolder; empty when none.
    static std::vector<Typeface> Typefaces(const std::string& family);
    // The PostScript name of the installed face the font resolves to; empty when none.
    static std::string FontNameOf(const Font& font);
};

}  // namespace plat
