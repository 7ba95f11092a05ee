#pragma once

#include <string>
#include <vector>

#include "Platform/Foundation/Object.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/FontCatalog.h"

namespace plat {

class MenuTarget;

// The shared font manager: the font the panel shows (the selection), the change the user made last
// in the font panel, and the "changeFont:" action that tells the target (or, with none set, the
// responder chain) about it. The target answers by converting its font with ConvertFont. Families
// and faces come from fontconfig (FontCatalog). Lives for the rest of the process once made. Main
// thread only.
class FontManager {
public:
    // What the user changed last; ConvertFont applies it.
    enum class Change { kNone, kFamily, kFace, kSize };

    static FontManager* Shared();
    static bool SharedExists();

    // The font the panel shows, null before any; isMultiple when the selection holds several.
    const Font* SelectedFont() const { return fSelected.get(); }
    bool IsMultiple() const { return fMultiple; }
    void SetSelectedFont(const Font* font, bool isMultiple);

    // The font with the panel's last change applied: a family keeps the font's size and bold and
    // italic traits, a face keeps its size, a size keeps the rest. The font itself when nothing
    // changed or the change cannot apply (a family or face no longer installed). Null for null.
    Ref<Font> ConvertFont(const Font* font) const;
    Change LastChange() const { return fChange; }

    // Not retained; null sends along the responder chain.
    MenuTarget* Target() const { return fTarget; }
    void SetTarget(MenuTarget* target) { fTarget = target; }
    const std::string& Action() const { return fAction; }
    void SetAction(const char* action) { fAction = action ? action : ""; }

    std::vector<std::string> AvailableFontFamilies() const { return FontCatalog::Families(); }
    std::vector<Typeface> AvailableMembersOfFontFamily(const std::string& family) const {
        return FontCatalog::Typefaces(family);
    }

    // Called by the font panel for a choice of the user: records it, converts the selection and
    // sends the action. A size that is not above 0 (or NaN) and an empty name are ignored.
    void ChooseFamily(const std::string& family);
    void ChooseFace(const std::string& fontName);
    void ChooseSize(double size);

private:
    FontManager() = default;
    void Apply(Change change);

    Ref<Font> fSelected;
    bool fMultiple = false;
    Change fChange = Change::kNone;
    std::string fFamily;
    std::string fFace;
    double fSize = 0;
    MenuTarget* fTarget = nullptr;
    std::string fAction = "changeFont:";
};

}  // namespace plat
