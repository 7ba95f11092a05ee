#include "Lib3/LSources/CoreData/CRecordRef.h"

#include <cstring>

#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CRecordMergeMemory.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"
#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Lib3/LSources/CoreData/SameFloat.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/Fs/CMacFileU.h"

namespace {

constexpr uint32_t kNotInParent = 0xFFFFFFFF;

bool SameElement(uint8_t elementKind, const void* a, const void* b) {
    if (elementKind == kElemString) return *static_cast<const LString*>(a) == *static_cast<const LString*>(b);
    if (elementKind == kElemFloat)
        return SameFloat(*static_cast<const float*>(a), *static_cast<const float*>(b));
    return std::memcmp(a, b, elementKind == kElemByte ? 1 : 4) == 0;
}

}  // namespace

CRecordHolder* CRecordRef::GetHolder() const {
    CRecord* r = Get();
    if (!r) return nullptr;
    while (r->Parent()) r = r->Parent();
    // Field indexes are below 256; only a holder's address is stored in a root's position word.
    const uintptr_t position = r->PositionWord();
    return position > 0xFF ? reinterpret_cast<CRecordHolder*>(position) : nullptr;
}

SRecordSlot* CRecordRef::GetField(uint32_t n) const {
    CRecord* r = Get();
    return r && n < r->FieldCount() ? &r->Slot(n) : nullptr;
}

CRecord* CRecordRef::GetElement(uint32_t n, uint32_t m) const {
    CRecord* r = Get();
    return r && n < r->FieldCount() && r->Field(n).kind == kFieldRecordArray ? r->GetElement(n, m) : nullptr;
}

uint32_t CRecordRef::IndexInParent() const {
    const CRecord* r = Get();
    if (!r) return kNotInParent;
    const CRecord* parent = r->Parent();
    if (!parent) return 0;
    const uint32_t n = r->FieldInParent();
    if (n >= parent->FieldCount()) return kNotInParent;
    switch (parent->Field(n).kind) {
        case kFieldRecord:
            return parent->GetSubRecord(n) == r ? 0 : kNotInParent;
        case kFieldRecordArray: {
            const int32_t index = r->ArrayIndex();
            if (index < 0 || parent->GetElement(n, static_cast<uint32_t>(index)) != r) return kNotInParent;
            return static_cast<uint32_t>(index);
        }
        default:
            return kNotInParent;
    }
}

uint8_t CRecordRef::ElementValueClass(uint8_t elementKind) {
    switch (elementKind) {
        case kElemString:
            return kValueString;
        case kElemByte:
            return kValueByte;
        case kElemFloat:
            return kValueFloat;
        default:
            return kValueWord;
    }
}

bool CRecordRef::HasAncestor(const CRecord* other) const {
    for (const CRecord* r = Get(); r; r = r->Parent()) {
        if (r == other) return true;
    }
    return false;
}

CRecord* CRecordRef::Checked(uint32_t field, uint8_t kind) const {
    CRecord* r = Get();
    if (!r || field >= r->FieldCount() || r->Field(field).kind != kind) return nullptr;
    return r;
}

CRecord* CRecordRef::CheckedArray(uint32_t field, uint8_t valueClass) const {
    CRecord* r = Checked(field, kFieldArray);
    if (!r || !r->GetArray(field) || r->Field(field).elementKind > kElemString) return nullptr;
    return ElementValueClass(r->Field(field).elementKind) == valueClass ? r : nullptr;
}

void CRecordRef::NotifyValueChanged(LHandler* editor, CRecordHolder* holder, uint32_t field,
                                    int32_t index1) const {
    const auto index2 = static_cast<int32_t>(IndexInParent());
    if (index2 < 0) return;
    CRecordHolder::Broadcast(*this, editor, holder, SRecordEvent::kValueChanged, field, index1, index2);
}

bool CRecordRef::SetScalar(LHandler* editor, uint32_t field, uint64_t cell, uint32_t merge) const {
    CRecord* r = Get();
    if (!r || field >= r->FieldCount() || r->Field(field).kind > kFieldByte) return false;
    cell &= r->Field(field).kind == kFieldByte ? 0xFF : 0xFFFFFFFF;
    const uint64_t old = r->Slot(field).cell;
    CRecordHolder* holder = GetHolder();
    if (editor && holder)
        CRecordUndo::ScalarSet(editor, holder, *this, field, old, cell,
                               CRecordHolder::CanMergeEdit(*this, field, merge));
    if (old != cell) {
        r->Slot(field).cell = cell;
        NotifyValueChanged(editor, holder, field, 0);
    }
    return true;
}

