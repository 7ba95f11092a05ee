#include "Orbilume/CSources/MidiUI/CMultiMidiInStates.h"

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Orbilume/CSources/MidiUI/CMidiInCell.h"
#include "Platform/Foundation/Check.h"

CMultiMidiInStates::CMultiMidiInStates(LPane* owner, CRecordRef table)
    : CCellGridPane(owner, kSelectNone, false, false), fTable(table), fHolder(table.GetHolder()) {
    PLAT_DCHECK_MAIN_THREAD();
    SetGridSize(1, int32_t(fTable.RowCount()));
    if (fHolder) fHolder->AddObserver(this, Observe);
}

CMultiMidiInStates::~CMultiMidiInStates() {
    if (fHolder) fHolder->RemoveObserver(this, Observe);
    SetGridSize(0, 0);
}

void CMultiMidiInStates::BoundsChanged(const CLRect& old) {
    CCellGridPane::BoundsChanged(old);
    // The cells follow the list's width.
    if (Bounds().Width() == old.Width()) return;
    GetPrototypeCell();
    ChangeState(kRelayout);
}

LString CMultiMidiInStates::StateText(int32_t stat) const {
    if (stat < 0) return LString();
    const LStrListRsrcH strings{SRsrcRequest(kStatesName)};
    return strings.GetString(uint32_t(stat));
}

CTabFocusPane* CMultiMidiInStates::CreateCellPane() {
    return new CMidiInCell(this, &fTable);
}

bool CMultiMidiInStates::BindCell(LPane* pane, const CLPoint& cell) {
    if (cell.y < 0 || uint32_t(cell.y) >= fTable.RowCount()) return false;
    const uint32_t row = uint32_t(cell.y);
    static_cast<CMidiInCell*>(pane)->Bind(row, StateText(fTable.GetStat(row)));
    return true;
}

void CMultiMidiInStates::Observe(void* context, const SRecordEvent* event) {
    static_cast<CMultiMidiInStates*>(context)->OnRecordChange(*event);
}

void CMultiMidiInStates::OnRecordChange(const SRecordEvent& event) {
    CRecord* record = event.record.Get();
    CRecord* table = fTable.Ref().Get();
    if (!record || !table) return;
    if (record == table) {
        uint32_t index = 0;
        switch (CParamTable::ParseChange(event, index)) {
            case CParamTable::kRowInserted:
                ResetFocusRecords();
                InsertRows(int32_t(index), 1);
                break;
            case CParamTable::kRowRemoved:
                ResetFocusRecords();
                if (int32_t(index) < Rows()) RemoveRows(int32_t(index), 1);
                break;
            default:
                break;
        }
        return;
    }
    // A key of a row's cell changed or went (one column: the cell's index is the row).
    if (event.kind == SRecordEvent::kRemoved && event.field == CParamSet::kSetEntries) {
        if (record->Parent() == table && record->ArrayIndex() >= 0 && record->ArrayIndex() < Rows())
            RefreshCell({0, int32_t(record->ArrayIndex())});
        return;
    }
    if (event.kind == SRecordEvent::kDeleting) return;
    CParamSet::Change change;
    if (!CParamSet::ParseChange(event, change)) return;
    if (change.table == table && change.column == 0 && int32_t(change.row) < Rows())
        RefreshCell({0, int32_t(change.row)});
}
