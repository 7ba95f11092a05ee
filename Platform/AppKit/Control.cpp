#include "Platform/AppKit/Control.h"

#include <algorithm>
#include <cmath>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/AppKit/MenuDrawing.h"
#include "Platform/AppKit/Theme.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Graphics/BitmapContext.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Text.h"

namespace plat {

namespace {

constexpr const char* kSeparatorItem = "\x01";
constexpr double kMarkSize = 14;
constexpr double kMarkGap = 5;
constexpr double kPoll = 0.05;

double TicksToSeconds(int32_t ticks) {
    return std::max(1, ticks) / 60.0;
}

bool IsRelease(const Event& e) {
    return e.type == EventType::kLeftMouseUp;
}
bool IsDrag(const Event& e) {
    return e.type == EventType::kLeftMouseDragged || e.type == EventType::kMouseMoved;
}

const Font& FontOfSize(ControlSize size) {
    static Font* regular = Font::CreateSystem(Font::SystemFontSize()).release();     // kept for the process
    static Font* small = Font::CreateSystem(Font::SmallSystemFontSize()).release();  // kept for the process
    static Font* mini = Font::CreateSystem(9).release();                             // kept for the process
    return size == ControlSize::kRegular ? *regular : size == ControlSize::kSmall ? *small : *mini;
}

// The application went away from under the tracking run.
bool Ended() {
    Application* app = Application::Shared();
    return !app->IsActive() || app->TerminationRequested();
}

// Escape ends a tracking run as a release outside would; other keys and non-mouse events are
// handled as usual meanwhile.
bool Cancels(const Event& e) {
    if (e.type == EventType::kKeyDown) return e.characters == "\x1b";
    if (!e.IsMouse() && !e.IsKey() && e.type != EventType::kFlagsChanged) Application::Shared()->SendEvent(e);
    return Ended();
}

}  // namespace

Ref<Control> Control::Create(ControlKind kind, const Rect& frame) {
    PLAT_DCHECK_MAIN_THREAD();
    return Adopt(new Control(kind, frame));
}

Control::Control(ControlKind kind, const Rect& frame) : View(frame), fKind(kind) {}

void Control::SetEnabled(bool enabled) {
    if (fEnabled == enabled) return;
    fEnabled = enabled;
    SetNeedsDisplay(true);
}

void Control::SetControlSize(ControlSize size) {
    fSize = size;
    SetNeedsDisplay(true);
}

const Font& Control::ControlFont() const {
    return fFont ? *fFont : FontOfSize(fSize);
}

void Control::SetFont(Font* font) {
    fFont = RetainRef(font);
    SetNeedsDisplay(true);
}

void Control::SetTitle(const std::string& title) {
    fTitle = MenuSafeText(title);
    SetNeedsDisplay(true);
}

void Control::SetDefault(bool isDefault) {
    fDefault = isDefault;
    SetNeedsDisplay(true);
}

void Control::SetShowsFocus(bool focus) {
    fFocus = focus;
    SetNeedsDisplay(true);
}

void Control::Highlight(bool on) {
    if (fHighlighted == on) return;
    fHighlighted = on;
    SetNeedsDisplay(true);
}

void Control::SetImage(const BitmapImage* image) {
    if (fImage.get() == image) return;
    fImage = RetainRef(image);
    SetNeedsDisplay(true);
}

void Control::SetState(int32_t state) {
    state = state ? 1 : 0;
    if (fState == state) return;
    fState = state;
    SetNeedsDisplay(true);
}

Size Control::CellSize() const {
    const Font& f = ControlFont();
    const double text = fTitle.empty() ? 0 : TextWidth(f, fTitle.data(), fTitle.size());
    const double line = std::ceil(f.LineHeight());
    switch (fKind) {
        case ControlKind::kPushButton:
        case ControlKind::kToggleButton:
        case ControlKind::kImageToggle:
            return {std::ceil(text) + 28, line + 8};
        case ControlKind::kCheckBox:
        case ControlKind::kRadioButton:
            return {kMarkSize + (text > 0 ? kMarkGap + std::ceil(text) : 0), std::max(kMarkSize, line)};
        case ControlKind::kPopUpButton: {
            double w = text;
            for (const std::string& s : fItems)
                if (s != kSeparatorItem) w = std::max(w, TextWidth(f, s.data(), s.size()));
            return {std::ceil(w) + 38, line + 8};
        }
        case ControlKind::kScroller:
            return {ScrollerWidth(fSize), ScrollerWidth(fSize)};
        case ControlKind::kSlider:
            return {theme::Metric(45), theme::Metric(41)};
    }
    return {};
}

void Control::Fire() {
    if (fTarget) fTarget->ControlAction(fAction.c_str(), this);
}

void Control::PerformClick() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fEnabled) return;
    if (fKind == ControlKind::kCheckBox || fKind == ControlKind::kToggleButton ||
        fKind == ControlKind::kImageToggle)
        SetState(!fState);
    else if (fKind == ControlKind::kRadioButton)
        SetState(1);
    Fire();
}

