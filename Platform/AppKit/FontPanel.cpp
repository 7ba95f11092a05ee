#include "Platform/AppKit/FontPanel.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/FontManager.h"
#include "Platform/AppKit/Theme.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Font.h"

namespace plat {

namespace {

FontPanel* gShared = nullptr;

constexpr double kWidth = 300;
constexpr double kHeight = 176;
constexpr double kMargin = 10;
constexpr const char* kFamilyAction = "family:";
constexpr const char* kFaceAction = "face:";
constexpr const char* kSizeAction = "size:";
constexpr double kCommonSizes[] = {9, 10, 11, 12, 13, 14, 18, 24, 36, 48, 64, 72, 96, 144, 288};
constexpr double kMaxSize = 4096;

std::string SizeText(double size) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", size);
    return buf;
}

// A positive size in the C locale, "12" or "10.5", blanks around allowed.
bool ParseSize(const std::string& text, double& size) {
    std::string_view t(text);
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    double v = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec != std::errc() || end != t.data() + t.size() || !(v > 0) || !std::isfinite(v)) return false;
    size = v > kMaxSize ? kMaxSize : v;
    return true;
}

}  // namespace

FontPanel* FontPanel::Shared() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!gShared) gShared = new FontPanel;  // the process keeps it
    return gShared;
}

bool FontPanel::SharedExists() {
    return gShared != nullptr;
}

FontPanel::FontPanel() {
    fWindow = Window::CreatePanel({240, 200, kWidth, kHeight},
                                  kTitledWindowMask | kClosableWindowMask | kUtilityWindowMask);
    fWindow->SetTitle("Fonts");
    fWindow->SetFloatingPanel(true);
    fWindow->SetBecomesKeyOnlyIfNeeded(true);
    fWindow->SetReleasedWhenClosed(false);
    fWindow->SetDelegate(this);
    Ref<View> content = View::Create({0, 0, kWidth, kHeight});
    fWindow->SetContentView(content.get());

    const double w = kWidth - 2 * kMargin;
    fFamily = Control::Create(ControlKind::kPopUpButton, {kMargin, kMargin, w, 24});
    fFamily->SetAction(kFamilyAction);
    fFace = Control::Create(ControlKind::kPopUpButton, {kMargin, kMargin + 30, w, 24});
    fFace->SetAction(kFaceAction);
    fSizeField = TextField::Create({kMargin, kMargin + 61, 60, 22});
    fSizeField->SetDelegate(this);
    fSizes = Control::Create(ControlKind::kPopUpButton, {kMargin + 70, kMargin + 60, 90, 24});
    fSizes->SetAction(kSizeAction);
    for (double s : kCommonSizes) fSizes->AddItem(SizeText(s));
    fTextColor = View::Create({kWidth - kMargin - 40, kMargin + 61, 40, 22});
    fTextColor->SetDrawCallback(&DrawTextColor, this);
    fPreview = View::Create({kMargin, kMargin + 92, w, kHeight - kMargin * 2 - 92});
    fPreview->SetDrawCallback(&DrawPreview, this);
    for (Control* c : {fFamily.get(), fFace.get(), fSizes.get()}) c->SetTarget(this);
    for (View* v : {static_cast<View*>(fFamily.get()), static_cast<View*>(fFace.get()),
                    static_cast<View*>(fSizeField.get()), static_cast<View*>(fSizes.get()), fTextColor.get(),
                    fPreview.get()})
        content->AddSubview(v);
    ShowSize(fSize);
}

FontPanel::~FontPanel() {
    fWindow->SetDelegate(nullptr);
    fSizeField->SetDelegate(nullptr);
    for (Control* c : {fFamily.get(), fFace.get(), fSizes.get()}) c->SetTarget(nullptr);
    fPreview->SetDrawCallback(nullptr, nullptr);
    fTextColor->SetDrawCallback(nullptr, nullptr);
}

