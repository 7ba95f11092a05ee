#pragma once

#include <cstdint>

class CGLTexTarget;
class CUnit;
class CUnitHost;

// The engine's mix buffer as media units that read the mix see it.
struct SMixFeed {
    CGLTexTarget* target = nullptr;
    uint8_t cleared = 0;
    uint8_t copied = 0;
};

// What the engine hands down a layer's unit tree for one frame.
struct SFrameInfo {
    double time = 0;              // layer time in seconds
    SMixFeed* mixFeed = nullptr;  // none in idle passes
    CUnitHost* engine = nullptr;
    CUnit** tapSlot = nullptr;  // the layer's tap unit field
    float fader = 1;            // effective opacity of the unit being evaluated
    uint32_t sceneCounter = 1;
    uint8_t capturePending = 0;  // the head monitor request may still be served this frame
};
