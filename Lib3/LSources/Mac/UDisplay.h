#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/CLRect.h"

// Display enumeration and full-screen mode over the platform's display list.
struct UDisplay {
    static uint32_t MainDisplayID();
    // The identifier at that index of the active display list; index 0 refreshes the list first.
    // 0 when out of range.
    static uint32_t DisplayID(uint32_t index);
    // (0, 0, 0, 0) for an unknown identifier.
    static CLRect Bounds(uint32_t id);
    // 0 normal, 1 all system interface hidden.
    // Nothing to hide on Linux; the mode is remembered (FullScreenMode).
    static void SetFullScreenMode(uint32_t mode);
    static uint32_t FullScreenMode();
};
