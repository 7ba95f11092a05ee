#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CEditText.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Common/ObjC/LNumEdit.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Foundation/Clock.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/PinnedFonts.h"
#include "tests/support/XvfbServer.h"

// Xlib last: its macros (None, Bool, Status) must not reach the headers above.
// clang-format off
#include <X11/Xlib.h>
#include <X11/keysym.h>
// clang-format on

namespace {

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

struct Root : LHandler {
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LNumEdit_Enter)) {
            entered.push_back(Str(static_cast<LNumEdit*>(msg.sender)->GetText()));
            return LMessage();
        }
        // The frame asking for the focus gets it, as the main loop gives it.
        if (msg.Is(LPane_ReqFocus) && msg.sender) {
            auto* frame = static_cast<LPane*>(msg.sender);
            if (!(frame->State() & LPane::kFocused)) frame->ChangeState(LPane::kFocus);
            return LMessage();
        }
        if (msg.Is(LPane_Defer) || msg.Is(LMouse_Cursor) || msg.Is(LFrame_Place)) return LMessage();
        return LHandler::Handle(msg);
    }
    std::vector<std::string> entered;
};

class EditTextX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (testsupport::CommandOutput("command -v xdotool").empty())
            GTEST_SKIP() << "xdotool is not installed";
        ASSERT_TRUE(server.Ok()) << "Xvfb did not start";
        testsupport::PinFontsToDejaVu();
        backend = plat::x11::X11Backend::Open(server.Display().c_str());
        ASSERT_TRUE(backend);
        previous = plat::CurrentBackend();
        plat::SetBackend(backend.get());
        ASSERT_TRUE(backend->Start());
        plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
        mgr = new CMacWindowMgr;
        mouse = new LMouse;
        keyboard = new LKeyboard;
        loop = new CMacMainLoop(&root);
    }
    void TearDown() override {
        delete frame;
        delete loop;
        delete keyboard;
        delete mouse;
        delete mgr;
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
    void MapKeysyms(std::vector<KeySym> syms) {
        ::Display* d = XOpenDisplay(server.Display().c_str());
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
    CMacWindowMgr* mgr = nullptr;
    LMouse* mouse = nullptr;
    LKeyboard* keyboard = nullptr;
    CMacMainLoop* loop = nullptr;
    Root root;
    LFrame* frame = nullptr;
};

TEST_F(EditTextX11Test, TypingTabAndReturnThroughTheWindowSystem) {
    frame = new LFrame(&root, nullptr, LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6))));
    LLayoutParts layout;
    layout.Append("");
    layout.Append("pp(0,0,0,300,80)");
    layout.Append("pp(1,10,10,290,32);pp(2,10,42,290,64)");
    frame->SetLayout(layout, LFrame::kDescriptionMode);
    auto* name = new LEditText(frame, LEditText::kSingleLine, 0);
    auto* number = new LNumEdit(frame, true, 0);
    name->ChangeState(LPane::kRingInside);
    number->ChangeState(LPane::kRingInside);
    frame->SetWindowFrame({100, 100, 400, 180});
    frame->ShowWindow();
    ASSERT_TRUE(RunUntil([&] { return frame->Bounds().Width() == 300; }));
    frame->UpdateLayout();
    Xdotool("windowfocus --sync %W");
    ASSERT_TRUE(RunUntil([&] { return frame->Window()->NativeWindow()->IsKeyWindow(); }));
    name->TakeFocus(0, true);
    ASSERT_TRUE(RunUntil([&] { return name->Editor() != nullptr; }))
        << std::hex << name->State() << " frame " << frame->State() << " can " << name->CanTakeFocus();

    MapKeysyms({XK_udiaeresis, XK_ssharp});
    RunUntil([] { return false; }, 0.2);
    Xdotool(
        "type --delay 40 'Gr\xc3\xbc\xc3\x9f"
        "e 42'");
    ASSERT_TRUE(RunUntil([&] {
        return Str(name->GetText()) ==
               "Gr\xc3\xbc\xc3\x9f"
               "e 42";
    })) << Str(name->GetText());

    Xdotool("key Tab");
    ASSERT_TRUE(RunUntil([&] { return number->Editor() != nullptr; }));
    EXPECT_EQ(Str(name->GetText()),
              "Gr\xc3\xbc\xc3\x9f"
              "e 42");
    Xdotool("type --delay 40 '12a.5'");
    ASSERT_TRUE(RunUntil([&] { return Str(number->GetText()) == "12.5"; })) << Str(number->GetText());
    Xdotool("key Return");
    ASSERT_TRUE(RunUntil([&] { return !root.entered.empty(); }));
    EXPECT_EQ(root.entered, (std::vector<std::string>{"12.5"}));
}

}  // namespace
