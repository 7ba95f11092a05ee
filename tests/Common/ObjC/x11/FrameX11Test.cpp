#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Foundation/Clock.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/XvfbServer.h"

// Xlib last: its macros (None, Bool, Status) must not reach the headers above.
// clang-format off
#include <X11/Xlib.h>
#include <X11/keysym.h>
// clang-format on

namespace {

struct Root : LHandler {
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LPane_ReqFocus) || msg.Is(LPane_Defer) || msg.Is(LMouse_Cursor) || msg.Is(LFrame_Place))
            return LMessage();
        return LHandler::Handle(msg);
    }
};

// A pane that takes the focus on a click and records what reaches it.
struct Pane : LPane {
    Pane(LFrame* f) : LPane(f, f) { ChangeState(kRingInside); }
    LMessage Handle(const LMessage& msg) override {
        ids.push_back(msg.id.Text());
        LMouse* mouse = LMouse::Get();
        if (msg.Is(LMouse_Click)) {
            CLPoint origin = GetOriginIn(nullptr);
            CLRect content = static_cast<LFrame*>(Owner())->GetWindowRect();
            clicks.push_back({mouse->Location().x - content.left - origin.x - Bounds().left,
                              mouse->Location().y - content.top - origin.y - Bounds().top});
            TakeFocus(0, true);
            return LMessage();
        }
        if (msg.Is(LKeyboard_Down) && LKeyboard::Get()->Char() != 9) {
            unicodes.push_back(LKeyboard::Get()->Unicode());
            return LMessage();
        }
        if (msg.Is(LMouse_Wheel)) {
            ++wheels;
            return LMessage();
        }
        return LPane::Handle(msg);
    }
    std::vector<std::string> ids;
    std::vector<CLPoint> clicks;
    std::vector<uint32_t> unicodes;
    int wheels = 0;
};

class FrameX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        StartSession(&root);
        if (IsSkipped() || HasFatalFailure()) return;
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
};

TEST_F(FrameX11Test, RealInputReachesThePanesOfAFrame) {
    frame = new LFrame(&root, nullptr, LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6))));
    LLayoutParts layout;
    layout.Append("");
    layout.Append("pp(0,0,0,200,60)");
    layout.Append("pp(1,10,10,w(0)/2-5,50);pp(2,w(0)/2+5,10,w(0)-10,50)");
    frame->SetLayout(layout, LFrame::kDescriptionMode);
    auto* left = new Pane(frame);
    auto* right = new Pane(frame);
    frame->SetWindowFrame({100, 100, 400, 200});
    frame->ShowWindow();
    ASSERT_TRUE(RunUntil([&] { return frame->Bounds().Width() == 300; }))
        << frame->Bounds().left << "," << frame->Bounds().top << " " << frame->Bounds().Width() << "x"
        << frame->Bounds().Height() << " content " << frame->GetWindowRect().Width();
    frame->UpdateLayout();
    ASSERT_EQ(left->Bounds(), (CLRect{10, 10, 145, 50}));
    Xdotool("windowfocus --sync %W");

    // A click: the local point and the focus. The X window holds the menu strip (20) above the content.
    Xdotool("mousemove --sync --window %W 200 50 click 1");
    ASSERT_TRUE(RunUntil([&] { return !right->clicks.empty(); }));
    EXPECT_EQ(right->clicks[0].x, 200 - 155);
    EXPECT_EQ(right->clicks[0].y, 30 - 10);
    EXPECT_EQ(frame->FocusPane(), right);

    // Tab and Shift-Tab move the focus.
    Xdotool("key Tab");
    ASSERT_TRUE(RunUntil([&] { return frame->FocusPane() == left; }));
    Xdotool("key shift+Tab");
    ASSERT_TRUE(RunUntil([&] { return frame->FocusPane() == right; }));

    // Typed text arrives as Unicode characters.
    MapKeysyms({XK_eacute, XK_EuroSign});
    RunUntil([] { return false; }, 0.2);
    Xdotool("type --delay 50 '\xc3\xa9\xe2\x82\xac'");
    ASSERT_TRUE(RunUntil([&] { return right->unicodes.size() >= 2; }));
    EXPECT_EQ(right->unicodes, (std::vector<uint32_t>{0xE9, 0x20AC}));

    // The wheel goes to the pane under the pointer.
    Xdotool("mousemove --sync --window %W 40 50 click 4");
    ASSERT_TRUE(RunUntil([&] { return left->wheels > 0; }));
    EXPECT_EQ(right->wheels, 0);

    // A size change by another program re-places the children through the layout.
    Xdotool("windowsize --sync %W 500 150");
    ASSERT_TRUE(RunUntil([&] { return frame->Bounds().Width() == 500; }));
    EXPECT_EQ(left->Bounds(), (CLRect{10, 10, 245, 50}));
    EXPECT_EQ(right->Bounds(), (CLRect{255, 10, 490, 50}));
}

// A frame recording the window messages it gets.
struct RecordingFrame : LFrame {
    using LFrame::LFrame;
    LMessage Handle(const LMessage& msg) override {
        if (msg.sender == Window()) ids.push_back(msg.id.Text());
        return LFrame::Handle(msg);
    }
    std::vector<std::string> ids;
};

// Keeps every frame its owner would close.
struct KeepingRoot : Root {
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LFrame_Close)) {
            ++closeRequests;
            return LMessage();
        }
        return Root::Handle(msg);
    }
    int closeRequests = 0;
};

// Under openbox, the close box (wmctrl -c) is the framework's close request: the frame hears
// "LWindow_Close" and, kept by its owner, stays on the screen.
TEST_F(FrameX11Test, TheWindowManagersCloseIsTheFrameworksCloseRequest) {
    for (const char* tool : {"openbox", "wmctrl", "xprop"})
        if (!testsupport::HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
    testsupport::BackgroundCommand wm("DISPLAY=" + Display() + " exec openbox --sm-disable 2>/dev/null");
    auto client = [&](const std::string& command) {
        testsupport::BackgroundCommand c("DISPLAY=" + Display() + " LC_ALL=C.UTF-8 " + command);
        RunUntil([&] { return c.Done(); }, 10);
        return c.Output();
    };
    ASSERT_TRUE(RunUntil([&] { return client("xprop -root _NET_WORKAREA").find(" = ") != std::string::npos; },
                         10))
        << "openbox did not start";
    KeepingRoot keeping;
    const std::string title =
        "Schlie\xc3\x9f"
        "en?";
    auto* recording =
        new RecordingFrame(&keeping, nullptr, LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6))));
    frame = recording;
    frame->SetWindowFrame({100, 100, 400, 200});
    frame->SetWindowTitle(LString(title.c_str()));
    frame->ShowWindow();
    plat::Window* native = frame->Window()->NativeWindow();
    ASSERT_TRUE(RunUntil([&] { return client("wmctrl -l").find(title) != std::string::npos; }))
        << client("wmctrl -l");
    client("wmctrl -c '" + title + "'");
    ASSERT_TRUE(RunUntil([&] { return keeping.closeRequests > 0; })) << client("wmctrl -l");
    EXPECT_NE(std::find(recording->ids.begin(), recording->ids.end(), "LWindow_Close"), recording->ids.end());
    RunUntil([] { return false; }, 0.3);
    EXPECT_TRUE(native->IsVisible());
    EXPECT_NE(client("wmctrl -l").find(title), std::string::npos);
    // Before its owner goes.
    delete frame;
    frame = nullptr;
}

}  // namespace
