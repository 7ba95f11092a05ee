#include <gtest/gtest.h>

// After gtest: Xlib defines None and Bool as macros.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <string>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/XvfbServer.h"

namespace {

using plat::Application;
using plat::EventType;
using plat::Window;
using plat::x11::X11Backend;

// A backend on a private X server, installed for the test.
class X11BackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Ok()) << "Xvfb did not start";
        backend = X11Backend::Open(server.Display().c_str());
        ASSERT_NE(backend, nullptr);
        plat::SetBackend(backend.get());
        ASSERT_TRUE(backend->Start());
        sender = XOpenDisplay(server.Display().c_str());
        ASSERT_NE(sender, nullptr);
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
    void TearDown() override {
        if (sender) XCloseDisplay(sender);
        plat::SetBackend(nullptr);
        backend.reset();
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
    XWindowAttributes Attributes(const Window* w) {
        XSync(backend->XDisplay(), False);
        XWindowAttributes a = {};
        XGetWindowAttributes(backend->XDisplay(), backend->XWindowOf(w), &a);
        return a;
    }
    // Sends a synthetic event from another client to the window's X window and waits for what the
    // application gets.
    bool Deliver(const Window* w, XEvent x, uint64_t mask, plat::Event* out, double wait = 5) {
        x.xany.window = backend->XWindowOf(w);
        x.xany.display = sender;
        XSendEvent(sender, x.xany.window, False, 0, &x);
        XFlush(sender);
        return Application::Shared()->NextEvent(mask, plat::ClockNow() + wait, plat::kRunLoopDefaultMode,
                                                true, out);
    }

    testsupport::XvfbServer server{"1440x900x24"};
    std::unique_ptr<X11Backend> backend;
    ::Display* sender = nullptr;
};

TEST_F(X11BackendTest, ScreensAndTheChoiceOfBackend) {
    std::vector<plat::Screen> screens = backend->Screens();
    ASSERT_EQ(screens.size(), 1u);
    EXPECT_EQ(screens[0].frame.width, 1440);
    EXPECT_EQ(screens[0].frame.height, 900);
    EXPECT_EQ(screens[0].visibleFrame.height, 900);  // no window manager: no work area

    testsupport::EnvOverride platform("ORBILUME_PLATFORM", "x11");
    {
        testsupport::EnvOverride display("DISPLAY", server.Display().c_str());
        std::unique_ptr<plat::Backend> chosen = plat::MakeBackendFromEnvironment();
        EXPECT_STREQ(chosen->Name(), "x11");
    }
    testsupport::EnvOverride display("DISPLAY", ":9999");  // no server: headless after all
    std::unique_ptr<plat::Backend> fallback = plat::MakeBackendFromEnvironment();
    EXPECT_STREQ(fallback->Name(), "headless");
}

TEST_F(X11BackendTest, KeyRepeatTicksFollowTheServer) {
    ASSERT_TRUE(XkbSetAutoRepeatRate(sender, XkbUseCoreKbd, 500, 50));
    XSync(sender, False);
    EXPECT_EQ(backend->KeyRepeatDelayTicks(), 30);
    EXPECT_EQ(backend->KeyRepeatIntervalTicks(), 3);
}

TEST_F(X11BackendTest, WindowsFollowTheirNativeSide) {
    plat::Ref<Window> w =
        Window::Create({100, 120, 300, 200}, plat::kTitledWindowMask | plat::kClosableWindowMask);
    ASSERT_NE(backend->XWindowOf(w.get()), 0u);
    XWindowAttributes a = Attributes(w.get());
    EXPECT_EQ(a.width, 300);
    EXPECT_EQ(a.height, 200);
    EXPECT_EQ(a.map_state, IsUnmapped);

    w->MakeKeyAndOrderFront();
    EXPECT_EQ(Attributes(w.get()).map_state, IsViewable);
    w->SetTitle("Monitor");
    char* name = nullptr;
    XFetchName(backend->XDisplay(), backend->XWindowOf(w.get()), &name);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "Monitor");
    XFree(name);

    w->SetFrame(w->FrameRectForContentRect({50, 60, 400, 250}), false);
    a = Attributes(w.get());
    EXPECT_EQ(a.width, 400);
    EXPECT_EQ(a.height, 250);
    EXPECT_EQ(a.x, 50);
    EXPECT_EQ(a.y, 60);

    w->OrderOut();
    EXPECT_EQ(Attributes(w.get()).map_state, IsUnmapped);
    w->Close();
    const plat::Window* closed = w.get();
    w = nullptr;
    EXPECT_EQ(backend->XWindowOf(closed), 0u);
}

