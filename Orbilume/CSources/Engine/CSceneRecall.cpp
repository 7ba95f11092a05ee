#include "Orbilume/CSources/Engine/CSceneRecall.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/Mac/GetEventTimeMs.h"
#include "Lib3/LSources/String/UString.h"
#include "Lib3/LSources/String/UWord.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Engine/CChainUnit.h"
#include "Orbilume/CSources/Engine/CCtlInEngineBinder.h"
#include "Orbilume/CSources/Engine/CLayer.h"
#include "Orbilume/CSources/Engine/CMediaUnit.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

constexpr char kBlendKey[] = "_oblayer_Blend";

bool IsType(const CRecord* record, uint32_t type) {
    return record && record->IsOfType(T::kDomain, type);
}

float Finite(float value, float fallback) {
    return std::isfinite(value) ? value : fallback;
}

// The share of the remaining distance that a step from previous to progress covers.
double StepFactor(float previous, float progress) {
    const double rest = 1.0 - static_cast<double>(previous);
    return rest > 0 ? (static_cast<double>(progress) - previous) / rest : 1.0;
}

}  // namespace

int32_t SceneRecallEntry::Find(const LString& key) const {
    for (size_t i = 0; i < items.size(); ++i) {
        if (UString::IsEqual(items[i].key.CStr(), key.CStr())) return static_cast<int32_t>(i);
    }
    return -1;
}

CSceneRecall::CSceneRecall(CMixEngine* engine, CCtlInEngineBinder* binder)
    : fEngine(engine), fBinder(binder) {
    if (fEngine) fEngine->AddPreRenderCallback(this, &CSceneRecall::PreRender);
}

CSceneRecall::~CSceneRecall() {
    if (fEngine) fEngine->RemovePreRenderCallback(this, &CSceneRecall::PreRender);
}

uint32_t CSceneRecall::Now() const {
    return fClock ? fClock() : static_cast<uint32_t>(GetEventTimeMs());
}

float CSceneRecall::Progress() {
    std::lock_guard<std::mutex> lock(fMutex);
    return fProgress;
}

SceneRecallEntry* CSceneRecall::FindEntry(uint32_t unitId) {
    auto it = std::lower_bound(fEntries.begin(), fEntries.end(), unitId,
                               [](const auto& e, uint32_t id) { return e->unitId < id; });
    return it != fEntries.end() && (*it)->unitId == unitId ? it->get() : nullptr;
}

SceneRecallEntry* CSceneRecall::FindOrAddEntry(uint32_t unitId) {
    auto it = std::lower_bound(fEntries.begin(), fEntries.end(), unitId,
                               [](const auto& e, uint32_t id) { return e->unitId < id; });
    if (it != fEntries.end() && (*it)->unitId == unitId) return it->get();
    auto entry = std::make_unique<SceneRecallEntry>();
    entry->unitId = unitId;
    return fEntries.insert(it, std::move(entry))->get();
}

void CSceneRecall::Start(const CRecord* scene, uint32_t mode, float positionOverride, float timeOverride) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!IsType(scene, T::kSCNE) || !fEngine) return;
    bool snap = false;
    for (const CRecord* r = scene->Parent(); r; r = r->Parent()) {
        if (IsType(r, T::kSCNS)) {
            snap = r->GetByte(T::kScnsSnap) != 0;
            break;
        }
    }
    // The frame lock first: a value set here may take it (bypass), and the render thread holds it
    // while it takes the recall's mutex.
    std::lock_guard<std::recursive_mutex> frame(fEngine->FrameLock());
    std::lock_guard<std::mutex> lock(fMutex);
    // Every entry waits for its unit; units made during the fade ask for theirs.
    for (auto& e : fEntries) {
        for (SceneRecallItem& item : e->items) item.active = false;
        e->pending = true;
    }
    for (uint32_t i = 0; i < scene->ArrayCount(T::kScneValues); ++i) {
        const CRecord* prmt = scene->GetElement(T::kScneValues, i);
        if (!prmt) continue;
        SceneRecallEntry* entry = FindOrAddEntry(prmt->GetUInt(T::kPrmtUnitId));
        entry->pending = true;
        const LString& key = prmt->GetString(T::kPrmtKey);
        const int32_t n = entry->Find(key);
        if (n >= 0) {
            entry->items[static_cast<size_t>(n)].value = prmt->GetString(T::kPrmtValue);
            entry->items[static_cast<size_t>(n)].active = true;
        } else {
            if (entry->items.size() == entry->items.capacity())
                entry->items.reserve(2 * entry->items.size() + 2);
            entry->items.push_back({key, prmt->GetString(T::kPrmtValue), true});
        }
    }
    fProgress = 0;
    fLastTime = Now();
    fMode = mode;
    fSnap = snap;
    fDefaultFade = Finite(scene->GetFloat(T::kScneFade), 0);
    fPositionOverride = std::min(Finite(positionOverride, -1.0f), 1.0f);
    fTimeOverride = Finite(timeOverride, -1.0f);
    Advance(0, kStart);
    fEngine->BumpSceneCounters();
}