bool CRecordRef::SetFloat(LHandler* editor, uint32_t field, float value, uint32_t merge) const {
    CRecord* r = Checked(field, kFieldFloat);
    if (!r) return false;
    const float old = r->GetFloat(field);
    CRecordHolder* holder = GetHolder();
    if (editor && holder)
        CRecordUndo::FloatSet(editor, holder, *this, field, old, value,
                              CRecordHolder::CanMergeEdit(*this, field, merge));
    if (!SameFloat(old, value)) {
        r->Slot(field).f32 = value;
        NotifyValueChanged(editor, holder, field, 0);
    }
    return true;
}

bool CRecordRef::SetString(LHandler* editor, uint32_t field, const LString& text, uint32_t merge) const {
    CRecord* r = Checked(field, kFieldString);
    if (!r) return false;
    const LString old = r->GetString(field);
    CRecordHolder* holder = GetHolder();
    if (editor && holder)
        CRecordUndo::StringSet(editor, holder, *this, field, old, text,
                               CRecordHolder::CanMergeEdit(*this, field, merge));
    if (!(old == text)) {
        r->StringSlot(field) = text;
        NotifyValueChanged(editor, holder, field, 0);
    }
    return true;
}

bool CRecordRef::SetArray(LHandler* editor, uint32_t field, const void* values, uint32_t count,
                          uint32_t merge) const {
    CRecord* r = Checked(field, kFieldArray);
    if (!r || !r->GetArray(field) || r->Field(field).elementKind > kElemString) return false;
    CRecordHolder* holder = GetHolder();
    if (editor && holder) {
        CRecordHolder::NoteElementIndex(-1);
        CRecordUndo::ArraySet(editor, holder, *this, field, r->ArrayData(field), r->ArrayCount(field), values,
                              count, CRecordHolder::CanMergeEdit(*this, field, merge));
    }
    if (!r->SetArrayRaw(field, values, count)) return false;
    NotifyValueChanged(editor, holder, field, -1);
    return true;
}

CLRect CRecordRef::GetRectField(uint32_t field) const {
    CRecord* r = Checked(field, kFieldArray);
    if (!r || r->Field(field).elementKind != kElemInt || r->ArrayCount(field) < 4) return CLRect{};
    const auto* v = static_cast<const int32_t*>(r->ArrayData(field));
    return CLRect{v[0], v[1], v[2], v[3]};
}

bool CRecordRef::SetRectField(LHandler* editor, uint32_t field, const CLRect& rect, uint32_t merge) const {
    CRecord* r = Checked(field, kFieldArray);
    if (!r || r->Field(field).elementKind != kElemInt) return false;
    const int32_t values[4] = {rect.left, rect.top, rect.right, rect.bottom};
    return SetArray(editor, field, values, 4, merge);
}

LFsSpec CRecordRef::GetFileSpecField(uint32_t field) const {
    CRecord* r = Checked(field, kFieldString);
    if (!r) return LFsSpec();
    const LString& path = r->GetString(field);
    if (path.Text()[0] != '/') return LFsSpec();
    return CMacFileU::LFsSpecFromPath(path);
}

bool CRecordRef::SetFileSpecField(LHandler* editor, uint32_t field, const LFsSpec& spec,
                                  uint32_t merge) const {
    return SetString(editor, field, spec.IsEmpty() ? LString() : CMacFileU::PathFromLFsSpec(spec), merge);
}

bool CRecordRef::SetArrayValueRaw(LHandler* editor, uint32_t field, uint32_t index, const void* value,
                                  uint8_t valueClass, uint32_t merge) const {
    CRecord* r = CheckedArray(field, valueClass);
    // Callers keep the index below the count; anything else is ignored.
    if (!r || index >= r->ArrayCount(field)) return false;
    const uint8_t elementKind = r->Field(field).elementKind;
    const uint32_t size = elementKind == kElemString ? sizeof(LString) : r->GetArray(field)->ElementSize();
    void* slot = static_cast<char*>(r->ArrayData(field)) + size_t{index} * size;
    CRecordHolder* holder = GetHolder();
    if (editor && holder) {
        CRecordHolder::NoteElementIndex(static_cast<int32_t>(index));
        CRecordUndo::ArrayValueSet(editor, holder, *this, field, index, slot, value,
                                   CRecordHolder::CanMergeEdit(*this, field, merge));
    }
    if (SameElement(elementKind, slot, value)) return true;
    if (elementKind == kElemString) {
        *static_cast<LString*>(slot) = *static_cast<const LString*>(value);
    } else {
        std::memcpy(slot, value, size);
    }
    NotifyValueChanged(editor, holder, field, static_cast<int32_t>(index));
    return true;
}