// Another program's windows over ours: a plain one takes the point; its override-redirect ones
// (menus, tooltips, drag icons) do not.
TEST_F(X11BackendTest, TheWindowAtAPointFollowsTheServersStacking) {
    plat::Ref<Window> w = Window::Create({100, 100, 300, 200}, plat::kTitledWindowMask);
    w->MakeKeyAndOrderFront();
    auto cover = [&](int x, bool overrideRedirect) {
        XSetWindowAttributes attrs = {};
        attrs.override_redirect = overrideRedirect;
        const ::Window c = XCreateWindow(sender, DefaultRootWindow(sender), x, 100, 50, 50, 0, CopyFromParent,
                                         InputOutput, CopyFromParent, CWOverrideRedirect, &attrs);
        XMapRaised(sender, c);
        XSync(sender, False);
    };
    cover(110, false);
    cover(200, true);
    struct Case {
        plat::Point screen;
        bool ours;
    } cases[] = {{{120, 120}, false}, {{220, 120}, true}, {{300, 250}, true}, {{50, 50}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.screen.x) + "," + std::to_string(c.screen.y));
        Window* at = nullptr;
        ASSERT_TRUE(backend->WindowAt(c.screen, &at));
        EXPECT_EQ(at, c.ours ? w.get() : nullptr);
    }
    w->Close();
}

TEST_F(X11BackendTest, ServerInputBecomesEvents) {
    struct Closer : plat::WindowDelegate {
        int asked = 0;
        bool WindowShouldClose(Window*) override {
            ++asked;
            return false;
        }
    } closer;
    plat::Ref<Window> w = Window::Create({10, 10, 200, 100}, plat::kTitledWindowMask);
    w->SetDelegate(&closer);
    w->OrderFront();

    XEvent press = {};
    press.type = ButtonPress;
    press.xbutton.button = 1;
    press.xbutton.x = 12;
    press.xbutton.y = 34;
    press.xbutton.state = ControlMask;
    plat::Event e;
    ASSERT_TRUE(Deliver(w.get(), press, plat::EventMaskOf(EventType::kLeftMouseDown), &e));
    EXPECT_EQ(e.windowNumber, w->Number());
    EXPECT_EQ(e.location.x, 12);
    EXPECT_EQ(e.location.y, 34);
    EXPECT_EQ(e.modifierFlags, plat::kCommandKeyMask);  // Ctrl is Command

    XEvent wheel = press;
    wheel.xbutton.button = 5;
    ASSERT_TRUE(Deliver(w.get(), wheel, plat::EventMaskOf(EventType::kScrollWheel), &e));
    EXPECT_EQ(e.deltaY, -1);

    struct KeyCase {
        KeySym sym;
        unsigned state;
        const char* chars;
        const char* plain;
    } keys[] = {
        {XK_a, 0, "a", "a"},
        {XK_a, ShiftMask, "A", "A"},
        {XK_Up, 0, "\xef\x9c\x80", "\xef\x9c\x80"},  // U+F700
        {XK_Return, 0, "\r", "\r"},
    };
    for (const KeyCase& k : keys) {
        XEvent key = {};
        key.type = KeyPress;
        key.xkey.keycode = XKeysymToKeycode(sender, k.sym);
        key.xkey.state = k.state;
        ASSERT_TRUE(Deliver(w.get(), key, plat::EventMaskOf(EventType::kKeyDown), &e)) << k.chars;
        EXPECT_EQ(e.characters, k.chars);
        EXPECT_EQ(e.charactersIgnoringModifiers, k.plain);
    }

    // The close box asks the delegate.
    XEvent close = {};
    close.type = ClientMessage;
    close.xclient.message_type = XInternAtom(sender, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = long(XInternAtom(sender, "WM_DELETE_WINDOW", False));
    Deliver(w.get(), close, plat::EventMaskOf(EventType::kApplicationDefined), nullptr, 0);
    for (double end = plat::ClockNow() + 5; closer.asked == 0 && plat::ClockNow() < end;)
        plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.05, true);
    EXPECT_EQ(closer.asked, 1);
    EXPECT_TRUE(w->IsVisible());

    // Another client destroys the X window: requests about it fail without ending the process.
    XDestroyWindow(sender, backend->XWindowOf(w.get()));
    XSync(sender, False);
    w->SetTitle("gone");
    w->SetFrame(w->FrameRectForContentRect({0, 0, 50, 50}), false);
    XSync(backend->XDisplay(), False);
    backend->Pump();

    w->SetDelegate(nullptr);
    w->Close();
    w = nullptr;
}

}  // namespace
