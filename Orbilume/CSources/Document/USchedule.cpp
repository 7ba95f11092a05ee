#include "Orbilume/CSources/Document/USchedule.h"

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Platform/Foundation/Check.h"

namespace {
using T = CDocModelTypes;
}  // namespace

CRecord* USchedule::NewEntry() {
    return CRecord::New(T::Type(T::kSCEV));
}

CRecord* USchedule::NewPeriod() {
    return CRecord::New(T::Type(T::kSCEP));
}

int32_t USchedule::AppendPeriod(CRecordRef entry, LHandler* editor, CRecord* period) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!entry || !entry->IsOfType(T::kScheduleDomain, T::kSCEV)) {
        CRecord::Delete(period);
        return -1;
    }
    const uint32_t count = entry->ArrayCount(T::kScevPeriods);
    if (!entry.InsertRecord(editor, T::kScevPeriods, count, period)) return -1;
    return static_cast<int32_t>(count);
}
