#pragma once

#include <cstdint>
#include <string>

#include "Platform/AppKit/Control.h"
#include "Platform/AppKit/TextField.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Object.h"
#include "Platform/Graphics/GraphicsTypes.h"

namespace plat {

// The shared colour panel: a floating utility panel with a swatch of the colour, red, green, blue
// and alpha sliders (0…255) and a hex field ("RRGGBB", with "AA" after it while alpha shows). A
// change the user makes sends the action (default "changeColor:") to the target, or along the
// responder chain when none is set; a target asks Shared()->Color(). Continuous: every slider
// step sends; otherwise a slider sends once, when it is released. The delegate hears the panel's
// window callbacks (WindowWillClose when the close box or Close closes it). Closing only orders the
// panel out; it can be shown again. Lives for the rest of the process once made. Main thread only.
class ColorPanel final : public Object,
                         public ControlTarget,
                         public TextFieldDelegate,
                         public WindowDelegate {
public:
    enum Channel : int32_t { kRed, kGreen, kBlue, kAlpha, kChannelCount };

    // Made on first use.
    static ColorPanel* Shared();
    static bool SharedExists();

    Window* PanelWindow() const { return fWindow.get(); }
    void OrderFront() { fWindow->OrderFront(); }
    void OrderOut() { fWindow->OrderOut(); }
    void Close() { fWindow->Close(); }
    bool IsVisible() const { return fWindow->IsVisible(); }

    // Components are clamped to 0…1 and kept at 8 bits; alpha is 1 while alpha is hidden. Sends
    // nothing.
    GfxColor Color() const { return fColor; }
    void SetColor(const GfxColor& colour);
    bool ShowsAlpha() const { return fShowsAlpha; }
    void SetShowsAlpha(bool shows);
    bool IsContinuous() const { return fContinuous; }
    void SetContinuous(bool continuous) { fContinuous = continuous; }

    // Not retained; null sends along the responder chain.
    MenuTarget* Target() const { return fTarget; }
    void SetTarget(MenuTarget* target) { fTarget = target; }
    const std::string& Action() const { return fAction; }
    void SetAction(const char* action) { fAction = action ? action : ""; }
    // Not retained.
    WindowDelegate* Delegate() const { return fDelegate; }
    void SetDelegate(WindowDelegate* delegate) { fDelegate = delegate; }

    // The parts, for tests that press and type into them.
    Control* Slider(Channel channel) const { return fSliders[channel].get(); }
    TextField* HexField() const { return fHex.get(); }
    View* Swatch() const { return fSwatch.get(); }

    // What the user does: picks a colour (as from the sliders, one action) or clicks the close box.
    void UserPickColor(const GfxColor& colour);
    void UserClose() { fWindow->PerformClose(); }

    // "RRGGBB" or "RRGGBBAA" (a leading "#" allowed, any case) into a colour; false when malformed.
    [[nodiscard]] static bool ParseHex(const std::string& text, GfxColor& colour);
    static std::string HexText(const GfxColor& colour, bool withAlpha);

    // ControlTarget, TextFieldDelegate, WindowDelegate.
    void ControlAction(const char* action, Control* sender) override;
    void ControlTextDidEndEditing(TextField* field) override;
    bool ControlDoCommandBySelector(TextField* field, TextView* view, const char* selector) override;
    bool WindowShouldClose(Window* w) override { return !fDelegate || fDelegate->WindowShouldClose(w); }
    void WindowWillClose(Window* w) override;

private:
    class SliderControl;
    ColorPanel();
    ~ColorPanel() override;

    void ShowColor();
    void ShowHex();
    void SendAction();
    void SliderReleased();
    void TakeHex();
    static void DrawSwatch(View* view, const Rect& dirty, void* self);

    Ref<Window> fWindow;
    Ref<View> fSwatch;
    Ref<Control> fSliders[kChannelCount];
    Ref<TextField> fHex;
    GfxColor fColor{1, 1, 1, 1};
    bool fShowsAlpha = true;
    bool fContinuous = true;
    bool fPending = false;  // a slider moved while not continuous
    bool fInField = false;  // in the hex field's own callbacks
    MenuTarget* fTarget = nullptr;
    std::string fAction = "changeColor:";
    WindowDelegate* fDelegate = nullptr;
};

}  // namespace plat
