#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Resources/ResourceFile.h"
#include "tests/support/XvfbServer.h"

class AppDelegate;
class CMacMainLoop;
class CMacWindowMgr;
class LHandler;
class LKeyboard;
class LMouse;
class ResourceFileProvider;
class ResourceProviderChain;

namespace plat {
class Window;
}

// A test on an Xvfb display through the X11 backend, fonts pinned to DejaVu: the framework's window
// manager, mouse, keyboard and main loop over the test's root handler; with kResources also the
// application's resource file, delegate and default main menu. A derived SetUp calls StartSession
// and returns when it skipped or failed; a derived TearDown deletes its windows first, then calls
// X11FrameworkTest::TearDown.
class X11FrameworkTest : public ::testing::Test {
protected:
    enum Needs { kFramework, kResources };

    X11FrameworkTest();
    ~X11FrameworkTest() override;

    void StartSession(LHandler* root, Needs needs = kFramework);
    void TearDown() override;

    // Runs the application's event loop until done() holds (at most wait seconds).
    bool RunUntil(const std::function<bool()>& done, double wait = 5);
    // Binds each keysym to a free keycode of the display.
    void MapKeysyms(std::vector<unsigned long> keysyms);
    // xdotool on the display, %W standing for window's X window.
    void Xdotool(const std::string& args, plat::Window* window);
    std::string Display() const { return fServer ? fServer->Display() : std::string(); }

    std::unique_ptr<plat::x11::X11Backend> backend;
    CMacMainLoop* loop = nullptr;
    // Set before StartSession: GL surfaces of windows on this server (the EGL display stays for the
    // process, so such a program holds one test).
    bool glWindows = false;

private:
    std::unique_ptr<testsupport::XvfbServer> fServer;
    plat::Backend* fPrevious = nullptr;
    CMacWindowMgr* fMgr = nullptr;
    LMouse* fMouse = nullptr;
    LKeyboard* fKeyboard = nullptr;
    plat::ResFileRef fRef = 0;
    std::unique_ptr<ResourceFileProvider> fProvider;
    std::unique_ptr<ResourceProviderChain> fChain;
    std::unique_ptr<AppDelegate> fDelegate;
};
