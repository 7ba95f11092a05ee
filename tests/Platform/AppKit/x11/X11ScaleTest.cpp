#include <gtest/gtest.h>

// After gtest: Xlib defines None and Bool as macros.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/extensions/Xfixes.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Cursor.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/XvfbServer.h"

namespace {

using plat::Application;
using plat::Event;
using plat::EventType;
using plat::Rect;
using plat::Window;
using plat::x11::X11Backend;

// White, with a black line one point wide down column 10.
struct Line : plat::View {
    explicit Line(const Rect& r) : plat::View(r) {}
    void DrawRect(const Rect&) override {
        plat::DrawContext* ctx = plat::CurrentDrawContext();
        ctx->SetFillColor({1, 1, 1, 1});
        ctx->FillRect(Bounds());
        ctx->SetStrokeColor({0, 0, 0, 1});
        ctx->SetLineWidth(1);
        ctx->BeginPath();
        ctx->MoveTo(10.5, 0);
        ctx->LineTo(10.5, Bounds().height);
        ctx->StrokePath();
        ++draws;
    }
    int draws = 0;
};

class X11ScaleTest : public ::testing::Test {
protected:
    void TearDown() override {
        plat::SetBackend(nullptr);
        backend.reset();
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
    void Open(int32_t scale) {
        X11Backend::Options options;
        options.scale = scale;
        backend = X11Backend::Open(server.Display().c_str(), options);
        ASSERT_NE(backend, nullptr);
        plat::SetBackend(backend.get());
        ASSERT_TRUE(backend->Start());
    }
    template <typename F>
    bool Settle(F done, double wait = 5) {
        const double until = plat::ClockNow() + wait;
        while (!done() && plat::ClockNow() < until)
            Application::Shared()->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.02,
                                             plat::kRunLoopDefaultMode, true, nullptr);
        return done();
    }
    uint32_t ScreenPixel(int x, int y) {
        ::Display* d = backend->XDisplay();
        XSync(d, False);
        XImage* image = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) return 0xDEADBEEF;
        const uint32_t p = uint32_t(XGetPixel(image, 0, 0)) & 0xFFFFFF;
        XDestroyImage(image);
        return p;
    }

    testsupport::XvfbServer server{"640x480x24"};
    std::unique_ptr<X11Backend> backend;
};

TEST_F(X11ScaleTest, AtScaleTwoAPointIsTwoPixelsInGeometryDrawingAndInput) {
    ASSERT_TRUE(server.Ok());
    Open(2);
    EXPECT_EQ(backend->BackingScale(), 2);
    std::vector<plat::Screen> screens = backend->Screens();
    ASSERT_FALSE(screens.empty());
    EXPECT_EQ(screens[0].frame.width, 320);
    EXPECT_EQ(screens[0].frame.height, 240);
    EXPECT_EQ(screens[0].backingScaleFactor, 2);

    plat::Ref<Window> w = Window::Create({40, 50, 100, 80}, plat::kBorderlessWindowMask);
    auto* line = new Line(Rect{0, 0, 100, 80});
    w->SetContentView(line);
    line->SetNeedsDisplay(true);
    w->MakeKeyAndOrderFront();
    ASSERT_TRUE(Settle([&] { return line->draws > 0; }));
    EXPECT_EQ(w->BackingStore()->Width(), 200);
    EXPECT_EQ(w->BackingStore()->Height(), 160);

    ::Display* d = backend->XDisplay();
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(d, backend->XWindowOf(w.get()), &a));
    EXPECT_EQ(a.width, 200);
    EXPECT_EQ(a.height, 160);
    // The window sits at (80, 100) in pixels; the line covers pixel columns 20 and 21.
    for (int y : {102, 150, 250}) {
        SCOPED_TRACE(y);
        EXPECT_EQ(ScreenPixel(80 + 19, y), 0xFFFFFFu);
        EXPECT_EQ(ScreenPixel(80 + 20, y), 0u);
        EXPECT_EQ(ScreenPixel(80 + 21, y), 0u);
        EXPECT_EQ(ScreenPixel(80 + 22, y), 0xFFFFFFu);
    }

    // A click at pixel (120, 130) is at point (20, 15) of the content.
    if (testsupport::HaveProgram("xdotool")) {
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
        testsupport::BackgroundCommand click("DISPLAY=" + server.Display() +
                                             " xdotool mousemove 120 130 click 1");
        Event e;
        bool got = false;
        const double until = plat::ClockNow() + 10;
        while (!got && plat::ClockNow() < until)
            got = Application::Shared()->NextEvent(plat::EventMaskOf(EventType::kLeftMouseDown),
                                                   plat::ClockNow() + 0.05, plat::kRunLoopDefaultMode, true,
                                                   &e);
        ASSERT_TRUE(got);
        EXPECT_EQ(e.location.x, 20);
        EXPECT_EQ(e.location.y, 15);
        EXPECT_EQ(backend->MouseLocation().x, 60);
        EXPECT_EQ(backend->MouseLocation().y, 65);
    }
    w->Close();
    line->Release();
}

