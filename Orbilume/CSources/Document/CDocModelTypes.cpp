#include "Orbilume/CSources/Document/CDocModelTypes.h"

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreString/LString.h"

namespace {

using T = CDocModelTypes;

constexpr uint32_t kYUND = CParamSet::kDomain;
constexpr uint32_t kPRMS = CParamSet::kSet;

uint32_t gSequenceIdCounter = 0;

const SFieldDesc kCtrlFields[] = {
    SFieldDesc::Byte(Fcc("ctyp"), 0, kFieldSilent),
    SFieldDesc::UInt(Fcc("dxch"), 0, kFieldSilent),
    SFieldDesc::Byte(Fcc("mdch"), 0, kFieldSilent),
    SFieldDesc::Byte(Fcc("mdcn"), 7, kFieldSilent),
};
const SFieldDesc kInptFields[] = {
    SFieldDesc::String(Fcc("spec"), nullptr, kFieldSilent),
    SFieldDesc::String(Fcc("valu")),
    SFieldDesc::Record(Fcc("imgi"), T::kDomain, T::kUNIT, kFieldOptional),
    SFieldDesc::Record(Fcc("anim"), T::kDomain, T::kUNIT, kFieldOptional),
    SFieldDesc::Record(Fcc("ctrl"), kYUND, kPRMS),
    SFieldDesc::Byte(0, 0, kFieldSilent),
};
const SFieldDesc kUnitFields[] = {
    SFieldDesc::UInt(Fcc("unid"), 0, kFieldSilent),
    SFieldDesc::String(Fcc("spec")),
    SFieldDesc::RecordArray(Fcc("inps"), T::kDomain, T::kINPT),
    SFieldDesc::RecordArray(Fcc("flts"), T::kDomain, T::kUNIT),
    SFieldDesc::Byte(0),
    SFieldDesc::Byte(0),
    SFieldDesc::Byte(0),
};
const SFieldDesc kLayrFields[] = {
    SFieldDesc::String(Fcc("name")),
    SFieldDesc::Record(Fcc("unit"), T::kDomain, T::kUNIT),
};
const SFieldDesc kMixsFields[] = {
    SFieldDesc::UInt(Fcc("luid"), 0, kFieldSilent),
    SFieldDesc::RecordArray(Fcc("lyrs"), T::kDomain, T::kLAYR),
};
const SFieldDesc kPrmtFields[] = {
    SFieldDesc::UInt(Fcc("unid"), 0, kFieldSilent),
    SFieldDesc::String(Fcc("spec"), nullptr, kFieldSilent),
    SFieldDesc::String(Fcc("valu"), nullptr, kFieldSilent),
};
const SFieldDesc kScneFields[] = {
    SFieldDesc::String(Fcc("name")),
    SFieldDesc::Float(Fcc("extm"), 0.0f, 3),
    SFieldDesc::Float(Fcc("fdtm"), 1.0f, 1),
    SFieldDesc::String(Fcc("ecky")),
    SFieldDesc::RecordArray(Fcc("prms"), T::kDomain, T::kPRMT, kFieldSilent),
};
const SFieldDesc kSqncFields[] = {
    SFieldDesc::String(Fcc("name")),
    SFieldDesc::UInt(Fcc("sqid"), 0, kFieldSilent),
    SFieldDesc::RecordArray(Fcc("scns"), T::kDomain, T::kSCNE),
};
const SFieldDesc kScexFields[] = {
    SFieldDesc::UInt(Fcc("sqid")),
};
const SFieldDesc kScnsFields[] = {
    SFieldDesc::Float(Fcc("sqfr"), 0.0f, 3),
    SFieldDesc::Float(Fcc("sqto"), 0.0f, 3),
    SFieldDesc::Float(Fcc("sqdl"), 0.0f, 3),
    SFieldDesc::Byte(Fcc("sqlp")),
    SFieldDesc::Byte(Fcc("tmmd"), 1),
    SFieldDesc::Byte(Fcc("snpr")),
    SFieldDesc::RecordArray(Fcc("scns"), T::kDomain, T::kSCNE),
    SFieldDesc::RecordArray(Fcc("sqns"), T::kDomain, T::kSQNC),
    SFieldDesc::Int(0, -1),
    SFieldDesc::Int(0, -1),
    SFieldDesc::Int(0, -1),
    SFieldDesc::UInt(0),
    SFieldDesc::Float(0, 0.0f, 3),
    SFieldDesc::Byte(0),
    SFieldDesc::Float(0, -1.0f, 3),
    SFieldDesc::Float(0, -1.0f, 3),
    SFieldDesc::Int(0, -1),
    SFieldDesc::Array(0, kElemFloat),
};
const SFieldDesc kObmxFields[] = {
    SFieldDesc::Record(Fcc("mixs"), T::kDomain, T::kMIXS),
    SFieldDesc::Record(Fcc("lyrs"), T::kDomain, T::kSCNS),
    SFieldDesc::Record(Fcc("ctrl"), T::kDomain, T::kCTRL),
    SFieldDesc::Record(Fcc("snct"), kYUND, kPRMS),
    SFieldDesc::Record(Fcc("sqct"), kYUND, kPRMS),
    SFieldDesc::Record(Fcc("dfts"), T::kScheduleDomain, T::kSCHD),
};
const SFieldDesc kScepFields[] = {
    SFieldDesc::Byte(Fcc("rang")),
    SFieldDesc::Array(Fcc("strt"), kElemUInt),
    SFieldDesc::Array(Fcc("endp"), kElemUInt),
};
const SFieldDesc kScevFields[] = {
    SFieldDesc::String(Fcc("name")),
    SFieldDesc::String(Fcc("fcpy")),
    SFieldDesc::String(Fcc("fcpm")),
    SFieldDesc::String(Fcc("fcpd")),
    SFieldDesc::String(Fcc("fcpw")),
    SFieldDesc::String(Fcc("fcph")),
    SFieldDesc::String(Fcc("fcpn")),
    SFieldDesc::String(Fcc("fcps")),
    SFieldDesc::RecordArray(Fcc("prds"), T::kScheduleDomain, T::kSCEP),
    SFieldDesc::Record(Fcc("axud"), T::kDomain, T::kSCEX, kFieldOptional | kFieldAnyType),
};
const SFieldDesc kSchdFields[] = {
    SFieldDesc::RecordArray(Fcc("flts"), T::kScheduleDomain, T::kSCEV),
};

// A new input of a new layer's unit.
bool InsertLayerInput(CRecord* unit, int32_t index, const char* key, const char* value) {
    CRecord* input = CRecord::New(CDocModelTypes::Type(T::kINPT));
    if (!input) return false;
    input->StringSlot(T::kInptKey) = LString(key);
    input->StringSlot(T::kInptValue) = LString(value);
    if (unit->InsertElementRaw(T::kUnitInputs, index, input)) return true;
    CRecord::Delete(input);
    return false;
}

// A new or reset layer starts with its mix function (empty: "max") and its blend ("1").
int LayerHook(int operation, void* argument) {
    if (operation != 0) return 0;
    CRecord* unit = static_cast<CRecord*>(argument)->GetSubRecord(T::kLayrUnit);
    if (!unit) return 0;
    InsertLayerInput(unit, 0, "_oblayer_MixFunc", "");
    InsertLayerInput(unit, 1, "_oblayer_Blend", "1");
    return 0;
}

bool SequenceIdUsed(const CRecord* scns, const CRecord* except, uint32_t id) {
    for (uint32_t i = 0; i < scns->ArrayCount(T::kScnsSequences); ++i) {
        const CRecord* s = scns->GetElement(T::kScnsSequences, i);
        if (s && s != except && s->GetUInt(T::kSqncId) == id) return true;
    }
    return false;
}

uint32_t NextSequenceId() {
    if (++gSequenceIdCounter == 0) gSequenceIdCounter = 1;
    return gSequenceIdCounter;
}

// A sequence joining the list keeps its id while no other sequence there has it; otherwise (and
// for id 0) it takes the next free counter value. Stored directly: ids make no undo entries.
int ScenesHook(int operation, void* argument) {
    if (operation != 1) return 0;
    const auto* event = static_cast<const SRecordEvent*>(argument);
    if (event->kind != SRecordEvent::kInserting) return 0;
    CRecord* sequence = event->record.Get();
    CRecord* scns = sequence ? sequence->Parent() : nullptr;
    if (!scns || !sequence->IsOfType(T::kDomain, T::kSQNC) || sequence->FieldInParent() != T::kScnsSequences)
        return 0;
    uint32_t id = sequence->GetUInt(T::kSqncId);
    // The counter has 2^32 - 1 values and a list holds fewer sequences, so this ends.
    while (id == 0 || SequenceIdUsed(scns, sequence, id)) id = NextSequenceId();
    sequence->Slot(T::kSqncId).u32 = id;
    return 0;
}

// Registered in this order; the hookless layer twin first, so that the real type hides it.
CRecordType gLayerReadType(T::kDomain, T::kLAYR, kLayrFields);
CRecordType gCtrlType(T::kDomain, T::kCTRL, kCtrlFields);
CRecordType gInptType(T::kDomain, T::kINPT, kInptFields);
CRecordType gUnitType(T::kDomain, T::kUNIT, kUnitFields);
CRecordType gLayrType(T::kDomain, T::kLAYR, kLayrFields, LayerHook);
CRecordType gMixsType(T::kDomain, T::kMIXS, kMixsFields);
CRecordType gPrmtType(T::kDomain, T::kPRMT, kPrmtFields);
CRecordType gScneType(T::kDomain, T::kSCNE, kScneFields);
CRecordType gSqncType(T::kDomain, T::kSQNC, kSqncFields);
CRecordType gScexType(T::kDomain, T::kSCEX, kScexFields);
CRecordType gScnsType(T::kDomain, T::kSCNS, kScnsFields, ScenesHook);
CRecordType gObmxType(T::kDomain, T::kOBMX, kObmxFields);
CRecordType gScepType(T::kScheduleDomain, T::kSCEP, kScepFields);
CRecordType gScevType(T::kScheduleDomain, T::kSCEV, kScevFields);
CRecordType gSchdType(T::kScheduleDomain, T::kSCHD, kSchdFields);

}  // namespace

const CRecordType* CDocModelTypes::Type(uint32_t type) {
    static const CRecordType* const kAll[] = {&gCtrlType, &gInptType, &gUnitType, &gLayrType, &gMixsType,
                                              &gPrmtType, &gScneType, &gSqncType, &gScexType, &gScnsType,
                                              &gObmxType, &gScepType, &gScevType, &gSchdType};
    for (const CRecordType* t : kAll) {
        if (t->Type() == type) return t;
    }
    return nullptr;
}

const CRecordType& CDocModelTypes::LayerReadType() {
    return gLayerReadType;
}

uint32_t CDocModelTypes::SequenceIdCounter() {
    return gSequenceIdCounter;
}

void CDocModelTypes::SetSequenceIdCounter(uint32_t value) {
    gSequenceIdCounter = value;
}
