#include "Orbilume/CSources/Document/UDocScenes.h"

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

CRecordRef Ref(CRecord*& var) {
    return CRecordRef(&var);
}

bool IsScenes(CRecordRef scns) {
    return scns && scns->IsOfType(T::kDomain, T::kSCNS);
}

// The index of the first scene of the list whose time is above t.
uint32_t UpperBound(const CRecord* owner, uint32_t field, float t) {
    uint32_t low = 0;
    uint32_t high = owner->ArrayCount(field);
    while (low < high) {
        const uint32_t mid = low + (high - low) / 2;
        const CRecord* s = owner->GetElement(field, mid);
        if (s && s->GetFloat(T::kScneTime) <= t) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return low;
}

void Request(CRecordRef scns, uint32_t field, uint32_t n) {
    scns->Slot(field).i32 = -1;
    scns.SetInt(nullptr, field, static_cast<int32_t>(n));
}

}  // namespace

CRecord* UDocScenes::NewScene() {
    return CRecord::New(T::Type(T::kSCNE));
}

CRecord* UDocScenes::NewSequenceRef() {
    return CRecord::New(T::Type(T::kSCEX));
}

CRecord* UDocScenes::NewSceneValue(uint32_t unitId, const LString& key, const LString& value) {
    CRecord* v = CRecord::New(T::Type(T::kPRMT));
    if (!v) return nullptr;
    v->Slot(T::kPrmtUnitId).u32 = unitId;
    v->StringSlot(T::kPrmtKey) = key;
    v->StringSlot(T::kPrmtValue) = value;
    return v;
}

bool UDocScenes::InsertScene(CRecordRef scns, LHandler* editor, uint32_t index, CRecord* scene) {
    PLAT_DCHECK_MAIN_THREAD();
    CRecord* owner;
    uint32_t field;
    if (!UDocModel::GetCurrentSceneList(scns.Get(), owner, field)) {
        CRecord::Delete(scene);
        return false;
    }
    return Ref(owner).InsertRecord(editor, field, index, scene);
}

int32_t UDocScenes::InsertSceneByTime(CRecordRef scns, LHandler* editor, float time, CRecord* scene) {
    PLAT_DCHECK_MAIN_THREAD();
    CRecord* owner;
    uint32_t field;
    if (!scene || !scene->IsOfType(T::kDomain, T::kSCNE) ||
        !UDocModel::GetCurrentSceneList(scns.Get(), owner, field)) {
        CRecord::Delete(scene);
        return -1;
    }
    scene->Slot(T::kScneTime).f32 = time;
    const uint32_t at = UpperBound(owner, field, time);
    if (!Ref(owner).InsertRecord(editor, field, at, scene)) return -1;
    return static_cast<int32_t>(at);
}

uint32_t UDocScenes::SetSceneTimeSorted(CRecordRef scns, LHandler* editor, uint32_t n, float time) {
    PLAT_DCHECK_MAIN_THREAD();
    CRecord* owner;
    uint32_t field;
    if (!UDocModel::GetCurrentSceneList(scns.Get(), owner, field)) return n;
    const uint32_t count = owner->ArrayCount(field);
    CRecord* scene = owner->GetElement(field, n);
    if (n >= count || !scene) return n;
    const uint32_t target = UpperBound(owner, field, time);
    const CRecord* after = owner->GetElement(field, n + 1);
    if (target == n || target == n + 1 || (after && after->GetFloat(T::kScneTime) == time)) {
        Ref(scene).SetFloat(editor, T::kScneTime, time);
        return n;
    }
    void* group = CRecordUndo::BeginGroup(editor);
    Ref(scene).SetFloat(editor, T::kScneTime, time);
    Ref(owner).MoveRecord(editor, field, n, target);
    CRecordUndo::EndGroup(group);
    return target > n ? target - 1 : target;
}

void UDocScenes::DeleteScene(CRecordRef scns, LHandler* editor, uint32_t n) {
    CRecord* owner;
    uint32_t field;
    if (!UDocModel::GetCurrentSceneList(scns.Get(), owner, field) || n >= owner->ArrayCount(field)) return;
    Ref(owner).DeleteElement(editor, field, n);
}

void UDocScenes::SetSceneValue(CRecord* scene, LHandler* editor, uint32_t unitId, const LString& key,
                               const LString& value, bool addOnly) {
    if (!scene || !scene->IsOfType(T::kDomain, T::kSCNE)) return;
    const int32_t at = UDocModel::FindSceneValue(scene, unitId, key);
    if (at < 0) {
        Ref(scene).InsertRecord(editor, T::kScneValues, CRecordRef::kAppend,
                                NewSceneValue(unitId, key, value));
    } else if (!addOnly) {
        CRecord* v = scene->GetElement(T::kScneValues, static_cast<uint32_t>(at));
        Ref(v).SetString(editor, T::kPrmtValue, value);
    }
}

void UDocScenes::RemoveSceneValue(CRecord* scene, LHandler* editor, uint32_t unitId, const LString& key) {
    const int32_t at = UDocModel::FindSceneValue(scene, unitId, key);
    if (at >= 0) Ref(scene).DeleteElement(editor, T::kScneValues, static_cast<uint32_t>(at));
}

void UDocScenes::RemoveSceneValueFromAll(CRecordRef scns, LHandler* editor, uint32_t unitId,
                                         const LString& key) {
    for (uint32_t s = UDocModel::GetSceneCount(scns.Get()); s-- > 0;)
        RemoveSceneValue(UDocModel::GetSceneAt(scns.Get(), s), editor, unitId, key);
}

void UDocScenes::SelectScene(CRecordRef scns, uint32_t n, float position, float fadeTime) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!IsScenes(scns)) return;
    scns->Slot(T::kScnsPosition).f32 = position;
    scns->Slot(T::kScnsFadeTime).f32 = fadeTime;
    Request(scns, T::kScnsRecall, n);
}

void UDocScenes::RequestLocateScene(CRecordRef scns, uint32_t n) {
    PLAT_DCHECK_MAIN_THREAD();
    if (IsScenes(scns)) Request(scns, T::kScnsLocate, n);
}

int32_t UDocScenes::AppendSequence(CRecordRef scns, LHandler* editor) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!IsScenes(scns)) return -1;
    const uint32_t count = scns->ArrayCount(T::kScnsSequences);
    if (!scns.InsertRecord(editor, T::kScnsSequences, count, CRecord::New(T::Type(T::kSQNC)))) return -1;
    return static_cast<int32_t>(count);
}

void UDocScenes::SetSequenceEditing(CRecordRef scns, bool on) {
    if (!IsScenes(scns)) return;
    const bool editing = scns->GetInt(T::kScnsEdited) >= 0;
    if (editing != on) scns.SetInt(nullptr, T::kScnsEdited, on ? 0 : -1);
}

void UDocScenes::SetEditedSequence(CRecordRef scns, int32_t n) {
    if (IsScenes(scns) && scns->GetInt(T::kScnsEdited) >= 0) scns.SetInt(nullptr, T::kScnsEdited, n);
}
