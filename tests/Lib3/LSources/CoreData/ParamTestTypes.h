#pragma once

#include "Lib3/LSources/CoreData/CRecordType.h"

// A document root holding a parameter set and a parameter table, for the parameter-set tests.
namespace ptest {

enum HolderField : uint32_t { kSets, kTable, kHolderFieldCount };
extern const CRecordType gHolderType;

}  // namespace ptest
