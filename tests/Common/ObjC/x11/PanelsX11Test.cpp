#include <gtest/gtest.h>
// After gtest: Xlib defines None.
#include <X11/Xlib.h>

#include <functional>
#include <string>
#include <vector>

#include "Common/ObjC/UMachPanel.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/ColorPanel.h"
#include "Platform/AppKit/FontPanel.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/support/NestedLoopGuard.h"

namespace {

struct Root : LHandler {};

struct ColourLog {
    std::vector<LRGB> colours;
    std::vector<int32_t> codes;
    static void Callback(void* owner, const LRGB* colour, int32_t code) {
        static_cast<ColourLog*>(owner)->colours.push_back(*colour);
        static_cast<ColourLog*>(owner)->codes.push_back(code);
    }
};

// Runs steps from a timer in the modal-panel mode: each step once its wait holds (checked every 50 ms).
struct InModal {
    struct Step {
        std::function<bool()> ready;
        std::function<void()> run;
    };
    std::vector<Step> steps;
    size_t next = 0;
    plat::Ref<plat::RunLoopTimer> timer;
    explicit InModal(std::vector<Step> s) : steps(std::move(s)) {
        timer = plat::RunLoopTimer::Create(plat::ClockNow() + 0.05, 0.05, &Fire, this);
        EXPECT_TRUE(plat::RunLoop::Main()->AddTimer(timer.get(), plat::kModalPanelRunLoopMode));
    }
    ~InModal() { timer->Invalidate(); }
    static void Fire(plat::RunLoopTimer* t, void* self) {
        auto* m = static_cast<InModal*>(self);
        if (m->next >= m->steps.size()) return t->Invalidate();
        if (!m->steps[m->next].ready()) return;
        m->steps[m->next++].run();  // may run a nested loop that fires the timer again
    }
};

class PanelsX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        StartSession(&root);
        plat::Application::Shared()->Activate();  // controls track only while the application is active
    }
    void TearDown() override {
        UMachPanel::CloseColorPanel(nullptr, nullptr);
        X11FrameworkTest::TearDown();
    }
    // What a window manager sends when the user clicks a window's close box.
    void ClickCloseBox(plat::Window* window) {
        ::Display* d = XOpenDisplay(Display().c_str());
        ASSERT_NE(d, nullptr);
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = backend->XWindowOf(window);
        ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
        ev.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, ev.xclient.window, False, NoEventMask, &ev);
        XSync(d, False);
        XCloseDisplay(d);
    }
    Root root;
};

// A modal colour choice on a real X server: a drag of the red slider with the pointer reports each
// step with code 2, and the window manager's close answers 0 with the panel's colour.
TEST_F(PanelsX11Test, ModalColourChoiceFollowsTheSliderAndEndsAtTheCloseBox) {
    if (IsSkipped() || HasFatalFailure()) return;
    testsupport::NestedLoopGuard guard(20);
    ColourLog log;
    LRGB colour(0, 0, 0);
    plat::ColorPanel* panel = plat::ColorPanel::Shared();
    plat::Window* w = panel->PanelWindow();
    // The backend handles the window manager's close at once, while pointer events wait in the
    // queue: the close comes once the drag has been seen.
    InModal user({{[] { return true; },
                   [&] {
                       plat::Control* red = panel->Slider(plat::ColorPanel::kRed);
                       const plat::Rect f = red->Frame();
                       const double half = red->KnobRect().width / 2;
                       const int y = int(f.y + f.height / 2);
                       const int x0 = int(f.x + half + (f.width - 2 * half) / 2),
                                 x1 = int(f.x + f.width + 40);
                       Xdotool("mousemove --window %W " + std::to_string(x0) + " " + std::to_string(y) +
                                   " mousedown 1 mousemove --window %W " + std::to_string(x1) + " " +
                                   std::to_string(y) + " mouseup 1",
                               w);
                   }},
                  {[&] { return !log.colours.empty() && log.colours.back() == LRGB(255, 0, 0); },
                   [&] { ClickCloseBox(w); }}});
    EXPECT_EQ(UMachPanel::ChooseColor(true, colour, &log, &ColourLog::Callback, false, true), 0);
    EXPECT_FALSE(guard.Fired());
    EXPECT_EQ(colour, LRGB(255, 0, 0));
    ASSERT_FALSE(log.codes.empty());
    EXPECT_EQ(log.codes, std::vector<int32_t>(log.codes.size(), 2));
    EXPECT_EQ(log.colours.back(), LRGB(255, 0, 0));
    EXPECT_FALSE(plat::ColorPanel::Shared()->IsVisible());
}

}  // namespace
