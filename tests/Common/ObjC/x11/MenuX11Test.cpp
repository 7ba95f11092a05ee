#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/ObjC/MMainMenu.h"
#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Lib3/LSources/CoreData/ResourceProviderChain.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LFrameSpec.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/MenuStrip.h"
#include "Platform/AppKit/MenuTracker.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Resources/ResourceFile.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/MenuPixels.h"
#include "tests/support/NestedLoopGuard.h"
#include "tests/support/PinnedFonts.h"
#include "tests/support/XvfbServer.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

struct Root : LHandler {
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LPane_ReqFocus) || msg.Is(LPane_Defer) || msg.Is(LMouse_Cursor) || msg.Is(LFrame_Place))
            return LMessage();
        return LHandler::Handle(msg);
    }
};

// A focused pane that enables some commands and records the choices that reach it.
struct Pane : LPane {
    explicit Pane(LFrame* f) : LPane(f, f) {
        SetBounds({10, 10, 200, 100});
        ChangeState(kRingInside);
    }
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LMenuBar_Ready))
            for (const std::string& c : enable) static_cast<LMenuBar*>(msg.sender)->EnableCommand(c.c_str());
        if (msg.Is(LMenuItem_Selected)) {
            chosen.push_back(static_cast<LMenuItem*>(msg.sender)->GetFirstCommand().CStr());
            return LMessage();
        }
        return LPane::Handle(msg);
    }
    std::vector<std::string> enable;
    std::vector<std::string> chosen;
};

class MenuX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (testsupport::CommandOutput("command -v xdotool").empty())
            GTEST_SKIP() << "xdotool is not installed";
        ASSERT_TRUE(server.Ok()) << "Xvfb did not start";
        backend = plat::x11::X11Backend::Open(server.Display().c_str());
        ASSERT_TRUE(backend);
        previous = plat::CurrentBackend();
        plat::SetBackend(backend.get());
        ASSERT_TRUE(backend->Start());
        fRef = plat::OpenResFile(ORBILUME_RESOURCE_FILE);
        ASSERT_GT(fRef, 0);
        fProvider = std::make_unique<ResourceFileProvider>(fRef);
        fChain.Add(fProvider.get());
        ResourceProviderChain::SetGlobal(&fChain);
        plat::Application* app = plat::Application::Shared();
        app->SetDelegate(&delegate);
        app->DiscardEvents(plat::kAnyEventMask);
        app->Activate();
        MMainMenu::InstallDefault();
        mgr = new CMacWindowMgr;
        mouse = new LMouse;
        keyboard = new LKeyboard;
        loop = new CMacMainLoop(&root);
        frame = new LFrame(&root, nullptr, LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6)), nullptr));
        frame->SetWindowFrame({100, 100, 500, 300});
        frame->ShowWindow();
        pane = new Pane(frame);
        pane->TakeFocus(0, true);
        ASSERT_TRUE(RunUntil([&] { return frame->Bounds().Width() == 400; }));
        Xdotool("windowfocus --sync %W");
    }
    void TearDown() override {
        delete frame;
        delete loop;
        delete keyboard;
        delete mouse;
        delete mgr;
        plat::Application::Shared()->SetMainMenu(nullptr);
        plat::Application::Shared()->SetDelegate(nullptr);
        if (fRef > 0) {
            ResourceProviderChain::SetGlobal(nullptr);
            fProvider.reset();
            plat::CloseResFile(fRef);
        }
        if (backend) {
            plat::SetBackend(previous);
            backend.reset();
        }
    }
    bool RunUntil(const std::function<bool()>& done, double wait = 5) {
        plat::Application* app = plat::Application::Shared();
        const double until = plat::ClockNow() + wait;
        while (!done() && plat::ClockNow() < until) {
            plat::Event e;
            if (app->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.02, plat::kRunLoopDefaultMode, true,
                               &e))
                app->SendEvent(e);
        }
        return done();
    }
    void Xdotool(const std::string& args) {
        std::string window = std::to_string(backend->XWindowOf(frame->Window()->NativeWindow()));
        std::string cmd = "DISPLAY=" + server.Display() + " xdotool " + args;
        size_t at;
        while ((at = cmd.find("%W")) != std::string::npos) cmd.replace(at, 2, window);
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }

    testsupport::XvfbServer server{"1024x768x24"};
    std::unique_ptr<plat::x11::X11Backend> backend;
    plat::Backend* previous = nullptr;
    plat::ResFileRef fRef = 0;
    std::unique_ptr<ResourceFileProvider> fProvider;
    ResourceProviderChain fChain;
    AppDelegate delegate{nullptr, nullptr};
    CMacWindowMgr* mgr = nullptr;
    LMouse* mouse = nullptr;
    LKeyboard* keyboard = nullptr;
    CMacMainLoop* loop = nullptr;
    Root root;
    LFrame* frame = nullptr;
    Pane* pane = nullptr;
};

TEST_F(MenuX11Test, ControlZReachesThePaneThatEnablesUndo) {
    pane->enable = {"LStdCmd_Undo"};
    Xdotool("key ctrl+z");
    ASSERT_TRUE(RunUntil([&] { return !pane->chosen.empty(); }));
    EXPECT_EQ(pane->chosen, std::vector<std::string>{"LStdCmd_Undo"});
    // Without the enabling pass nothing is chosen: Ctrl+X (Cut) stays disabled.
    Xdotool("key ctrl+x");
    RunUntil([] { return false; }, 0.3);
    EXPECT_EQ(pane->chosen.size(), 1u);
}

TEST_F(MenuX11Test, AClickOnEditThenDownAndReturnChoosesTheFirstEnabledItem) {
    pane->enable = {"LStdCmd_Copy", "LStdCmd_Paste"};
    plat::MenuStrip* strip = frame->Window()->NativeWindow()->Strip();
    ASSERT_NE(strip, nullptr);
    const plat::Rect edit = strip->TitleRect(2);
    testsupport::NestedLoopGuard guard(15);
    bool opened = false;
    testsupport::RunLater keys(0.5, [&] {
        opened = plat::MenuTracker::IsTracking();
        Xdotool("key Down Return");
    });
    // The X window holds the strip above the content: strip y = content y + 20.
    Xdotool("mousemove --sync --window %W " + std::to_string(int(edit.x) + 5) + " 8 click 1");
    ASSERT_TRUE(RunUntil([&] { return !pane->chosen.empty(); }, 10));
    EXPECT_TRUE(opened);
    EXPECT_EQ(pane->chosen, std::vector<std::string>{"LStdCmd_Copy"});
    EXPECT_FALSE(guard.Fired());
}

}  // namespace