Ref<BitmapImage> Control::CacheDisplayInRect(const Rect& rect) {
    const int32_t w = int32_t(std::ceil(rect.width)), h = int32_t(std::ceil(rect.height));
    if (w <= 0 || h <= 0) return nullptr;
    Ref<BitmapContext> ctx = BitmapContext::Create(w, h, PixelFormat::kARGB32);
    if (!ctx) return nullptr;
    ctx->TranslateCTM(-rect.x, -rect.y);
    Draw(*ctx);
    return ctx->CopyImage();
}

// Pop-up items.

void Control::RemoveAllItems() {
    fItems.clear();
    fSelected = -1;
    SetNeedsDisplay(true);
}

void Control::AddItem(const std::string& title) {
    fItems.push_back(MenuSafeText(title));
    if (fSelected < 0) fSelected = 0;
    SetNeedsDisplay(true);
}

void Control::AddSeparator() {
    fItems.push_back(kSeparatorItem);
}

void Control::InsertItem(const std::string& title, int32_t index) {
    index = std::clamp(index, 0, NumberOfItems());
    fItems.insert(fItems.begin() + index, title.empty() ? std::string(kSeparatorItem) : MenuSafeText(title));
    if (fSelected < 0)
        fSelected = 0;
    else if (index <= fSelected)
        ++fSelected;
    SetNeedsDisplay(true);
}

void Control::RemoveItemAt(int32_t index) {
    if (index < 0 || index >= NumberOfItems()) return;
    fItems.erase(fItems.begin() + index);
    if (fItems.empty())
        fSelected = -1;
    else if (index < fSelected || fSelected >= NumberOfItems())
        --fSelected;
    SetNeedsDisplay(true);
}

bool Control::IsSeparatorItem(int32_t index) const {
    return index >= 0 && index < NumberOfItems() && fItems[size_t(index)] == kSeparatorItem;
}

std::string Control::ItemTitle(int32_t index) const {
    if (index < 0 || index >= NumberOfItems() || fItems[size_t(index)] == kSeparatorItem) return {};
    return fItems[size_t(index)];
}

void Control::SelectItem(int32_t index) {
    if (index < 0 || index >= NumberOfItems()) return;
    fSelected = index;
    SetNeedsDisplay(true);
}

// Scroller.

double Control::ScrollerWidth(ControlSize size) {
    return size == ControlSize::kRegular ? 16 : size == ControlSize::kSmall ? 14 : 11;
}

void Control::SetFloatValue(double value) {
    value = std::isnan(value) ? 0 : std::clamp(value, 0.0, 1.0);
    if (value == fFloat) return;
    fFloat = value;
    SetNeedsDisplay(true);
}

void Control::SetKnobProportion(double proportion) {
    fProportion = std::isnan(proportion) ? 0 : std::clamp(proportion, 0.0, 1.0);
    SetNeedsDisplay(true);
}

bool Control::IsVertical() const {
    if (fVertical >= 0) return fVertical == 1;
    const Rect b = Bounds();
    return b.height > b.width;
}

Rect Control::RectForPart(int32_t part) const {
    const Rect b = Bounds();
    const bool v = IsVertical();
    const double len = v ? b.height : b.width;
    const double thick = v ? b.width : b.height;
    const double arrow = std::min(thick, len / 4);
    const double slotStart = arrow, slotLen = std::max(0.0, len - 2 * arrow);
    auto along = [&](double start, double extent) {
        return v ? Rect{b.x, b.y + start, b.width, extent} : Rect{b.x + start, b.y, extent, b.height};
    };
    const bool usable = fEnabled && fProportion > 0 && fProportion < 1;
    const double knobLen = usable ? std::max(std::min(thick, slotLen), slotLen * fProportion) : 0;
    const double knobStart = slotStart + (slotLen - knobLen) * fFloat;
    switch (part) {
        case kScrollerDecrementLine:
            return along(0, arrow);
        case kScrollerIncrementLine:
            return along(len - arrow, arrow);
        case kScrollerKnobSlot:
            return along(slotStart, slotLen);
        case kScrollerKnob:
            return usable ? along(knobStart, knobLen) : Rect{};
        case kScrollerDecrementPage:
            return usable ? along(slotStart, knobStart - slotStart) : Rect{};
        case kScrollerIncrementPage:
            return usable ? along(knobStart + knobLen, slotStart + slotLen - knobStart - knobLen) : Rect{};
        default:
            return {};
    }
}

