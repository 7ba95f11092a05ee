#pragma once

#include <cstdint>
#include <vector>

#include "Platform/Foundation/Geometry.h"

namespace plat {

// One display. The first screen of the list carries the menu bar; its top-left corner is the
// origin of screen coordinates.
struct Screen {
    uint32_t displayId = 0;  // 1-based, stable while the configuration stays
    Rect frame;
    Rect visibleFrame;  // frame without menu bar and panels
    double refreshRate = 60;
    double backingScaleFactor = 1;  // pixels per point
};

// The displays as the window-system backend reports them (empty before a backend is installed).
std::vector<Screen> Screens();
// The first screen; false when there is none.
[[nodiscard]] bool FirstScreen(Screen* out);

}  // namespace plat
