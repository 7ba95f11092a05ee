#pragma once

#include "Platform/AppKit/headless/HeadlessBackend.h"

namespace testsupport {

// Installs a headless window system for its lifetime, by default with a 1440×900 main screen under
// a 25-pixel menu bar and a 1280×1024 screen to its right.
class HeadlessScreens {
public:
    static constexpr const char* kTwoScreens = "1440x900+0+0/25;1280x1024+1440+0";

    explicit HeadlessScreens(const char* screens = kTwoScreens);
    ~HeadlessScreens();
    HeadlessScreens(const HeadlessScreens&) = delete;
    HeadlessScreens& operator=(const HeadlessScreens&) = delete;

    plat::headless::HeadlessBackend& Backend() { return fBackend; }

private:
    plat::headless::HeadlessBackend fBackend;
    plat::Backend* fPrevious;
};

}  // namespace testsupport
