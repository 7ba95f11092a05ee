#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/CTabFocusPane.h"

class LStdCheck;
class LTextPane;
class MidiInTable;

// One row of the MIDI inputs list ("CMIDIINCELL"): a check box showing "use", the source name and
// the state text. Changing the check box sets "use" of the row it shows. Main thread only.
class CMidiInCell : public CTabFocusPane {
public:
    static constexpr const char* kName = "CMIDIINCELL";

    CMidiInCell(LPane* grid, const MidiInTable* table);

    LMessage Handle(const LMessage& msg) override;

    // Shows a row: its "use", its name and the given state text.
    void Bind(uint32_t row, const LString& stateText);
    uint32_t Row() const { return fRow; }

    LStdCheck* UseBox() const { return fUse; }
    LTextPane* NameText() const { return fName; }
    LTextPane* StateText() const { return fState; }

private:
    const MidiInTable* fTable;
    LStdCheck* fUse;
    LTextPane* fName;
    LTextPane* fState;
    uint32_t fRow = 0;
};