bool CRecordRef::InsertArrayValueRaw(LHandler* editor, uint32_t field, uint32_t index, const void* value,
                                     uint8_t valueClass) const {
    CRecord* r = CheckedArray(field, valueClass);
    if (!r) return false;
    const uint32_t count = r->ArrayCount(field);
    if (index > count) index = count;
    CRecordMergeMemory::ClearRecord();
    CRecordHolder* holder = GetHolder();
    if (editor && holder) CRecordUndo::ArrayValueInsert(editor, holder, *this, field, index, value);
    const bool inserted = r->Field(field).elementKind == kElemString
                              ? r->GetStrArray(field)->Insert(index, *static_cast<const LString*>(value))
                              : r->GetArray(field)->Insert(index, value);
    if (!inserted) return false;
    CRecordHolder::Broadcast(*this, editor, holder, SRecordEvent::kInserted, field,
                             static_cast<int32_t>(index), static_cast<int32_t>(IndexInParent()));
    return true;
}

bool CRecordRef::RemoveArrayValue(LHandler* editor, uint32_t field, uint32_t index) const {
    CRecord* r = Checked(field, kFieldArray);
    if (!r || !r->GetArray(field) || r->Field(field).elementKind > kElemString ||
        index >= r->ArrayCount(field))
        return false;
    CRecordMergeMemory::ClearRecord();
    CRecordHolder* holder = GetHolder();
    const bool isString = r->Field(field).elementKind == kElemString;
    if (editor && holder) {
        const void* old = isString ? static_cast<const void*>(&(*r->GetStrArray(field))[index])
                                   : r->GetArray(field)->At(index);
        CRecordUndo::ArrayValueRemove(editor, holder, *this, field, index, old);
    }
    if (isString) {
        r->GetStrArray(field)->Remove(index);
    } else {
        r->GetArray(field)->Remove(index);
    }
    CRecordHolder::Broadcast(*this, editor, holder, SRecordEvent::kRemoved, field,
                             static_cast<int32_t>(index), static_cast<int32_t>(IndexInParent()));
    return true;
}

bool CRecordRef::PadArrayRaw(LHandler* editor, uint32_t field, const void* value, uint8_t valueClass,
                             uint32_t n) const {
    CRecord* r = CheckedArray(field, valueClass);
    if (!r) return false;
    void* group = CRecordUndo::BeginGroup(editor);
    bool ok = true;
    while (ok && r->ArrayCount(field) < n)
        ok = InsertArrayValueRaw(editor, field, r->ArrayCount(field), value, valueClass);
    CRecordUndo::EndGroup(group);
    return ok;
}

CRecord* CRecordRef::DetachSubRecord(LHandler* editor, uint32_t field, CRecord* child) const {
    CRecord* r = Checked(field, kFieldRecord);
    if (!r) return nullptr;
    CRecord* old = r->GetSubRecord(field);
    if (old == child) return nullptr;
    CRecordMergeMemory::ClearRecord();
    CRecordHolder* holder = GetHolder();
    if (editor && holder) CRecordUndo::SubRecordReplace(editor, holder, *this, field, old, child);
    r->SwapSubRecord(field, child);
    if (!r->Field(field).IsSilent()) {
        CRecordHolder::SendDeleting(holder, editor, old, 0);
        CRecordHolder::SendAttached(holder, editor, child, 0);
    }
    if (old) old->SetLinks(nullptr, 0);
    NotifyValueChanged(editor, holder, field, 0);
    return old;
}

void CRecordRef::DeleteSubRecord(LHandler* editor, uint32_t field, CRecord* child) const {
    CRecord::Delete(DetachSubRecord(editor, field, child));
}

bool CRecordRef::InsertRecord(LHandler* editor, uint32_t field, uint32_t index, CRecord* child) const {
    CRecord* r = Checked(field, kFieldRecordArray);
    if (!r || !r->GetRecordArray(field)) {
        CRecord::Delete(child);
        return false;
    }
    const bool silent = r->Field(field).IsSilent();
    uint32_t count = r->ArrayCount(field);
    if (index > count) index = count;
    CRecordHolder* holder = GetHolder();
    if (holder && child && !silent) {
        child->SetLinks(r, field);
        child->SetArrayIndex(-1);
        CRecord* var = child;
        SRecordEvent event{editor,
                           CRecordRef(&var),
                           SRecordEvent::kInserting,
                           CRecord::kWholeRecord,
                           static_cast<int32_t>(index),
                           -1};
        CRecordHolder::Deliver(holder, event);
        // The hook may have moved the insertion point; observers may have changed the array.
        count = r->ArrayCount(field);
        index = event.index1 < 0 ? 0 : static_cast<uint32_t>(event.index1);
        if (index > count) index = count;
    }
    CRecordMergeMemory::ClearRecord();
    if (!r->InsertElementRaw(field, static_cast<int32_t>(index), child)) {
        if (child) child->SetLinks(nullptr, 0);
        CRecord::Delete(child);
        return false;
    }
    if (editor && holder) CRecordUndo::RecordInsert(editor, holder, *this, field, index, child);
    if (!silent) CRecordHolder::SendAttached(holder, editor, child, static_cast<int32_t>(index));
    CRecordHolder::Broadcast(*this, editor, holder, SRecordEvent::kInserted, field,
                             static_cast<int32_t>(index), -1);
    return true;
}

