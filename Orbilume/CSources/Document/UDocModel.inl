#pragma once

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"

template <class F>
bool UDocModel::ForEachUnit(CRecord* unit, F&& f) {
    using T = CDocModelTypes;
    if (!unit) return true;
    if (!f(unit)) return false;
    for (uint32_t i = 0; i < unit->ArrayCount(T::kUnitFilters); ++i) {
        if (!ForEachUnit(unit->GetElement(T::kUnitFilters, i), f)) return false;
    }
    for (uint32_t i = 0; i < unit->ArrayCount(T::kUnitInputs); ++i) {
        const CRecord* input = unit->GetElement(T::kUnitInputs, i);
        if (!input) continue;
        if (!ForEachUnit(input->GetSubRecord(T::kInptImage), f)) return false;
        if (!ForEachUnit(input->GetSubRecord(T::kInptAnim), f)) return false;
    }
    return true;
}
