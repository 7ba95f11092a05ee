#include "Lib3/LSources/CoreData/CParamSet.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Common/Container/CBytes.h"
#include "Common/File/CFileURLU.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"
#include "Lib3/LSources/CoreData/CScrapReader.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/String/UNum.h"
#include "Lib3/LSources/String/UWord.h"

namespace {

constexpr uint32_t D = CParamSet::kDomain;

int TableHook(int operation, void* argument);

const SFieldDesc kEntryFields[] = {
    SFieldDesc::String(Fcc("i   "), nullptr, kFieldSilent),
    SFieldDesc::String(Fcc("v   ")),
    SFieldDesc::Record(Fcc("prms"), D, CParamSet::kSet, kFieldSilent | kFieldOptional),
};
const SFieldDesc kSetFields[] = {
    SFieldDesc::RecordArray(Fcc("prms"), D, CParamSet::kEntry),
};
const SFieldDesc kTableFields[] = {
    SFieldDesc::UInt(Fcc("cols")),
    SFieldDesc::RecordArray(Fcc("elms"), D, CParamSet::kSet),
    SFieldDesc::UInt(0),
    SFieldDesc::UInt(0),
    SFieldDesc::UInt(0, 0, kFieldSilent),
    SFieldDesc::UInt(0),
    SFieldDesc::Byte(0, 0, kFieldSilent),
};

const CRecordType gEntryType(D, CParamSet::kEntry, kEntryFields);
const CRecordType gSetType(D, CParamSet::kSet, kSetFields);
const CRecordType gTableType(D, CParamSet::kTable, kTableFields, TableHook);

bool IsSet(const CRecord* r) {
    return r && r->IsOfType(D, CParamSet::kSet);
}
bool IsEntry(const CRecord* r) {
    return r && r->IsOfType(D, CParamSet::kEntry);
}
bool IsTable(const CRecord* r) {
    return r && r->IsOfType(D, CParamSet::kTable);
}

CRecordRef EntryRef(CRecord* set, uint32_t index) {
    return CRecordRef(&(*set->GetRecordArray(CParamSet::kSetEntries))[index]);
}

// Moves the announced column count towards cols one column at a time, so observers see each
// inserted or removed column; the change of cols itself is not passed on.
int TableHook(int operation, void* argument) {
    if (operation != 1) return 0;
    auto* event = static_cast<SRecordEvent*>(argument);
    if (event->field != CParamTable::kCols) return 0;
    CRecord* table = event->record.Get();
    const uint32_t cols = table->GetUInt(CParamTable::kCols);
    if (table->GetByte(CParamTable::kOp) != CParamTable::kOpNone) {
        table->Slot(CParamTable::kShownCols).u32 = cols;
        return 1;
    }
    CRecordHolder* holder = event->record.GetHolder();
    while (table->GetUInt(CParamTable::kShownCols) < cols) {
        event->record.NotifyValueChanged(nullptr, holder, CParamTable::kShownCols, 0);
        ++table->Slot(CParamTable::kShownCols).u32;
    }
    while (table->GetUInt(CParamTable::kShownCols) > cols) {
        --table->Slot(CParamTable::kShownCols).u32;
        event->record.NotifyValueChanged(nullptr, holder, CParamTable::kShownCols, 0);
    }
    return 1;
}

CRecord* NewEntry(const LString& key, const LString& value) {
    CRecord* entry = CRecord::New(&gEntryType);
    if (!entry) return nullptr;
    entry->StringSlot(CParamSet::kEntryKey) = key;
    entry->StringSlot(CParamSet::kEntryValue) = value;
    return entry;
}

class Group {
public:
    explicit Group(LHandler* editor) : mEditor(editor) {}
    void Open() {
        if (!mOpen) mToken = CRecordUndo::BeginGroup(mEditor);
        mOpen = true;
    }
    ~Group() { CRecordUndo::EndGroup(mToken); }

private:
    LHandler* mEditor;
    void* mToken = nullptr;
    bool mOpen = false;
};

}  // namespace