void CSceneRecall::SetPositionOverride(float value) {
    std::lock_guard<std::mutex> lock(fMutex);
    if (fPositionOverride >= 0 && std::isfinite(value)) fPositionOverride = std::min(value, 1.0f);
}

void CSceneRecall::SetTimeOverride(float value) {
    std::lock_guard<std::mutex> lock(fMutex);
    if (fTimeOverride >= 0 && std::isfinite(value)) fTimeOverride = value;
}

void CSceneRecall::SetOverrides(const uint32_t* unitIds, const float* levels, uint32_t count) {
    std::lock_guard<std::mutex> lock(fMutex);
    for (uint32_t i = 0; i < count && unitIds && levels; ++i) {
        if (SceneRecallEntry* entry = FindEntry(unitIds[i])) entry->overrideLevel = Finite(levels[i], 0);
    }
    fOverridesActive = count != 0;
}

void CSceneRecall::ApplyPendingToUnit(const CRecord* unitRecord) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!IsType(unitRecord, T::kUNIT) || !fEngine) return;
    std::lock_guard<std::recursive_mutex> frame(fEngine->FrameLock());
    CUnit* unit = fEngine->FindUnit(unitRecord->GetUInt(T::kUnitId));
    if (!unit) return;
    std::lock_guard<std::mutex> lock(fMutex);
    ApplyToUnit(unit, kOnDemand);
}

void CSceneRecall::PreRender(void* context, CMixEngine*) {
    static_cast<CSceneRecall*>(context)->Step();
}

float CSceneRecall::ProgressFromTime(float fade, uint32_t now) {
    const double span = static_cast<double>(fade) * (1.0 - fProgress);
    const double t = static_cast<int32_t>(now - fLastTime) * 0.001;
    fLastTime = now;
    if (!(span > 0) || t >= span) return 1.0f;
    return static_cast<float>(std::min(1.0, fProgress + (1.0 - fProgress) * t / span));
}

void CSceneRecall::Step() {
    std::lock_guard<std::mutex> lock(fMutex);
    if (fProgress < 1.0f) {
        float p;
        if (fPositionOverride >= 0)
            p = fPositionOverride;
        else
            p = ProgressFromTime(fTimeOverride >= 0 ? fTimeOverride : fDefaultFade, Now());
        Advance(p, kStep);
    }
    if (!fOverridesActive || !fEngine) return;
    for (uint32_t i = 0; i < fEngine->LayerCount(); ++i) {
        CLayer* layer = fEngine->LayerAt(i);
        const int32_t index = layer->ParamIndex(LString(kBlendKey));
        if (index < 0) continue;
        const SceneRecallEntry* entry = FindEntry(layer->id());
        fEngine->SetUnitParam(layer, static_cast<uint32_t>(index),
                              UWord::FloatSuppress(entry ? entry->overrideLevel : 0.0f, 3), nullptr);
    }
}

void CSceneRecall::Advance(float p, uint32_t flag) {
    if (!(fProgress < 1.0f) || !(p >= fProgress)) return;
    fPreviousProgress = fProgress;
    fProgress = std::min(p, 1.0f);
    for (uint32_t i = 0; i < fEngine->LayerCount(); ++i) ApplyToUnit(fEngine->LayerAt(i), flag);
}