TEST_F(X11ScaleTest, TheScaleComesFromTheEnvironmentElseTheDpiResource) {
    ASSERT_TRUE(server.Ok());
    {
        testsupport::EnvOverride env("ORBILUME_SCALE", "3");
        Open(0);
        EXPECT_EQ(backend->BackingScale(), 3);
        TearDown();
    }
    testsupport::EnvOverride env("ORBILUME_SCALE", nullptr);
    Open(0);
    EXPECT_EQ(backend->BackingScale(), 1);
    TearDown();
    if (!testsupport::HaveProgram("xrdb")) GTEST_SKIP() << "xrdb is not installed";
    struct Case {
        const char* resources;
        double scale;
    } cases[] = {{"Xft.dpi: 192", 2}, {"Xft.dpi: 0", 1}, {"Xft.dpi: -5", 1}, {"Xft.dpi: lots", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.resources);
        testsupport::BackgroundCommand load("DISPLAY=" + server.Display() + " xrdb -load -", c.resources);
        int status = -1;
        const double until = plat::ClockNow() + 10;
        while (!load.Done(&status) && plat::ClockNow() < until) usleep(10000);
        ASSERT_EQ(status, 0);
        Open(0);
        EXPECT_EQ(backend->BackingScale(), c.scale);
        TearDown();
    }
}

// An XSETTINGS manager of the screen, played by another connection: its settings property on a
// window of its own, which owns the manager selection.
class FakeSettingsManager {
public:
    FakeSettingsManager(const std::string& display, const std::string& theme, int32_t size) {
        fDisplay = XOpenDisplay(display.c_str());
        if (!fDisplay) return;
        std::vector<uint8_t> blob{0, 0, 0, 0};
        auto u16 = [&](uint16_t v) {
            blob.push_back(uint8_t(v));
            blob.push_back(uint8_t(v >> 8));
        };
        auto u32 = [&](uint32_t v) {
            u16(uint16_t(v));
            u16(uint16_t(v >> 16));
        };
        auto text = [&](const std::string& t) {
            blob.insert(blob.end(), t.begin(), t.end());
            while (blob.size() % 4) blob.push_back(0);
        };
        auto head = [&](uint8_t type, const std::string& name) {
            blob.push_back(type);
            blob.push_back(0);
            u16(uint16_t(name.size()));
            text(name);
            u32(0);
        };
        u32(1);  // serial
        u32(2);  // settings
        head(1, "Gtk/CursorThemeName");
        u32(uint32_t(theme.size()));
        text(theme);
        head(0, "Gtk/CursorThemeSize");
        u32(uint32_t(size));
        fWindow = XCreateSimpleWindow(fDisplay, DefaultRootWindow(fDisplay), 0, 0, 1, 1, 0, 0, 0);
        const Atom property = XInternAtom(fDisplay, "_XSETTINGS_SETTINGS", False);
        XChangeProperty(fDisplay, fWindow, property, property, 8, PropModeReplace, blob.data(), int(blob.size()));
        XSetSelectionOwner(fDisplay, XInternAtom(fDisplay, "_XSETTINGS_S0", False), fWindow, CurrentTime);
        XSync(fDisplay, False);
    }
    ~FakeSettingsManager() {
        if (fDisplay) XCloseDisplay(fDisplay);
    }
    bool Ok() const { return fDisplay != nullptr; }

private:
    ::Display* fDisplay = nullptr;
    ::Window fWindow = 0;
};

TEST_F(X11ScaleTest, CursorsFollowTheThemeAndSizeOfTheDesktopsSettings) {
    ASSERT_TRUE(server.Ok());
    FakeSettingsManager manager(server.Display(), "OrbilumeTestTheme", 48);
    ASSERT_TRUE(manager.Ok());
    Open(1);
    EXPECT_STREQ(XcursorGetTheme(backend->XDisplay()), "OrbilumeTestTheme");
    EXPECT_EQ(XcursorGetDefaultSize(backend->XDisplay()), 48);
    // The theme is not installed: the cursor still comes (from the core font), named.
    plat::Ref<Window> w = Window::Create({10, 10, 100, 100}, plat::kTitledWindowMask);
    w->MakeKeyAndOrderFront();
    ::Display* d = backend->XDisplay();
    ASSERT_TRUE(Settle([&] {
        XWindowAttributes a;
        return XGetWindowAttributes(d, backend->XWindowOf(w.get()), &a) && a.map_state == IsViewable;
    }));
    XWarpPointer(d, None, backend->XWindowOf(w.get()), 0, 0, 0, 0, 50, 50);
    backend->SetCursor(plat::Cursor::Standard(plat::Cursor::Shape::kIBeam).get());
    XSync(d, False);
    XFixesCursorImage* image = XFixesGetCursorImage(d);
    ASSERT_NE(image, nullptr);
    EXPECT_STREQ(image->name, "xterm");
    XFree(image);
    w->Close();
}

}  // namespace
