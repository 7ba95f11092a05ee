#pragma once

#include <cstdint>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreString/LString.h"

// A knob whose value is seconds, shown as minutes and seconds ("  1:30", "  -1:30.5" with one
// fraction digit) and typed as fields separated by ":" ("1:30", "-1:30", "2:00:00"). A click steps
// the field under it (minutes by 60, seconds by 1, the fraction by its last digit), down on the
// field's left half and up on its right half; Control+Up/Down step by 60 s, with Shift by 1 s.
// Main thread only.
class CTimeVol : public CNumVol {
public:
    static constexpr uint32_t kMaxDecimals = 6;

    // decimals: fraction digits, clamped to 0..6.
    CTimeVol(LPane* owner, uint32_t decimals);

    LMessage Handle(const LMessage& msg) override;
    bool AcceptChar(uint32_t ch) override;
    int32_t StepKey() override;
    int32_t SetDirection(const CLPoint& local) override;
    float GetValue() override;
    void StoreValue(float value) override;

    // Clamps, formats and shows the value, unless the operator is typing (the knob has the focus and
    // no selection).
    void SetSeconds(float seconds);
    // The value as decimal seconds at the knob's decimals, in the C locale ("90", "-90.5").
    LString SecondsText();

    static LString Format(double seconds, uint32_t decimals);
    static double Parse(const char* text, uint32_t length);
    // The field a click selects in a field w wide with text margins m holding n characters, x from
    // its left edge: c = 2n(x - m) / (w - 2m) in half characters, less 2 when the
    // minimum is negative. False, and no step, when the field is no wider than its margins.
    struct Click {
        double step;
        int32_t direction;
    };
    static bool ClickField(int64_t n, int64_t x, int64_t w, int64_t m, bool negativeMinimum,
                           uint32_t decimals, Click& click);
};
