#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "tests/support/HeadlessScreens.h"

// Records the ids that reach it; consumes "CMainLoopBase_Quit" while vetoing.
struct RecordingRoot : LHandler {
    std::vector<std::string> ids;
    std::vector<LHandler*> senders;
    std::vector<std::string> files;  // of every "CExtCmd_Open", "-" for none
    int vetoes = 0;                  // quit requests still to consume
    bool takeAppleEvents = false;
    std::vector<std::string> enable;  // commands enabled on each "LMenuBar_Ready"
    void (*onDeferred)() = nullptr;

    LMessage Handle(const LMessage& msg) override;
    int Count(const char* id) const;
};

// A headless window system with two screens, the window manager, the delegate and a main loop whose
// root records what it receives.
class MainLoopFixture : public ::testing::Test {
protected:
    MainLoopFixture();
    ~MainLoopFixture() override;

    testsupport::HeadlessScreens screens;
    CMacWindowMgr mgr;
    AppDelegate delegate{nullptr, nullptr};
    RecordingRoot root;
    CMacMainLoop* loop;
};