int32_t Control::TestPart(Point p) const {
    if (fKind != ControlKind::kScroller || !fEnabled || !Bounds().Contains(p)) return kScrollerNoPart;
    for (int32_t part : {kScrollerDecrementLine, kScrollerIncrementLine, kScrollerKnob,
                         kScrollerDecrementPage, kScrollerIncrementPage})
        if (RectForPart(part).Contains(p)) return part;
    return RectForPart(kScrollerKnobSlot).Contains(p) ? kScrollerKnobSlot : kScrollerNoPart;
}

// Slider.

void Control::SetIntValue(int32_t value) {
    value = std::clamp(value, fMin, std::max(fMin, fMax));
    if (value == fInt) return;
    fInt = value;
    SetNeedsDisplay(true);
}

void Control::SetRange(int32_t minimum, int32_t maximum) {
    fMin = minimum;
    fMax = std::max(minimum, maximum);
    fInt = std::clamp(fInt, fMin, fMax);
    SetNeedsDisplay(true);
}

Rect Control::KnobRect() const {
    const Rect b = Bounds();
    const double knob = theme::kSliderKnob;
    const double range = double(fMax) - double(fMin);
    const double t = range > 0 ? (double(fInt) - fMin) / range : 0;
    if (IsVertical()) {
        const double travel = std::max(0.0, b.height - knob);
        // The minimum is at the bottom.
        return {b.x, b.y + travel * (1 - t), b.width, std::min(knob, b.height)};
    }
    const double travel = std::max(0.0, b.width - knob);
    return {b.x + travel * t, b.y, std::min(knob, b.width), b.height};
}

int32_t Control::SliderValueAt(Point p, double grab) const {
    const Rect b = Bounds();
    const double knob = theme::kSliderKnob;
    const bool v = IsVertical();
    const double travel = std::max(0.0, (v ? b.height : b.width) - knob);
    if (travel <= 0) return fMin;
    double pos = (v ? p.y - b.y : p.x - b.x) - grab;
    double t = std::clamp(pos / travel, 0.0, 1.0);
    if (v) t = 1 - t;
    return int32_t(std::lround(fMin + t * (double(fMax) - fMin)));
}

double Control::ScrollerValueAt(Point p, double grab) const {
    const Rect slot = RectForPart(kScrollerKnobSlot);
    const Rect knob = RectForPart(kScrollerKnob);
    const bool v = IsVertical();
    const double travel = v ? slot.height - knob.height : slot.width - knob.width;
    if (travel <= 0) return 0;
    const double pos = (v ? p.y - slot.y : p.x - slot.x) - grab;
    return std::clamp(pos / travel, 0.0, 1.0);
}

// Tracking.

Point Control::LocalPoint(const Event& e) const {
    Window* w = GetWindow();
    if (!w) return e.location;
    Point content = e.location;
    if (e.windowNumber != w->Number()) content = w->ConvertFromScreen(e.location);
    const Point inSuper = Superview() ? Superview()->ConvertFromContent(content) : content;
    return {inSuper.x - Frame().x + Bounds().x, inSuper.y - Frame().y + Bounds().y};
}

void Control::MouseDown(const Event& event) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fEnabled) return;
    Ref<Control> keep = RetainRef(this);
    const Point p = LocalPoint(event);
    switch (fKind) {
        case ControlKind::kSlider:
            TrackSlider(p);
            break;
        case ControlKind::kScroller:
            TrackScroller(p);
            break;
        case ControlKind::kPopUpButton:
            TrackPopUp();
            break;
        default:
            TrackButton(p);
            break;
    }
}

