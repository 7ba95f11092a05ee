#pragma once

#include <atomic>
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
    void SetStart(uint32_t start) { fStart = start; }
    // Raised on the main thread without the frame lock (scene recall), read while rendering.
    uint32_t sceneCounter() const { return fSceneCounter.load(std::memory_order_relaxed); }
    void SetSceneCounter(uint32_t counter) { fSceneCounter.store(counter, std::memory_order_relaxed); }
    void BumpSceneCounter() { fSceneCounter.fetch_add(1, std::memory_order_relaxed); }
    // Written while rendering, read by capture requests on the main thread.
    uint32_t drawnUnitId() const { return fDrawnUnitId.load(std::memory_order_relaxed); }
    void SetDrawnUnitId(uint32_t id) { fDrawnUnitId.store(id, std::memory_order_relaxed); }
    uint8_t idleDone() const { return fIdleDone; }
    void SetIdleDone(uint8_t done) { fIdleDone = done; }
    CUnit*& tapUnit() { return fTapUnit; }

private:
    uint32_t fStart;
    std::atomic<uint32_t> fSceneCounter{1};
    std::atomic<uint32_t> fDrawnUnitId{0};
    uint8_t fIdleDone = 0;
    CUnit* fTapUnit = nullptr;
};
