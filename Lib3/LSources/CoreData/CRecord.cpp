#include "Lib3/LSources/CoreData/CRecord.h"

#include <cstddef>
#include <cstdlib>
#include <new>

#include "Lib3/LSources/CoreData/CRecordMergeMemory.h"
#include "Lib3/LSources/CoreData/CRecordSlab.h"
#include "Lib3/LSources/CoreData/CStrArray.h"

namespace {

// Bounds the creation of nested non-optional sub-records (a type that contains itself).
constexpr int kMaxCreateDepth = 64;
thread_local int gCreateDepth = 0;

// The array objects of a record live in its block, after the slots: one allocation for the
// record and its containers (their elements are allocated as they grow).
constexpr size_t Rounded(size_t bytes) {
    return (bytes + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
}

// A scalar array keeps this many bytes of elements in the record's block: short arrays, the
// common case, need no allocation of their own.
constexpr size_t kLocalArrayBytes = 32;
constexpr uint16_t kLocalStrings = 4;

size_t ContainerBytes(const SFieldDesc& f) {
    if (f.kind == kFieldArray)
        return f.elementKind == kElemString ? Rounded(sizeof(CStrArray)) + kLocalStrings * sizeof(LString)
                                            : Rounded(sizeof(CArrayBase)) + kLocalArrayBytes;
    if (f.kind == kFieldRecordArray) return Rounded(sizeof(CRecordArray));
    return 0;
}

CArrayBase* NewScalarArray(uint8_t elementKind, void* at) {
    void* local = static_cast<unsigned char*>(at) + Rounded(sizeof(CArrayBase));
    switch (elementKind) {
        case kElemInt:
        case kElemUInt:
        case kElemFloat:
            return new (at) CArrayBase(4, local, kLocalArrayBytes / 4);
        case kElemByte:
            return new (at) CArrayBase(1, local, kLocalArrayBytes);
        default:
            return nullptr;
    }
}

// The record's block: header, slots and the array objects.
size_t BlockBytes(const CRecordType* type) {
    if (!type) return sizeof(CRecord);
    const uint32_t count = type->FieldCount();
    size_t bytes = Rounded(sizeof(CRecord) + sizeof(SRecordSlot) * count);
    for (uint32_t n = 0; n < count; ++n) bytes += ContainerBytes(type->Field(n));
    return bytes;
}

}  // namespace

CRecord* CRecord::New(const CRecordType* type) {
    if (!type || !type->IsRegistered() || type->FieldCount() > CRecordType::kMaxFields) return nullptr;
    if (gCreateDepth >= kMaxCreateDepth) return nullptr;
    bool fromSlab = false;
    void* block = CRecordSlab::Allocate(BlockBytes(type), fromSlab);
    if (!block) return nullptr;
    auto* record = new (block) CRecord(type);
    record->mFromSlab = fromSlab;
    ++gCreateDepth;
    const bool filled = record->Fill();
    --gCreateDepth;
    if (!filled || type->CallHook(0, record) != 0) {
        Delete(record);
        return nullptr;
    }
    return record;
}

void CRecord::Delete(CRecord* record) {
    if (!record) return;
    CRecordMergeMemory::Forget(record);
    const size_t bytes = BlockBytes(record->mType);
    const bool fromSlab = record->mFromSlab;
    record->DestroyFields(record->FieldCount());
    record->~CRecord();
    CRecordSlab::Free(record, bytes, fromSlab);
}

bool CRecord::Fill() {
    const uint32_t count = FieldCount();
    unsigned char* containers =
        reinterpret_cast<unsigned char*>(this) + Rounded(sizeof(CRecord) + sizeof(SRecordSlot) * count);
    for (uint32_t n = 0; n < count; ++n) {
        void* at = containers;
        containers += ContainerBytes(Field(n));
        if (!FillField(n, at)) {
            DestroyFields(n);
            return false;
        }
    }
    return true;
}

bool CRecord::FillField(uint32_t n, void* container) {
    const SFieldDesc& f = Field(n);
    SRecordSlot& slot = Slot(n);
    slot.cell = 0;
    switch (f.kind) {
        case kFieldInt:
        case kFieldUInt:
            slot.u32 = f.def.u32;
            return true;
        case kFieldByte:
            slot.u8 = f.def.u8;
            return true;
        case kFieldFloat:
            slot.f32 = f.def.f32;
            return true;
        case kFieldString:
            new (&slot) LString(f.def.text);
            return true;
        case kFieldArray:
            if (f.elementKind == kElemString) {
                slot.strings = new (container) CStrArray(
                    static_cast<unsigned char*>(container) + Rounded(sizeof(CStrArray)), kLocalStrings);
                return true;
            }
            slot.array = NewScalarArray(f.elementKind, container);
            return slot.array != nullptr;
        case kFieldRecord: {
            if (f.IsOptional()) return true;
            CRecord* child = New(CRecordType::Find(f.SubDomain(), f.SubType()));
            if (!child) return false;
            child->SetLinks(this, n);
            slot.record = child;
            return true;
        }
        case kFieldRecordArray:
            slot.records = new (container) CRecordArray;
            return true;
        default:
            return true;
    }
}

void CRecord::DestroyFields(uint32_t n) {
    if (!mType) return;
    while (n-- > 0) DestroyField(n);
    mType = nullptr;
}

void CRecord::DestroyField(uint32_t n) {
    const SFieldDesc& f = Field(n);
    SRecordSlot& slot = Slot(n);
    switch (f.kind) {
        case kFieldString:
            StringAt(n)->~LString();
            break;
        case kFieldArray:
            if (f.elementKind == kElemString) {
                if (slot.strings) slot.strings->~CStrArray();
            } else if (slot.array) {
                slot.array->~CArrayBase();
            }
            break;
        case kFieldRecord:
            Delete(slot.record);
            break;
        case kFieldRecordArray:
            if (slot.records) {
                DeleteAllElements(slot.records);
                slot.records->~CRecordArray();
            }
            break;
        default:
            break;
    }
    slot.cell = 0;
}

CRecord* CRecord::Clone(const CRecord* source, CRecord* target) {
    if (!source) {
        Delete(target);
        return nullptr;
    }
    if (source == target) return target;
    if (target && target->mType != source->mType) {
        Delete(target);
        target = nullptr;
    }
    if (!target) target = New(source->mType);
    if (!target) return nullptr;
    if (!target->CloneFields(source)) {
        Delete(target);
        return nullptr;
    }
    return target;
}

bool CRecord::CloneFields(const CRecord* source) {
    const uint32_t count = FieldCount();
    for (uint32_t n = 0; n < count; ++n) {
        const SFieldDesc& f = Field(n);
        SRecordSlot& slot = Slot(n);
        const SRecordSlot& from = source->Slot(n);
        switch (f.kind) {
            case kFieldInt:
            case kFieldUInt:
            case kFieldByte:
            case kFieldFloat:
                slot.cell = from.cell;
                break;
            case kFieldString:
                StringSlot(n) = source->GetString(n);
                break;
            case kFieldArray:
                if (f.elementKind == kElemString) {
                    if (!slot.strings->Assign(*from.strings)) return false;
                } else if (!slot.array->Copy(*from.array)) {
                    return false;
                }
                break;
            case kFieldRecord: {
                CRecord* child = from.record ? Clone(from.record, nullptr) : nullptr;
                if (from.record && !child) return false;
                Delete(SetSubRecord(n, child));
                break;
            }
            case kFieldRecordArray: {
                CRecordArray& to = *slot.records;
                const CRecordArray& src = *from.records;
                while (to.Count() > src.Count()) RemoveElementRaw(n, to.Count() - 1);
                for (uint32_t i = 0; i < src.Count(); ++i) {
                    CRecord* element = i < to.Count() ? to[i] : nullptr;
                    CRecord* copy = Clone(src[i], element);
                    if (src[i] && !copy) {
                        if (i < to.Count()) to[i] = nullptr;
                        return false;
                    }
                    if (i < to.Count()) {
                        to[i] = copy;
                    } else if (!to.Append(copy)) {
                        Delete(copy);
                        return false;
                    }
                    if (copy) {
                        copy->SetLinks(this, n);
                        copy->SetArrayIndex(static_cast<int32_t>(i));
                    }
                }
                break;
            }
            default:
                slot.cell = from.cell;
                break;
        }
    }
    return true;
}

CRecord* CRecord::GetElement(uint32_t n, uint32_t m) const {
    const CRecordArray* array = Slot(n).records;
    return array && m < array->Count() ? (*array)[m] : nullptr;
}

uint32_t CRecord::ArrayCount(uint32_t n) const {
    const SFieldDesc& f = Field(n);
    const SRecordSlot& slot = Slot(n);
    if (f.kind == kFieldRecordArray) return slot.records ? slot.records->Count() : 0;
    if (f.kind != kFieldArray || !slot.array) return 0;
    return f.elementKind == kElemString ? slot.strings->Count() : slot.array->Count();
}

void* CRecord::ArrayData(uint32_t n) {
    const SFieldDesc& f = Field(n);
    SRecordSlot& slot = Slot(n);
    if (f.kind != kFieldArray || !slot.array) return nullptr;
    if (f.elementKind == kElemString) return slot.strings->Data();
    return f.elementKind <= kElemFloat ? slot.array->Data() : nullptr;
}

const void* CRecord::ArrayData(uint32_t n) const {
    return const_cast<CRecord*>(this)->ArrayData(n);
}

bool CRecord::SetArrayRaw(uint32_t n, const void* values, uint32_t count) {
    const SFieldDesc& f = Field(n);
    SRecordSlot& slot = Slot(n);
    if (f.kind != kFieldArray || !slot.array) return false;
    if (f.elementKind == kElemString) return slot.strings->Assign(static_cast<const LString*>(values), count);
    return slot.array->SetElements(values, count);
}

CRecord* CRecord::SetSubRecord(uint32_t n, CRecord* child) {
    CRecord* old = Slot(n).record;
    if (old == child) return nullptr;
    SwapSubRecord(n, child);
    if (old) old->SetLinks(nullptr, 0);
    return old;
}

CRecord* CRecord::SwapSubRecord(uint32_t n, CRecord* child) {
    CRecord* old = Slot(n).record;
    if (old == child) return nullptr;
    Slot(n).record = child;
    if (child) {
        child->SetLinks(this, n);
        child->SetArrayIndex(-1);
    }
    return old;
}

bool CRecord::InsertElementRaw(uint32_t n, int32_t index, CRecord* child) {
    CRecordArray* array = Slot(n).records;
    if (Field(n).kind != kFieldRecordArray || !array) return false;
    const uint32_t count = array->Count();
    const uint32_t at =
        index < 0 || static_cast<uint32_t>(index) > count ? count : static_cast<uint32_t>(index);
    if (!array->Insert(at, child)) return false;
    if (child) child->SetLinks(this, n);
    Renumber(n, at, array->Count() - 1);
    return true;
}

CRecord* CRecord::TakeElementRaw(uint32_t n, uint32_t index) {
    CRecordArray* array = Slot(n).records;
    if (Field(n).kind != kFieldRecordArray || !array || index >= array->Count()) return nullptr;
    CRecord* element = (*array)[index];
    array->Remove(index);
    if (element) element->SetArrayIndex(-1);
    if (index < array->Count()) Renumber(n, index, array->Count() - 1);
    return element;
}

void CRecord::RemoveElementRaw(uint32_t n, uint32_t index) {
    Delete(TakeElementRaw(n, index));
}

void CRecord::DeleteAllElements(CRecordArray* array) {
    while (array && array->Count() > 0) {
        const uint32_t last = array->Count() - 1;
        CRecord* element = (*array)[last];
        array->Remove(last);
        Delete(element);
    }
}

void CRecord::Renumber(uint32_t n, uint32_t a, uint32_t b) {
    CRecordArray* array = Slot(n).records;
    if (!array || array->Count() == 0) return;
    const uint32_t last = array->Count() - 1;
    uint32_t lo = a < b ? a : b;
    uint32_t hi = a < b ? b : a;
    if (lo > last) lo = last;
    if (hi > last) hi = last;
    for (uint32_t i = lo; i <= hi; ++i) {
        if (CRecord* element = (*array)[i]) element->SetArrayIndex(static_cast<int32_t>(i));
    }
}
