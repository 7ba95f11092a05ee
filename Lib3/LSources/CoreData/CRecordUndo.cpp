#include "Lib3/LSources/CoreData/CRecordUndo.h"

#include <cstring>
#include <string>

#include "Lib3/LSources/CoreData/CRecordFlat.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Lib3/LSources/CoreData/CUndoStrm.h"
#include "Lib3/LSources/CoreData/SameFloat.h"

// Every record entry has the body {key, old, new}, three length-prefixed parts: the key is the
// record path of the field (and, for element edits, the u32 element index); old and new are the
// values before and after the edit, empty where the edit has none. A continuous edit of the same
// key rewrites the previous entry with its old value and the new one.

namespace {

using Bytes = std::string;

void WriteEntry(LHandler* editor, CRecordHolder* holder, UndoCallback callback, bool unchanged, int merge,
                const Bytes& key, const Bytes& oldValue, const Bytes& newValue) {
    CUndoStrm s;
    const int mode = unchanged ? CUndoStrm::kModeUnchanged : CUndoStrm::kModePlain;
    if (!s.BeginEntry(editor, holder, callback, LString(), mode, merge)) return;
    const Bytes* first = &oldValue;
    Bytes previousKey;
    Bytes previousOld;
    if (s.IsReopened()) {
        if (s.GetPart(previousKey) && previousKey == key && s.GetPart(previousOld)) {
            first = &previousOld;
            s.Rewrite();
        } else {
            s.AppendNew();
        }
    }
    s.PutPart(key.data(), uint32_t(key.size()));
    s.PutPart(first->data(), uint32_t(first->size()));
    s.PutPart(newValue.data(), uint32_t(newValue.size()));
}

Bytes Key(CRecordRef ref, uint32_t field) {
    Bytes key;
    CUndoStrm::AppendPath(key, ref, field);
    return key;
}

Bytes Key(CRecordRef ref, uint32_t field, uint32_t index) {
    Bytes key = Key(ref, field);
    key.append(reinterpret_cast<const char*>(&index), 4);
    return key;
}

template <class T>
Bytes Raw(const T& value) {
    return Bytes(reinterpret_cast<const char*>(&value), sizeof value);
}

Bytes Flat(const CRecord* record) {
    Bytes out;
    if (!CRecordFlat::Flatten(out, record)) out.clear();
    return out;
}

// An entry read back: the field it names and the chosen value.
struct Edit {
    CRecordRef ref;
    uint32_t field = 0;
    uint32_t index = 0;
    Bytes oldValue;
    Bytes newValue;
    const Bytes& Value(int direction) const { return direction ? newValue : oldValue; }
};

bool ReadEdit(void* context, CUndoStrm& s, bool indexed, Edit& edit) {
    Bytes key;
    if (!s.GetPart(key) || !s.GetPart(edit.oldValue) || !s.GetPart(edit.newValue)) return false;
    size_t pos = 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(key.data());
    if (!CUndoStrm::ResolvePath(static_cast<CRecordHolder*>(context), bytes, key.size(), pos, edit.ref,
                                edit.field))
        return false;
    if (indexed) {
        if (key.size() - pos != 4) return false;
        std::memcpy(&edit.index, bytes + pos, 4);
        pos += 4;
    }
    return pos == key.size();
}

bool IsKind(const Edit& e, uint8_t kind) {
    return e.ref.Get()->Field(e.field).kind == kind;
}

uint8_t ElementKind(const Edit& e) {
    return IsKind(e, kFieldArray) ? e.ref.Get()->Field(e.field).elementKind : 0xFF;
}

// One element value of an encoded array or element part.
struct ElementReader {
    const Bytes& bytes;
    size_t pos = 0;
    template <class T>
    bool Get(T& value) {
        if (bytes.size() - pos < sizeof value) return false;
        std::memcpy(&value, bytes.data() + pos, sizeof value);
        pos += sizeof value;
        return true;
    }
    bool Get(LString& text) {
        uint32_t n = 0;
        if (!Get(n) || bytes.size() - pos < n) return false;
        text = LString(bytes.data() + pos, n);
        pos += n;
        return true;
    }
    bool Done() const { return pos == bytes.size(); }
};

template <class T>
void ApplyElement(const Edit& e, const Bytes& value, int op) {
    ElementReader in{value};
    T v{};
    switch (op) {
        case 0:  // set
            if (in.Get(v) && in.Done()) e.ref.SetArrayValue(nullptr, e.field, e.index, v);
            break;
        case 1:  // insert
            if (in.Get(v) && in.Done()) e.ref.InsertArrayValue(nullptr, e.field, e.index, v);
            break;
        default:
            break;
    }
}

void ElementOp(const Edit& e, const Bytes& value, int op) {
    switch (ElementKind(e)) {
        case kElemInt:
            return ApplyElement<int32_t>(e, value, op);
        case kElemUInt:
            return ApplyElement<uint32_t>(e, value, op);
        case kElemByte:
            return ApplyElement<uint8_t>(e, value, op);
        case kElemFloat:
            return ApplyElement<float>(e, value, op);
        case kElemString:
            return ApplyElement<LString>(e, value, op);
        default:
            break;
    }
}

bool SameValue(const float& a, const float& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}
template <class T>
bool SameValue(const T& a, const T& b) {
    return a == b;
}

// Makes the array equal to the encoded one element by element, so observers see element events.
template <class T>
void ApplyArray(const Edit& e, const Bytes& value) {
    ElementReader in{value};
    uint32_t count = 0;
    if (!in.Get(count)) return;
    CRecord* r = e.ref.Get();
    while (r->ArrayCount(e.field) > count)
        e.ref.RemoveArrayValue(nullptr, e.field, r->ArrayCount(e.field) - 1);
    for (uint32_t i = 0; i < count; ++i) {
        T v{};
        if (!in.Get(v)) return;
        if (i < r->ArrayCount(e.field)) {
            const T& current = static_cast<const T*>(r->ArrayData(e.field))[i];
            if (!SameValue(current, v)) e.ref.SetArrayValue(nullptr, e.field, i, v);
        } else {
            e.ref.InsertArrayValue(nullptr, e.field, i, v);
        }
    }
}

void ScalarCallback(void* context, CUndoStrm& s, int direction) {
    Edit e;
    uint64_t cell = 0;
    if (!ReadEdit(context, s, false, e) || e.Value(direction).size() != 8) return;
    std::memcpy(&cell, e.Value(direction).data(), 8);
    e.ref.SetScalar(nullptr, e.field, cell);
}

void FloatCallback(void* context, CUndoStrm& s, int direction) {
    Edit e;
    float value = 0;
    if (!ReadEdit(context, s, false, e) || e.Value(direction).size() != 4) return;
    std::memcpy(&value, e.Value(direction).data(), 4);
    e.ref.SetFloat(nullptr, e.field, value);
}

void StringCallback(void* context, CUndoStrm& s, int direction) {
    Edit e;
    if (!ReadEdit(context, s, false, e)) return;
    const Bytes& v = e.Value(direction);
    e.ref.SetString(nullptr, e.field, LString(v.data(), uint32_t(v.size())));
}

void ArrayCallback(void* context, CUndoStrm& s, int direction) {
    Edit e;
    if (!ReadEdit(context, s, false, e)) return;
    switch (ElementKind(e)) {
        case kElemInt:
            return ApplyArray<int32_t>(e, e.Value(direction));
        case kElemUInt:
            return ApplyArray<uint32_t>(e, e.Value(direction));
        case kElemByte:
            return ApplyArray<uint8_t>(e, e.Value(direction));
        case kElemFloat:
            return ApplyArray<float>(e, e.Value(direction));
        case kElemString:
            return ApplyArray<LString>(e, e.Value(direction));
        default:
            break;
    }
}

void ArrayValueCallback(void* context, CUndoStrm& s, int direction) {
    Edit e;
    if (ReadEdit(context, s, true, e)) ElementOp(e, e.Value(direction), 0);
}

// Insert and remove are each other's reverse: `insertWhen` is the direction that inserts.
void ArrayInsertRemove(void* context, CUndoStrm& s, int direction, int insertWhen) {
    Edit e;
    if (!ReadEdit(context, s, true, e)) return;
    if (direction == insertWhen) {
        ElementOp(e, insertWhen ? e.newValue : e.oldValue, 1);
    } else {
        e.ref.RemoveArrayValue(nullptr, e.field, e.index);
    }
}

void ArrayInsertCallback(void* context, CUndoStrm& s, int direction) {
    ArrayInsertRemove(context, s, direction, 1);
}

void ArrayRemoveCallback(void* context, CUndoStrm& s, int direction) {
    ArrayInsertRemove(context, s, direction, 0);
}

void SubRecordCallback(void* context, CUndoStrm& s, int direction) {
    Edit e;
    CRecord* child = nullptr;
    if (!ReadEdit(context, s, false, e) || !IsKind(e, kFieldRecord) ||
        !CRecordFlat::Unflatten(e.Value(direction), child))
        return;
    e.ref.DeleteSubRecord(nullptr, e.field, child);
}

void RecordInsertRemove(void* context, CUndoStrm& s, int direction, int insertWhen) {
    Edit e;
    if (!ReadEdit(context, s, true, e) || !IsKind(e, kFieldRecordArray)) return;
    if (direction != insertWhen) {
        if (e.index < e.ref.Get()->ArrayCount(e.field)) e.ref.DeleteElement(nullptr, e.field, e.index);
        return;
    }
    CRecord* child = nullptr;
    if (e.index > e.ref.Get()->ArrayCount(e.field) ||
        !CRecordFlat::Unflatten(insertWhen ? e.newValue : e.oldValue, child))
        return;
    e.ref.InsertRecord(nullptr, e.field, e.index, child);
}

void RecordInsertCallback(void* context, CUndoStrm& s, int direction) {
    RecordInsertRemove(context, s, direction, 1);
}

void RecordRemoveCallback(void* context, CUndoStrm& s, int direction) {
    RecordInsertRemove(context, s, direction, 0);
}

void RecordMoveCallback(void* context, CUndoStrm& s, int direction) {
    Edit e;
    uint32_t from = 0;
    uint32_t to = 0;
    if (!ReadEdit(context, s, false, e) || e.oldValue.size() != 4 || e.newValue.size() != 4) return;
    std::memcpy(&from, e.oldValue.data(), 4);
    std::memcpy(&to, e.newValue.data(), 4);
    if (direction) return e.ref.MoveRecord(nullptr, e.field, from, to);
    const uint32_t landed = from < to ? to - 1 : to;
    e.ref.MoveRecord(nullptr, e.field, landed, from > landed ? from + 1 : from);
}

Bytes Element(CRecordRef ref, uint32_t field, const void* value) {
    Bytes out;
    CRecordFlat::PutElement(out, ref.Get()->Field(field).elementKind, value);
    return out;
}

bool SameElementBytes(const Bytes& a, const Bytes& b) {
    return a == b;
}

}  // namespace

