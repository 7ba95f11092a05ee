#include "Lib3/LSources/CoreUI/CSlider.h"

#include <cmath>

#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Platform/AppKit/Theme.h"
#include "Platform/Graphics/Font.h"

namespace {

struct MadeSpec {
    explicit MadeSpec(const LStdCtlSpec& in)
        : spec(MakeStdCtlSpec(in, plat::ControlKind::kSlider)), owned(!in.control) {}
    ~MadeSpec() {
        if (owned && spec.control) spec.control->Release();
    }
    LStdCtlSpec spec;
    bool owned;
};

// The press being tracked: one at a time on the main thread.
struct Press {
    bool pending = false;
    plat::Rect knob;
    int32_t value = 0;
};
Press gPress;

}  // namespace

CSlider::CSlider(LPane* owner, const LStdCtlSpec& spec) : LStdCtl(owner, MadeSpec(spec).spec) {}

void CSlider::BoundsChanged(const CLRect& old) {
    LStdCtl::BoundsChanged(old);
    if (Control()) Control()->SetVertical(Bounds().Height() > Bounds().Width());
}

bool CSlider::WillTrack() {
    SendUp(CSlider_Click);
    if (!Control()) return false;
    LMouse* mouse = LMouse::Get();
    if (!fSwitch && !(mouse && mouse->IsOptionDown())) return true;
    const int32_t lo = Control()->Minimum(), hi = Control()->Maximum();
    const int32_t v = Control()->IntValue();
    Control()->SetIntValue(2 * int64_t(v) > int64_t(lo) + hi ? lo : hi);
    SendUp(CSlider_Change);
    return false;
}

LMessage CSlider::Track(const CLPoint& local) {
    if (!Control()) return LMessage();
    gPress.knob = Control()->KnobRect();
    gPress.value = Control()->IntValue();
    gPress.pending = true;
    if (!WillTrack()) {
        gPress.pending = false;
        return LMessage();
    }
    LMessage answer = LStdCtl::Track(local);
    gPress.pending = false;
    return answer;
}

void CSlider::Action() {
    if (!Control()) return;
    if (gPress.pending) {
        gPress.pending = false;
        const plat::Rect k = Control()->KnobRect();
        if (std::fabs(k.x - gPress.knob.x) < 2.0 && std::fabs(k.y - gPress.knob.y) < 2.0) {
            Control()->SetIntValue(gPress.value);
            return;
        }
    }
    SendUp(CSlider_Change);
}

void CSlider::Draw(LDrawContext& ctx) {
    if (IsVisible()) LStdCtl::Draw(ctx);
}

int32_t CSlider::PreferredWidth(LDrawContext&, int32_t) {
    const double m = plat::theme::Metric(45);
    return m > 0 ? int32_t(m) : 22;
}

int32_t CSlider::PreferredHeight(LDrawContext&, int32_t kind) {
    if (kind == -10 || kind == -12) {
        const plat::Font* f = Style().Font();
        return f ? int32_t(f->Ascent()) : 0;
    }
    const double m = plat::theme::Metric(41);
    return m > 0 ? int32_t(m) : 22;
}

int32_t CSlider::GetValue() const {
    return Control() ? Control()->IntValue() : 0;
}

void CSlider::SetValue(int32_t value) {
    if (Control()) Control()->SetIntValue(value);
}

void CSlider::SetRange(int32_t minimum, int32_t maximum) {
    if (Control()) Control()->SetRange(minimum, maximum);
}
