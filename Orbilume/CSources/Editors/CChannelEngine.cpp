#include "Orbilume/CSources/Editors/CChannelEngine.h"

#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Engine/CUnitPortList.h"

namespace {
CMixChannelEngine::PortListProducer gProducer = nullptr;
}

void CMixChannelEngine::SetPortListProducer(PortListProducer producer) {
    gProducer = producer;
}

bool CMixChannelEngine::HasLayer(uint32_t index) {
    return fEngine && fEngine->LayerAt(index) != nullptr;
}

std::unique_ptr<CUnitPortList> CMixChannelEngine::PortList(uint32_t unitId) {
    if (!fEngine) return nullptr;
    // Tests install their own producer; the engine's own list otherwise.
    if (gProducer) return gProducer(fEngine, unitId);
    return fEngine->PortList(unitId);
}

void CMixChannelEngine::RequestCapture(uint32_t unitId, COpenGLContext_Cca* target, bool immediate) {
    if (fEngine && target) fEngine->RequestCapture(unitId, target, immediate);
}

void CMixChannelEngine::CancelCaptures(COpenGLContext_Cca* target) {
    if (fEngine && target) fEngine->CancelCaptures(target);
}

void CMixChannelEngine::SetUnitParamByKey(uint32_t unitId, const LString& key, const LString& value) {
    if (fEngine) fEngine->SetUnitParamByKey(unitId, key, value);
}

bool CMixChannelEngine::OutputStrings(uint32_t unitId, const LString& key, std::vector<LString>& out) {
    CUnit* unit = fEngine ? fEngine->FindUnit(unitId) : nullptr;
    if (!unit) return false;
    CStrArray list;
    if (!fEngine->GetOutputStrings(unit, key, list)) return false;
    out.assign(list.Data(), list.Data() + list.Count());
    return true;
}