const CRecordType& CParamSet::EntryType() {
    return gEntryType;
}
const CRecordType& CParamSet::SetType() {
    return gSetType;
}
const CRecordType& CParamSet::TableType() {
    return gTableType;
}

int CParamSet::Find(CRecordRef set, const LString& key, LString* value) {
    const CRecord* s = set.Get();
    if (!IsSet(s)) return -1;
    for (uint32_t i = 0; i < s->ArrayCount(kSetEntries); ++i) {
        const CRecord* entry = s->GetElement(kSetEntries, i);
        if (entry && entry->GetString(kEntryKey) == key) {
            if (value) *value = entry->GetString(kEntryValue);
            return int(i);
        }
    }
    return -1;
}

void CParamSet::SetString(CRecordRef set, LHandler* editor, const LString& key, const LString& value) {
    CRecord* s = set.Get();
    if (!IsSet(s)) return;
    const int index = Find(set, key);
    if (index < 0) {
        if (!value.IsEmpty())
            set.InsertRecord(editor, kSetEntries, CRecordRef::kAppend, NewEntry(key, value));
        return;
    }
    if (value.IsEmpty()) {
        set.DeleteElement(editor, kSetEntries, uint32_t(index));
        return;
    }
    const CRecordRef entry = EntryRef(s, uint32_t(index));
    Group group(editor);
    if (entry->GetSubRecord(kEntrySubSet)) {
        group.Open();
        entry.DeleteSubRecord(editor, kEntrySubSet);
    }
    entry.SetString(editor, kEntryValue, value, CRecordRef::kMergeContinuous);
}

CRecord* CParamSet::GetSubSet(CRecordRef set, const LString& key) {
    const int index = Find(set, key);
    return index < 0 ? nullptr : set->GetElement(kSetEntries, uint32_t(index))->GetSubRecord(kEntrySubSet);
}

CRecord* CParamSet::GetSubSetByIndex(CRecordRef set, uint32_t n) {
    return GetSubSet(set, UWord::UDecimal(n));
}

CRecord* CParamSet::GetOrCreateSubSet(CRecordRef set, LHandler* editor, const LString& key) {
    CRecord* s = set.Get();
    if (!IsSet(s)) return nullptr;
    Group group(editor);
    int index = Find(set, key);
    if (index < 0) {
        group.Open();
        if (!set.InsertRecord(editor, kSetEntries, CRecordRef::kAppend, NewEntry(key, LString())))
            return nullptr;
        index = int(s->ArrayCount(kSetEntries)) - 1;
    }
    const CRecordRef entry = EntryRef(s, uint32_t(index));
    if (!entry->GetSubRecord(kEntrySubSet)) {
        group.Open();
        entry.SetString(editor, kEntryValue, LString());
        entry.DeleteSubRecord(editor, kEntrySubSet, CRecord::New(&gSetType));
    }
    return entry->GetSubRecord(kEntrySubSet);
}

int CParamSet::GetInt(CRecordRef set, const LString& key, int32_t& value) {
    LString text;
    const int index = Find(set, key, &text);
    if (index >= 0) value = int32_t(std::strtol(text.CStr(), nullptr, 10));
    return index;
}

int32_t CParamSet::GetIntOr(CRecordRef set, const LString& key, int32_t fallback) {
    int32_t value = fallback;
    return GetInt(set, key, value) >= 0 ? value : fallback;
}

int CParamSet::GetFloat(CRecordRef set, const LString& key, double& value) {
    LString text;
    const int index = Find(set, key, &text);
    if (index >= 0) value = UNum::ToFloat(text.Text());  // C locale
    return index;
}

