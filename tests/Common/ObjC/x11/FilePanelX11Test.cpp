// The save panel on a real X server: a name typed with xdotool and Return answer that file.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <functional>
#include <string>

#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/LEditText.h"
#include "Common/ObjC/MFilePanel.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Clock.h"
#include "tests/Common/ObjC/ModalRoot.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/support/TempDir.h"

namespace {

using Root = dialogtest::ModalRoot;

class FilePanelX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        StartSession(&root);
        if (IsSkipped() || HasFatalFailure()) return;
        root.loop = loop;
        MFilePanel::SetDefaultUpper(&root);
    }
    void TearDown() override {
        delete panel;
        MFilePanel::SetDefaultUpper(nullptr);
        X11FrameworkTest::TearDown();
    }
    // Runs modal steps until an answer (at most `wait` seconds): the answer, or -1.
    int32_t StepUntilAnswer(double wait = 5) {
        const double until = plat::ClockNow() + wait;
        int32_t r = -1;
        while (r < 0 && plat::ClockNow() < until) r = panel->Step(20);
        return r;
    }
    void Settle(double seconds) {
        const double until = plat::ClockNow() + seconds;
        while (plat::ClockNow() < until) (void)panel->Step(20);
    }

    Root root;
    MFilePanel* panel = nullptr;
};

TEST_F(FilePanelX11Test, TypedNameAndReturnAnswerTheFile) {
    testsupport::TempDir dir;
    dir.Write("other.obs", "x");
    char buf[PATH_MAX];
    const std::string folder = ::realpath(dir.Path().c_str(), buf) ? buf : dir.Path();
    panel = new MFilePanel(&root, MFilePanelBase::kSavePanel);
    panel->Begin(folder, "");
    Settle(0.3);  // map, expose
    Xdotool("windowfocus --sync %W", panel->Window()->NativeWindow());
    Settle(0.3);
    ASSERT_NE(panel->NameField()->Editor(), nullptr);
    Xdotool("type --delay 30 'set.obs'", panel->Window()->NativeWindow());
    Settle(0.3);
    EXPECT_EQ(std::string(panel->NameField()->GetText().CStr()), "set.obs");
    Xdotool("key Return", panel->Window()->NativeWindow());
    EXPECT_EQ(StepUntilAnswer(), MFilePanelBase::kOKButton);
    EXPECT_EQ(panel->ChosenPath(), folder + "/set.obs");
    panel->End();
}

}  // namespace
