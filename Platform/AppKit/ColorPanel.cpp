#include "Platform/AppKit/ColorPanel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "Platform/AppKit/Application.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Font.h"

namespace plat {

namespace {

ColorPanel* gShared = nullptr;

constexpr double kWidth = 240;
constexpr double kMargin = 10;
constexpr double kSwatchHeight = 40;
constexpr double kRowHeight = 28;
constexpr double kFieldHeight = 22;
constexpr const char* kSliderAction = "slide:";

double Clamp01(double v) {
    if (!(v > 0)) return 0;  // NaN too
    return v > 1 ? 1 : v;
}

// 8 bits per component, as the sliders and the hex field hold them.
double Quantize(double v) {
    return std::round(Clamp01(v) * 255) / 255;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

// A slider that tells the panel when the press that moved it ends (for non-continuous panels).
class ColorPanel::SliderControl final : public Control {
public:
    SliderControl(ColorPanel* panel, const Rect& frame)
        : Control(ControlKind::kSlider, frame), fPanel(panel) {}
    void MouseDown(const Event& event) override {
        Ref<View> keep = RetainRef(this);
        Control::MouseDown(event);
        fPanel->SliderReleased();
    }

private:
    ColorPanel* fPanel;
};

ColorPanel* ColorPanel::Shared() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!gShared) gShared = new ColorPanel;  // the process keeps it
    return gShared;
}

bool ColorPanel::SharedExists() {
    return gShared != nullptr;
}

ColorPanel::ColorPanel() {
    const double height =
        kMargin + kSwatchHeight + double(kChannelCount) * kRowHeight + kFieldHeight + 2 * kMargin;
    fWindow = Window::CreatePanel({200, 200, kWidth, height},
                                  kTitledWindowMask | kClosableWindowMask | kUtilityWindowMask);
    fWindow->SetTitle("Colours");
    fWindow->SetFloatingPanel(true);
    fWindow->SetBecomesKeyOnlyIfNeeded(true);
    fWindow->SetReleasedWhenClosed(false);
    fWindow->SetDelegate(this);
    Ref<View> content = View::Create({0, 0, kWidth, height});
    fWindow->SetContentView(content.get());

    fSwatch = View::Create({kMargin, kMargin, kWidth - 2 * kMargin, kSwatchHeight});
    fSwatch->SetDrawCallback(&DrawSwatch, this);
    content->AddSubview(fSwatch.get());
    double y = kMargin + kSwatchHeight + 6;
    for (int32_t i = 0; i < kChannelCount; ++i, y += kRowHeight) {
        fSliders[i] = Adopt<Control>(
            static_cast<Control*>(new SliderControl(this, {kMargin, y, kWidth - 2 * kMargin, 20})));
        fSliders[i]->SetRange(0, 255);
        fSliders[i]->SetTarget(this);
        fSliders[i]->SetAction(kSliderAction);
        content->AddSubview(fSliders[i].get());
    }
    fHex = TextField::Create({kMargin, y + 4, 120, kFieldHeight});
    fHex->SetDelegate(this);
    content->AddSubview(fHex.get());
    ShowColor();
}

ColorPanel::~ColorPanel() {
    fWindow->SetDelegate(nullptr);
    fHex->SetDelegate(nullptr);
    for (Ref<Control>& s : fSliders) s->SetTarget(nullptr);
    fSwatch->SetDrawCallback(nullptr, nullptr);
}

void ColorPanel::SetColor(const GfxColor& colour) {
    PLAT_DCHECK_MAIN_THREAD();
    fColor = {Quantize(colour.red), Quantize(colour.green), Quantize(colour.blue),
              fShowsAlpha ? Quantize(colour.alpha) : 1.0};
    ShowColor();
}

void ColorPanel::SetShowsAlpha(bool shows) {
    PLAT_DCHECK_MAIN_THREAD();
    if (shows == fShowsAlpha) return;
    fShowsAlpha = shows;
    Control* alpha = fSliders[kAlpha].get();
    if (shows)
        fWindow->ContentView()->AddSubview(alpha);
    else
        alpha->RemoveFromSuperview();
    if (!shows) fColor.alpha = 1;
    ShowColor();
}

void ColorPanel::ShowColor() {
    const double parts[kChannelCount] = {fColor.red, fColor.green, fColor.blue, fColor.alpha};
    for (int32_t i = 0; i < kChannelCount; ++i)
        fSliders[i]->SetIntValue(int32_t(std::lround(parts[i] * 255)));
    ShowHex();
    fSwatch->SetNeedsDisplay(true);
}

void ColorPanel::ShowHex() {
    const std::string text = HexText(fColor, fShowsAlpha);
    if (fHex->StringValue() == text) return;
    // A colour set from elsewhere ends the typing (the typed text is dropped); the field's own
    // callbacks leave its editor alone and the field takes the text when editing ends.
    if (fHex->CurrentEditor() && !fInField) {
        fInField = true;
        fHex->AbortEditing();
        fInField = false;
    }
    fHex->SetStringValue(text);
}

void ColorPanel::SendAction() {
    if (fAction.empty()) return;
    Ref<Object> keep = RetainRef(this);
    (void)Application::Shared()->SendAction(fAction.c_str(), fTarget, nullptr);
}

void ColorPanel::UserPickColor(const GfxColor& colour) {
    PLAT_DCHECK_MAIN_THREAD();
    SetColor(colour);
    SendAction();
}

void ColorPanel::ControlAction(const char* action, Control* sender) {
    if (!action || std::string_view(action) != kSliderAction) return;
    for (int32_t i = 0; i < kChannelCount; ++i) {
        if (fSliders[i].get() != sender) continue;
        const double v = sender->IntValue() / 255.0;
        double* parts[kChannelCount] = {&fColor.red, &fColor.green, &fColor.blue, &fColor.alpha};
        *parts[i] = v;
    }
    ShowHex();
    fSwatch->SetNeedsDisplay(true);
    if (fContinuous)
        SendAction();
    else
        fPending = true;
}

void ColorPanel::SliderReleased() {
    if (!fPending) return;
    fPending = false;
    SendAction();
}

void ColorPanel::TakeHex() {
    GfxColor c;
    if (!ParseHex(fHex->StringValue(), c)) {
        fHex->SetStringValue(HexText(fColor, fShowsAlpha));
        return;
    }
    if (!fShowsAlpha) c.alpha = 1;
    const bool changed =
        c.red != fColor.red || c.green != fColor.green || c.blue != fColor.blue || c.alpha != fColor.alpha;
    SetColor(c);
    if (changed) SendAction();
}

void ColorPanel::ControlTextDidEndEditing(TextField* field) {
    if (field != fHex.get() || fInField) return;
    fInField = true;
    TakeHex();
    fInField = false;
}

bool ColorPanel::ControlDoCommandBySelector(TextField* field, TextView*, const char* selector) {
    if (field != fHex.get() || !selector || std::string_view(selector) != "insertNewline:") return false;
    fInField = true;
    TakeHex();
    fHex->SetStringValue(HexText(fColor, fShowsAlpha));
    fInField = false;
    return true;
}

void ColorPanel::WindowWillClose(Window* w) {
    Ref<Object> keep = RetainRef(this);
    if (fDelegate) fDelegate->WindowWillClose(w);
}

void ColorPanel::DrawSwatch(View* view, const Rect&, void* self) {
    DrawContext* ctx = CurrentDrawContext();
    if (!ctx) return;
    const GfxColor c = static_cast<ColorPanel*>(self)->fColor;
    const Rect b = view->Bounds();
    // A checkerboard under the colour shows its transparency.
    ctx->SetFillColor({1, 1, 1, 1});
    ctx->FillRect(b);
    ctx->SetFillColor({0.75, 0.75, 0.75, 1});
    for (double y = 0; y < b.height; y += 8)
        for (double x = (int(y / 8) % 2) * 8; x < b.width; x += 16)
            ctx->FillRect({x, y, std::min(8.0, b.width - x), std::min(8.0, b.height - y)});
    ctx->SetFillColor(c);
    ctx->FillRect(b);
}

bool ColorPanel::ParseHex(const std::string& text, GfxColor& colour) {
    std::string_view t(text);
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    if (!t.empty() && t.front() == '#') t.remove_prefix(1);
    if (t.size() != 6 && t.size() != 8) return false;
    double parts[4] = {0, 0, 0, 1};
    for (size_t i = 0; i < t.size(); i += 2) {
        const int hi = HexDigit(t[i]), lo = HexDigit(t[i + 1]);
        if (hi < 0 || lo < 0) return false;
        parts[i / 2] = (hi * 16 + lo) / 255.0;
    }
    colour = {parts[0], parts[1], parts[2], parts[3]};
    return true;
}

std::string ColorPanel::HexText(const GfxColor& colour, bool withAlpha) {
    char buf[16];
    auto b = [](double v) { return unsigned(std::lround(Clamp01(v) * 255)); };
    if (withAlpha)
        std::snprintf(buf, sizeof buf, "%02X%02X%02X%02X", b(colour.red), b(colour.green), b(colour.blue),
                      b(colour.alpha));
    else
        std::snprintf(buf, sizeof buf, "%02X%02X%02X", b(colour.red), b(colour.green), b(colour.blue));
    return buf;
}

}  // namespace plat