int CParamSet::GetBytes(CRecordRef set, const LString& key, CBytes& bytes) {
    LString text;
    const int index = Find(set, key, &text);
    if (index < 0) return index;
    const uint32_t n = text.Length() / 2;
    if (!bytes.SetSize(n)) return -1;  // memory ran out: read as absent
    for (uint32_t i = 0; i < n; ++i) {
        const char pair[3] = {text.CStr()[2 * i], text.CStr()[2 * i + 1], 0};
        bytes[i] = uint8_t(std::strtoul(pair, nullptr, 16));
    }
    return index;
}

void CParamSet::SetInt(CRecordRef set, LHandler* editor, const LString& key, int32_t value) {
    SetString(set, editor, key, UWord::Decimal(value));
}

void CParamSet::PutIntByName(CRecord* set, const char* key, int32_t value) {
    SetString(CRecordRef(&set), nullptr, LString(key), UWord::Decimal(value));
}

void CParamSet::PutIntAt(CRecordRef set, const LString& key, int32_t value) {
    SetInt(set, nullptr, key, value);
}

void CParamSet::SetFloat(CRecordRef set, LHandler* editor, const LString& key, uint32_t decimals,
                         double value) {
    SetString(set, editor, key, UWord::FloatSuppress(value, decimals > 15 ? 15 : decimals));
}

void CParamSet::SetBytes(CRecordRef set, LHandler* editor, const LString& key, const void* bytes,
                         uint32_t n) {
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(size_t{n} * 2);
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t b = static_cast<const uint8_t*>(bytes)[i];
        text.push_back(kHex[b >> 4]);
        text.push_back(kHex[b & 15]);
    }
    SetString(set, editor, key, LString(text.data(), uint32_t(text.size())));
}

CLRect CParamSet::GetRect(CRecordRef set, const LString& key) {
    LString text;
    if (Find(set, key, &text) < 0) return CLRect();
    int32_t v[4] = {};
    const char* p = text.CStr();
    for (int32_t& x : v) {
        char* end = nullptr;
        const long n = std::strtol(p, &end, 10);
        if (end == p) return CLRect();
        x = int32_t(n);
        p = end;
    }
    return CLRect{v[0], v[1], v[2], v[3]};
}

void CParamSet::SetRect(CRecord* set, const LString& key, const CLRect& rect) {
    char text[64];
    std::snprintf(text, sizeof text, "%d %d %d %d", int(rect.left), int(rect.top), int(rect.right),
                  int(rect.bottom));
    SetString(CRecordRef(&set), nullptr, key, LString(text));
}

LFsSpec CParamSet::GetFileSpec(CRecordRef set, const LString& key) {
    LString text;
    LFsSpec spec;
    if (Find(set, key, &text) < 0 || text.IsEmpty()) return spec;
    if (!CFileURLU::GetFileSpec(text.Text(), spec, false)) return LFsSpec();
    return spec;
}

void CParamSet::SetFileSpec(CRecord* set, const char* key, const LFsSpec& spec) {
    SetString(CRecordRef(&set), nullptr, LString(key), spec.GetText());
}

bool CParamSet::ParseChange(const SRecordEvent& event, Change& change) {
    CRecord* r = event.record.Get();
    CRecord* entry = nullptr;
    if ((event.kind == SRecordEvent::kValueChanged || event.kind == SRecordEvent::kDeleting) && IsEntry(r)) {
        entry = r;
    } else if (event.kind == SRecordEvent::kInserted && IsSet(r) && event.index1 >= 0) {
        entry = r->GetElement(kSetEntries, uint32_t(event.index1));
    }
    if (!IsEntry(entry) || !IsSet(entry->Parent())) return false;
    change = Change();
    change.key = entry->GetString(kEntryKey);
    CRecord* set = entry->Parent();
    change.set = set;
    CRecord* parent = set->Parent();
    if (IsTable(parent)) {
        const uint32_t cols = parent->GetUInt(CParamTable::kCols);
        const int32_t cell = set->ArrayIndex();
        change.table = parent;
        if (cell < 0 || uint32_t(cell) >= parent->ArrayCount(CParamTable::kCells)) return false;
        change.column = cols ? uint32_t(cell) % cols : 0;
        change.row = cols ? uint32_t(cell) / cols : 0;
        change.holder = parent->Parent();
        change.field = parent->FieldInParent();
        return true;
    }
    change.holder = parent;
    change.field = set->FieldInParent();
    // A nested set sits in an entry of an outer set: report the outermost holder.
    for (uint32_t depth = 0; IsEntry(change.holder) && IsSet(change.holder->Parent()) && depth < 256;
         ++depth) {
        change.outer.push_back(change.holder);
        CRecord* outerSet = change.holder->Parent();
        change.holder = outerSet->Parent();
        change.field = outerSet->FieldInParent();
    }
    return true;
}

