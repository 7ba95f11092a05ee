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

// The active displays, the first being the main one. Headless it is a configured list (one
// 1920×1080 display unless configured); a windowing backend replaces it with the real screens.
class DisplayList {
public:
    static constexpr uint32_t kMaxDisplays = 16;

    static uint32_t Count();
    // False when the index is out of range.
    static bool Get(uint32_t index, DisplayInfo& out);
    static bool Find(uint32_t id, DisplayInfo& out);
    // Replaces the list (at most kMaxDisplays entries are kept).
    static void Configure(const DisplayInfo* displays, uint32_t count);

    // Presentation mode: 0 normal, 3 all system interface hidden.
    static void SetPresentationMode(uint32_t mode);
    static uint32_t PresentationMode();
};

}  // namespace plat
