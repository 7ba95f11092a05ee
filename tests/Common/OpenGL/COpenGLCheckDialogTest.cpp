#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/ObjC/LEditText.h"
#include "Common/OpenGL/COpenGLCheckDialog.h"
#include "Common/OpenGL/COpenGLRequirement.h"
#include "Lib3/LSources/CoreUI/LImage.h"
#include "Lib3/LSources/CoreUI/LImagePane.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/support/FakeClock.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/PinnedFonts.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

// The application root: each modal step is played by `step` (the operator and the passing time).
struct Root : LHandler {
    std::function<void(COpenGLCheckDialog&)> step;
    int steps = 0;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is("LHandler_Mode") && msg.sender) {
            ++steps;
            if (step) step(*static_cast<COpenGLCheckDialog*>(msg.sender));
            return LMessage();
        }
        if (msg.Is("LPane_ReqFocus") || msg.Is("LFrame_Place") || msg.Is("LFrame_Activate") ||
            msg.Is("LFrame_Deactivate") || msg.Is("LPane_Defer"))
            return LMessage();
        return LHandler::Handle(msg);
    }
};

class COpenGLCheckDialogTest : public OpenGLTest {
protected:
    void SetUp() override {
        OpenGLTest::SetUp();
        ASSERT_TRUE(kFontsPinned);
        ASSERT_TRUE(resources.Ok());
        plat::Application::Shared()->SetDelegate(&delegate);
        requirement.glVersion = "1.4";
        requirement.extensions.Append("GL_fake_orbilume_a");
    }
    void TearDown() override {
        plat::Application::Shared()->SetDelegate(nullptr);
        OpenGLTest::TearDown();
    }
    // The main loop's idle pass after ms of the fake clock: delivers the timers that are due.
    void Pass(uint32_t ms) {
        clock.AdvanceMs(ms);
        for (LMessage m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true); !m.IsEmpty();
             m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true))
            LHandler::Dispatch(m);
    }
    void MoveMouse(COpenGLCheckDialog& d, CLPoint p) {
        mouse.SetLocation(p);
        LHandler::Dispatch(LMessage(LMouse_Cursor, &mouse, &d));
    }

    testsupport::HeadlessScreens screens;
    testsupport::FakeClock clock;
    BundleResources resources;
    CMacWindowMgr mgr;
    AppDelegate delegate{nullptr, nullptr};
    LMouse mouse;
    LKeyboard keyboard;
    Root root;
    COpenGLRequirement requirement;
};

TEST_F(COpenGLCheckDialogTest, TheDialogListsTheShortfallAndReturnOrEscapeAnswers) {
    struct Case {
        LMsgId press;
        int answer;
    } cases[] = {{LDialog_Default, COpenGLCheckDialog::kContinue},
                 {LDialog_Escape, COpenGLCheckDialog::kQuit}};
    for (const Case& c : cases) {
        std::string list, info;
        bool locked = false, shown = false, hasImage = false;
        root.step = [&](COpenGLCheckDialog& d) {
            list = d.List()->GetText().CStr();
            locked = d.List()->IsLocked();
            info = d.Information()->Text().CStr();
            shown = d.Window() && d.Window()->NativeWindow()->IsVisible();
            hasImage = d.Image()->Image()->IsValid() && d.Image()->Image().GetSize().width == 64;
            EXPECT_EQ(d.DefaultButton(), d.ContinueButton());
            EXPECT_EQ(d.CancelButton(), d.QuitButton());
            EXPECT_STREQ(d.ContinueButton()->GetTitle().CStr(), "Continue");
            LHandler::Dispatch(LMessage(c.press, &d, &d));
        };
        EXPECT_EQ(COpenGLCheckDialog::Check(&root, Common(), requirement), c.answer);
        EXPECT_TRUE(shown);
        EXPECT_TRUE(locked);
        EXPECT_TRUE(hasImage);
        EXPECT_EQ(list, "GL_fake_orbilume_a\n");
        EXPECT_NE(info.find("Renderer: "), std::string::npos) << info;
        EXPECT_EQ(info.find("%1"), std::string::npos) << "placeholders filled: " << info;
    }
    // The version lines come first, with the resource's prefixes.
    requirement.glVersion = "99";
    std::string list;
    root.step = [&](COpenGLCheckDialog& d) {
        list = d.List()->GetText().CStr();
        LHandler::Dispatch(LMessage(LDialog_Default, &d, &d));
    };
    EXPECT_EQ(COpenGLCheckDialog::Check(&root, Common(), requirement), COpenGLCheckDialog::kContinue);
    EXPECT_EQ(list, "OpenGL version at least 99\nGL_fake_orbilume_a\n");
}

TEST_F(COpenGLCheckDialogTest, ThirtyStillSecondsContinueAndAMoveRestartsThem) {
    // Left alone: continue after 30 s.
    int at = 0;
    root.step = [&](COpenGLCheckDialog&) {
        at += 10000;
        Pass(10000);
    };
    EXPECT_EQ(COpenGLCheckDialog::Check(&root, Common(), requirement), COpenGLCheckDialog::kContinue);
    EXPECT_EQ(at, 30000);

    // A move at 20 s restarts the wait: the end comes at 50 s. A cursor message without a move
    // restarts nothing.
    at = 0;
    root.steps = 0;
    root.step = [&](COpenGLCheckDialog& d) {
        if (at == 20000) MoveMouse(d, {5, 7});
        if (at == 30000) MoveMouse(d, {5, 7});
        at += 10000;
        Pass(10000);
    };
    EXPECT_EQ(COpenGLCheckDialog::Check(&root, Common(), requirement), COpenGLCheckDialog::kContinue);
    EXPECT_EQ(at, 50000);
}

// Run by CTest with MESA_EXTENSION_OVERRIDE=-GL_ARB_texture_rectangle.
TEST_F(COpenGLCheckDialogTest, AnOverriddenExtensionIsListed) {
    const char* override = std::getenv("MESA_EXTENSION_OVERRIDE");
    if (!override || !std::strstr(override, "-GL_ARB_texture_rectangle"))
        GTEST_SKIP() << "needs the override";
    COpenGLRequirement startup;
    COpenGLRequirement::MakeStartup(startup);
    std::string list;
    root.step = [&](COpenGLCheckDialog& d) {
        list = d.List()->GetText().CStr();
        LHandler::Dispatch(LMessage(LDialog_Escape, &d, &d));
    };
    EXPECT_EQ(COpenGLCheckDialog::Check(&root, Common(), startup), COpenGLCheckDialog::kQuit);
    EXPECT_EQ(list, "GL_ARB_texture_rectangle\n");
}

}  // namespace