void CParamTable::GetSize(CRecordRef table, uint32_t& cols, uint32_t& rows) {
    cols = rows = 0;
    const CRecord* t = table.Get();
    if (!IsTable(t)) return;
    cols = t->GetUInt(kCols);
    rows = cols ? t->ArrayCount(kCells) / cols : 0;
}

namespace {

// The cell's set, or null outside the table.
CRecord** CellAddress(CRecordRef table, uint32_t column, uint32_t row) {
    uint32_t cols = 0;
    uint32_t rows = 0;
    CParamTable::GetSize(table, cols, rows);
    if (column >= cols || row >= rows) return nullptr;
    const uint64_t index = uint64_t(row) * cols + column;
    CRecordArray* cells = table->GetRecordArray(CParamTable::kCells);
    if (index >= cells->Count()) return nullptr;
    return &(*cells)[uint32_t(index)];
}

CRecord* NextCell(CScrapReader& cells) {
    while (!cells.AtEnd()) {
        CRecord* r = cells.ReadRecord();
        if (IsSet(r)) return r;
        CRecord::Delete(r);
    }
    return CRecord::New(&gSetType);
}

// The protocol shared by row and column operations: observers can tell them from cell edits.
class TableOp {
public:
    TableOp(CRecordRef table, LHandler* editor, uint8_t op, uint32_t index, bool insert)
        : mTable(table), mEditor(editor), mIndex(index), mInsert(insert) {
        uint32_t cols = 0;
        uint32_t rows = 0;
        CParamTable::GetSize(table, cols, rows);
        CParamTable::Trim(table, cols, rows);
        mGroup = CRecordUndo::BeginGroup(editor);
        table.SetByte(editor, CParamTable::kOp, op);
        table.SetUInt(editor, CParamTable::kOpIndex, index);
        const uint32_t counter = insert ? CParamTable::kBegin : CParamTable::kEnd;
        table.SetUInt(editor, counter, table->GetUInt(counter) + 1);
    }
    ~TableOp() {
        if (mInsert) {
            mTable.SetUInt(mEditor, CParamTable::kEnd, mTable->GetUInt(CParamTable::kBegin));
        } else {
            mTable.SetUInt(mEditor, CParamTable::kBegin, mTable->GetUInt(CParamTable::kEnd));
        }
        mTable.SetUInt(mEditor, CParamTable::kOpIndex, mIndex);
        mTable.SetByte(mEditor, CParamTable::kOp, CParamTable::kOpNone);
        CRecordUndo::EndGroup(mGroup);
    }

private:
    CRecordRef mTable;
    LHandler* mEditor;
    uint32_t mIndex;
    bool mInsert;
    void* mGroup = nullptr;
};

}  // namespace

bool CParamTable::GetCell(CRecordRef table, uint32_t column, uint32_t row, const LString& key,
                          LString& value) {
    CRecord** cell = CellAddress(table, column, row);
    return cell && CParamSet::Find(CRecordRef(cell), key, &value) >= 0;
}

void CParamTable::SetCell(CRecordRef table, LHandler* editor, uint32_t column, uint32_t row,
                          const LString& key, const LString& value) {
    if (CRecord** cell = CellAddress(table, column, row))
        CParamSet::SetString(CRecordRef(cell), editor, key, value);
}