void FontPanel::OrderFront() {
    PLAT_DCHECK_MAIN_THREAD();
    FillFamilies();
    ShowSelection();
    ReloadModes();
    fWindow->OrderFront();
}

void FontPanel::ReloadModes() {
    PLAT_DCHECK_MAIN_THREAD();
    FontManager* fm = FontManager::Shared();
    MenuTarget* target = Application::Shared()->TargetForAction(fm->Action().c_str(), fm->Target());
    fModes = target ? target->ValidModesForFontPanel() : kFontPanelAllModesMask;
    View* content = fWindow->ContentView();
    auto show = [content](View* v, bool shown) {
        if (shown && v->Superview() != content) content->AddSubview(v);
        if (!shown && v->Superview()) v->RemoveFromSuperview();
    };
    const bool face = fModes & kFontPanelFaceModeMask;
    const bool size = fModes & kFontPanelSizeModeMask;
    show(fFamily.get(), face);
    show(fFace.get(), face);
    show(fSizeField.get(), size);
    show(fSizes.get(), size);
    show(fTextColor.get(), fModes & kFontPanelTextColorEffectModeMask);
    content->SetNeedsDisplay(true);
}

bool FontPanel::ShowsPart(Part part) const {
    const View* v = PartView(part);
    return v && v->Superview() == fWindow->ContentView();
}

View* FontPanel::PartView(Part part) const {
    switch (part) {
        case kFamilyPart:
            return fFamily.get();
        case kFacePart:
            return fFace.get();
        case kSizePart:
            return fSizeField.get();
        case kTextColorPart:
            return fTextColor.get();
        case kPreviewPart:
            return fPreview.get();
        case kPartCount:
            break;
    }
    return nullptr;
}

void FontPanel::FillFamilies() {
    fFamilies = FontCatalog::Families();
    fFamily->RemoveAllItems();
    for (const std::string& f : fFamilies) fFamily->AddItem(f);
}

void FontPanel::FillFaces(const std::string& family) {
    fFaces = FontCatalog::Typefaces(family);
    fFace->RemoveAllItems();
    for (const Typeface& t : fFaces) fFace->AddItem(t.styleName.empty() ? t.fontName : t.styleName);
}

void FontPanel::ShowSize(double size) {
    fSize = size;
    if (!fSizeField->CurrentEditor()) fSizeField->SetStringValue(SizeText(size));
    int32_t index = -1;
    for (size_t i = 0; i < std::size(kCommonSizes); ++i)
        if (kCommonSizes[i] == size) index = int32_t(i);
    fSizes->SelectItem(index);
}

void FontPanel::SetPanelFont(const Font* font) {
    PLAT_DCHECK_MAIN_THREAD();
    fShown = RetainRef(const_cast<Font*>(font));  // fonts are immutable
    if (!font) {
        fFamily->SelectItem(-1);
        fFace->RemoveAllItems();
        fPreview->SetNeedsDisplay(true);
        return;
    }
    if (fFamilies.empty()) FillFamilies();
    int32_t familyIndex = -1;
    for (size_t i = 0; i < fFamilies.size(); ++i)
        if (fFamilies[i] == font->FamilyName()) familyIndex = int32_t(i);
    fFamily->SelectItem(familyIndex);
    FillFaces(font->FamilyName());
    const std::string name = FontCatalog::FontNameOf(*font);
    int32_t faceIndex = -1;
    for (size_t i = 0; i < fFaces.size(); ++i)
        if (fFaces[i].fontName == name) faceIndex = int32_t(i);
    fFace->SelectItem(faceIndex);
    ShowSize(font->Size());
    fPreview->SetNeedsDisplay(true);
}

void FontPanel::ShowSelection() {
    SetPanelFont(FontManager::Shared()->SelectedFont());
}

std::string FontPanel::ShownFamily() const {
    const int32_t i = fFamily->SelectedItem();
    return i >= 0 && size_t(i) < fFamilies.size() ? fFamilies[size_t(i)] : std::string();
}