void CRecordUndo::ScalarSet(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                            uint64_t oldCell, uint64_t newCell, int merge) {
    WriteEntry(editor, holder, ScalarCallback, oldCell == newCell, merge, Key(ref, field), Raw(oldCell),
               Raw(newCell));
}

void CRecordUndo::FloatSet(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                           float oldValue, float newValue, int merge) {
    WriteEntry(editor, holder, FloatCallback, SameFloat(oldValue, newValue), merge, Key(ref, field),
               Raw(oldValue), Raw(newValue));
}

void CRecordUndo::StringSet(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                            const LString& oldText, const LString& newText, int merge) {
    WriteEntry(editor, holder, StringCallback, oldText == newText, merge, Key(ref, field),
               Bytes(oldText.CStr(), oldText.Length()), Bytes(newText.CStr(), newText.Length()));
}

void CRecordUndo::ArraySet(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                           const void* oldValues, uint32_t oldCount, const void* newValues, uint32_t newCount,
                           int merge) {
    const uint8_t kind = ref.Get()->Field(field).elementKind;
    Bytes before;
    Bytes after;
    CRecordFlat::PutArray(before, kind, oldValues, oldCount);
    CRecordFlat::PutArray(after, kind, newValues, newCount);
    WriteEntry(editor, holder, ArrayCallback, before == after, merge, Key(ref, field), before, after);
}

