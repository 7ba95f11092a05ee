#include "Orbilume/CSources/Document/CDocModelHolder.h"

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"
#include "Lib3/LSources/Fs/UFsPath.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

}  // namespace

CDocModelHolder::CDocModelHolder() : CRecordHolder(CRecord::New(T::Type(T::kOBMX))) {}

CRecordRef CDocModelHolder::Sub(uint32_t field) {
    CRecord* root = Root();
    return root ? CRecordRef(&root->Slot(field).record) : CRecordRef();
}

CRecordRef CDocModelHolder::Mix() {
    return Sub(T::kObmxMix);
}
CRecordRef CDocModelHolder::Scenes() {
    return Sub(T::kObmxScenes);
}
CRecordRef CDocModelHolder::BlendControl() {
    return Sub(T::kObmxBlendCtl);
}
CRecordRef CDocModelHolder::SceneControl() {
    return Sub(T::kObmxSceneCtl);
}
CRecordRef CDocModelHolder::SequenceControl() {
    return Sub(T::kObmxSeqCtl);
}
CRecordRef CDocModelHolder::Schedule() {
    return Sub(T::kObmxSchedule);
}

const CRecordType* CDocModelHolder::ResolveType(uint32_t domain, uint32_t type, const CRecord* parent,
                                                uint32_t field) {
    const CRecordType* t = CRecordHolder::ResolveType(domain, type, parent, field);
    return t == T::Type(T::kLAYR) ? &T::LayerReadType() : t;
}

void CDocModelHolder::Notify(const SRecordEvent& event) {
    CRecordHolder::Notify(event);
    FollowSequenceChange(event);
}

// Keeps field 16 on the same sequence. When the edited sequence itself goes, the one that now
// stands at its index is edited, else the new last one, else 0 on the empty list.
void CDocModelHolder::FollowSequenceChange(const SRecordEvent& event) {
    CRecord* scns = event.record.Get();
    if (!scns || !scns->IsOfType(T::kDomain, T::kSCNS) || event.field != T::kScnsSequences) return;
    const int32_t e = scns->GetInt(T::kScnsEdited);
    if (e < 0 || event.index1 < 0) return;
    const int32_t i = event.index1;
    int32_t next = e;
    switch (event.kind) {
        case SRecordEvent::kInserted:
            if (i <= e) next = e + 1;
            break;
        case SRecordEvent::kRemoved:
            if (i < e) {
                next = e - 1;
            } else if (i == e) {
                const int32_t count = static_cast<int32_t>(scns->ArrayCount(T::kScnsSequences));
                next = e < count ? e : (count > 0 ? count - 1 : 0);
                // Reset first, so that the edited list is announced even when the index stays.
                scns->Slot(T::kScnsEdited).i32 = -1;
            }
            break;
        case SRecordEvent::kMoved: {
            const int32_t j = event.index2;
            if (i == e) {
                next = j;
            } else {
                const int32_t t = i < e ? e - 1 : e;
                next = j <= t ? t + 1 : t;
            }
            break;
        }
        default:
            return;
    }
    if (next != scns->GetInt(T::kScnsEdited)) {
        CRecord* var = scns;
        CRecordRef(&var).SetInt(nullptr, T::kScnsEdited, next);
    }
}

void CDocModelHolder::ResetRunTimeFields() {
    CRecord* scns = Scenes().Get();
    if (!scns) return;
    for (uint32_t n = T::kScnsRecall; n <= T::kScnsFaderLevels; ++n) {
        const SFieldDesc& f = scns->Field(n);
        SRecordSlot& slot = scns->Slot(n);
        switch (f.kind) {
            case kFieldInt:
                slot.cell = 0;
                slot.i32 = f.def.i32;
                break;
            case kFieldUInt:
                slot.cell = 0;
                slot.u32 = f.def.u32;
                break;
            case kFieldByte:
                slot.cell = 0;
                slot.u8 = f.def.u8;
                break;
            case kFieldFloat:
                slot.cell = 0;
                slot.f32 = f.def.f32;
                break;
            case kFieldArray:
                (void)scns->SetArrayRaw(n, nullptr, 0);  // emptying an array field allocates nothing
                break;
            default:
                break;
        }
    }
}

bool CDocModelHolder::ReadXml(CStream& in) {
    PLAT_DCHECK_MAIN_THREAD();
    ResetRunTimeFields();
    const bool ok = ReadXmlDocument(in, RootRef()) == 1;
    ResetRunTimeFields();
    return ok;
}

void CDocModelHolder::WriteXml(CStream& out) const {
    WriteXmlDocument(out, Root());
}

bool CDocModelHolder::WriteXmlFile(const char* path) const {
    return WriteXmlDocumentFile(path, Root());
}

LString CDocModelHolder::MakeStoredPath(const LFsSpec& file) const {
    return UFsPath::MakeDocRelative(file, mPath);
}

LFsSpec CDocModelHolder::ResolveStoredPath(const LString& text) const {
    LFsSpec file;
    int foundBySearch = 0;
    if (UFsPath::ResolveDocRelative(text, mPath, file, &foundBySearch)) return file;
    // A miss still proposes the place beside the document, where a relinked file would go.
    return UFsPath::ResolveDocRelative(text, mPath);
}
