#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Platform/AppKit/View.h"
#include "Platform/Foundation/Object.h"

namespace plat {

class BitmapImage;
class Control;
class Font;

// Who hears a control's action: the action name and the control that sent it.
class ControlTarget {
public:
    virtual ~ControlTarget() = default;
    virtual void ControlAction(const char* action, Control* sender) = 0;
};

enum class ControlKind : uint8_t {
    kPushButton,    // rounded bezel
    kToggleButton,  // square bezel that keeps its state
    kCheckBox,
    kRadioButton,
    kImageToggle,  // image bezel that keeps its state
    kPopUpButton,
    kScroller,
    kSlider,
};

enum class ControlSize : uint8_t { kRegular, kSmall, kMini };

// Parts of a scroller a point can hit.
enum ScrollerPart : int32_t {
    kScrollerNoPart = 0,
    kScrollerDecrementPage = 1,
    kScrollerKnob = 2,
    kScrollerIncrementPage = 3,
    kScrollerDecrementLine = 4,
    kScrollerIncrementLine = 5,
    kScrollerKnobSlot = 6,
};

// A native control: draws itself with the theme and tracks the mouse itself. A press runs a
// loop on Application::NextEvent in the event-tracking mode until the release (outside the window
// too): buttons highlight while the pointer is inside and fire on a release inside; check boxes and
// radios switch, then fire; sliders follow the pointer (a press on the track jumps there) and fire
// as the value changes; scrollers drag the knob, or step by lines and pages, repeating after the
// backend's key-repeat delays; pop-ups open their menu. Main thread only.
class Control : public View {
public:
    static Ref<Control> Create(ControlKind kind, const Rect& frame);

    // Bezels, boxes and labels are drawn over the window's drawing beneath.
    bool IsOpaque() const override { return false; }

    ControlKind Kind() const { return fKind; }

    bool IsEnabled() const { return fEnabled; }
    void SetEnabled(bool enabled);
    ControlSize Size() const { return fSize; }
    void SetControlSize(ControlSize size);
    // The font given, else the system font of the control size (never null).
    const Font& ControlFont() const;
    void SetFont(Font* font);

    void SetTarget(ControlTarget* target) { fTarget = target; }
    ControlTarget* Target() const { return fTarget; }
    void SetAction(const char* action) { fAction = action ? action : ""; }
    const std::string& Action() const { return fAction; }

    // Any UTF-8; broken bytes are shown as U+FFFD.
    void SetTitle(const std::string& title);
    const std::string& Title() const { return fTitle; }
    // Buttons draw the image centred on their bezel (under the title when both are set); null for none.
    void SetImage(const BitmapImage* image);
    const BitmapImage* Image() const { return fImage.get(); }
    void SetKeyEquivalent(const std::string& key) { fKeyEquivalent = key; }
    const std::string& KeyEquivalent() const { return fKeyEquivalent; }
    // A default push button is drawn with the accent.
    void SetDefault(bool isDefault);
    bool IsDefault() const { return fDefault; }
    void SetShowsFocus(bool focus);

    bool IsHighlighted() const { return fHighlighted; }
    void Highlight(bool on);
    int32_t State() const { return fState; }
    void SetState(int32_t state);

    // The size the content needs (title in the control font, bezel and marks).
    plat::Size CellSize() const;
    // Fires the action as a click would (switching state first); nothing when disabled.
    void PerformClick();
    // Draws the area of the control (own coordinates) into a new image; null when empty.
    Ref<BitmapImage> CacheDisplayInRect(const Rect& rect);

    // Pop-up items (separators are "-" items that cannot be chosen). Out-of-range indices are
    // ignored; the selection is -1 when there are no items.
    void RemoveAllItems();
    void AddItem(const std::string& title);
    void AddSeparator();
    // Inserts before the index (clamped to the end); an empty title inserts a separator. The
    // selection stays on its item.
    void InsertItem(const std::string& title, int32_t index);
    void RemoveItemAt(int32_t index);
    bool IsSeparatorItem(int32_t index) const;
    int32_t NumberOfItems() const { return int32_t(fItems.size()); }
    std::string ItemTitle(int32_t index) const;
    void SelectItem(int32_t index);
    int32_t SelectedItem() const { return fSelected; }

    // Scroller: value 0…1, knob proportion 0…1; the part last hit.
    double FloatValue() const { return fFloat; }
    void SetFloatValue(double value);
    double KnobProportion() const { return fProportion; }
    void SetKnobProportion(double proportion);
    int32_t HitPart() const { return fHitPart; }
    int32_t TestPart(Point p) const;  // own coordinates
    Rect RectForPart(int32_t part) const;
    // Scroller width (height when horizontal) of a control size: 16 regular, 14 small, 11 mini.
    static double ScrollerWidth(ControlSize size);

    // Slider: value within minimum…maximum, vertical or horizontal, knob rectangle.
    int32_t IntValue() const { return fInt; }
    void SetIntValue(int32_t value);
    int32_t Minimum() const { return fMin; }
    int32_t Maximum() const { return fMax; }
    void SetRange(int32_t minimum, int32_t maximum);
    bool IsVertical() const;
    void SetVertical(bool vertical) {
        fVertical = vertical ? 1 : 0;
        SetNeedsDisplay(true);
    }
    Rect KnobRect() const;

    void DrawRect(const Rect& dirty) override;
    void MouseDown(const Event& event) override;
    bool AcceptsFirstMouse(const Event&) override { return true; }

protected:
    Control(ControlKind kind, const Rect& frame);

private:
    void Fire();
    Point LocalPoint(const Event& e) const;
    void TrackButton(Point start);
    void TrackSlider(Point start);
    void TrackScroller(Point start);
    void TrackPopUp();
    int32_t SliderValueAt(Point p, double grab) const;
    double ScrollerValueAt(Point p, double grab) const;
    void StepScroller(int32_t part);
    void Draw(DrawContext& ctx);

    ControlKind fKind;
    ControlSize fSize = ControlSize::kRegular;
    bool fEnabled = true;
    bool fDefault = false;
    bool fFocus = false;
    bool fHighlighted = false;
    int32_t fState = 0;
    Ref<Font> fFont;
    ControlTarget* fTarget = nullptr;
    std::string fAction;
    std::string fTitle;
    Ref<const BitmapImage> fImage;
    std::string fKeyEquivalent;
    std::vector<std::string> fItems;  // "\x01" marks a separator
    int32_t fSelected = -1;
    double fFloat = 0;
    double fProportion = 0;
    int32_t fHitPart = kScrollerNoPart;
    int32_t fInt = 0;
    int32_t fMin = 0;
    int32_t fMax = 100;
    int32_t fVertical = -1;  // -1: from the frame's shape
};

}  // namespace plat
