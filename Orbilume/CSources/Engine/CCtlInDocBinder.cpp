#include "Orbilume/CSources/Engine/CCtlInDocBinder.h"

#include "Common/Mac/CRunLoopSignal.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

}  // namespace

CCtlInDocBinder::CCtlInDocBinder(CRecord* unit, CCtlInHub* hub) : CCtlInBinder(hub), fUnit(unit) {
    PLAT_DCHECK_MAIN_THREAD();
    fSignal = std::make_unique<CRunLoopSignal>(this, &CCtlInDocBinder::SignalPerformed);
    if (fUnit) {
        for (uint32_t i = 0; i < fUnit->ArrayCount(T::kUnitInputs); ++i)
            UpdateFromInput(fUnit->GetElement(T::kUnitInputs, i));
        CRecord* root = fUnit;
        fHolder = CRecordRef(&root).GetHolder();
        if (fHolder) (void)fHolder->AddObserver(this, &CCtlInDocBinder::RecordObserver);
    }
    if (fHub) {
        (void)fHub->AddDmxListener(&CCtlInDocBinder::DmxListener, this);
        (void)fHub->AddMidiListener(&CCtlInDocBinder::MidiListener, this);
    }
}

CCtlInDocBinder::~CCtlInDocBinder() {
    if (fHub) {
        (void)fHub->RemoveDmxListener(&CCtlInDocBinder::DmxListener, this);
        (void)fHub->RemoveMidiListener(&CCtlInDocBinder::MidiListener, this);
    }
    if (fHolder) (void)fHolder->RemoveObserver(this, &CCtlInDocBinder::RecordObserver);
}

void CCtlInDocBinder::AddRange(const LString& key, float min, float max) {
    if (fRanges.size() == fRanges.capacity()) fRanges.reserve(2 * fRanges.size() + 2);
    fRanges.push_back({key, min, max});
}

void CCtlInDocBinder::DmxListener(void* context) {
    auto* self = static_cast<CCtlInDocBinder*>(context);
    if (self->UnitListCount() > 0) self->fSignal->Signal();
}

void CCtlInDocBinder::MidiListener(void* context, const uint8_t*) {
    DmxListener(context);
}

void CCtlInDocBinder::SignalPerformed(void* context) {
    static_cast<CCtlInDocBinder*>(context)->Evaluate();
}

void CCtlInDocBinder::RecordObserver(void* context, const SRecordEvent* event) {
    if (context && event) static_cast<CCtlInDocBinder*>(context)->OnRecordChange(*event);
}

void CCtlInDocBinder::OnRecordChange(const SRecordEvent& event) {
    CRecord* record = event.record.Get();
    if (!record) return;
    if (record == fUnit && event.field == T::kUnitInputs && event.index1 >= 0) {
        CRecord* input = fUnit->GetElement(T::kUnitInputs, static_cast<uint32_t>(event.index1));
        if (event.kind == SRecordEvent::kInserted) UpdateFromInput(input);
        if (event.kind == SRecordEvent::kRemoving) RemoveInput(input);
        return;
    }
    if (event.kind > SRecordEvent::kMoved) return;
    CRecord* input = nullptr;
    if (record->IsOfType(T::kDomain, T::kINPT) && (event.field == T::kInptCtl || event.field == T::kInptKey))
        input = record;
    else
        input = InputOfControlChange(record);
    if (input && input->Parent() == fUnit) UpdateFromInput(input);
}

CRecord* CCtlInDocBinder::FindInput(const LString& key) const {
    if (!fUnit) return nullptr;
    for (uint32_t i = 0; i < fUnit->ArrayCount(T::kUnitInputs); ++i) {
        CRecord* input = fUnit->GetElement(T::kUnitInputs, i);
        if (input && input->GetString(T::kInptKey) == key) return input;
    }
    return nullptr;
}

LString CCtlInDocBinder::CurrentText(CtlUnitBindings&, CtlBinding& binding) {
    const CRecord* input = FindInput(binding.key);
    return input ? input->GetString(T::kInptValue) : LString();
}

uint32_t CCtlInDocBinder::ValueKind(CtlUnitBindings&, CtlBinding& binding, float& min, float& max,
                                    uint8_t& decimals) {
    for (const Range& r : fRanges) {
        if (r.key != binding.key) continue;
        min = r.min;
        max = r.max;
        decimals = CUnitParam::DecimalsForRange(min, max);
        return kNumberKind;
    }
    return kNotBindable;
}

void CCtlInDocBinder::SetValue(CtlUnitBindings&, CtlBinding& binding, const LString& text, bool) {
    CRecord* input = FindInput(binding.key);
    if (!input || input->GetString(T::kInptValue) == text) return;
    (void)CRecordRef(&input).SetString(nullptr, T::kInptValue, text);
}
