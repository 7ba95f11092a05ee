#include <gtest/gtest.h>

// After gtest: Xlib defines None and Bool as macros.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Cursor.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/AppKit/x11/X11Screens.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Graphics/BitmapImage.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/XvfbServer.h"

namespace {

using plat::Application;
using plat::Rect;
using plat::Window;
using plat::x11::X11Backend;

bool SameRect(const Rect& a, const Rect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

TEST(X11ScreensFromMonitors, PrimaryFirstRatesAndWorkAreas) {
    using plat::x11::MonitorInfo;
    struct Case {
        const char* name;
        std::vector<MonitorInfo> monitors;
        Rect work;
        std::vector<Rect> frames;
        std::vector<Rect> visible;
        std::vector<double> rates;
    } cases[] = {
        {"one fixed output (Xvfb)",
         {{{0, 0, 1440, 900}, false, 0}},
         {},
         {{0, 0, 1440, 900}},
         {{0, 0, 1440, 900}},
         {60}},
        {"primary second, panel on top",
         {{{0, 0, 1280, 1024}, false, 75}, {{1280, 0, 1920, 1080}, true, 59.94}},
         {0, 30, 3200, 994},
         {{1280, 0, 1920, 1080}, {0, 0, 1280, 1024}},
         {{1280, 30, 1920, 994}, {0, 30, 1280, 994}},
         {59.94, 75}},
        {"empty monitor dropped, absurd rate",
         {{{0, 0, 0, 0}, true, 60}, {{0, 0, 800, 600}, false, 5000}},
         {},
         {{0, 0, 800, 600}},
         {{0, 0, 800, 600}},
         {60}},
        {"work area elsewhere",
         {{{0, 0, 800, 600}, true, 50}},
         {900, 0, 100, 100},
         {{0, 0, 800, 600}},
         {{0, 0, 800, 600}},
         {50}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<plat::Screen> screens = plat::x11::ScreensFromMonitors(c.monitors, c.work);
        ASSERT_EQ(screens.size(), c.frames.size());
        for (size_t i = 0; i < screens.size(); ++i) {
            EXPECT_EQ(screens[i].displayId, i + 1);
            EXPECT_TRUE(SameRect(screens[i].frame, c.frames[i]));
            EXPECT_TRUE(SameRect(screens[i].visibleFrame, c.visible[i]));
            EXPECT_DOUBLE_EQ(screens[i].refreshRate, c.rates[i]);
        }
    }
}

// Under openbox: what a window manager reads from our windows, and what it asks of them.
class X11WindowManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"openbox", "xprop", "wmctrl"})
            if (!testsupport::HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
        ASSERT_TRUE(server.Ok()) << "Xvfb did not start";
        wm = std::make_unique<testsupport::BackgroundCommand>("DISPLAY=" + server.Display() +
                                                              " exec openbox --sm-disable 2>/dev/null");
        backend = X11Backend::Open(server.Display().c_str());
        ASSERT_NE(backend, nullptr);
        plat::SetBackend(backend.get());
        ASSERT_TRUE(backend->Start());
        // openbox owns the screen once it has set its supporting window.
        // openbox is ready once it published its work area (after it set up its screen).
        ASSERT_TRUE(Pump([&] {
            return Client("xprop -root _NET_WORKAREA").find("_NET_WORKAREA(CARDINAL) =") != std::string::npos;
        }));
        const double settle = plat::ClockNow() + 0.3;
        Pump([&] { return plat::ClockNow() > settle; });
    }
    void TearDown() override {
        plat::SetBackend(nullptr);
        backend.reset();
        wm.reset();
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
    template <typename F>
    bool Pump(F done, double wait = 10) {
        const double until = plat::ClockNow() + wait;
        while (!done()) {
            if (plat::ClockNow() > until) return false;
            Application::Shared()->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.02,
                                             plat::kRunLoopDefaultMode, true, nullptr);
        }
        return true;
    }
    std::string Client(const std::string& command) {
        testsupport::BackgroundCommand c("DISPLAY=" + server.Display() + " LC_ALL=C.UTF-8 " + command);
        int status = -1;
        const double until = plat::ClockNow() + 10;
        while (!c.Done(&status) && plat::ClockNow() < until)
            Application::Shared()->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.02,
                                             plat::kRunLoopDefaultMode, true, nullptr);
        return c.Output();
    }
    std::string Prop(const Window* w, const char* name) {
        return Client("xprop -id " + std::to_string(backend->XWindowOf(w)) + " " + name);
    }

    testsupport::XvfbServer server{"1280x800x24"};
    std::unique_ptr<testsupport::BackgroundCommand> wm;
    std::unique_ptr<X11Backend> backend;
};

