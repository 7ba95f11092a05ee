#include "Orbilume/CSources/Led/CDimTypes.h"

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordType.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Orbilume/CSources/DmxIn/CUvAdTypes.h"

namespace {

using T = CDimTypes;
constexpr uint32_t kYUND = CParamSet::kDomain;
constexpr uint8_t S = kFieldSilent;

const SFieldDesc kDimsFields[] = {
    SFieldDesc::UInt(Fcc("dvsn"), 32),
    SFieldDesc::Byte(Fcc("atdv")),
    SFieldDesc::Byte(Fcc("strt")),
    SFieldDesc::Byte(Fcc("soft")),
    SFieldDesc::Byte(Fcc("dgap")),
    SFieldDesc::Byte(Fcc("saco")),
    SFieldDesc::RecordArray(Fcc("devs"), T::kDomain, T::kDIDV),
    SFieldDesc::RecordArray(Fcc("defs"), T::kDomain, T::kDIDF),
    SFieldDesc::Record(Fcc("uvas"), CUvAdTypes::kDomain, CUvAdTypes::kUVAS),
    SFieldDesc::Byte(0),
    SFieldDesc::UInt(0, 1),
    SFieldDesc::UInt(0, 1),
};
const SFieldDesc kDidvFields[] = {
    SFieldDesc::String(Fcc("dfid")),
    SFieldDesc::Float(Fcc("posx"), 0, 3),
    SFieldDesc::Float(Fcc("posy"), 0, 3),
    SFieldDesc::Float(Fcc("sizw"), 0, 3),
    SFieldDesc::Float(Fcc("sizh"), 0, 3),
    SFieldDesc::Float(Fcc("rota"), 0, 1),
    SFieldDesc::UInt(Fcc("dxch"), 1),
    SFieldDesc::Byte(Fcc("conn")),
    SFieldDesc::Record(Fcc("prms"), kYUND, CParamSet::kSet),
    SFieldDesc::UInt(0),
    SFieldDesc::Byte(0),
    SFieldDesc::Byte(0),
    SFieldDesc::Float(0, 0, 3, S),
    SFieldDesc::Float(0, 0, 3, S),
    SFieldDesc::Float(0, 0, 3, S),
    SFieldDesc::Float(0, 0, 3, S),
    SFieldDesc::Float(0, 0, 3, S),
};
const SFieldDesc kDidfFields[] = {
    SFieldDesc::String(Fcc("dfid")),
    SFieldDesc::UInt(Fcc("dthz"), 1),
    SFieldDesc::UInt(Fcc("dtvt"), 1),
    SFieldDesc::Byte(Fcc("comp"), 1),
    SFieldDesc::Byte(Fcc("prcs")),
    SFieldDesc::Byte(Fcc("pscs")),
    SFieldDesc::Array(Fcc("chcp"), kElemInt),
    SFieldDesc::Array(Fcc("dodr"), kElemInt),
    SFieldDesc::Byte(0, 0, S),
    SFieldDesc::Byte(0, 0, S),
};
const SFieldDesc kDidsFields[] = {
    SFieldDesc::RecordArray(Fcc("devs"), T::kDomain, T::kDIDF),
};
const SFieldDesc kDtifFields[] = {
    SFieldDesc::String(Fcc("ifty")),
    SFieldDesc::Record(Fcc("ifpr"), kYUND, CParamSet::kSet),
    SFieldDesc::UInt(0),
};
const SFieldDesc kDtlyFields[] = {
    SFieldDesc::UInt(Fcc("unsh"), 1),
    SFieldDesc::UInt(Fcc("unsv"), 1),
    SFieldDesc::UInt(Fcc("lysh"), 1),
    SFieldDesc::UInt(Fcc("lysv"), 1),
    SFieldDesc::Byte(Fcc("usdt")),
    SFieldDesc::Byte(Fcc("dtoc")),
    SFieldDesc::UInt(Fcc("dtch")),
    SFieldDesc::RecordArray(Fcc("ifcs"), T::kDomain, T::kDTIF),
    SFieldDesc::Record(Fcc("dxtm"), kYUND, CParamSet::kSet),
    SFieldDesc::Record(Fcc("dtom"), kYUND, CParamSet::kTable),
    SFieldDesc::UInt(0, 1),
};
static_assert(sizeof kDimsFields / sizeof kDimsFields[0] == T::kDimsFieldCount);
static_assert(sizeof kDidvFields / sizeof kDidvFields[0] == T::kDidvFieldCount);
static_assert(sizeof kDidfFields / sizeof kDidfFields[0] == T::kDidfFieldCount);
static_assert(sizeof kDidsFields / sizeof kDidsFields[0] == T::kDidsFieldCount);
static_assert(sizeof kDtifFields / sizeof kDtifFields[0] == T::kDtifFieldCount);
static_assert(sizeof kDtlyFields / sizeof kDtlyFields[0] == T::kDtlyFieldCount);

// Before a change of the unit size, the unit count or the slots per dot is broadcast, the
// universes needed are recomputed in place (run-time, no undo). Never stops the event.
int LayoutHook(int operation, void* argument) {
    if (operation != 1 || !argument) return 0;
    const auto* event = static_cast<const SRecordEvent*>(argument);
    if (event->kind != SRecordEvent::kValueChanged) return 0;
    CRecord* layout = event->record.Get();
    if (!layout || layout->FieldCount() != T::kDtlyFieldCount) return 0;
    const uint32_t field = event->field;
    if (field <= T::kDtlyRows || field == T::kDtlySlotsSelector)
        layout->Slot(T::kDtlyUniverses).u32 = CDimTypes::LayoutUniverses(layout);
    return 0;
}

CRecordType gDidvType(T::kDomain, T::kDIDV, kDidvFields);
CRecordType gDidfType(T::kDomain, T::kDIDF, kDidfFields);
CRecordType gDidsType(T::kDomain, T::kDIDS, kDidsFields);
CRecordType gDimsType(T::kDomain, T::kDIMS, kDimsFields);
CRecordType gDtifType(T::kDomain, T::kDTIF, kDtifFields);
CRecordType gDtlyType(T::kDomain, T::kDTLY, kDtlyFields, LayoutHook);

}  // namespace

const CRecordType* CDimTypes::Dims() {
    // 'uvas' and 'prms' are created with their parents: their types must be linked in.
    (void)CUvAdTypes::Uvas();
    (void)CParamSet::SetType();
    return &gDimsType;
}

const CRecordType* CDimTypes::Didv() {
    return &gDidvType;
}

const CRecordType* CDimTypes::Didf() {
    return &gDidfType;
}

const CRecordType* CDimTypes::Dids() {
    return &gDidsType;
}

const CRecordType* CDimTypes::Dtif() {
    return &gDtifType;
}

const CRecordType* CDimTypes::Dtly() {
    return &gDtlyType;
}

uint32_t CDimTypes::LayoutUniverses(const CRecord* layout) {
    uint64_t dots = uint64_t{layout->GetUInt(kDtlyUnitColumns)} * layout->GetUInt(kDtlyUnitRows);
    if (dots == 0) dots = 1;
    const uint64_t slots = dots * (layout->GetUInt(kDtlySlotsSelector) == 1 ? 4 : 3);
    const uint64_t unitsPerUniverse = slots <= 512 ? 512 / slots : 1;
    const uint64_t units = uint64_t{layout->GetUInt(kDtlyColumns)} * layout->GetUInt(kDtlyRows);
    const uint64_t universes = (units + unitsPerUniverse - 1) / unitsPerUniverse;
    return universes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(universes);
}
