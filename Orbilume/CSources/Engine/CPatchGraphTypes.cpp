#include "Orbilume/CSources/Engine/CPatchGraphTypes.h"

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"

namespace {

using P = CPatchGraphTypes;
constexpr uint32_t kDomain = CDocModelTypes::kDomain;
constexpr uint32_t kYUND = CParamSet::kDomain;
constexpr uint32_t kPRMS = CParamSet::kSet;

const SFieldDesc kPortFields[] = {
    SFieldDesc::String(Fcc("key ")), SFieldDesc::String(Fcc("name")),
    SFieldDesc::String(Fcc("type")), SFieldDesc::Float(Fcc("min ")),
    SFieldDesc::Float(Fcc("max ")),  SFieldDesc::Array(Fcc("labs"), kElemString),
};
const SFieldDesc kPatchFields[] = {
    SFieldDesc::String(Fcc("spec")),
    SFieldDesc::Int(Fcc("id  ")),
    SFieldDesc::Record(Fcc("setn"), kYUND, kPRMS, kFieldOptional | kFieldAnyType),
    SFieldDesc::Record(Fcc("ival"), kYUND, kPRMS),
};
const SFieldDesc kConnectionFields[] = {
    SFieldDesc::Int(Fcc("si  ")),
    SFieldDesc::String(Fcc("sp  ")),
    SFieldDesc::Int(Fcc("di  ")),
    SFieldDesc::String(Fcc("dp  ")),
};
const SFieldDesc kCompositeFields[] = {
    SFieldDesc::RecordArray(Fcc("in  "), kDomain, P::kMCPR),
    SFieldDesc::RecordArray(Fcc("out "), kDomain, P::kMCPR),
    SFieldDesc::RecordArray(Fcc("pats"), kDomain, P::kMCPT),
    SFieldDesc::RecordArray(Fcc("cons"), kDomain, P::kMCCN),
    SFieldDesc::Record(Fcc("setn"), kYUND, kPRMS, kFieldOptional | kFieldAnyType),
};
const SFieldDesc kGraphFields[] = {
    SFieldDesc::Record(Fcc("info"), kYUND, kPRMS),
    SFieldDesc::Record(Fcc("root"), kDomain, P::kMCPT, kFieldOptional | kFieldAnyType),
    SFieldDesc::String(0),
};

CRecordType gPortType(kDomain, P::kMCPR, kPortFields);
CRecordType gPatchType(kDomain, P::kMCPT, kPatchFields);
CRecordType gConnectionType(kDomain, P::kMCCN, kConnectionFields);
CRecordType gCompositeType(kDomain, P::kMCMC, kCompositeFields);
CRecordType gGraphType(kDomain, P::kMCMP, kGraphFields);

}  // namespace

const CRecordType* CPatchGraphTypes::Type(uint32_t type) {
    static const CRecordType* const kAll[] = {&gPortType, &gPatchType, &gConnectionType, &gCompositeType,
                                              &gGraphType};
    for (const CRecordType* t : kAll) {
        if (t->Type() == type) return t;
    }
    return nullptr;
}
