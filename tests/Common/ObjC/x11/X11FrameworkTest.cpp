#include "tests/Common/ObjC/x11/X11FrameworkTest.h"

#include <cstdlib>

#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/ObjC/MMainMenu.h"
#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Lib3/LSources/CoreData/ResourceProviderChain.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Clock.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/PinnedFonts.h"

// Xlib last: its macros (None, Bool, Status) must not reach the headers above.
// clang-format off
#include <X11/Xlib.h>
// clang-format on

X11FrameworkTest::X11FrameworkTest() = default;
X11FrameworkTest::~X11FrameworkTest() = default;

void X11FrameworkTest::StartSession(LHandler* root, Needs needs) {
    if (testsupport::CommandOutput("command -v Xvfb").empty()) GTEST_SKIP() << "Xvfb is not installed";
    if (testsupport::CommandOutput("command -v xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";
    testsupport::PinFontsToDejaVu();
    fServer = std::make_unique<testsupport::XvfbServer>("1024x768x24");
    ASSERT_TRUE(fServer->Ok()) << "Xvfb did not start";
    plat::x11::X11Backend::Options options;
    options.glWindows = glWindows;
    backend = plat::x11::X11Backend::Open(fServer->Display().c_str(), options);
    ASSERT_TRUE(backend);
    fPrevious = plat::CurrentBackend();
    plat::SetBackend(backend.get());
    ASSERT_TRUE(backend->Start());
    plat::Application* app = plat::Application::Shared();
    if (needs == kResources) {
        fRef = plat::OpenResFile(ORBILUME_RESOURCE_FILE);
        ASSERT_GT(fRef, 0);
        fProvider = std::make_unique<ResourceFileProvider>(fRef);
        fChain = std::make_unique<ResourceProviderChain>();
        fChain->Add(fProvider.get());
        ResourceProviderChain::SetGlobal(fChain.get());
        fDelegate = std::make_unique<AppDelegate>(nullptr, nullptr);
        app->SetDelegate(fDelegate.get());
    }
    app->DiscardEvents(plat::kAnyEventMask);
    if (needs == kResources) {
        app->Activate();
        MMainMenu::InstallDefault();
    }
    fMgr = new CMacWindowMgr;
    fMouse = new LMouse;
    fKeyboard = new LKeyboard;
    loop = new CMacMainLoop(root);
}

void X11FrameworkTest::TearDown() {
    delete loop;
    loop = nullptr;
    delete fKeyboard;
    delete fMouse;
    delete fMgr;
    fKeyboard = nullptr;
    fMouse = nullptr;
    fMgr = nullptr;
    if (fDelegate) {
        plat::Application::Shared()->SetMainMenu(nullptr);
        plat::Application::Shared()->SetDelegate(nullptr);
        fDelegate.reset();
    }
    if (fRef > 0) {
        ResourceProviderChain::SetGlobal(nullptr);
        fProvider.reset();
        fChain.reset();
        plat::CloseResFile(fRef);
        fRef = 0;
    }
    if (backend) {
        plat::SetBackend(fPrevious);
        backend.reset();
    }
}

bool X11FrameworkTest::RunUntil(const std::function<bool()>& done, double wait) {
    plat::Application* app = plat::Application::Shared();
    const double until = plat::ClockNow() + wait;
    while (!done() && plat::ClockNow() < until) {
        plat::Event e;
        if (app->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.02, plat::kRunLoopDefaultMode, true, &e))
            app->SendEvent(e);
    }
    return done();
}

void X11FrameworkTest::MapKeysyms(std::vector<unsigned long> syms) {
    ::Display* d = XOpenDisplay(Display().c_str());
    ASSERT_TRUE(d);
    int min = 0, max = 0, per = 0;
    XDisplayKeycodes(d, &min, &max);
    KeySym* map = XGetKeyboardMapping(d, KeyCode(min), max - min + 1, &per);
    for (int k = max; k >= min && map && !syms.empty(); --k) {
        bool empty = true;
        for (int i = 0; i < per; ++i) empty = empty && map[(k - min) * per + i] == NoSymbol;
        if (!empty) continue;
        KeySym pair[2] = {syms.back(), syms.back()};
        XChangeKeyboardMapping(d, k, 2, pair, 1);
        syms.pop_back();
    }
    if (map) XFree(map);
    XSync(d, False);
    XCloseDisplay(d);
    EXPECT_TRUE(syms.empty());
}

void X11FrameworkTest::Xdotool(const std::string& args, plat::Window* window) {
    std::string cmd = "DISPLAY=" + Display() + " xdotool " + args;
    const std::string id = std::to_string(backend->XWindowOf(window));
    size_t at;
    while ((at = cmd.find("%W")) != std::string::npos) cmd.replace(at, 2, id);
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}
