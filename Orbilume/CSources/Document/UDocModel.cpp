#include "Orbilume/CSources/Document/UDocModel.h"

#include <cstdlib>

#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/String/UStrCompar.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UCtlAttr.h"

namespace {

using T = CDocModelTypes;

const CRecord* LayerUnit(const CRecord* layer) {
    return layer && layer->IsOfType(T::kDomain, T::kLAYR) ? layer->GetSubRecord(T::kLayrUnit) : nullptr;
}

}  // namespace

CRecord* UDocModel::FindUnitInput(const CRecord* unit, const LString& key) {
    if (!unit || !unit->IsOfType(T::kDomain, T::kUNIT)) return nullptr;
    for (uint32_t i = 0; i < unit->ArrayCount(T::kUnitInputs); ++i) {
        CRecord* input = unit->GetElement(T::kUnitInputs, i);
        if (input && input->GetString(T::kInptKey) == key) return input;
    }
    return nullptr;
}

CRecord* UDocModel::FindUnitById(const CRecord* mix, uint32_t id) {
    if (!mix || !mix->IsOfType(T::kDomain, T::kMIXS)) return nullptr;
    CRecord* found = nullptr;
    for (uint32_t i = 0; i < mix->ArrayCount(T::kMixsLayers) && !found; ++i) {
        const CRecord* layer = mix->GetElement(T::kMixsLayers, i);
        ForEachUnit(layer ? layer->GetSubRecord(T::kLayrUnit) : nullptr, [&](CRecord* unit) {
            if (unit->GetUInt(T::kUnitId) != id) return true;
            found = unit;
            return false;
        });
    }
    return found;
}

int32_t UDocModel::GetLayerIndexOf(const CRecord* record) {
    for (const CRecord* r = record; r; r = r->Parent()) {
        if (r->IsOfType(T::kDomain, T::kLAYR)) {
            const CRecord* mix = r->Parent();
            if (!mix || !mix->IsOfType(T::kDomain, T::kMIXS)) return -1;
            return r->ArrayIndex();
        }
    }
    return -1;
}

int UDocModel::GetLayerMixFunc(const CRecord* layer) {
    const CRecord* input = FindUnitInput(LayerUnit(layer), LString("_oblayer_MixFunc"));
    return input ? UCtlAttr::MixFuncIndex(input->GetString(T::kInptValue)) : 0;
}

double UDocModel::GetLayerBlend(const CRecord* layer) {
    const CRecord* input = FindUnitInput(LayerUnit(layer), LString("_oblayer_Blend"));
    return input ? std::strtod(input->GetString(T::kInptValue).CStr(), nullptr) : 1.0;
}

bool UDocModel::GetCurrentSceneList(const CRecord* scns, CRecord*& owner, uint32_t& field) {
    owner = nullptr;
    field = 0;
    if (!scns || !scns->IsOfType(T::kDomain, T::kSCNS)) return false;
    const int32_t edited = scns->GetInt(T::kScnsEdited);
    if (edited < 0) {
        owner = const_cast<CRecord*>(scns);
        field = T::kScnsScenes;
        return true;
    }
    owner = scns->GetElement(T::kScnsSequences, static_cast<uint32_t>(edited));
    field = T::kSqncScenes;
    return owner != nullptr;
}

uint32_t UDocModel::GetSceneCount(const CRecord* scns) {
    CRecord* owner;
    uint32_t field;
    return GetCurrentSceneList(scns, owner, field) ? owner->ArrayCount(field) : 0;
}

CRecord* UDocModel::GetSceneAt(const CRecord* scns, uint32_t n) {
    CRecord* owner;
    uint32_t field;
    return GetCurrentSceneList(scns, owner, field) ? owner->GetElement(field, n) : nullptr;
}

int32_t UDocModel::FindSceneByKey(const CRecord* scns, const LString& text) {
    const uint32_t count = GetSceneCount(scns);
    for (uint32_t i = 0; i < count; ++i) {
        const CRecord* scene = GetSceneAt(scns, i);
        if (scene && UStrCompar::NoCase(scene->GetString(T::kScneKey).Text(), text.Text()))
            return static_cast<int32_t>(i);
    }
    return -1;
}

int32_t UDocModel::FindSequenceById(const CRecord* scns, uint32_t id) {
    if (!scns || !scns->IsOfType(T::kDomain, T::kSCNS)) return -1;
    for (uint32_t i = 0; i < scns->ArrayCount(T::kScnsSequences); ++i) {
        const CRecord* s = scns->GetElement(T::kScnsSequences, i);
        if (s && s->GetUInt(T::kSqncId) == id) return static_cast<int32_t>(i);
    }
    return -1;
}

int32_t UDocModel::FindSceneValue(const CRecord* scene, uint32_t id, const LString& key) {
    if (!scene || !scene->IsOfType(T::kDomain, T::kSCNE)) return -1;
    for (uint32_t i = 0; i < scene->ArrayCount(T::kScneValues); ++i) {
        const CRecord* v = scene->GetElement(T::kScneValues, i);
        if (v && v->GetUInt(T::kPrmtUnitId) == id && v->GetString(T::kPrmtKey) == key)
            return static_cast<int32_t>(i);
    }
    return -1;
}

uint32_t UDocModel::SceneLowerBound(const CRecord* scns, uint32_t hint, float t) {
    CRecord* owner;
    uint32_t field;
    if (!GetCurrentSceneList(scns, owner, field)) return 0;
    const uint32_t count = owner->ArrayCount(field);
    auto timeAt = [&](uint32_t i) {
        const CRecord* s = owner->GetElement(field, i);
        return s ? s->GetFloat(T::kScneTime) : 0.0f;
    };
    uint32_t i = hint < count ? hint : count;
    while (i < count && timeAt(i) < t) ++i;
    while (i > 0 && timeAt(i - 1) >= t) --i;
    return i;
}

bool UDocModel::IsSceneListEvent(const SRecordEvent& event) {
    const CRecord* r = event.record.Get();
    if (!r) return false;
    return (r->IsOfType(T::kDomain, T::kSCNS) && event.field == T::kScnsScenes) ||
           (r->IsOfType(T::kDomain, T::kSQNC) && event.field == T::kSqncScenes);
}

bool UDocModel::IsCurrentSceneListEvent(const CRecord* scns, const SRecordEvent& event) {
    CRecord* owner;
    uint32_t field;
    return GetCurrentSceneList(scns, owner, field) && event.record.Get() == owner && event.field == field;
}

bool UDocModel::IsCurrentSceneList(const CRecord* scns, const CRecord* record) {
    CRecord* owner;
    uint32_t field;
    return record && GetCurrentSceneList(scns, owner, field) && owner == record;
}

bool UDocModel::ForEachScene(const CRecord* scns, SceneCallback callback, void* context) {
    if (!scns || !scns->IsOfType(T::kDomain, T::kSCNS) || !callback) return true;
    for (uint32_t i = 0; i < scns->ArrayCount(T::kScnsScenes); ++i) {
        if (!callback(context, scns->GetElement(T::kScnsScenes, i), i)) return false;
    }
    for (uint32_t s = 0; s < scns->ArrayCount(T::kScnsSequences); ++s) {
        const CRecord* sequence = scns->GetElement(T::kScnsSequences, s);
        if (!sequence) continue;
        for (uint32_t i = 0; i < sequence->ArrayCount(T::kSqncScenes); ++i) {
            if (!callback(context, sequence->GetElement(T::kSqncScenes, i), i)) return false;
        }
    }
    return true;
}
