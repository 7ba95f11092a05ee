#include "Orbilume/CSources/Engine/CLayer.h"

#include "Lib3/LSources/Mac/GetEventTimeMs.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"

CLayer::CLayer(MQcComposition_* composition, CUnitHost* host)
    : CChainUnit(nullptr, kLayer, 0), fStart(static_cast<uint32_t>(GetEventTimeMs())) {
    BuildParams(composition, host, 6);
}

uint32_t CLayer::MixFunc() const {
    const CUnitParam* p = Param("_oblayer_MixFunc");
    if (!p) return 0;
    static const char* const kNames[] = {"max", "add", "sub", "rep"};
    for (uint32_t i = 0; i < 4; ++i)
        if (p->fValue == kNames[i]) return i;
    return 0;
}

float CLayer::Blend() const {
    const CUnitParam* p = Param("_oblayer_Blend");
    return p ? CUnitParam::ReadFloat(p->fValue) : 0;
}
