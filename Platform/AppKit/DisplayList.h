#pragma once

#include <cstdint>

namespace plat {

// A display: identifier, bounds in global top-left coordinates.
struct DisplayInfo {
    uint32_t id = 0;
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// The active displays as the window-system backend reports its screens, the first being the main
// one; empty before a backend is installed.
class DisplayList {
public:
    static uint32_t Count();
    // False when the index is out of range.
    [[nodiscard]] static bool Get(uint32_t index, DisplayInfo& out);
    [[nodiscard]] static bool Find(uint32_t id, DisplayInfo& out);

    // Presentation mode: 0 normal, 3 all system interface hidden.
    static void SetPresentationMode(uint32_t mode);
    static uint32_t PresentationMode();
};

}  // namespace plat