void CRecordUndo::ArrayValueSet(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                                uint32_t index, const void* oldValue, const void* newValue, int merge) {
    const Bytes before = Element(ref, field, oldValue);
    const Bytes after = Element(ref, field, newValue);
    WriteEntry(editor, holder, ArrayValueCallback, SameElementBytes(before, after), merge,
               Key(ref, field, index), before, after);
}

void CRecordUndo::ArrayValueInsert(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                                   uint32_t index, const void* value) {
    WriteEntry(editor, holder, ArrayInsertCallback, false, CUndoStrm::kMergeNew, Key(ref, field, index),
               Bytes(), Element(ref, field, value));
}

void CRecordUndo::ArrayValueRemove(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                                   uint32_t index, const void* oldValue) {
    WriteEntry(editor, holder, ArrayRemoveCallback, false, CUndoStrm::kMergeNew, Key(ref, field, index),
               Element(ref, field, oldValue), Bytes());
}

void CRecordUndo::SubRecordReplace(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                                   const CRecord* oldChild, const CRecord* newChild) {
    WriteEntry(editor, holder, SubRecordCallback, false, CUndoStrm::kMergeNew, Key(ref, field),
               Flat(oldChild), Flat(newChild));
}

void CRecordUndo::RecordInsert(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                               uint32_t index, const CRecord* child) {
    WriteEntry(editor, holder, RecordInsertCallback, false, CUndoStrm::kMergeNew, Key(ref, field, index),
               Bytes(), Flat(child));
}

void CRecordUndo::RecordRemove(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                               uint32_t index, const CRecord* element) {
    WriteEntry(editor, holder, RecordRemoveCallback, false, CUndoStrm::kMergeNew, Key(ref, field, index),
               Flat(element), Bytes());
}

void CRecordUndo::RecordMove(LHandler* editor, CRecordHolder* holder, CRecordRef ref, uint32_t field,
                             uint32_t from, uint32_t to) {
    WriteEntry(editor, holder, RecordMoveCallback, false, CUndoStrm::kMergeNew, Key(ref, field), Raw(from),
               Raw(to));
}

void* CRecordUndo::BeginGroup(LHandler* editor) {
    return BeginGroup(editor, LString());
}

void* CRecordUndo::BeginGroup(LHandler* editor, const LString& name) {
    if (!editor) return nullptr;
    auto* group = new CUndoStrm;
    if (!group->BeginGroup(editor, name)) {
        delete group;
        return nullptr;
    }
    return group;
}

void CRecordUndo::EndGroup(void* group) {
    delete static_cast<CUndoStrm*>(group);
}
