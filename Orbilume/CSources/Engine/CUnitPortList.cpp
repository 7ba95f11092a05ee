#include "Orbilume/CSources/Engine/CUnitPortList.h"

#include <mutex>

#include "Orbilume/CSources/Engine/CMediaUnit.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Engine/CUnit.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Platform/Foundation/Check.h"

std::unique_ptr<CUnitPortList> CUnitPortList::FromUnit(const CUnit& unit, uint32_t depth) {
    auto list = std::make_unique<CUnitPortList>();
    list->unitId = unit.id();
    list->unitName = unit.name();
    list->bypassed = unit.IsBypassed() ? 1 : 0;
    list->ports.reserve(unit.ParamCount());
    for (uint32_t i = 0; i < unit.ParamCount(); ++i) {
        const CUnitParam& param = *unit.ParamAt(i);
        CUnitPort port;
        port.kind = param.kind;
        port.key = param.key;
        if (!param.fHidden) port.name = param.name;
        port.min = param.min;
        port.max = param.max;
        port.visible = param.fHidden ? 0 : 1;
        port.lines = param.lines;
        port.decimals = param.decimals;
        port.displayMode = param.timeFormat;
        port.menuItems = param.menuLabels;
        port.stringSelection = param.stringSelection;
        port.value = param.fValue;
        if (depth > 0) {
            if (const CUnit* animator = param.animator()) port.nested = FromUnit(*animator, depth - 1);
            if (const CMediaUnit* media = param.mediaUnit()) port.image = FromUnit(*media, depth - 1);
        }
        list->ports.push_back(std::move(port));
    }
    return list;
}

std::unique_ptr<CUnitPortList> CMixEngine::PortList(uint32_t unitId) {
    PLAT_DCHECK_MAIN_THREAD();
    const CUnit* unit = FindUnit(unitId);
    if (!unit) return nullptr;
    std::lock_guard<std::mutex> lock(fParamLock);
    return CUnitPortList::FromUnit(*unit, CUnit::kMaxDepth);
}
