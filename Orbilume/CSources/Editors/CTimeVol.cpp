#include "Orbilume/CSources/Editors/CTimeVol.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "Common/ObjC/CEditText.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr int64_t kMaxMinutes = 1000;  // shown up to 999:59 and the largest fraction
constexpr double kTotalLimit = 1e12;   // a typed total saturates here

int64_t Scale(uint32_t decimals) {
    int64_t s = 1;
    for (uint32_t i = 0; i < std::min(decimals, CTimeVol::kMaxDecimals); ++i) s *= 10;
    return s;
}

}  // namespace

CTimeVol::CTimeVol(LPane* owner, uint32_t decimals) : CNumVol(owner, std::min(decimals, kMaxDecimals), 0) {}

bool CTimeVol::AcceptChar(uint32_t) {
    return true;
}

LMessage CTimeVol::Handle(const LMessage& msg) {
    // Typed text stays as typed: the numeric field would cut it at the first ":".
    if (msg.Is(LEditText_Change) && msg.sender == this) return LEditText::Handle(msg);
    return CNumVol::Handle(msg);
}

LString CTimeVol::Format(double seconds, uint32_t decimals) {
    decimals = std::min(decimals, kMaxDecimals);
    const int64_t scale = Scale(decimals);
    const int64_t cap = kMaxMinutes * 60 * scale - 1;
    if (!std::isfinite(seconds)) seconds = 0;
    const double scaled = std::clamp(seconds * double(scale), -double(cap), double(cap));
    int64_t t = std::llround(scaled);
    const bool negative = t < 0;
    t = std::min(negative ? -t : t, cap);
    const int64_t minutes = t / (60 * scale);
    const int64_t rest = t - minutes * 60 * scale;
    const int64_t secs = rest / scale;
    const int64_t fraction = rest - secs * scale;
    char minuteText[24];
    std::snprintf(minuteText, sizeof minuteText, "%s%lld", negative ? "-" : "",
                  static_cast<long long>(minutes));
    char text[64];
    int n = std::snprintf(text, sizeof text, "%*s:%02lld", negative ? 4 : 3, minuteText,
                          static_cast<long long>(secs));
    if (decimals > 0 && n > 0 && n < int(sizeof text))
        n += std::snprintf(text + n, sizeof text - size_t(n), ".%0*lld", int(decimals),
                           static_cast<long long>(fraction));
    return LString(text, uint32_t(std::clamp(n, 0, int(sizeof text) - 1)));
}

double CTimeVol::Parse(const char* text, uint32_t length) {
    double total = 0;
    bool first = true;
    uint32_t start = 0;
    for (uint32_t i = 0; text && i <= length; ++i) {
        if (i < length && text[i] != ':') continue;
        const double field = double(ParseValue(text + start, i - start));
        const double value = std::isfinite(field) ? std::clamp(field, -kTotalLimit, kTotalLimit) : 0;
        if (first)
            total = value;
        else
            total = total * 60 + (total < 0 ? -value : value);
        total = std::clamp(total, -kTotalLimit, kTotalLimit);
        first = false;
        start = i + 1;
    }
    return total;
}

float CTimeVol::GetValue() {
    const LString text = GetText();
    return float(Parse(text.CStr(), text.Length()));
}

void CTimeVol::StoreValue(float value) {
    SetText(Format(double(value), Decimals()));
}

void CTimeVol::SetSeconds(float seconds) {
    PLAT_DCHECK_MAIN_THREAD();
    const bool typing = (State() & kFocused) && !HasSelection();
    if (typing) return;
    SetValue(std::isfinite(seconds) ? seconds : 0);
}

LString CTimeVol::SecondsText() {
    const double v = GetValue();
    char buf[64];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, std::isfinite(v) ? v : 0.0,
                                                 std::chars_format::fixed, int(Decimals()));
    LString text(buf, uint32_t(r.ptr - buf));
    // "90.0" at one decimal reads as 90: trailing zeros and point go.
    if (Decimals() > 0) {
        uint32_t n = text.Length();
        while (n > 0 && text.CStr()[n - 1] == '0') --n;
        if (n > 0 && text.CStr()[n - 1] == '.') --n;
        text = LString(buf, n);
    }
    if (text == LString("-0")) text = LString("0");
    return text;
}

int32_t CTimeVol::StepKey() {
    LKeyboard* kb = LKeyboard::Get();
    if (!kb || !kb->IsControlDown()) return 0;
    const uint32_t navi = kb->GetNaviKey();
    int32_t direction = 0;
    if (navi == LKeyboard::kNaviUp) direction = 1;
    if (navi == LKeyboard::kNaviDown) direction = -1;
    if (!direction) return 0;
    const float step = kb->IsShiftDown() ? 1.0f : 60.0f;
    const float v = GetValue();
    StoreValue(Clamp(float(direction) * step + v));
    if (Editor()) Editor()->SelectAll();
    return GetValue() != v ? 1 : 2;
}

bool CTimeVol::ClickField(int64_t n, int64_t x, int64_t w, int64_t m, bool negativeMinimum, uint32_t decimals,
                          Click& click) {
    const int64_t span = w - 2 * m;
    if (span <= 0) return false;
    int64_t c = 2 * n * (x - m) / span;
    if (negativeMinimum) c -= 2;
    const int64_t d = std::min(decimals, kMaxDecimals);
    if (c <= 6) {
        click = {60.0, c < 3 ? -1 : 1};
    } else if (c <= 12) {
        click = {1.0, c < 10 ? -1 : 1};
    } else {
        click = {1.0 / double(Scale(uint32_t(d))), c - 13 < d + 1 ? -1 : 1};
    }
    return true;
}

int32_t CTimeVol::SetDirection(const CLPoint& local) {
    const LString t = GetText();
    LPanePort port(this);
    LDrawContext measure(port);
    const int64_t margin = PreferredWidth(measure, -11);
    const int64_t width = Bounds().Width();
    Click click{};
    if (!ClickField(t.Length(), int64_t{local.x} - Bounds().left, width, margin, Minimum() < 0, Decimals(),
                    click))
        click = {0, 0};
    if (click.direction) SetRange(Minimum(), Maximum(), float(click.step));
    SetStepDirection(click.direction);
    return click.direction;
}