std::string FontPanel::ShownFace() const {
    const int32_t i = fFace->SelectedItem();
    return i >= 0 && size_t(i) < fFaces.size() ? fFaces[size_t(i)].fontName : std::string();
}

bool FontPanel::UserPickFamily(const std::string& family) {
    PLAT_DCHECK_MAIN_THREAD();
    if (fFamilies.empty()) FillFamilies();
    for (size_t i = 0; i < fFamilies.size(); ++i) {
        if (fFamilies[i] != family) continue;
        fFamily->SelectItem(int32_t(i));
        ControlAction(kFamilyAction, fFamily.get());
        return true;
    }
    return false;
}

bool FontPanel::UserPickFace(const std::string& fontName) {
    PLAT_DCHECK_MAIN_THREAD();
    for (size_t i = 0; i < fFaces.size(); ++i) {
        if (fFaces[i].fontName != fontName) continue;
        fFace->SelectItem(int32_t(i));
        ControlAction(kFaceAction, fFace.get());
        return true;
    }
    return false;
}

bool FontPanel::UserSetSize(double size) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!(size > 0) || !std::isfinite(size)) return false;
    fSizeField->SetStringValue(SizeText(size));
    TakeSizeField();
    return true;
}

void FontPanel::ControlAction(const char* action, Control* sender) {
    if (!action || !sender) return;
    Ref<Object> keep = RetainRef(this);
    FontManager* fm = FontManager::Shared();
    const std::string_view a(action);
    const int32_t i = sender->SelectedItem();
    if (a == kFamilyAction && i >= 0 && size_t(i) < fFamilies.size()) {
        fm->ChooseFamily(fFamilies[size_t(i)]);
    } else if (a == kFaceAction && i >= 0 && size_t(i) < fFaces.size()) {
        fm->ChooseFace(fFaces[size_t(i)].fontName);
    } else if (a == kSizeAction && i >= 0 && size_t(i) < std::size(kCommonSizes)) {
        fm->ChooseSize(kCommonSizes[i]);
    } else {
        return;
    }
    ShowSelection();
}

void FontPanel::TakeSizeField() {
    double size = 0;
    if (!ParseSize(fSizeField->StringValue(), size)) {
        fSizeField->SetStringValue(SizeText(fSize));
        return;
    }
    Ref<Object> keep = RetainRef(this);
    FontManager::Shared()->ChooseSize(size);
    ShowSelection();
}

void FontPanel::ControlTextDidEndEditing(TextField* field) {
    if (field == fSizeField.get()) TakeSizeField();
}

bool FontPanel::ControlDoCommandBySelector(TextField* field, TextView*, const char* selector) {
    if (field != fSizeField.get() || !selector || std::string_view(selector) != "insertNewline:")
        return false;
    TakeSizeField();
    fSizeField->SetStringValue(SizeText(fSize));
    return true;
}

void FontPanel::WindowWillClose(Window* w) {
    Ref<Object> keep = RetainRef(this);
    if (fDelegate) fDelegate->WindowWillClose(w);
}

void FontPanel::DrawPreview(View* view, const Rect&, void* self) {
    DrawContext* ctx = CurrentDrawContext();
    auto* panel = static_cast<FontPanel*>(self);
    if (!ctx) return;
    const Rect b = view->Bounds();
    ctx->SetFillColor({1, 1, 1, 1});
    ctx->FillRect(b);
    Ref<Font> font = panel->fShown ? panel->fShown : Font::CreateUser(0);
    theme::DrawLabel(*ctx, *font, font->FamilyName() + " " + SizeText(font->Size()), b, 0, {0, 0, 0, 1});
}

void FontPanel::DrawTextColor(View* view, const Rect&, void*) {
    DrawContext* ctx = CurrentDrawContext();
    if (!ctx) return;
    ctx->SetFillColor({0, 0, 0, 1});
    ctx->FillRect(view->Bounds());
}

}  // namespace plat
