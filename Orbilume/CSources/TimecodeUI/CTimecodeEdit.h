#pragma once

#include <cstdint>
#include <string>

#include "Common/ObjC/CNumVol.h"
#include "Orbilume/CSources/Timecode/Timecode.h"

// A time field: its value is seconds, its text a Timecode at the field's rate code, with a sign
// column (" " or "-") when signed. Range ±86,400 s (±86,399 s signed). A click while focused picks
// the time field under the pointer (hours, minutes, seconds, frames), whose size then steps and
// drags the value; Control+Up/Down move by a minute (with Shift a second). Main thread only.
class CTimecodeEdit : public CNumVol {
public:
    static constexpr uint32_t kUnitsPerSecond = 1024;
    static constexpr int64_t kSecondsPerDay = 86400;
    enum : uint32_t { kNoField = 0, kHours = 1, kMinutes = 2, kSeconds = 3, kFrames = 4 };

    CTimecodeEdit(LPane* owner, uint32_t rateCode, bool isSigned, uint32_t options = 0);
    ~CTimecodeEdit() override;

    LMessage Handle(const LMessage& msg) override;
    void StateChanged(uint32_t op) override;
    bool AcceptChar(uint32_t ch) override;
    int32_t StepKey() override;
    int32_t SetDirection(const CLPoint& local) override;
    double WheelStep(const CLPoint& local) override;
    float GetValue() override;
    void StoreValue(float seconds) override;
    // Selects the focused field's two digits, or the whole text when none is focused.
    void Refresh() override;

    // The text's time in units, negated for a "-" sign.
    int32_t GetCount(uint32_t unitsPerSecond) const;
    // The text's time in units as typed: a time past the day is not wrapped into it ("25:00:00" is
    // 25 hours, any longer run of digits at most a million per field); negated for a "-" sign.
    int64_t GetTypedCount(uint32_t unitsPerSecond) const;
    Timecode GetTimecode() const;
    // Show a count or a time, then select the focused field; while the user types (focused, no
    // selection) the text stays as typed.
    void SetCount(int64_t count, uint32_t unitsPerSecond);
    void SetTimecode(const Timecode& tc);

    uint32_t RateCode() const { return fCode; }
    bool IsSigned() const { return fSigned; }
    uint32_t FocusedField() const { return fField; }
    void SetFocusedField(uint32_t field) { fField = field; }

    // The time field of a character position of the text (1..4; 1..3 at code 1), or 0 for none.
    uint32_t FieldAtIndex(uint32_t index) const;
    // The time field under a point in the owner's coordinates.
    uint32_t FieldAt(const CLPoint& local);
    // Seconds a step of a field moves (0: the field does not step).
    static double FieldStep(uint32_t rateCode, uint32_t field);
    // The text a count shows at a rate code.
    static std::string CountText(int64_t count, uint32_t unitsPerSecond, uint32_t rateCode, bool isSigned);

private:
    bool IsTyping() const;
    void ShowText(const std::string& text);
    void UseFieldStep(uint32_t field);
    void CutAfterSelection();

    uint32_t fCode;
    uint32_t fField = kNoField;
    bool fSigned;
};
