#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/SchDateTime.h"

class CNumVol;
class CTimecodeEdit;
class LTextPane;

// Sent to the test window's upper handler after a field was committed.
L_MESSAGE_ID(CSchTestWin_Change);

// The schedule's test window ("SCHTESTWIN": layout; string 0 the title, 1-7 the weekdays from
// Sunday): a date (year 2016-2999, month, day), the weekday it falls on and a time. It starts at
// the local date and time; a committed field normalises the date (the day limited to the month),
// writes it back and tells the upper handler. Main thread only.
class CSchTestWin : public LFrame {
public:
    static constexpr const char* kName = "SCHTESTWIN";

    CSchTestWin(LHandler* upper, LPane* owner, const LFrameSpec& spec = LFrameSpec::Default());

    LMessage Handle(const LMessage& msg) override;

    // The fields as a normalised date-time.
    SchDateTime DateTime() const { return fDateTime; }
    // Shows a date-time (normalised) without telling anyone.
    void SetDateTime(const SchDateTime& dt);
    // Reads the fields, normalises, writes back and sends "CSchTestWin_Change".
    void Apply();

    // Field i: 0 year, 1 month, 2 day.
    CNumVol* Field(uint32_t i) const { return i < 3 ? fFields[i] : nullptr; }
    // The time of day as hours:minutes:seconds (its value in seconds).
    CTimecodeEdit* TimeField() const { return fTime; }
    LTextPane* WeekdayText() const { return fWeekday; }

private:
    CNumVol* fFields[3] = {};
    CTimecodeEdit* fTime = nullptr;
    LTextPane* fWeekday = nullptr;
    SchDateTime fDateTime;
};
