#include "tests/Lib3/LSources/CoreData/ParamTestTypes.h"

#include "Lib3/LSources/CoreData/CParamSet.h"

namespace ptest {

namespace {
const SFieldDesc kHolderTable[] = {
    SFieldDesc::Record(Fcc("sets"), CParamSet::kDomain, CParamSet::kSet),
    SFieldDesc::Record(Fcc("tabl"), CParamSet::kDomain, CParamSet::kTable),
};
}  // namespace

// Made after the parameter types (which register before main runs in their own unit).
const CRecordType gHolderType(Fcc("TEST"), Fcc("PHLD"), kHolderTable);

}  // namespace ptest