TEST_F(X11WindowManagerTest, NamesTypesPlacementAndTheCloseBox) {
    struct Refuse : plat::WindowDelegate {
        int asked = 0;
        bool WindowShouldClose(Window*) override {
            ++asked;
            return false;
        }
    } refuse;
    plat::Ref<Window> w =
        Window::Create({200, 150, 320, 200}, plat::kTitledWindowMask | plat::kClosableWindowMask);
    w->SetTitle(
        "Gr\xc3\xbc\xc3\x9f"
        "e");
    w->SetDelegate(&refuse);
    w->MakeKeyAndOrderFront();
    plat::Ref<Window> panel =
        Window::CreatePanel({600, 150, 200, 120}, plat::kTitledWindowMask | plat::kUtilityWindowMask);
    panel->SetTitle("Inspector");
    panel->SetFloatingPanel(true);
    panel->OrderFront();

    EXPECT_NE(Prop(w.get(), "_NET_WM_NAME")
                  .find("\"Gr\xc3\xbc\xc3\x9f"
                        "e\""),
              std::string::npos)
        << Prop(w.get(), "_NET_WM_NAME");
    EXPECT_NE(Prop(w.get(), "WM_NAME")
                  .find("Gr\xc3\xbc\xc3\x9f"
                        "e"),
              std::string::npos)
        << Prop(w.get(), "WM_NAME");
    EXPECT_NE(Prop(w.get(), "_NET_WM_WINDOW_TYPE").find("_NET_WM_WINDOW_TYPE_NORMAL"), std::string::npos);
    EXPECT_NE(Prop(panel.get(), "_NET_WM_WINDOW_TYPE").find("_NET_WM_WINDOW_TYPE_UTILITY"),
              std::string::npos);
    EXPECT_NE(Prop(w.get(), "WM_CLASS").find("\"orbilume\", \"Orbilume\""), std::string::npos);
    EXPECT_NE(Prop(w.get(), "_NET_WM_PID").find(std::to_string(getpid())), std::string::npos);

    // Decorated by the manager, the content still lands where the application put it.
    ::Display* d = backend->XDisplay();
    auto shownAt = [&] {
        XSync(d, False);
        ::Window child;
        int x = 0, y = 0;
        XTranslateCoordinates(d, backend->XWindowOf(w.get()), DefaultRootWindow(d), 0, 0, &x, &y, &child);
        return plat::Point{double(x), double(y)};
    };
    ASSERT_TRUE(Pump([&] { return shownAt().x == 200 && shownAt().y == 150; }, 3))
        << shownAt().x << "," << shownAt().y;

    // The close box asks the window, which stays.
    Client(
        "wmctrl -c Gr\xc3\xbc\xc3\x9f"
        "e");
    ASSERT_TRUE(Pump([&] { return refuse.asked > 0; }, 5)) << Client("wmctrl -l");
    EXPECT_TRUE(w->IsVisible());
    w->SetDelegate(nullptr);
    w->Close();
    panel->Close();
}

TEST_F(X11WindowManagerTest, CursorsAreNamedAndImageCursorsKeepTheirHotSpot) {
    plat::Ref<Window> w = Window::Create({100, 100, 300, 200}, plat::kTitledWindowMask);
    w->MakeKeyAndOrderFront();
    ::Display* d = backend->XDisplay();
    ASSERT_TRUE(Pump([&] {
        XWindowAttributes a;
        return XGetWindowAttributes(d, backend->XWindowOf(w.get()), &a) && a.map_state == IsViewable;
    }));
    XWarpPointer(d, None, backend->XWindowOf(w.get()), 0, 0, 0, 0, 150, 100);
    XSync(d, False);
    auto shown = [d](int* xhot = nullptr, int* yhot = nullptr) {
        XSync(d, False);
        XFixesCursorImage* image = XFixesGetCursorImage(d);
        std::string name = image && image->name ? image->name : "";
        if (image && xhot) *xhot = image->xhot;
        if (image && yhot) *yhot = image->yhot;
        if (image) XFree(image);
        return name;
    };
    backend->SetCursor(plat::Cursor::Standard(plat::Cursor::Shape::kIBeam).get());
    EXPECT_EQ(shown(), "xterm");
    backend->SetCursor(nullptr);
    EXPECT_EQ(shown(), "left_ptr");

    std::vector<uint8_t> pixels(16 * 16 * 4, 0xFF);
    plat::Ref<plat::BitmapImage> image =
        plat::BitmapImage::Create(16, 16, plat::PixelFormat::kARGB32, pixels.data(), 64);
    ASSERT_TRUE(image);
    plat::Ref<plat::Cursor> custom = plat::Cursor::WithImage(image.get(), {7, 3});
    backend->SetCursor(custom.get());
    int xhot = -1, yhot = -1;
    EXPECT_EQ(shown(&xhot, &yhot), "image");
    EXPECT_EQ(xhot, 7);
    EXPECT_EQ(yhot, 3);
    w->Close();
}

