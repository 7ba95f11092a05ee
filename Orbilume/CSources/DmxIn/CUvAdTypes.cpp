#include "Orbilume/CSources/DmxIn/CUvAdTypes.h"

#include "Lib3/LSources/CoreData/CRecordType.h"

namespace {

using T = CUvAdTypes;

const SFieldDesc kUvadFields[] = {
    SFieldDesc::Int(Fcc("univ")),
    SFieldDesc::Int(Fcc("flws")),
    SFieldDesc::String(Fcc("ipad")),
};
const SFieldDesc kUvasFields[] = {
    SFieldDesc::RecordArray(Fcc("uvas"), T::kDomain, T::kUVAD),
};

CRecordType gUvadType(T::kDomain, T::kUVAD, kUvadFields);
CRecordType gUvasType(T::kDomain, T::kUVAS, kUvasFields);

}  // namespace

const CRecordType* CUvAdTypes::Uvad() {
    return &gUvadType;
}

const CRecordType* CUvAdTypes::Uvas() {
    return &gUvasType;
}
