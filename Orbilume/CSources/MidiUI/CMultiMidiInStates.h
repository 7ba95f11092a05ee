#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Orbilume/CSources/Midi/MidiInTable.h"

class CRecordHolder;
struct SRecordEvent;

// The list of the MIDI inputs window: one column of CMidiInCell rows over the MIDI input table.
// Rows are inserted and removed as the table's are (the focus records reset first); a change of a
// row's keys refreshes its cell. State texts come from "CMULTIMIDIINSTATES", indexed by "stat".
// Main thread only.
class CMultiMidiInStates : public CCellGridPane {
public:
    static constexpr const char* kStatesName = "CMULTIMIDIINSTATES";

    // The table lives in a record holder that outlives the list.
    CMultiMidiInStates(LPane* owner, CRecordRef table);
    ~CMultiMidiInStates() override;

    void BoundsChanged(const CLRect& old) override;
    CTabFocusPane* CreateCellPane() override;
    bool BindCell(LPane* pane, const CLPoint& cell) override;
    // Cells as wide as the list, as high as a cell lays out.
    uint32_t CellSizeMode() override { return 3; }

    // The state text of a "stat" value (the empty text past the list).
    LString StateText(int32_t stat) const;
    const MidiInTable& Table() const { return fTable; }
    void OnRecordChange(const SRecordEvent& event);

private:
    static void Observe(void* context, const SRecordEvent* event);

    MidiInTable fTable;
    CRecordHolder* fHolder;
};
