#pragma once

#include <vector>

#include "Platform/AppKit/Screen.h"
#include "Platform/Foundation/Geometry.h"

typedef struct _XDisplay Display;

namespace plat::x11 {

// One monitor as the server describes it.
struct MonitorInfo {
    Rect frame;
    bool primary = false;
    double refreshRate = 0;  // 0: unknown
};

// Screens of a monitor list: the primary first (then in the server's order), numbered from 1; an
// unknown rate is 60; the visible frame is the frame within the work area (the frame when there is
// none or they do not meet). Monitors without area are dropped.
std::vector<Screen> ScreensFromMonitors(const std::vector<MonitorInfo>& monitors, const Rect& workArea);

// The server's monitors: RandR 1.5 monitors, else Xinerama heads, else the root window.
std::vector<MonitorInfo> QueryMonitors(::Display* display);

}  // namespace plat::x11
