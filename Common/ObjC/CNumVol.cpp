#include "Common/ObjC/CNumVol.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "Common/ObjC/CEditText.h"
#include "Common/ObjC/CMacCursor.h"
#include "Lib3/LSources/CoreUI/CGenCtlEv.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LTextBox.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/Window.h"

namespace {

constexpr int32_t kArrowCursor = 0;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

CNumVol::CNumVol(LPane* owner, uint32_t decimals, uint32_t options)
    : LNumEdit(owner, decimals != 0, options), fDecimals(decimals) {}

CNumVol::~CNumVol() {
    DeleteTimer();
}

uint32_t CNumVol::InitialDelayMs() {
    const plat::Backend* b = plat::CurrentBackend();
    const int64_t ticks = b ? b->KeyRepeatDelayTicks() : 15;
    return uint32_t(std::clamp<int64_t>(ticks * 1000 / 60, 0, 1000));
}

uint32_t CNumVol::RepeatDelayMs() {
    const plat::Backend* b = plat::CurrentBackend();
    const int64_t ticks = b ? b->KeyRepeatIntervalTicks() : 2;
    return uint32_t(std::clamp<int64_t>(ticks * 1000 / 60, 0, 500));
}

// The value.

float CNumVol::ParseValue(const char* text, uint32_t length) {
    const char* p = text;
    const char* end = text + length;
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    const char* start = p;
    const char* q = p;
    if (q < end && (*q == '-' || *q == '+')) ++q;
    const char* digits = q;
    while (q < end && IsDigit(*q)) ++q;
    bool any = q > digits;
    if (q < end && *q == '.') {
        const char* frac = q + 1;
        const char* r = frac;
        while (r < end && IsDigit(*r)) ++r;
        if (any || r > frac) {
            any = true;
            q = r;
        }
    }
    if (!any) return 0;
    if (q < end && (*q == 'e' || *q == 'E')) {
        const char* r = q + 1;
        if (r < end && (*r == '-' || *r == '+')) ++r;
        const char* exp = r;
        while (r < end && IsDigit(*r)) ++r;
        if (r > exp) q = r;
    }
    // from_chars takes no leading '+'.
    if (*start == '+') ++start;
    double v = 0;
    const std::from_chars_result res = std::from_chars(start, q, v, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) v = (*start == '-') ? -DBL_MAX : DBL_MAX;
    if (!std::isfinite(v)) return 0;
    return float(std::clamp(v, double(-FLT_MAX), double(FLT_MAX)));
}

float CNumVol::GetValue() {
    const LString text = GetText();
    return ParseValue(text.CStr(), text.Length());
}

void CNumVol::StoreValue(float value) {
    if (!std::isfinite(value)) value = std::isfinite(fMin) ? fMin : 0;
    char buf[400];
    const std::to_chars_result res = std::to_chars(buf, buf + sizeof buf, double(value),
                                                   std::chars_format::fixed, int(std::min(fDecimals, 60u)));
    SetText(LString(buf, uint32_t(res.ptr - buf)));
}

void CNumVol::Refresh() {
    if (Editor()) Editor()->SelectAll();
}

float CNumVol::Clamp(float value) const {
    if (value < fMin) return fMin;
    if (value > fMax) return fMax;
    return value;
}

void CNumVol::SetValue(float value) {
    StoreValue(Clamp(value));
    Refresh();
}

void CNumVol::SetRange(float minimum, float maximum, float step) {
    fMin = minimum;
    fMax = maximum;
    fStep = step;
}

void CNumVol::SetDecimals(uint32_t decimals) {
    if (decimals == fDecimals) return;
    const float v = GetValue();
    fDecimals = decimals;
    SetDecimalsOn(decimals != 0);
    StoreValue(Clamp(v));
    Refresh();
}

bool CNumVol::StepBy(int32_t n) {
    const float v = GetValue();
    const double moved = double(v) + double(n) * double(fStep);
    const float next = Clamp(float(std::clamp(moved, double(-FLT_MAX), double(FLT_MAX))));
    StoreValue(next);
    Refresh();
    return GetValue() != v;
}

int32_t CNumVol::ScaledStepCount(int32_t n) const {
    if (n > -10 && n < 10) return n;
    const double r = (double(fMax) - double(fMin)) / (double(fStep) * 100.0);
    double f = 1;
    if (std::isfinite(r) && r > 0) {
        const double k = std::min(std::round(r), double(INT32_MAX));
        f = k > 0 ? k : 1;
    }
    const double scaled = std::trunc(f * double(n) / 10.0);
    return int32_t(std::clamp(scaled, double(INT32_MIN), double(INT32_MAX)));
}

// Input.

int32_t CNumVol::SetDirection(const CLPoint& local) {
    const CLRect& b = Bounds();
    fDirection = local.x < (b.left + b.right + 1) / 2 ? -1 : 1;
    return fDirection;
}

double CNumVol::WheelStep(const CLPoint& local) {
    const LString t = GetText();
    const int64_t len = t.Length();
    if (len == 0) return 0;
    LTextBox box;
    box.SetStyle(TextStyle());
    const int64_t width = box.WidthOf(t.CStr());
    LPanePort port(this);
    LDrawContext measure(port);
    const int64_t x0 = Bounds().left + PreferredWidth(measure, -11);
    const int64_t lo = t.CStr()[0] == '-' ? 1 : 0;
    int64_t i = lo;
    if (width > 0) i = std::clamp<int64_t>(((local.x - x0) * len) / width, lo, len - 1);
    const int64_t k = len - 1 - i;
    const int64_t d = fDecimals;
    const int64_t exponent = d == 0 ? k : (k > d ? k - d - 1 : k - d);
    return std::pow(10.0, double(exponent));
}

int32_t CNumVol::StepKey() {
    LKeyboard* kb = LKeyboard::Get();
    if (!kb || !kb->IsControlDown()) return 0;
    const uint32_t navi = kb->GetNaviKey();
    int32_t direction = 0;
    if (navi == LKeyboard::kNaviUp) direction = 1;
    if (navi == LKeyboard::kNaviDown) direction = -1;
    if (!direction) return 0;
    float s = fStep;
    if (!kb->IsShiftDown()) s = std::max(fStep, (fMax - fMin) / 10);
    if (!(s > 0)) return 2;
    const float v = GetValue();
    StoreValue(Clamp(float(direction) * s + v));
    Refresh();
    return GetValue() != v ? 1 : 2;
}

CLPoint CNumVol::LocalPoint(const CLPoint& global) const {
    LPanePort port(const_cast<CNumVol*>(this));
    if (!port.window) return global;
    const plat::Point content = port.window->ConvertFromScreen({double(global.x), double(global.y)});
    return {int32_t(content.x) - port.origin.x, int32_t(content.y) - port.origin.y};
}

LMessage CNumVol::Changed(LMsgId id, bool moving) {
    SetDirty(false);
    if (moving) fMoving = true;
    return LMessage(id, this, Upper());
}

LMessage CNumVol::Handle(const LMessage& msg) {
    LMouse* mouse = LMouse::Get();
    const bool usable = !IsLocked() && !IsReadOnly();
    if (usable && mouse && msg.Is(LMouse_Click)) {
        fMoving = false;
        fReference = mouse->Location();
        SetDirection(LocalPoint(fReference));
        if (!fTimer) fTimer = std::make_unique<LTimer>(this);
        fTimer->StartOnce(InitialDelayMs(), 0);
        LHandlerWatch watch(this);
        Dispatch(LMessage(LPane_ReqCapture, this, Upper()));
        if (watch.IsGone()) return LMessage();
        if (!IsFocusedInKeyWindow()) {
            Activate();
            Refresh();
            return LMessage();
        }
        if (StepBy(fDirection)) return Changed(CNumVol_Move, true);
        return LMessage();
    }
    if (msg.Is(LTimer_Expire) && fTimer && msg.sender == fTimer.get()) {
        if (fDirection == 0) return LMessage();
        if (!StepBy(fDirection)) return LMessage();
        fTimer->StartOnce(RepeatDelayMs(), 0);
        return Changed(CNumVol_Move, true);
    }
    if (usable && mouse && msg.Is(LMouse_Move) && mouse->Tracker() == this) {
        const CLPoint p = mouse->Location();
        const int32_t dx = p.x - fReference.x, dy = fReference.y - p.y;
        const int32_t d = std::abs(dx) < std::abs(dy) ? dy : dx;
        if (fDirection != 0 && std::abs(d) < kDeadZone) return LMessage();
        DeleteTimer();
        fDirection = 0;
        fReference = p;
        const int64_t steps = int64_t(d) * ((std::abs(int64_t(d)) + 3) / 4);
        if (StepBy(int32_t(std::clamp<int64_t>(steps, INT32_MIN, INT32_MAX))))
            return Changed(CNumVol_Move, true);
        return LMessage();
    }
    if (usable && msg.Is(LMouse_Release)) {
        DeleteTimer();
        if (fMoving) return LMessage(CNumVol_Fix, this, Upper());
        return LMessage();
    }
    if (usable && msg.Is(LMouse_Cursor)) {
        CMacCursor::SetStandard(kArrowCursor);
        return LMessage();
    }
    if (usable && mouse && msg.Is(LMouse_Wheel) && IsFocusedInKeyWindow()) {
        const double place = WheelStep(LocalPoint(mouse->Location()));
        const float v = GetValue();
        const int32_t k = mouse->TakeWheelSteps(1, 1, 1);
        StoreValue(Clamp(float(double(k) * place + double(v))));
        Refresh();
        if (GetValue() != v) return Changed(CNumVol_Fix, false);
        return LMessage();
    }
    if (msg.Is(CGenCtlEv_Step) && msg.sender) {
        const int32_t n = ScaledStepCount(static_cast<CGenCtlEv*>(msg.sender)->Step());
        if (StepBy(n)) return Changed(CNumVol_Fix, false);
        return LNumEdit::Handle(msg);
    }
    if (msg.Is(LKeyboard_Down)) {
        switch (StepKey()) {
            case 1:
                return Changed(CNumVol_Fix, false);
            case 2:
                return LMessage();
            default:
                return LNumEdit::Handle(msg);
        }
    }
    if (msg.Is(CNumVol_Move) && msg.sender == this) {
        fMoving = false;
        return LMessage(CNumVol_Fix, this, Upper());
    }
    if (msg.Is(LNumEdit_Enter) && msg.sender == this) {
        StoreValue(Clamp(GetValue()));
        Refresh();
        return LMessage(CNumVol_Fix, this, Upper());
    }
    return LNumEdit::Handle(msg);
}