void Control::TrackButton(Point start) {
    Application* app = Application::Shared();
    Highlight(Bounds().Contains(start));
    for (;;) {
        Event e;
        if (!app->NextEvent(kAnyEventMask, ClockNow() + kPoll, kEventTrackingRunLoopMode, true, &e)) {
            if (Ended()) break;
            continue;
        }
        if (Cancels(e)) break;
        if (IsDrag(e)) {
            Highlight(Bounds().Contains(LocalPoint(e)));
        } else if (IsRelease(e)) {
            const bool inside = Bounds().Contains(LocalPoint(e));
            Highlight(false);
            if (inside) PerformClick();
            return;
        }
    }
    Highlight(false);
}

void Control::TrackSlider(Point start) {
    Application* app = Application::Shared();
    const Rect knob = KnobRect();
    double grab = theme::kSliderKnob / 2;
    if (knob.Contains(start)) grab = IsVertical() ? start.y - knob.y : start.x - knob.x;
    Highlight(true);
    Point last = start;
    auto follow = [&](Point p, bool force) {
        if (!force && p.x == last.x && p.y == last.y) return;  // the pointer did not move
        last = p;
        const int32_t v = SliderValueAt(p, grab);
        if (v != fInt) {
            SetIntValue(v);
            Fire();
        }
    };
    if (!knob.Contains(start)) follow(start, true);
    for (;;) {
        Event e;
        if (!app->NextEvent(kAnyEventMask, ClockNow() + kPoll, kEventTrackingRunLoopMode, true, &e)) {
            if (Ended()) break;
            continue;
        }
        if (Cancels(e)) break;
        if (IsDrag(e)) {
            follow(LocalPoint(e), false);
        } else if (IsRelease(e)) {
            follow(LocalPoint(e), false);
            break;
        }
    }
    Highlight(false);
}

void Control::StepScroller(int32_t part) {
    fHitPart = part;
    Fire();
}

void Control::TrackScroller(Point start) {
    Application* app = Application::Shared();
    const int32_t part = TestPart(start);
    if (part == kScrollerNoPart || part == kScrollerKnobSlot) return;
    fHitPart = part;
    Backend* backend = CurrentBackend();
    const double delay = TicksToSeconds(backend ? backend->KeyRepeatDelayTicks() : 15);
    const double interval = TicksToSeconds(backend ? backend->KeyRepeatIntervalTicks() : 2);
    double grab = 0;
    if (part == kScrollerKnob) {
        const Rect knob = RectForPart(kScrollerKnob);
        grab = IsVertical() ? start.y - knob.y : start.x - knob.x;
    } else {
        StepScroller(part);
    }
    Highlight(true);
    Point pointer = start;
    double next = ClockNow() + delay;
    for (;;) {
        Event e;
        const double until = part == kScrollerKnob ? ClockNow() + kPoll : next;
        if (!app->NextEvent(kAnyEventMask, until, kEventTrackingRunLoopMode, true, &e)) {
            if (Ended()) break;
            if (part != kScrollerKnob && ClockNow() >= next) {
                // Repeat while the pointer stays on the part (the page part follows the knob).
                if (TestPart(pointer) == part) StepScroller(part);
                next = ClockNow() + interval;
            }
            continue;
        }
        if (Cancels(e)) break;
        if (IsDrag(e)) {
            pointer = LocalPoint(e);
            if (part == kScrollerKnob) {
                const double v = ScrollerValueAt(pointer, grab);
                if (v != fFloat) {
                    SetFloatValue(v);
                    StepScroller(kScrollerKnob);
                }
            }
        } else if (IsRelease(e)) {
            break;
        }
    }
    Highlight(false);
}

void Control::TrackPopUp() {
    Window* w = GetWindow();
    if (fItems.empty() || !w) return;
    Ref<Menu> menu = Menu::Create(fTitle);
    menu->SetAutoenablesItems(false);
    std::vector<MenuItem*> items;
    for (size_t i = 0; i < fItems.size(); ++i) {
        Ref<MenuItem> item =
            fItems[i] == kSeparatorItem ? MenuItem::Separator() : MenuItem::Create(fItems[i], "", "");
        menu->AddItem(item.get());
        items.push_back(item.get());
    }
    MenuItem* positioned = fSelected >= 0 ? items[size_t(fSelected)] : nullptr;
    const Point origin = w->ConvertToScreen(ConvertToContent({Bounds().x, Bounds().y}));
    Highlight(true);
    Ref<MenuItem> chosen = menu->PopUp(positioned, origin, w);
    Highlight(false);
    if (!chosen) return;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == chosen.get()) {
            fSelected = int32_t(i);
            SetNeedsDisplay(true);
            Fire();
            return;
        }
}

