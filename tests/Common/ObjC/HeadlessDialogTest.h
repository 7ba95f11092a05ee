#pragma once

// A fixture for dialogs on the headless backend: the bundle's resources, a fake clock, the window
// manager, mouse, keyboard and a main loop whose root runs modal steps; dialogs are shown as the
// application shows them and take keys as the window system delivers them.
#include <gtest/gtest.h>

#include <vector>

#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/CoreUI/LDialog.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/Foundation/Clock.h"
#include "tests/Common/ObjC/ModalRoot.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/support/FakeClock.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/PinnedFonts.h"

namespace dialogtest {

inline void NoSleep(uint32_t) {}

class HeadlessDialogTest : public ::testing::Test {
protected:
    HeadlessDialogTest() {
        testsupport::PinFontsToDejaVu();
        plat::Application::Shared()->SetDelegate(&delegate);
        plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
        loop = new CMacMainLoop(&root);
        root.loop = loop;
        LDialog::SetSleepFunction(NoSleep);
    }
    ~HeadlessDialogTest() override {
        LDialog::SetSleepFunction(nullptr);
        delete loop;
        plat::Application::Shared()->SetDelegate(nullptr);
        plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
    static LFrameSpec ModalSpec() {
        return LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(8)));
    }
    // Shown as the application would show it, laid out at its preferred size.
    void Show(LFrame* d) {
        d->SetWindowFrame({100, 100, 500, 300});
        LHandler::Dispatch(LMessage(LWindow_Place, d->Window(), d));
        d->ShowWindow();
        d->Window()->NativeWindow()->MakeKeyAndOrderFront();
        if (!(d->State() & LPane::kFocused)) d->ChangeState(LPane::kFocus);
    }
    // A key queued on the backend, read by the next modal step.
    void Inject(LFrame* d, const char* key) {
        screens.Backend().Inject(plat::headless::HeadlessBackend::KeyEvent(
            plat::EventType::kKeyDown, d->Window()->NativeWindow(), key, 0));
    }
    // A key sent through the application as the window system delivers it.
    void Type(LFrame* d, const char* key) {
        plat::Event e = plat::headless::HeadlessBackend::KeyEvent(plat::EventType::kKeyDown,
                                                                  d->Window()->NativeWindow(), key, 0);
        e.timestamp = plat::ClockNow();
        e.eventNumber = plat::Application::Shared()->NextEventNumber();
        plat::Application::Shared()->SendEvent(e);
    }
    // At 400 × 200 every pane lies inside the dialog and no two overlap.
    static void ExpectTidy(LFrame& d, const std::vector<LPane*>& panes) {
        d.SetBounds({0, 0, 400, 200});
        d.UpdateLayout();
        for (size_t i = 0; i < panes.size(); ++i) {
            const CLRect a = panes[i]->Bounds();
            EXPECT_LT(a.left, a.right) << i;
            EXPECT_LT(a.top, a.bottom) << i;
            EXPECT_GE(a.left, 0) << i;
            EXPECT_GE(a.top, 0) << i;
            EXPECT_LE(a.right, 400) << i;
            EXPECT_LE(a.bottom, 200) << i;
            for (size_t j = i + 1; j < panes.size(); ++j) {
                const CLRect b = panes[j]->Bounds();
                const bool apart =
                    a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
                EXPECT_TRUE(apart) << "panes " << i << " and " << j;
            }
        }
    }

    BundleResources resources;
    testsupport::HeadlessScreens screens;
    testsupport::FakeClock clock;
    CMacWindowMgr mgr;
    AppDelegate delegate{nullptr, nullptr};
    LMouse mouse;
    LKeyboard keyboard;
    ModalRoot root;
    CMacMainLoop* loop = nullptr;
};

}  // namespace dialogtest