CRecord* CRecordRef::RemoveRecord(LHandler* editor, uint32_t field, uint32_t index) const {
    CRecord* r = Checked(field, kFieldRecordArray);
    if (!r || index >= r->ArrayCount(field)) return nullptr;
    const bool silent = r->Field(field).IsSilent();
    CRecord* element = r->GetElement(field, index);
    CRecordMergeMemory::ClearRecord();
    CRecordHolder* holder = GetHolder();
    if (editor && holder) CRecordUndo::RecordRemove(editor, holder, *this, field, index, element);
    if (!silent && holder && element) {
        CRecord* var = element;
        SRecordEvent event{editor,
                           CRecordRef(&var),
                           SRecordEvent::kRemoving,
                           CRecord::kWholeRecord,
                           static_cast<int32_t>(index),
                           -1};
        CRecordHolder::Deliver(holder, event);
        // An observer may have changed the array meanwhile.
        if (r->GetElement(field, index) != element) return nullptr;
    }
    r->TakeElementRaw(field, index);
    CRecordHolder::Broadcast(*this, editor, holder, SRecordEvent::kRemoved, field,
                             static_cast<int32_t>(index), -1);
    if (!silent) CRecordHolder::SendDeleting(holder, editor, element, static_cast<int32_t>(index));
    if (element) element->SetLinks(nullptr, 0);
    return element;
}

void CRecordRef::DeleteElement(LHandler* editor, uint32_t field, uint32_t index) const {
    CRecord::Delete(RemoveRecord(editor, field, index));
}

void CRecordRef::MoveRecord(LHandler* editor, uint32_t field, uint32_t from, uint32_t to) const {
    CRecord* r = Checked(field, kFieldRecordArray);
    if (!r) return;
    const uint32_t count = r->ArrayCount(field);
    if (from >= count) return;
    if (to > count) to = count;
    const uint32_t destination = from < to ? to - 1 : to;
    if (destination == from) return;
    CRecordMergeMemory::ClearRecord();
    CRecordHolder* holder = GetHolder();
    if (editor && holder) CRecordUndo::RecordMove(editor, holder, *this, field, from, to);
    if (!r->GetRecordArray(field)->Move(from, destination)) return;
    r->Renumber(field, from, destination);
    CRecordHolder::Broadcast(*this, editor, holder, SRecordEvent::kMoved, field, static_cast<int32_t>(from),
                             static_cast<int32_t>(destination));
}

void CRecordRef::ResetField(uint32_t field) const {
    CRecord* r = Get();
    if (!r || field >= r->FieldCount()) return;
    const SFieldDesc& f = r->Field(field);
    switch (f.kind) {
        case kFieldInt:
        case kFieldUInt:
            SetScalar(nullptr, field, f.def.u32);
            break;
        case kFieldByte:
            SetScalar(nullptr, field, f.def.u8);
            break;
        case kFieldFloat:
            SetFloat(nullptr, field, f.def.f32);
            break;
        case kFieldString:
            SetString(nullptr, field, LString(f.def.text));
            break;
        case kFieldArray:
            SetArray(nullptr, field, nullptr, 0);
            break;
        case kFieldRecord:
            if (f.IsOptional()) {
                DeleteSubRecord(nullptr, field);
            } else if (r->GetSubRecord(field)) {
                CRecordRef(&r->Slot(field).record).Reset();
            }
            break;
        case kFieldRecordArray:
            for (uint32_t i = r->ArrayCount(field); i-- > 0;) DeleteElement(nullptr, field, i);
            break;
        default:
            break;
    }
}

void CRecordRef::Reset() const {
    CRecord* r = Get();
    if (!r) return;
    CRecordMergeMemory::ClearRecord();
    for (uint32_t n = r->FieldCount(); n-- > 0;) {
        if (r->Field(n).tag != 0) ResetField(n);
    }
    if (r->Type()) r->Type()->CallHook(0, r);
}