void CSceneRecall::ApplyToUnit(CUnit* unit, uint32_t flag) {
    if (!unit) return;
    SceneRecallEntry* entry = FindEntry(unit->id());
    if (flag == kOnDemand) {
        if (entry && !entry->pending) return;
        if (entry) entry->pending = false;
        flag = kForce;
    } else if (flag == kStart && entry) {
        entry->pending = true;
    }
    std::vector<std::pair<LString, bool>> bound;
    if (fBinder && fMode != 0) (void)fBinder->BoundKeys(unit->id(), bound);
    const double factor = StepFactor(fPreviousProgress, fProgress);
    const bool switchNow = flag == kForce || fProgress == 0 || (fPreviousProgress == 0 && fProgress >= 1.0f);
    for (uint32_t i = 0; i < unit->ParamCount(); ++i) {
        CUnitParam* param = unit->ParamAt(i);
        if (param->mediaUnit()) ApplyToUnit(param->mediaUnit(), flag);
        if (param->animator()) ApplyToUnit(param->animator(), flag);
        if (!entry) continue;
        bool skip = false;
        for (const auto& b : bound) {
            if (b.first == param->key && (fMode == 2 || (fMode == 1 && b.second))) skip = true;
        }
        if (skip || !param->monitorKey.IsEmpty() || param->kind > CUnitParam::kImage) continue;
        if (fOverridesActive && param->key == kBlendKey) continue;
        const int32_t n = entry->Find(param->key);
        if (n < 0 || !entry->items[static_cast<size_t>(n)].active) continue;
        const LString& target = entry->items[static_cast<size_t>(n)].value;
        switch (param->kind) {
            case CUnitParam::kBoolean:
            case CUnitParam::kIndex:
            case CUnitParam::kString:
            case CUnitParam::kImage:
                if (switchNow) fEngine->SetUnitParam(unit, i, target, nullptr);
                break;
            case CUnitParam::kNumber: {
                if (fSnap && param->key != kBlendKey) {
                    fEngine->SetUnitParam(unit, i, target, nullptr);
                    break;
                }
                const double to = CUnitParam::ReadNumber(target);
                const double from = CUnitParam::ReadNumber(param->Value(fEngine));
                if (to == from) break;
                const unsigned d = param->decimals >= 0
                                       ? static_cast<unsigned>(std::min(param->decimals, 14))
                                       : CUnitParam::DecimalsForRange(param->min, param->max);
                fEngine->SetUnitParam(unit, i, UWord::FloatSuppress(from + (to - from) * factor, d + 1),
                                      nullptr);
                break;
            }
            case CUnitParam::kColor: {
                if (fSnap) {
                    fEngine->SetUnitParam(unit, i, target, nullptr);
                    break;
                }
                float to[4], from[4], out[4];
                CUnitParam::ParseRgba(target, to);
                CUnitParam::ParseRgba(param->Value(fEngine), from);
                for (int c = 0; c < 4; ++c)
                    out[c] = static_cast<float>(from[c] + (static_cast<double>(to[c]) - from[c]) * factor);
                fEngine->SetUnitParam(unit, i, CUnitParam::FormatRgba(out), nullptr);
                break;
            }
            default:
                break;
        }
    }
    if (unit->kind() == CUnit::kLayer || unit->kind() == CUnit::kMedia) {
        auto* chain = static_cast<CChainUnit*>(unit);
        for (uint32_t i = 0; i < chain->ChainCount(); ++i) ApplyToUnit(chain->ChainAt(i), flag);
    }
}

void CSceneRecall::AddSceneUnits(LHandler* editor, CRecord* mix, CRecord* scene, bool onlyAdd) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!IsType(mix, T::kMIXS) || !IsType(scene, T::kSCNE)) return;
    struct Walker {
        LHandler* editor;
        CRecord* scene;
        bool onlyAdd;
        void Unit(const CRecord* unit, uint32_t depth) {
            if (!IsType(unit, T::kUNIT) || depth > CUnit::kMaxDepth) return;
            const uint32_t id = unit->GetUInt(T::kUnitId);
            for (uint32_t i = 0; i < unit->ArrayCount(T::kUnitInputs); ++i) {
                const CRecord* input = unit->GetElement(T::kUnitInputs, i);
                if (!input) continue;
                UDocScenes::SetSceneValue(scene, editor, id, input->GetString(T::kInptKey),
                                          input->GetString(T::kInptValue), onlyAdd);
                Unit(input->GetSubRecord(T::kInptImage), depth + 1);
                Unit(input->GetSubRecord(T::kInptAnim), depth + 1);
            }
            for (uint32_t i = 0; i < unit->ArrayCount(T::kUnitFilters); ++i)
                Unit(unit->GetElement(T::kUnitFilters, i), depth + 1);
        }
    } walker{editor, scene, onlyAdd};
    for (uint32_t i = 0; i < mix->ArrayCount(T::kMixsLayers); ++i) {
        const CRecord* layer = mix->GetElement(T::kMixsLayers, i);
        walker.Unit(layer ? layer->GetSubRecord(T::kLayrUnit) : nullptr, 0);
    }
}