TEST_F(X11WindowManagerTest, FrameExtentsTransientPanelsFullScreenIconAndActivation) {
    ::Display* d = backend->XDisplay();
    // Placed at the top of the screen, the title bar the manager adds stays on it.
    plat::Ref<Window> w = Window::Create({100, 0, 320, 200}, plat::kTitledWindowMask);
    w->MakeKeyAndOrderFront();
    ASSERT_TRUE(Pump([&] { return backend->FrameExtents(w.get()).y > 0; })) << "no _NET_FRAME_EXTENTS";
    const double top = backend->FrameExtents(w.get()).y;
    w->SetFrame({100, 0, 320, 200}, true);
    auto shownAt = [&] {
        XSync(d, False);
        ::Window child;
        int x = 0, y = 0;
        XTranslateCoordinates(d, backend->XWindowOf(w.get()), DefaultRootWindow(d), 0, 0, &x, &y, &child);
        return plat::Point{double(x), double(y)};
    };
    ASSERT_TRUE(Pump([&] { return shownAt().y >= top && shownAt().y <= top + 4; }, 3))
        << shownAt().y << " top " << top;

    // A panel stays with the main window.
    plat::Ref<Window> panel = Window::CreatePanel({500, 200, 200, 120}, plat::kTitledWindowMask);
    panel->OrderFront();
    char owner[32];
    std::snprintf(owner, sizeof(owner), "0x%lx", backend->XWindowOf(w.get()));
    EXPECT_NE(Prop(panel.get(), "WM_TRANSIENT_FOR").find(owner), std::string::npos)
        << Prop(panel.get(), "WM_TRANSIENT_FOR");

    // A borderless window covering the screen is full screen.
    plat::Ref<Window> output = Window::Create({0, 0, 1280, 800}, plat::kBorderlessWindowMask);
    output->OrderFront();
    EXPECT_NE(Prop(output.get(), "_NET_WM_STATE").find("_NET_WM_STATE_FULLSCREEN"), std::string::npos);
    output->SetFrame({100, 100, 640, 400}, true);
    EXPECT_TRUE(
        Pump([&] { return Prop(output.get(), "_NET_WM_STATE").find("FULLSCREEN") == std::string::npos; }, 3));
    output->Close();

    // The application's icon on every window.
    std::vector<uint8_t> pixels(16 * 16 * 4, 0x80);
    plat::Ref<plat::BitmapImage> icon =
        plat::BitmapImage::Create(16, 16, plat::PixelFormat::kARGB32, pixels.data(), 64);
    ASSERT_TRUE(icon);
    backend->SetApplicationIcon(icon.get());
    EXPECT_NE(Prop(w.get(), "_NET_WM_ICON").find("16 x 16"), std::string::npos)
        << Prop(w.get(), "_NET_WM_ICON");

    // Making another window key asks the manager to activate it.
    plat::Ref<Window> second = Window::Create({300, 300, 200, 150}, plat::kTitledWindowMask);
    second->MakeKeyAndOrderFront();
    const std::string want = std::to_string(backend->XWindowOf(second.get()));
    auto active = [&] {
        std::string out = Client("xprop -root _NET_ACTIVE_WINDOW");
        const size_t hash = out.find('#');
        return hash == std::string::npos ? std::string()
                                         : std::to_string(std::stoul(out.substr(hash + 2), nullptr, 16));
    };
    EXPECT_TRUE(Pump([&] { return active() == want; }, 3)) << active() << " want " << want;
    second->Close();
    panel->Close();
    w->Close();
}

// Counts what the application tells its delegate about activation.
struct ActivationCounter : plat::ApplicationDelegate {
    int became = 0, resigned = 0;
    void DidBecomeActive() override { ++became; }
    void DidResignActive() override { ++resigned; }
};

