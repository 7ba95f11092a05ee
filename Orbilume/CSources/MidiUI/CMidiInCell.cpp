#include "Orbilume/CSources/MidiUI/CMidiInCell.h"

#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/Midi/MidiInTable.h"
#include "Platform/Foundation/Check.h"

CMidiInCell::CMidiInCell(LPane* grid, const MidiInTable* table) : CTabFocusPane(grid, grid), fTable(table) {
    PLAT_DCHECK_MAIN_THREAD();
    // Children in layout order: panes 1..3.
    fUse = new LStdCheck(this, LStdCtlSpec());
    fName = new LTextPane(this, 0);
    fState = new LTextPane(this, 0);
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
}

void CMidiInCell::Bind(uint32_t row, const LString& stateText) {
    fRow = row;
    if (!fTable || row >= fTable->RowCount()) {
        fUse->SetValue(0);
        fName->SetText(LString());
        fState->SetText(LString());
        return;
    }
    fUse->SetValue(fTable->GetUse(row) ? 1 : 0);
    fName->SetText(fTable->GetName(row));
    fState->SetText(stateText);
}

LMessage CMidiInCell::Handle(const LMessage& msg) {
    if (msg.Is(LStdCheck_Change) && msg.sender == fUse) {
        // The table's observers (the input manager, the list) act on the change.
        if (fTable && fRow < fTable->RowCount()) fTable->SetUse(fRow, fUse->GetValue());
        return LMessage();
    }
    return CTabFocusPane::Handle(msg);
}
