#pragma once

#include <cstdint>

#include "Common/Rgn/CRgn.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/CoreUI/LColor.h"

namespace plat {
class Window;
class View;
}  // namespace plat

class LPane;

// The coordinate context of a pane, filled from the window downwards: the native window and content
// view (null when the pane is in no window), the clip in window coordinates, the window coordinates
// of the pane's owner origin and the backgrounds in force.
class LPanePort {
public:
    // The port of the pane (filled by its FillPort).
    explicit LPanePort(LPane* pane);
    // The port of the pane's surroundings (filled by its owner).
    struct Surroundings {};
    LPanePort(LPane* pane, Surroundings);
    LPanePort() = default;

    plat::Window* window = nullptr;
    plat::View* contentView = nullptr;
    CRgn clip;
    CLPoint origin;
    LColor background;
    LColor ownBackground;
    CLPoint ownBackgroundOrigin;
    uint8_t flags = 0;
};
