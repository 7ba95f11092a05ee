#include <gtest/gtest.h>

// After gtest: Xlib defines None and Bool as macros.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <string>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Graphics/BitmapImage.h"
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

// A drag image like a list row's: a translucent grey outline and an opaque block, the rest clear.
// Without a compositing manager the window is shaped to the image and shows its colours opaque;
// with one it is an ARGB window holding the premultiplied pixels.
TEST_F(X11BackendTest, TheDragImageShowsItsPixelsAndWhatIsBelowThroughItsClearParts) {
    constexpr int kW = 24, kH = 12;
    constexpr uint32_t kGrey = 0x40202020, kRed = 0xffff0000;
    std::vector<uint32_t> pixels(kW * kH, 0);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            if (x < 2 || y < 2 || x >= kW - 2 || y >= kH - 2) pixels[y * kW + x] = kGrey;
            if (x >= 10 && x < 14 && y >= 4 && y < 8) pixels[y * kW + x] = kRed;
        }
    plat::Ref<plat::BitmapImage> image = plat::BitmapImage::Create(
        kW, kH, plat::PixelFormat::kARGB32, reinterpret_cast<const uint8_t*>(pixels.data()), kW * 4);
    ASSERT_NE(image, nullptr);
    // A window below with a colour of its own where the image goes.
    const ::Window below =
        XCreateSimpleWindow(sender, DefaultRootWindow(sender), 90, 90, 200, 100, 0, 0, 0x3366cc);
    XMapRaised(sender, below);
    XSync(sender, False);
    auto read = [&](::Window from, int x, int y) {
        XSync(backend->XDisplay(), False);
        std::vector<uint32_t> out(kW * kH);
        XImage* got = XGetImage(sender, from, x, y, kW, kH, AllPlanes, ZPixmap);
        if (!got) return out;
        for (int j = 0; j < kH; ++j)
            for (int i = 0; i < kW; ++i) out[j * kW + i] = uint32_t(XGetPixel(got, i, j)) & 0xffffff;
        XDestroyImage(got);
        return out;
    };
    const ::Window root = DefaultRootWindow(sender);
    const std::vector<uint32_t> under = read(root, 100, 100);
    for (uint32_t p : under) ASSERT_EQ(p, 0x3366ccu);
    auto expectImage = [&](const std::vector<uint32_t>& shown, bool composited) {
        for (int j = 0; j < kH; ++j)
            for (int i = 0; i < kW; ++i) {
                const uint32_t p = pixels[j * kW + i];
                const uint32_t want = composited   ? p & 0xffffff
                                      : p == kGrey ? 0x808080u
                                      : p == kRed  ? 0xff0000u
                                                   : under[j * kW + i];
                ASSERT_EQ(shown[j * kW + i], want) << "at " << i << "," << j;
            }
    };

    backend->ShowDragImage(image.get(), {100, 100});
    expectImage(read(root, 100, 100), false);
    backend->MoveDragImage({150, 110});
    expectImage(read(root, 150, 110), false);
    EXPECT_EQ(read(root, 100, 100), under);
    backend->HideDragImage(false);
    EXPECT_EQ(read(root, 150, 110), under);

    // A compositing manager holds its selection.
    const ::Window manager = XCreateSimpleWindow(sender, root, 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(sender, XInternAtom(sender, "_NET_WM_CM_S0", False), manager, CurrentTime);
    XSync(sender, False);
    backend->ShowDragImage(image.get(), {100, 100});
    XSync(backend->XDisplay(), False);
    ::Window r = 0, parent = 0, *children = nullptr;
    unsigned int n = 0;
    ASSERT_TRUE(XQueryTree(sender, root, &r, &parent, &children, &n));
    ASSERT_GT(n, 0u);
    const ::Window drag = children[n - 1];
    XFree(children);
    XWindowAttributes a = {};
    ASSERT_TRUE(XGetWindowAttributes(sender, drag, &a));
    EXPECT_EQ(a.depth, 32);
    EXPECT_TRUE(a.override_redirect);
    expectImage(read(drag, 0, 0), true);
    backend->HideDragImage(false);
    EXPECT_EQ(read(root, 100, 100), under);
}

}  // namespace