void CParamTable::Trim(CRecordRef table, uint32_t cols, uint32_t rows) {
    if (!IsTable(table.Get())) return;
    const uint64_t keep = uint64_t(cols) * rows;
    for (uint32_t i = table->ArrayCount(kCells); i > keep; --i) table.DeleteElement(nullptr, kCells, i - 1);
}

void CParamTable::InsertRows(CRecordRef table, LHandler* editor, uint32_t row, CScrapReader& cells) {
    if (!IsTable(table.Get())) return;
    uint32_t cols = 0;
    uint32_t rows = 0;
    GetSize(table, cols, rows);
    if (row > rows) row = rows;
    TableOp op(table, editor, kOpRow, row, true);
    for (uint32_t k = 0; k < cols; ++k) table.InsertRecord(editor, kCells, row * cols + k, NextCell(cells));
}

void CParamTable::InsertColumn(CRecordRef table, LHandler* editor, uint32_t column, CScrapReader& cells) {
    if (!IsTable(table.Get())) return;
    uint32_t cols = 0;
    uint32_t rows = 0;
    GetSize(table, cols, rows);
    if (column > cols) column = cols;
    TableOp op(table, editor, kOpColumn, column, true);
    for (uint32_t r = 0; r < rows; ++r)
        table.InsertRecord(editor, kCells, column + r * (cols + 1), NextCell(cells));
    table.SetUInt(editor, kCols, cols + 1);
}

void CParamTable::AppendRow(CRecordRef table, LHandler* editor) {
    uint32_t cols = 0;
    uint32_t rows = 0;
    GetSize(table, cols, rows);
    CScrapReader none(nullptr, 0);
    InsertRows(table, editor, rows, none);
}

void CParamTable::AppendColumn(CRecordRef table, LHandler* editor) {
    uint32_t cols = 0;
    uint32_t rows = 0;
    GetSize(table, cols, rows);
    CScrapReader none(nullptr, 0);
    InsertColumn(table, editor, cols, none);
}

void CParamTable::DeleteRow(CRecordRef table, LHandler* editor, uint32_t row) {
    uint32_t cols = 0;
    uint32_t rows = 0;
    GetSize(table, cols, rows);
    if (row >= rows) return;
    TableOp op(table, editor, kOpRow, row, false);
    for (uint32_t k = cols; k-- > 0;) table.DeleteElement(editor, kCells, row * cols + k);
}

int CParamTable::ParseChange(const SRecordEvent& event, uint32_t& index) {
    const CRecord* t = event.record.Get();
    if (!IsTable(t)) return kNoChange;
    const uint32_t cols = t->GetUInt(kCols);
    const uint32_t count = t->ArrayCount(kCells);
    const uint8_t op = t->GetByte(kOp);
    const bool equal = t->GetUInt(kBegin) == t->GetUInt(kEnd);
    switch (event.field) {
        case kCells: {
            if (op != kOpNone || cols == 0) return kNoChange;
            const uint32_t rows = count / cols;
            if (event.kind == SRecordEvent::kInserted && count == cols * rows && rows > 0) {
                index = rows - 1;
                return kRowInserted;
            }
            if (event.kind == SRecordEvent::kRemoved && count == cols * (rows + 1) - 1) {
                index = rows;
                return kRowRemoved;
            }
            return kNoChange;
        }
        case kBegin:
            if (event.kind != SRecordEvent::kValueChanged || !equal) return kNoChange;
            index = t->GetUInt(kOpIndex);
            return op == kOpRow ? kRowRemoved : op == kOpColumn ? kColumnRemoved : kNoChange;
        case kEnd:
            if (event.kind != SRecordEvent::kValueChanged || !equal) return kNoChange;
            index = t->GetUInt(kOpIndex);
            return op == kOpRow ? kRowInserted : op == kOpColumn ? kColumnInserted : kNoChange;
        case kShownCols:
            index = t->GetUInt(kShownCols);
            return index < cols ? kColumnInserted : kColumnRemoved;
        default:
            return kNoChange;
    }
}
