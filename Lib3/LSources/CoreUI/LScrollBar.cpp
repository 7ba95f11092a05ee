#include "Lib3/LSources/CoreUI/LScrollBar.h"

#include <algorithm>
#include <cmath>

#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Platform/AppKit/Window.h"

namespace {

struct MadeSpec {
    MadeSpec(const LStdCtlSpec& in, bool vertical)
        : spec(MakeStdCtlSpec(in, plat::ControlKind::kScroller)), owned(!in.control) {
        if (!owned || !spec.control) return;
        const double w = plat::Control::ScrollerWidth(plat::ControlSize::kRegular);
        spec.control->SetFrame(vertical ? plat::Rect{0, 0, w, 2 * w} : plat::Rect{0, 0, 2 * w, w});
    }
    ~MadeSpec() {
        if (owned && spec.control) spec.control->Release();
    }
    LStdCtlSpec spec;
    bool owned;
};

double Clamp01(double v) {
    return std::isnan(v) ? 0 : std::clamp(v, 0.0, 1.0);
}

}  // namespace

LScrollBar::LScrollBar(LPane* owner, const LStdCtlSpec& spec, bool vertical, bool continuous)
    : LStdCtl(owner, MadeSpec(spec, vertical).spec), fVertical(vertical), fContinuous(continuous) {
    if (Control()) Control()->SetEnabled(false);
}

void LScrollBar::Action() {
    if (!Control()) return;
    switch (Control()->HitPart()) {
        case plat::kScrollerDecrementPage:
            SendUp(LScrollBar_PgUp);
            break;
        case plat::kScrollerKnob:
        case plat::kScrollerKnobSlot:
            SendUp(LScrollBar_Thumb);
            break;
        case plat::kScrollerIncrementPage:
            SendUp(LScrollBar_PgDw);
            break;
        case plat::kScrollerDecrementLine:
            SendUp(LScrollBar_Up);
            break;
        case plat::kScrollerIncrementLine:
            SendUp(LScrollBar_Dw);
            break;
        default:
            break;
    }
}

LMessage LScrollBar::Handle(const LMessage& msg) {
    if (msg.sender == this && Control()) {
        int32_t step = 0;
        bool mine = true;
        if (msg.Is(LScrollBar_Up))
            step = -1;
        else if (msg.Is(LScrollBar_Dw))
            step = 1;
        else if (msg.Is(LScrollBar_PgUp))
            step = -fPage;
        else if (msg.Is(LScrollBar_PgDw))
            step = fPage;
        else if (!msg.Is(LScrollBar_Thumb))
            mine = false;
        if (mine) {
            const int32_t old = GetValue();
            SetValue(int32_t(std::clamp<int64_t>(int64_t(old) + step, INT32_MIN, INT32_MAX)));
            if (step != 0 && GetValue() == old) return LMessage();
            return LMessage(LScrollBar_Change, this, Upper());
        }
    }
    return LStdCtl::Handle(msg);
}

void LScrollBar::StateChanged(uint32_t op) {
    // An empty range keeps the bar disabled.
    if ((op == kEnable || op == kChainEnable) && fMax <= fMin) {
        LPane::StateChanged(op);
        return;
    }
    LStdCtl::StateChanged(op);
}

void LScrollBar::SetRange(int32_t value, int32_t minimum, int32_t maximum, int32_t page) {
    fMin = minimum;
    fMax = maximum;
    fPage = page;
    if (!Control()) return;
    if (maximum > minimum) {
        const double range = double(maximum) - minimum;
        Control()->SetFloatValue(Clamp01((double(value) - minimum) / range));
        Control()->SetKnobProportion(Clamp01(double(page) / (range + page)));
    }
    Control()->SetEnabled(maximum > minimum && EffectivelyEnabled());
}

int32_t LScrollBar::GetValue() const {
    if (fMin >= fMax || !Control()) return fMin;
    return int32_t(std::round(fMin + (double(fMax) - fMin) * Control()->FloatValue()));
}

void LScrollBar::SetValue(int32_t value) {
    if (!Control()) return;
    Control()->SetFloatValue(fMax > fMin ? Clamp01((double(value) - fMin) / (double(fMax) - fMin)) : 0);
}

int32_t LScrollBar::SystemScrollerWidth() {
    plat::Window* w = GetWindow();
    if (!w) return 16;
    return int32_t(plat::Control::ScrollerWidth(w->Level() == 3 ? plat::ControlSize::kSmall
                                                                : plat::ControlSize::kRegular));
}

int32_t LScrollBar::PreferredWidth(LDrawContext&, int32_t) {
    const int32_t w = SystemScrollerWidth();
    return fVertical ? w : 4 * w;
}

int32_t LScrollBar::PreferredHeight(LDrawContext&, int32_t) {
    const int32_t w = SystemScrollerWidth();
    return fVertical ? 4 * w : w;
}
