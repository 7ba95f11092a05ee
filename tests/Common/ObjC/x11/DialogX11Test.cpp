#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/ObjC/CSaveChangesDialog.h"
#include "Lib3/LSources/CoreUI/CSlider.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Foundation/Clock.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/PinnedFonts.h"
#include "tests/support/XvfbServer.h"

namespace {

// The application root: runs the modal steps and records the controls' messages.
struct Root : LHandler {
    CMacMainLoop* loop = nullptr;
    std::vector<std::string> ids;
    std::vector<int32_t> sliderValues;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is("LHandler_Mode")) {
            if (loop && msg.sender) loop->RunModal(msg.sender);
            return LMessage();
        }
        ids.push_back(msg.id.Text());
        if (msg.Is(CSlider_Change)) sliderValues.push_back(static_cast<CSlider*>(msg.sender)->GetValue());
        if (msg.Is(LPane_ReqFocus) || msg.Is(LPane_Defer) || msg.Is(LMouse_Cursor) || msg.Is(LFrame_Place) ||
            msg.Is(LFrame_Activate) || msg.Is(LFrame_Deactivate))
            return LMessage();
        return LHandler::Handle(msg);
    }
    int Count(const char* id) const { return int(std::count(ids.begin(), ids.end(), std::string(id))); }
};

class DialogX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        StartSession(&root);
        if (IsSkipped() || HasFatalFailure()) return;
        root.loop = loop;
    }
    void TearDown() override {
        delete dialog;
        X11FrameworkTest::TearDown();
    }
    // Runs modal steps of the dialog until the condition holds (at most `wait` seconds).
    bool StepUntil(const std::function<bool()>& done, double wait = 5) {
        const double until = plat::ClockNow() + wait;
        while (!done() && plat::ClockNow() < until) (void)dialog->Run(20);
        return done();
    }
    // xdotool with %W the window's X window.
    void Xdotool(const std::string& args) {
        X11FrameworkTest::Xdotool(args, dialog->Window()->NativeWindow());
    }
    // A point of a pane in screen coordinates.
    std::string At(LPane* pane, int32_t dx, int32_t dy) {
        const CLRect content = dialog->GetWindowRect();
        return std::to_string(content.left + pane->Bounds().left + dx) + " " +
               std::to_string(content.top + pane->Bounds().top + dy);
    }

    Root root;
    LModalDialog* dialog = nullptr;
};

TEST_F(DialogX11Test, RealInputDrivesTheControlsOfAModalDialog) {
    dialog =
        new LModalDialog(&root, nullptr, LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(8))));
    dialog->SetWindowFrame({200, 200, 520, 360});
    auto* ok = new LStdButton(dialog, LStdCtlSpec{});
    ok->SetTitle("OK");
    auto* cancel = new LStdButton(dialog, LStdCtlSpec{});
    cancel->SetTitle("Cancel");
    auto* check = new LStdCheck(dialog, LStdCtlSpec{});
    check->SetTitle("Loop");
    auto* slider = new CSlider(dialog, LStdCtlSpec{});
    slider->SetRange(0, 100);
    slider->SetValue(0);
    dialog->SetDefaultButton(ok);
    dialog->SetCancelButton(cancel);

    dialog->ShowWindow();
    ASSERT_TRUE(StepUntil([&] { return dialog->Bounds().Width() == 320; }));
    check->SetBounds({20, 20, 200, 40});
    slider->SetBounds({20, 60, 220, 80});
    cancel->SetBounds({120, 120, 200, 142});
    ok->SetBounds({220, 120, 300, 142});
    Xdotool("windowfocus --sync %W");
    StepUntil([] { return false; }, 0.3);  // settle: map, expose, focus

    // A click on the check box.
    root.ids.clear();
    Xdotool("mousemove --sync " + At(check, 8, 10) + " click 1");
    ASSERT_TRUE(StepUntil([&] { return root.Count("LStdCheck_Change") > 0; }));
    EXPECT_EQ(root.Count("LStdCheck_Change"), 1);
    EXPECT_TRUE(check->GetValue());

    // A drag of the knob from its left end to the right.
    Xdotool("mousemove --sync " + At(slider, 7, 10) + " mousedown 1 mousemove --sync " + At(slider, 60, 10) +
            " mousemove --sync " + At(slider, 120, 10) + " mousemove --sync " + At(slider, 180, 10) +
            " mouseup 1");
    ASSERT_TRUE(StepUntil([&] { return root.sliderValues.size() >= 2 && slider->GetValue() > 50; }));
    EXPECT_TRUE(std::is_sorted(root.sliderValues.begin(), root.sliderValues.end()));
    EXPECT_LT(root.sliderValues.front(), root.sliderValues.back());

    // Return ends the run with the default answer.
    Xdotool("key Return");
    EXPECT_EQ(dialog->RunUntilResult(), 1u);
}

// Escape typed into the save-changes dialog's window cancels the close.
TEST_F(DialogX11Test, EscapeInTheSaveChangesDialogCancels) {
    BundleResources resources;
    ASSERT_TRUE(resources.Ok());
    auto* d = new CSaveChangesDialog(&root, nullptr);
    dialog = d;
    d->SetDocumentName(LString("set.obs"));
    d->UpdateLayout();
    d->ShowWindow();
    ASSERT_TRUE(StepUntil([&] { return d->Bounds().Width() > 0; }));
    Xdotool("windowfocus --sync %W");
    StepUntil([] { return false; }, 0.3);  // settle: map, expose, focus
    Xdotool("key --window %W Escape");
    EXPECT_EQ(d->Run(1), CSaveChangesDialog::kCancel);
}

}  // namespace