// Drawing.

void Control::DrawRect(const Rect&) {
    if (DrawContext* ctx = CurrentDrawContext()) Draw(*ctx);
}

void Control::Draw(DrawContext& ctx) {
    const theme::Palette& pal = theme::Colours();
    const Rect b = Bounds();
    const Font& f = ControlFont();
    const GfxColor& text = fEnabled ? pal.text : pal.disabledText;
    switch (fKind) {
        case ControlKind::kPushButton:
        case ControlKind::kToggleButton:
        case ControlKind::kImageToggle: {
            const bool pressed = fHighlighted || (fKind != ControlKind::kPushButton && fState);
            theme::BezelState s = !fEnabled  ? theme::BezelState::kDisabled
                                  : pressed  ? theme::BezelState::kPressed
                                  : fDefault ? theme::BezelState::kDefault
                                             : theme::BezelState::kNormal;
            theme::DrawBezel(ctx, b, s, fKind == ControlKind::kPushButton);
            if (fImage) {
                const double w = fImage->Width(), h = fImage->Height();
                ctx.DrawImage(
                    {std::floor(b.x + (b.width - w) / 2), std::floor(b.y + (b.height - h) / 2), w, h},
                    fImage.get());
            }
            const GfxColor& tc = s == theme::BezelState::kDefault ? pal.accentText : text;
            theme::DrawLabel(ctx, f, fTitle, b, 1, tc);
            break;
        }
        case ControlKind::kCheckBox:
        case ControlKind::kRadioButton: {
            const Rect box{b.x, b.y + std::floor((b.height - kMarkSize) / 2), kMarkSize, kMarkSize};
            if (fKind == ControlKind::kCheckBox)
                theme::DrawCheckBox(ctx, box, fState != 0, fHighlighted, fEnabled);
            else
                theme::DrawRadio(ctx, box, fState != 0, fHighlighted, fEnabled);
            const double tx = kMarkSize + kMarkGap;
            theme::DrawLabel(ctx, f, fTitle, {b.x + tx, b.y, std::max(0.0, b.width - tx), b.height}, 0, text);
            break;
        }
        case ControlKind::kPopUpButton: {
            theme::DrawBezel(ctx, b,
                             !fEnabled      ? theme::BezelState::kDisabled
                             : fHighlighted ? theme::BezelState::kPressed
                                            : theme::BezelState::kNormal,
                             true);
            const std::string shown = fSelected >= 0 ? ItemTitle(fSelected) : fTitle;
            theme::DrawLabel(ctx, f, shown, {b.x + 8, b.y, std::max(0.0, b.width - 30), b.height}, 0, text);
            theme::DrawPopUpArrows(ctx, {b.MaxX() - 20, b.y + 2, 14, std::max(0.0, b.height - 4)}, fEnabled);
            break;
        }
        case ControlKind::kScroller: {
            GStateScope g(ctx);
            ctx.SetFillColor(pal.face);
            ctx.FillRect(b);
            const bool v = IsVertical();
            theme::DrawArrow(ctx, RectForPart(kScrollerDecrementLine), v ? 0 : 2,
                             fHighlighted && fHitPart == kScrollerDecrementLine, fEnabled);
            theme::DrawArrow(ctx, RectForPart(kScrollerIncrementLine), v ? 1 : 3,
                             fHighlighted && fHitPart == kScrollerIncrementLine, fEnabled);
            const Rect knob = RectForPart(kScrollerKnob);
            if (!knob.IsEmpty()) {
                const double inset = 3;
                theme::DrawKnob(ctx,
                                v ? Rect{knob.x + inset, knob.y, knob.width - 2 * inset, knob.height}
                                  : Rect{knob.x, knob.y + inset, knob.width, knob.height - 2 * inset},
                                fHighlighted && fHitPart == kScrollerKnob, fEnabled);
            }
            break;
        }
        case ControlKind::kSlider: {
            const double t = theme::kSliderTrack;
            const Rect track = IsVertical() ? Rect{b.x + (b.width - t) / 2, b.y, t, b.height}
                                            : Rect{b.x, b.y + (b.height - t) / 2, b.width, t};
            theme::DrawTrack(ctx, track);
            theme::DrawKnob(ctx, KnobRect(), fHighlighted, fEnabled);
            break;
        }
    }
    if (fFocus && fEnabled) theme::DrawFocusRing(ctx, b);
}

}  // namespace plat