TEST_F(X11WindowManagerTest, TheApplicationIsInactiveWhileNoneOfItsWindowsHasTheFocus) {
    Application* app = Application::Shared();
    ActivationCounter counter;
    plat::ApplicationDelegate* previous = app->Delegate();
    app->SetDelegate(&counter);
    app->Deactivate();
    counter = {};
    plat::Ref<Window> w = Window::Create({100, 100, 300, 200}, plat::kTitledWindowMask);
    plat::Ref<Window> second = Window::Create({500, 100, 300, 200}, plat::kTitledWindowMask);
    second->OrderFront();
    w->MakeKeyAndOrderFront();
    // The manager gives the window the focus: the application becomes active.
    ASSERT_TRUE(Pump([&] { return app->IsActive(); })) << "never activated";
    EXPECT_EQ(counter.became, 1);

    // Another program's window takes the focus.
    ::Display* other = XOpenDisplay(server.Display().c_str());
    ASSERT_NE(other, nullptr);
    const ::Window foreign = XCreateSimpleWindow(other, DefaultRootWindow(other), 50, 400, 200, 100, 0, 0, 0);
    XStoreName(other, foreign, "other program");
    XMapWindow(other, foreign);
    XSync(other, False);
    auto activate = [&](unsigned long xw) { Client("wmctrl -i -a " + std::to_string(xw)); };
    ASSERT_TRUE(Pump([&] {
        XWindowAttributes a;
        XSync(other, False);
        return XGetWindowAttributes(other, foreign, &a) && a.map_state == IsViewable;
    }));
    activate(foreign);
    ASSERT_TRUE(Pump([&] { return !app->IsActive(); })) << "still active";
    EXPECT_EQ(counter.resigned, 1);

    // Back to ours, then from one of ours to the other: active throughout.
    activate(backend->XWindowOf(w.get()));
    ASSERT_TRUE(Pump([&] { return app->IsActive() && w->IsKeyWindow(); }));
    activate(backend->XWindowOf(second.get()));
    ASSERT_TRUE(Pump([&] { return second->IsKeyWindow(); }));
    const double settle = plat::ClockNow() + 0.3;
    Pump([&] { return plat::ClockNow() > settle; });
    EXPECT_TRUE(app->IsActive());
    EXPECT_EQ(counter.resigned, 1);
    EXPECT_EQ(counter.became, 2);

    XDestroyWindow(other, foreign);
    XCloseDisplay(other);
    second->Close();
    w->Close();
    app->SetDelegate(previous);
    app->Activate();
}

TEST_F(X11WindowManagerTest, MiniaturizedWindowsBecomeIconsOfTheManagerAndComeBack) {
    plat::Ref<Window> w =
        Window::Create({100, 100, 300, 200}, plat::kTitledWindowMask | plat::kMiniaturizableWindowMask);
    w->SetTitle("Iconic");
    w->MakeKeyAndOrderFront();
    ::Display* d = backend->XDisplay();
    const unsigned long xw = backend->XWindowOf(w.get());
    auto viewable = [&] {
        XSync(d, False);
        XWindowAttributes a;
        return XGetWindowAttributes(d, xw, &a) && a.map_state == IsViewable;
    };
    auto state = [&] { return Prop(w.get(), "WM_STATE _NET_WM_STATE"); };
    ASSERT_TRUE(Pump(viewable));

    w->SetMiniaturized(true);
    EXPECT_FALSE(w->IsVisible());
    // An icon: the manager keeps the window (WM_STATE Iconic, hidden, still in its list), not withdrawn.
    ASSERT_TRUE(Pump([&] { return state().find("Iconic") != std::string::npos; }, 5)) << state();
    EXPECT_NE(state().find("_NET_WM_STATE_HIDDEN"), std::string::npos) << state();
    EXPECT_NE(Client("wmctrl -l").find("Iconic"), std::string::npos);
    EXPECT_FALSE(viewable());

    w->SetMiniaturized(false);
    EXPECT_TRUE(w->IsVisible());
    EXPECT_TRUE(w->IsKeyWindow());
    ASSERT_TRUE(Pump([&] { return viewable() && state().find("Normal") != std::string::npos; }, 5))
        << state();

    // The manager iconifies it (its minimize button) and restores it: the window follows.
    Client("xdotool windowminimize --sync " + std::to_string(xw));
    ASSERT_TRUE(Pump([&] { return w->IsMiniaturized(); }, 5)) << state();
    EXPECT_FALSE(w->IsVisible());
    Client("wmctrl -i -a " + std::to_string(xw));
    ASSERT_TRUE(Pump([&] { return !w->IsMiniaturized() && w->IsVisible(); }, 5)) << state();
    EXPECT_TRUE(viewable());
    w->Close();
}

}  // namespace
