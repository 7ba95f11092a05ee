#include "Orbilume/CSources/Midi/MidiInTable.h"

#include <cstdlib>

#include "Lib3/LSources/CoreData/CParamSet.h"

namespace {

const LString kName("name");
const LString kUse("use");
const LString kStat("stat");

}  // namespace

uint32_t MidiInTable::RowCount() const {
    uint32_t cols = 0;
    uint32_t rows = 0;
    CParamTable::GetSize(fTable, cols, rows);
    return rows;
}

LString MidiInTable::GetName(uint32_t row) const {
    LString value;
    return CParamTable::GetCell(fTable, 0, row, kName, value) ? value : LString();
}

void MidiInTable::SetName(uint32_t row, const LString& name, LHandler* editor) const {
    CParamTable::SetCell(fTable, editor, 0, row, kName, name);
}

bool MidiInTable::GetUse(uint32_t row) const {
    LString value;
    return CParamTable::GetCell(fTable, 0, row, kUse, value);
}

void MidiInTable::SetUse(uint32_t row, bool use, LHandler* editor) const {
    CParamTable::SetCell(fTable, editor, 0, row, kUse, use ? LString("1") : LString());
}

int32_t MidiInTable::GetStat(uint32_t row) const {
    LString value;
    if (!CParamTable::GetCell(fTable, 0, row, kStat, value)) return 0;
    return int32_t(std::strtol(value.CStr(), nullptr, 10));
}

void MidiInTable::SetStat(uint32_t row, int32_t stat, LHandler* editor) const {
    CParamTable::SetCell(fTable, editor, 0, row, kStat, LString(std::to_string(stat).c_str()));
}

void MidiInTable::AppendRow(const LString& name, LHandler* editor) const {
    CParamTable::AppendRow(fTable, editor);
    SetName(RowCount() - 1, name, editor);
}

void MidiInTable::DeleteRow(uint32_t row, LHandler* editor) const {
    CParamTable::DeleteRow(fTable, editor, row);
}

void MidiInTable::Clear() const {
    if (!fTable.Get()) return;
    CParamTable::Trim(fTable, 0, 0);
    fTable.SetUInt(nullptr, CParamTable::kCols, 1);
}
