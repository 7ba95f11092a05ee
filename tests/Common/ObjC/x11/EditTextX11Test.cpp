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
#include "Common/ObjC/LNumEdit.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/AppKit/x11/X11Selections.h"
#include "Platform/Foundation/Clock.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/PinnedFonts.h"
#include "tests/support/XvfbServer.h"

// Xlib last: its macros (None, Bool, Status) must not reach the headers above.
// clang-format off
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
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

class EditTextX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        StartSession(&root, needs);
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
    // A frame with one focused one-line field.
    LEditText* FocusedField(const std::string& text) {
        frame = new LFrame(&root, nullptr, LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6))));
        LLayoutParts layout;
        layout.Append("");
        layout.Append("pp(0,0,0,300,60)");
        layout.Append("pp(1,10,10,290,32)");
        frame->SetLayout(layout, LFrame::kDescriptionMode);
        auto* field = new LEditText(frame, LEditText::kSingleLine, 0);
        field->SetText(LString(text.c_str()));
        frame->SetWindowFrame({100, 100, 400, 160});
        frame->ShowWindow();
        if (!RunUntil([&] { return frame->Bounds().Width() == 300; })) return nullptr;
        frame->UpdateLayout();
        Xdotool("windowfocus --sync %W");
        if (!RunUntil([&] { return frame->Window()->NativeWindow()->IsKeyWindow(); })) return nullptr;
        field->TakeFocus(0, true);
        if (!RunUntil([&] { return field->Editor() != nullptr; })) return nullptr;
        return field;
    }
    // Another X client's output, the event loop turning while it runs.
    std::string Client(const std::string& command, const std::string& input = {}) {
        testsupport::BackgroundCommand c("DISPLAY=" + Display() + " " + command, input);
        RunUntil([&] { return c.Done(); }, 10);
        return c.Output();
    }

    Root root;
    LFrame* frame = nullptr;
    Needs needs = kFramework;
};

// With the application's main menu: its Copy command.
class EditTextPeersX11Test : public EditTextX11Test {
protected:
    EditTextPeersX11Test() { needs = kResources; }
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

// Selected text is the primary selection, the field's Copy fills the clipboard, and the middle
// button pastes the primary selection: each as other programs see it.
TEST_F(EditTextPeersX11Test, SelectionCopyAndMiddleClickReachOtherPrograms) {
    for (const char* program : {"xsel", "xclip"})
        if (!testsupport::HaveProgram(program)) GTEST_SKIP() << program << " is not installed";
    LEditText* field = FocusedField("Gr\xc3\xbc\xc3\x9f" "e vom Feld");
    ASSERT_NE(field, nullptr);
    auto selected = [&](uint32_t length) {
        return RunUntil([&] {
            uint32_t start = 0, n = 0;
            field->Editor()->GetSelection(start, n);
            return start == 0 && n == length;
        });
    };
    // The field came in with its whole text selected; Shift-Left takes characters off its end.
    EXPECT_EQ(Client("xsel -p -o"), "Gr\xc3\xbc\xc3\x9f" "e vom Feld");
    Xdotool("key --delay 40 shift+Left shift+Left shift+Left shift+Left");
    ASSERT_TRUE(selected(10));
    EXPECT_EQ(Client("xsel -p -o"), "Gr\xc3\xbc\xc3\x9f" "e vom ");

    // The menu's Copy, Command-C being Ctrl+C.
    Xdotool("key --delay 40 shift+Left shift+Left shift+Left shift+Left shift+Left");
    ASSERT_TRUE(selected(5));
    plat::Pasteboard::General()->ClearContents();
    Xdotool("key ctrl+c");
    ASSERT_TRUE(RunUntil([] { return plat::Pasteboard::General()->HasType(plat::Pasteboard::kTypeString); }));
    EXPECT_EQ(Client("xclip -selection clipboard -o"), "Gr\xc3\xbc\xc3\x9f" "e");
    EXPECT_EQ(Client("xsel -p -o"), "Gr\xc3\xbc\xc3\x9f" "e");

    // Another program's primary selection, pasted at the start of the field by the middle button.
    plat::Pasteboard* primary = plat::Pasteboard::Selection();
    const int64_t before = primary->ChangeCount();
    Client("xsel -p -i", "\xe2\x82\xac 5 ");
    // xsel serves from a process of its own, which may take the selection after the command ended.
    ASSERT_TRUE(RunUntil([&] {
        return primary->ChangeCount() != before && !backend->Selections()->Owns(false) &&
               primary->HasType(plat::Pasteboard::kTypeString);
    }));
    const CLPoint o = field->GetOriginIn(nullptr);
    const int32_t strip = int32_t(frame->Window()->NativeWindow()->StripHeight());
    Xdotool("mousemove --sync --window %W " + std::to_string(o.x + field->Bounds().left + 3) + " " +
            std::to_string(o.y + field->Bounds().top + 10 + strip) + " click 2");
    ASSERT_TRUE(RunUntil([&] {
        return Str(field->GetText()) == "\xe2\x82\xac 5 Gr\xc3\xbc\xc3\x9f" "e vom Feld";
    })) << Str(field->GetText());
    // The clipboard kept what was copied.
    EXPECT_EQ(Client("xclip -selection clipboard -o"), "Gr\xc3\xbc\xc3\x9f" "e");
}

// Text the keyboard map lacks is typed as xdotool types it (keys bound for the moment).
TEST_F(EditTextX11Test, TypedTextOutsideTheKeyboardMapArrivesWhole) {
    LEditText* field = FocusedField("");
    ASSERT_NE(field, nullptr);
    MapKeysyms({XK_udiaeresis, XK_ssharp, XK_EuroSign});
    RunUntil([] { return false; }, 0.2);
    const std::string typed =
        "Gr\xc3\xbc\xc3\x9f"
        "e \xe2\x82\xac";
    Xdotool("type --delay 40 '" + typed + "'");
    ASSERT_TRUE(RunUntil([&] { return Str(field->GetText()) == typed; })) << Str(field->GetText());
}

// Hovering shows the I-beam over the field's text and the arrow beside it, as other programs read
// the cursor's name (XFixes).
TEST_F(EditTextX11Test, TheCursorOverTheFieldIsTheIBeam) {
    LEditText* field = FocusedField("hover");
    ASSERT_NE(field, nullptr);
    // Read on a connection of the test's own: syncing the backend's would leave its events unread.
    std::unique_ptr<::Display, int (*)(::Display*)> d(XOpenDisplay(Display().c_str()), XCloseDisplay);
    ASSERT_NE(d, nullptr);
    auto shown = [&d] {
        XFixesCursorImage* image = XFixesGetCursorImage(d.get());
        std::string name = image && image->name ? image->name : "";
        if (image) XFree(image);
        return name;
    };
    const CLPoint o = field->GetOriginIn(nullptr);
    const int32_t strip = int32_t(frame->Window()->NativeWindow()->StripHeight());
    auto at = [&](int32_t x, int32_t y) {
        return std::to_string(o.x + x) + " " + std::to_string(o.y + y + strip);
    };
    struct Case {
        int32_t x, y;
        const char* name;
    } cases[] = {
        {60, 20, "xterm"},     // over the field's text
        {100, 48, "left_ptr"}, // the frame below it
        {200, 22, "xterm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Xdotool("mousemove --sync --window %W " + at(c.x, c.y));

        EXPECT_TRUE(RunUntil([&] { return shown() == c.name; })) << shown();
    }
}

}  // namespace
