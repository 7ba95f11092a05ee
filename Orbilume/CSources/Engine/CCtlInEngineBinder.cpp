#include "Orbilume/CSources/Engine/CCtlInEngineBinder.h"

#include <algorithm>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/CSeqcTimer.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Engine/CUnit.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

bool IsType(const CRecord* record, uint32_t type) {
    return record && record->IsOfType(T::kDomain, type);
}

}  // namespace

CCtlInEngineBinder::CCtlInEngineBinder(CMixEngine* engine, CDocModelHolder* document, LAsyncLoop* loop,
                                       CSeqcTimer* timer, CCtlInHub* hub)
    : CCtlInBinder(hub), fEngine(engine), fDocument(document), fLoop(loop), fTimer(timer) {
    fLock = &fMutex;
    if (fDocument) {
        (void)fDocument->AddObserver(this, &CCtlInEngineBinder::RecordObserver);
        if (CRecord* mix = fDocument->Mix().Get()) {
            for (uint32_t i = 0; i < mix->ArrayCount(T::kMixsLayers); ++i) {
                const CRecord* layer = mix->GetElement(T::kMixsLayers, i);
                AddUnitTree(layer ? layer->GetSubRecord(T::kLayrUnit) : nullptr, 0);
            }
        }
    }
    if (fEngine) fEngine->AddPreRenderCallback(this, &CCtlInEngineBinder::PreRender);
}

CCtlInEngineBinder::~CCtlInEngineBinder() {
    if (fEngine) fEngine->RemovePreRenderCallback(this, &CCtlInEngineBinder::PreRender);
    if (fDocument) (void)fDocument->RemoveObserver(this, &CCtlInEngineBinder::RecordObserver);
}

void CCtlInEngineBinder::AddUnitTree(CRecord* unit, uint32_t depth) {
    if (!IsType(unit, T::kUNIT) || depth > CUnit::kMaxDepth) return;
    for (uint32_t i = 0; i < unit->ArrayCount(T::kUnitInputs); ++i) {
        CRecord* input = unit->GetElement(T::kUnitInputs, i);
        if (!input) continue;
        UpdateFromInput(input);
        AddUnitTree(input->GetSubRecord(T::kInptImage), depth + 1);
        AddUnitTree(input->GetSubRecord(T::kInptAnim), depth + 1);
    }
    for (uint32_t i = 0; i < unit->ArrayCount(T::kUnitFilters); ++i)
        AddUnitTree(unit->GetElement(T::kUnitFilters, i), depth + 1);
}

void CCtlInEngineBinder::PreRender(void* context, CMixEngine*) {
    static_cast<CCtlInEngineBinder*>(context)->Evaluate();
}

void CCtlInEngineBinder::RecordObserver(void* context, const SRecordEvent* event) {
    if (context && event) static_cast<CCtlInEngineBinder*>(context)->OnRecordChange(*event);
}

void CCtlInEngineBinder::OnRecordChange(const SRecordEvent& event) {
    CRecord* record = event.record.Get();
    if (!record) return;
    switch (event.kind) {
        case SRecordEvent::kAttached:
            if (IsType(record, T::kINPT)) UpdateFromInput(record);
            return;
        case SRecordEvent::kDeleting:
            if (IsType(record, T::kINPT)) RemoveInput(record);
            if (IsType(record, T::kUNIT)) RemoveUnit(record->GetUInt(T::kUnitId));
            return;
        case SRecordEvent::kInserted:
            if (IsType(record, T::kUNIT) && event.field == T::kUnitInputs && event.index1 >= 0) {
                UpdateFromInput(record->GetElement(T::kUnitInputs, static_cast<uint32_t>(event.index1)));
                return;
            }
            break;
        case SRecordEvent::kRemoving:
            if (IsType(record, T::kUNIT) && event.field == T::kUnitInputs && event.index1 >= 0)
                RemoveInput(record->GetElement(T::kUnitInputs, static_cast<uint32_t>(event.index1)));
            return;
        case SRecordEvent::kInserting:
            return;
        default:
            break;
    }
    if (IsType(record, T::kINPT)) {
        if (event.field == T::kInptCtl || event.field == T::kInptKey) UpdateFromInput(record);
        return;
    }
    if (CRecord* input = InputOfControlChange(record)) UpdateFromInput(input);
}

CUnitParam* CCtlInEngineBinder::FindParam(uint32_t unitId, const LString& key, CUnit** unitOut,
                                          uint32_t* index) {
    CUnit* unit = fEngine ? fEngine->FindUnit(unitId) : nullptr;
    if (!unit) return nullptr;
    const int32_t i = unit->ParamIndex(key);
    if (i < 0) return nullptr;
    if (unitOut) *unitOut = unit;
    if (index) *index = static_cast<uint32_t>(i);
    return unit->ParamAt(static_cast<uint32_t>(i));
}

LString CCtlInEngineBinder::CurrentText(CtlUnitBindings& unit, CtlBinding& binding) {
    CUnitParam* param = FindParam(unit.unitId, binding.key, nullptr, nullptr);
    return param ? param->Value(fEngine) : LString();
}

uint32_t CCtlInEngineBinder::ValueKind(CtlUnitBindings& unit, CtlBinding& binding, float& min, float& max,
                                       uint8_t& decimals) {
    CUnit* owner = nullptr;
    CUnitParam* param = FindParam(unit.unitId, binding.key, &owner, nullptr);
    if (!param) return kNotBindable;
    switch (param->kind) {
        case CUnitParam::kIndex:
            // Labels name the values 0 .. count - 1.
            if (!param->menuLabels.empty()) {
                min = 0;
                max = static_cast<float>(param->menuLabels.size() - 1);
            } else {
                min = param->min;
                max = param->max;
            }
            decimals = 0;
            return kIntegerKind;
        case CUnitParam::kNumber:
            min = param->min;
            max = param->max;
            decimals = param->decimals >= 0 ? static_cast<uint8_t>(std::min(param->decimals, 15))
                                            : CUnitParam::DecimalsForRange(min, max);
            return kNumberKind;
        case CUnitParam::kString:
        case CUnitParam::kImage:
            return kTextKind;
        case CUnitParam::kColor:
            return kColorKind;
        case CUnitParam::kStructure: {
            if (!param->audioSpectrum || !fEvaluating) return kNotBindable;
            float values[CCtlInHub::kBands] = {};
            if (binding.control && SourceOf(binding.control) == kSpectrum) {
                if (fHub) fHub->Spectrum(values);
            } else {
                float v = 0;
                if (!SourceValue(binding.control, v)) return kNotBindable;
                for (float& x : values) x = v;
            }
            fEngine->SetStructureParam(owner, param, values);
            return kNotBindable;
        }
        default:
            return kNotBindable;
    }
}

void CCtlInEngineBinder::SetValue(CtlUnitBindings& unit, CtlBinding& binding, const LString& text,
                                  bool firstOnly) {
    if (text == binding.lastText) return;
    const bool wasEmpty = binding.lastText.IsEmpty();
    binding.lastText = text;
    if (firstOnly && wasEmpty) return;
    binding.moved = true;
    CUnit* owner = nullptr;
    uint32_t index = 0;
    if (FindParam(unit.unitId, binding.key, &owner, &index))
        fEngine->SetUnitParam(owner, index, text, nullptr);
}

float CCtlInEngineBinder::LocalValue(uint32_t) {
    if (!fTimer) return 0;
    if (fLoop) fLoop->Lock();
    const int32_t ms = fTimer->Position();
    if (fLoop) fLoop->Unlock();
    return static_cast<float>(ms * 0.001);
}
