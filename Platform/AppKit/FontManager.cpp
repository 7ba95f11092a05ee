#include "Platform/AppKit/FontManager.h"

#include "Platform/AppKit/Application.h"
#include "Platform/Foundation/Check.h"

namespace plat {

namespace {
FontManager* gShared = nullptr;
constexpr double kMaxSize = 4096;
}  // namespace

FontManager* FontManager::Shared() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!gShared) gShared = new FontManager;  // the process keeps it
    return gShared;
}

bool FontManager::SharedExists() {
    return gShared != nullptr;
}

void FontManager::SetSelectedFont(const Font* font, bool isMultiple) {
    PLAT_DCHECK_MAIN_THREAD();
    fSelected = RetainRef(const_cast<Font*>(font));
    fMultiple = isMultiple;
}

Ref<Font> FontManager::ConvertFont(const Font* font) const {
    PLAT_DCHECK_MAIN_THREAD();
    if (!font) return nullptr;
    Ref<Font> converted;
    switch (fChange) {
        case Change::kNone:
            break;
        case Change::kFamily: {
            converted = Font::CreateWithName(fFamily.c_str(), font->Size());
            const uint32_t traits = font->Traits() & (Font::kBoldTrait | Font::kItalicTrait);
            if (converted && traits) converted = converted->CopyWithTrait(traits);
            break;
        }
        case Change::kFace:
            converted = Font::CreateWithName(fFace.c_str(), font->Size());
            break;
        case Change::kSize:
            converted = font->CopyWithSize(fSize);
            break;
    }
    // Fonts are immutable: handing the same one back is safe.
    return converted ? converted : RetainRef(const_cast<Font*>(font));
}

void FontManager::ChooseFamily(const std::string& family) {
    PLAT_DCHECK_MAIN_THREAD();
    if (family.empty()) return;
    fFamily = family;
    Apply(Change::kFamily);
}

void FontManager::ChooseFace(const std::string& fontName) {
    PLAT_DCHECK_MAIN_THREAD();
    if (fontName.empty()) return;
    fFace = fontName;
    Apply(Change::kFace);
}

void FontManager::ChooseSize(double size) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!(size > 0)) return;
    fSize = size > kMaxSize ? kMaxSize : size;
    Apply(Change::kSize);
}

void FontManager::Apply(Change change) {
    fChange = change;
    if (!fSelected) fSelected = Font::CreateUser(0);
    fSelected = ConvertFont(fSelected.get());
    if (!fAction.empty()) (void)Application::Shared()->SendAction(fAction.c_str(), fTarget, nullptr);
}

}  // namespace plat
