#pragma once

#include <cstdint>

#include "Orbilume/CSources/Engine/CChainUnit.h"

// A layer of the mix: a chain unit of kind 0 with its mix function and opacity ("_oblayer_MixFunc"
// and "_oblayer_Blend", its first two parameters), its start time and scene counter.
class CLayer : public CChainUnit {
public:
    CLayer(MQcComposition_* composition, CUnitHost* host);

    // 0 "max", 1 "add", 2 "sub", 3 "rep"; 0 for any other text.
    uint32_t MixFunc() const;
    float Blend() const;

    uint32_t start() const { return fStart; }
    uint32_t sceneCounter() const { return fSceneCounter; }
    void SetSceneCounter(uint32_t counter) { fSceneCounter = counter; }
    uint32_t drawnUnitId() const { return fDrawnUnitId; }
    void SetDrawnUnitId(uint32_t id) { fDrawnUnitId = id; }
    uint8_t idleDone() const { return fIdleDone; }
    void SetIdleDone(uint8_t done) { fIdleDone = done; }
    CUnit*& tapUnit() { return fTapUnit; }

private:
    uint32_t fStart;
    uint32_t fSceneCounter = 1;
    uint32_t fDrawnUnitId = 0;
    uint8_t fIdleDone = 0;
    CUnit* fTapUnit = nullptr;
};
