#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"

class CUnit;

// A unit's inputs as the editors show them: a copy taken from the engine (under its parameter
// lock), owned by the caller and read on the main thread.
struct CUnitPort {
    uint32_t kind = 0;  // 1 boolean, 2 index, 3 number, 4 string, 5 colour, 6 image, 7 structure
    LString key;
    LString name;  // the display name; empty: not shown, "_": shown without a label
    float min = 0;
    float max = 0;
    uint8_t visible = 1;
    uint8_t lines = 1;
    int32_t decimals = -1;     // negative: from the range
    uint32_t displayMode = 0;  // 1: minutes and seconds
    std::vector<LString> menuItems;
    LString stringSelection;
    LString value;
    std::unique_ptr<struct CUnitPortList> nested;  // the animator unit driving this input
    std::unique_ptr<struct CUnitPortList> image;   // the image-input unit feeding an image port
};

struct CUnitPortList {
    uint32_t unitId = 0;
    LString unitName;
    uint8_t bypassed = 0;  // of this unit, as the engine holds it
    std::vector<CUnitPort> ports;

    // The unit's parameters in order; the engine's own (hidden) ones without a display name. The
    // caller holds the host's parameter lock and keeps the unit tree still (main thread). Units
    // below depth levels of animators and image inputs are left out.
    static std::unique_ptr<CUnitPortList> FromUnit(const CUnit& unit, uint32_t depth);
};
