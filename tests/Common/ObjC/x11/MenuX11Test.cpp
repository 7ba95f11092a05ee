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
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/MenuPixels.h"
#include "tests/support/NestedLoopGuard.h"
#include "tests/support/PinnedFonts.h"
#include "tests/support/XvfbServer.h"

namespace {

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

class MenuX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        StartSession(&root, kResources);
        if (IsSkipped() || HasFatalFailure()) return;
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
        X11FrameworkTest::TearDown();
    }
    // xdotool with %W the window's X window.
    void Xdotool(const std::string& args) {
        X11FrameworkTest::Xdotool(args, frame->Window()->NativeWindow());
    }

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
