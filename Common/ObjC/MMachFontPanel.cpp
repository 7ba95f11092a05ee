#include "Common/ObjC/MMachFontPanel.h"

#include <string_view>

#include "Common/ObjC/UMachPanel.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/FontManager.h"
#include "Platform/Graphics/FontCatalog.h"

MMachFontPanel::~MMachFontPanel() {
    RestoreNextResponder();
}

void MMachFontPanel::BecomeNextResponder() {
    plat::Application* app = plat::Application::Shared();
    if (app->NextResponder() != this) fSavedNext = app->NextResponder();
    app->SetNextResponder(this);
    fInPlace = true;
}

void MMachFontPanel::RestoreNextResponder() {
    if (!fInPlace) return;
    fInPlace = false;
    plat::Application* app = plat::Application::Shared();
    if (app->NextResponder() == this) app->SetNextResponder(fSavedNext);
    fSavedNext = nullptr;
}

SFontDesc MMachFontPanel::Describe(const plat::Font& font) {
    SFontDesc d;
    d.fontName = LString(plat::FontCatalog::FontNameOf(font).c_str());
    d.familyName = LString(font.FamilyName().c_str());
    d.size = float(font.Size());
    d.bold = (font.Traits() & plat::Font::kBoldTrait) ? 1 : 0;
    d.italic = (font.Traits() & plat::Font::kItalicTrait) ? 1 : 0;
    return d;
}

bool MMachFontPanel::RespondsToAction(const char* action) const {
    return action && std::string_view(action) == UMachPanel::kChangeFontAction;
}

void MMachFontPanel::PerformAction(const char* action, plat::MenuItem*) {
    if (!RespondsToAction(action)) return;
    plat::Ref<MMachFontPanel> keep = plat::RetainRef(this);  // the callback may close the panel
    if (!mFont) mFont = plat::Font::CreateUser(0);
    mFont = plat::FontManager::Shared()->ConvertFont(mFont.get());
    if (!mCB) return;
    const SFontDesc d = Describe(*mFont);
    mCB(mRef, &d, 2);
}

uint32_t MMachFontPanel::ValidModesForFontPanel() const {
    uint32_t modes = 0xFFF000FCu;
    if (sizeMode) modes |= 2;
    if (faceMode) modes |= 1;
    if (colorMode) modes |= 0x400;
    return modes;
}

void MMachFontPanel::WindowWillClose(plat::Window*) {
    RestoreNextResponder();
    if (mModal) plat::Application::Shared()->StopModal();
}
