#include "Lib3/LSources/CoreData/CRecordHolder.h"

#include "Lib3/LSources/CoreData/CRecordMergeMemory.h"

CRecordMergeMemory::State& CRecordMergeMemory::Get() {
    static State state;
    return state;
}

const CRecord* CRecordMergeMemory::Record() {
    return Get().record;
}

int32_t CRecordMergeMemory::ElementIndex() {
    return Get().element;
}

void CRecordMergeMemory::Forget(const CRecord* record) {
    State& s = Get();
    if (record && s.record == record) {
        s.record = nullptr;
        s.element = -1;
    }
}

void CRecordMergeMemory::ClearRecord() {
    Get().record = nullptr;
}

CRecordHolder::CRecordHolder(CRecord* root) : mRoot(root) {
    if (mRoot) mRoot->SetLinks(nullptr, reinterpret_cast<uintptr_t>(this));
}

CRecordHolder::~CRecordHolder() {
    if (mRoot) {
        SendDeleting(this, nullptr, mRoot, 0);
        CRecord::Delete(mRoot);
        mRoot = nullptr;
    }
}

void CRecordHolder::Notify(const SRecordEvent& event) {
    LCallbackList::Iterator it(mObservers);
    LCallbackList::Entry entry;
    while (it.Next(entry)) entry.As<RecordObserverFunction>()(entry.context, &event);
}

const CRecordType* CRecordHolder::ResolveType(uint32_t domain, uint32_t type, const CRecord* parent,
                                              uint32_t field) {
    if (parent && parent->Type() && field < parent->FieldCount()) {
        const SFieldDesc& f = parent->Field(field);
        if (f.IsRecordValued() && !f.AllowsAnyType())
            return ResolveType(f.SubDomain(), f.SubType(), nullptr, 0);
    }
    return CRecordType::Find(domain, type);
}

void CRecordHolder::NoteElementIndex(int32_t element) {
    CRecordMergeMemory::State& s = CRecordMergeMemory::Get();
    if (s.element != element) {
        s.record = nullptr;
        s.element = element;
    }
}

int CRecordHolder::CanMergeEdit(CRecordRef ref, uint32_t field, uint32_t flags) {
    CRecordMergeMemory::State& s = CRecordMergeMemory::Get();
    const CRecord* r = ref.Get();
    if (!r) return 1;
    const uint32_t indexInParent = ref.IndexInParent();
    if ((flags & CRecordRef::kMergeContinuous) && s.record == r && s.field == field && s.type == r->Type() &&
        s.position == r->PositionWord() && s.indexInParent == indexInParent)
        return 2;
    s.record = r;
    s.type = r->Type();
    s.position = r->PositionWord();
    s.field = field;
    s.indexInParent = indexInParent;
    return 1;
}

bool CRecordHolder::Deliver(CRecordHolder* holder, SRecordEvent& event) {
    const CRecord* r = event.record.Get();
    if (!holder || !r) return false;
    const CRecordType* hookType = r->Type();
    if ((event.kind == SRecordEvent::kInserting || event.kind == SRecordEvent::kRemoving) && r->Parent())
        hookType = r->Parent()->Type();
    if (hookType && hookType->CallHook(1, &event) != 0) return false;
    holder->Notify(event);
    return true;
}

void CRecordHolder::Broadcast(CRecordRef ref, LHandler* editor, CRecordHolder* holder, uint32_t kind,
                              uint32_t field, int32_t index1, int32_t index2) {
    CRecord* r = ref.Get();
    if (!holder || !r) return;
    if (field != CRecord::kWholeRecord) {
        if (field >= r->FieldCount()) return;
        const SFieldDesc& f = r->Field(field);
        if (f.tag != 0) {
            // Up through tagged fields only: a change below an internal field is not a document change.
            const CRecord* cur = r;
            while (cur->Parent() && cur->Parent()->Field(cur->FieldInParent()).tag != 0) cur = cur->Parent();
            if (!cur->Parent()) {
                holder->mModified = 1;
                ++holder->mChangeCount;
            }
        }
        if (f.IsSilent()) return;
    }
    SRecordEvent event{editor, ref, kind, static_cast<uint8_t>(field), index1, index2};
    Deliver(holder, event);
}

void CRecordHolder::SendAttached(CRecordHolder* holder, LHandler* editor, CRecord* record, int32_t index2) {
    if (!holder || !record) return;
    CRecord* var = record;
    SRecordEvent event{editor, CRecordRef(&var), SRecordEvent::kAttached, CRecord::kWholeRecord, -1, index2};
    Deliver(holder, event);
    const uint32_t count = record->FieldCount();
    for (uint32_t n = 0; n < count; ++n) {
        const SFieldDesc& f = record->Field(n);
        if (f.IsSilent()) continue;
        if (f.kind == kFieldRecord) {
            SendAttached(holder, editor, record->GetSubRecord(n), 0);
        } else if (f.kind == kFieldRecordArray) {
            const uint32_t elements = record->ArrayCount(n);
            for (uint32_t i = 0; i < elements; ++i)
                SendAttached(holder, editor, record->GetElement(n, i), static_cast<int32_t>(i));
        }
    }
}

void CRecordHolder::SendDeleting(CRecordHolder* holder, LHandler* editor, CRecord* record, int32_t index2) {
    if (!holder || !record) return;
    for (uint32_t n = record->FieldCount(); n-- > 0;) {
        const SFieldDesc& f = record->Field(n);
        if (f.IsSilent()) continue;
        if (f.kind == kFieldRecord) {
            SendDeleting(holder, editor, record->GetSubRecord(n), 0);
        } else if (f.kind == kFieldRecordArray) {
            for (uint32_t i = record->ArrayCount(n); i-- > 0;)
                SendDeleting(holder, editor, record->GetElement(n, i), static_cast<int32_t>(i));
        }
    }
    CRecord* var = record;
    SRecordEvent event{editor, CRecordRef(&var), SRecordEvent::kDeleting, CRecord::kWholeRecord, -1, index2};
    Deliver(holder, event);
}
