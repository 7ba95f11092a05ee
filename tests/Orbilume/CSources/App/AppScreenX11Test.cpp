// The screen modes on a real X server: the application with the real monitor windows on a private
// Xvfb, without a window manager on two RandR monitors and under openbox on one screen. With
// 'mnmd' 1 each monitor window covers the screen it was on once the screen-mode timer fires, a
// second one on a taken screen is hidden, and Escape brings every monitor back to its window.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/App/CObDoc.h"
#include "Orbilume/CSources/App/DocWindows.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Editors/CDocMonitorWin.h"
#include "Orbilume/CSources/Editors/CMonitorWin.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/Orbilume/CSources/App/AppTestSupport.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/XvfbServer.h"

// Xlib last: its macros must not reach the headers above.
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>
// clang-format on

namespace {

using apptest::AppFixture;
using P = CAppPrefs;

struct Area {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Area& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
};

std::ostream& operator<<(std::ostream& out, const Area& a) {
    return out << a.width << "x" << a.height << "+" << a.x << "+" << a.y;
}

// Splits the server's one output into RandR monitors (the first keeps the output, so the server's
// own monitor for it goes; the others have none).
bool SetMonitors(const std::string& display, const std::vector<Area>& monitors) {
    ::Display* d = XOpenDisplay(display.c_str());
    if (!d) return false;
    const ::Window root = DefaultRootWindow(d);
    XRRScreenResources* res = XRRGetScreenResourcesCurrent(d, root);
    bool ok = res && res->noutput > 0;
    for (size_t i = 0; ok && i < monitors.size(); ++i) {
        XRRMonitorInfo* m = XRRAllocateMonitor(d, i == 0 ? 1 : 0);
        m->name = XInternAtom(d, ("M" + std::to_string(i)).c_str(), False);
        m->primary = i == 0;
        m->x = monitors[i].x;
        m->y = monitors[i].y;
        m->width = monitors[i].width;
        m->height = monitors[i].height;
        m->mwidth = monitors[i].width / 4;
        m->mheight = monitors[i].height / 4;
        if (i == 0) m->outputs[0] = res->outputs[0];
        XRRSetMonitor(d, root, m);
        XRRFreeMonitors(m);
    }
    int n = 0;
    XSync(d, False);
    if (XRRMonitorInfo* list = XRRGetMonitors(d, root, True, &n)) XRRFreeMonitors(list);
    if (res) XRRFreeScreenResources(res);
    XCloseDisplay(d);
    return ok && n == int(monitors.size());
}

class AppScreenX11Test : public ::testing::Test {
protected:
    // An Xvfb of that size, split into the monitors (none: its one screen), with openbox or not.
    void Start(const char* size, const std::vector<Area>& monitors, bool manager) {
        for (const char* program : {"Xvfb", manager ? "openbox" : "Xvfb"})
            if (!testsupport::HaveProgram(program)) {
                GTEST_SKIP() << program << " is not installed";
            }
        server = std::make_unique<testsupport::XvfbServer>(size);
        ASSERT_TRUE(server->Ok()) << "Xvfb did not start";
        if (!monitors.empty()) {
            ASSERT_TRUE(SetMonitors(server->Display(), monitors));
        }
        view = XOpenDisplay(server->Display().c_str());
        ASSERT_NE(view, nullptr);
        if (manager) {
            wm = std::make_unique<testsupport::BackgroundCommand>("DISPLAY=" + server->Display() +
                                                                  " exec openbox --sm-disable 2>/dev/null");
            // openbox is ready once it published its work area.
            ASSERT_TRUE(Pump([&] { return HasRootProperty("_NET_WORKAREA"); }, 20))
                << "openbox did not start";
        }
        backend = plat::x11::X11Backend::Open(server->Display().c_str());
        ASSERT_TRUE(backend);
        previous = plat::CurrentBackend();
        plat::SetBackend(backend.get());
        ASSERT_TRUE(backend->Start());
        CDocMonitorWin::Install();
        app.Create();
    }
    void TearDown() override {
        app.Delete();
        SetDocWindowFactories(nullptr);
        if (backend) {
            plat::SetBackend(previous);
            backend.reset();
        }
        plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
        if (view) XCloseDisplay(view);
        wm.reset();
        server.reset();
    }

    // Runs the run loop, the application's timers and the window events until done() or the time
    // is up.
    bool Pump(const std::function<bool()>& done, double seconds = 10) {
        const double until = plat::ClockNow() + seconds;
        while (!done()) {
            if (plat::ClockNow() > until) return false;
            plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.01, true);
            const uint32_t now = LTimer::Now();
            for (LMessage m = LTimer::NextExpired(now, nullptr, nullptr, true); !m.IsEmpty();
                 m = LTimer::NextExpired(now, nullptr, nullptr, true))
                LHandler::Dispatch(m);
        }
        return true;
    }
    bool HasRootProperty(const char* name) {
        Atom type = 0;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        const bool found =
            XGetWindowProperty(view, DefaultRootWindow(view), XInternAtom(view, name, False), 0, 4, False,
                               AnyPropertyType, &type, &format, &n, &after, &data) == Success &&
            type != 0;
        if (data) XFree(data);
        return found;
    }

    // The documents in the order they were opened (the list itself follows the front window).
    CObDoc* Doc(uint32_t i) { return i < docs.size() ? docs[i] : nullptr; }
    CMonitorWin* Monitor(uint32_t i) {
        auto* monitor = static_cast<CDocMonitorWin*>(Doc(i)->Monitor());
        return monitor ? monitor->Window() : nullptr;
    }
    unsigned long XWindow(uint32_t i) {
        CMonitorWin* w = Monitor(i);
        return w && w->Window() ? backend->XWindowOf(w->Window()->NativeWindow()) : 0;
    }
    // Where the server shows the monitor's window (its content, without a manager's frame).
    Area Shown(uint32_t i) {
        const unsigned long xw = XWindow(i);
        XSync(view, False);
        XWindowAttributes a;
        ::Window child;
        Area out;
        if (!xw || !XGetWindowAttributes(view, xw, &a) || a.map_state != IsViewable) return out;
        XTranslateCoordinates(view, xw, DefaultRootWindow(view), 0, 0, &out.x, &out.y, &child);
        out.width = a.width;
        out.height = a.height;
        return out;
    }
    bool Viewable(uint32_t i) { return Shown(i).width > 0; }
    // Whether the window's _NET_WM_STATE holds the full-screen state.
    bool FullScreenState(uint32_t i) {
        const unsigned long xw = XWindow(i);
        Atom type = 0;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        bool full = false;
        if (xw &&
            XGetWindowProperty(view, xw, XInternAtom(view, "_NET_WM_STATE", False), 0, 16, False, XA_ATOM,
                               &type, &format, &n, &after, &data) == Success &&
            data) {
            const Atom want = XInternAtom(view, "_NET_WM_STATE_FULLSCREEN", False);
            for (unsigned long k = 0; k < n; ++k) full = full || reinterpret_cast<Atom*>(data)[k] == want;
        }
        if (data) XFree(data);
        return full;
    }
    void Open(const std::vector<std::string>& paths) {
        std::vector<LFsSpec> specs;
        for (const std::string& p : paths) specs.push_back(CMacFileU::LFsSpecFromPath(p.c_str()));
        gMainApp->OpenRequest(specs);
        for (uint32_t i = 0; i < gMainApp->DocumentCount(); ++i) docs.push_back(gMainApp->DocumentAt(i));
    }
    void Escape() {
        plat::Event e;
        e.type = plat::EventType::kKeyDown;
        e.characters = e.charactersIgnoringModifiers = "\x1b";
        gKeyboard->Fill(e);
        (void)gMainApp->Handle(LMessage(LKeyboard_Char, gKeyboard, gMainApp));
    }
    uint8_t Mode() { return CAppPrefs::Get()->Root()->GetByte(P::kPrefScreenMode); }
    // 'mnmd' 1, as a start with it stored: an open request (here of the show already open) starts
    // the screen-mode timer, whose expiry applies the mode.
    void FullScreenByTheTimer() {
        (void)CAppPrefs::Get()->RootRef().SetByte(nullptr, P::kPrefScreenMode, 1);
        const uint32_t count = gMainApp->DocumentCount();
        gMainApp->OpenRequest({CMacFileU::LFsSpecFromPath(app.ShowPath().c_str())});
        EXPECT_EQ(gMainApp->DocumentCount(), count);
        EXPECT_TRUE(gMainApp->ScreenModeTimer().IsRunning());
    }

    AppFixture app;
    std::unique_ptr<testsupport::XvfbServer> server;
    std::unique_ptr<testsupport::BackgroundCommand> wm;
    std::unique_ptr<plat::x11::X11Backend> backend;
    plat::Backend* previous = nullptr;
    ::Display* view = nullptr;
    std::vector<CObDoc*> docs;
};

TEST_F(AppScreenX11Test, WithoutAManagerEachMonitorCoversItsOwnScreenAndEscapeRestoresThem) {
    const Area left{0, 0, 1440, 900}, right{1440, 0, 1024, 768};
    Start("2464x900x24", {left, right}, false);
    if (IsSkipped() || HasFatalFailure()) return;
    app.shows.Write("other.obm", AppFixture::ReadFile(app.ShowPath()));
    app.shows.Write("third.obm", AppFixture::ReadFile(app.ShowPath()));
    Open({app.ShowPath(), app.shows.File("other.obm"), app.shows.File("third.obm")});
    ASSERT_EQ(gMainApp->DocumentCount(), 3u);
    // The second show's window is moved onto the right screen at the size its layout asks for
    // (512 x 384 and the menu strip); the third stays on the left one.
    Doc(1)->Monitor()->SetFrame(CLRect{1600, 100, 1600 + 512, 100 + 426});
    std::vector<Area> windowed;
    for (uint32_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(Pump([&] { return Viewable(i); })) << i;
        windowed.push_back(Shown(i));
        EXPECT_FALSE(Monitor(i)->IsFullScreen());
    }
    EXPECT_GE(windowed[1].x, 1440) << windowed[1];

    FullScreenByTheTimer();
    // The left screen goes to whichever of the two shows on it is nearer the front of the list.
    ASSERT_TRUE(Pump(
        [&] {
            return Monitor(1)->IsFullScreen() && (Monitor(0)->IsFullScreen() || Monitor(2)->IsFullScreen());
        },
        5))
        << "the screen mode was not applied";
    const uint32_t onLeft = Monitor(0)->IsFullScreen() ? 0 : 2, hidden = 2 - onLeft;
    EXPECT_FALSE(Monitor(hidden)->IsFullScreen());
    EXPECT_TRUE(Pump([&] { return Shown(onLeft) == left && Shown(1) == right && !Viewable(hidden); }))
        << Shown(onLeft) << " " << Shown(1) << " " << Shown(hidden);
    EXPECT_TRUE(FullScreenState(onLeft));
    EXPECT_TRUE(FullScreenState(1));
    // The document sees its monitor at the screen's bounds.
    EXPECT_EQ(Doc(onLeft)->Monitor()->Frame(), (CLRect{0, 0, 1440, 900}));
    Escape();
    EXPECT_EQ(Mode(), 0);
    for (uint32_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(Monitor(i)->IsFullScreen());
        EXPECT_TRUE(Pump([&] { return Shown(i) == windowed[i]; })) << Shown(i) << " not " << windowed[i];
        EXPECT_FALSE(FullScreenState(i));
    }

    // Spanning: the front show's monitor alone, over the other screen, then over both.
    const std::vector<std::pair<const char*, Area>> spans = {{"CAppCmd_SubScreens", right},
                                                             {"CAppCmd_AllScreens", Area{0, 0, 2464, 900}}};
    for (const auto& [command, area] : spans) {
        SCOPED_TRACE(command);
        AppFixture::Command(gMainApp, command);
        std::vector<uint32_t> full;
        for (uint32_t i = 0; i < 3; ++i)
            if (Monitor(i)->IsFullScreen()) full.push_back(i);
        ASSERT_EQ(full.size(), 1u);
        const Area& want = area;
        EXPECT_TRUE(Pump([&] {
            for (uint32_t i = 0; i < 3; ++i)
                if (i != full[0] && Viewable(i)) return false;
            return Shown(full[0]) == want;
        })) << Shown(full[0]);
    }
    AppFixture::Command(gMainApp, "CAppCmd_NoScreen");
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_TRUE(Pump([&] { return Shown(i) == windowed[i]; }))
            << i << ": " << Shown(i) << " not " << windowed[i];
}

TEST_F(AppScreenX11Test, UnderAWindowManagerTheMonitorIsFullScreenAndEscapeGivesBackItsWindow) {
    Start("1440x900x24", {}, true);
    if (IsSkipped() || HasFatalFailure()) return;
    Open({app.ShowPath()});
    ASSERT_EQ(gMainApp->DocumentCount(), 1u);
    ASSERT_TRUE(Pump([&] { return Viewable(0); }));
    // The manager's frame settles before the window's place is taken.
    (void)Pump([] { return false; }, 0.5);
    const Area windowed = Shown(0);
    EXPECT_LT(windowed.width, 1440);

    FullScreenByTheTimer();
    ASSERT_TRUE(Pump([&] { return Monitor(0)->IsFullScreen(); }, 5))
        << "the screen mode was not applied: mode " << int(Mode()) << " timer "
        << gMainApp->ScreenModeTimer().IsRunning() << " docs " << gMainApp->DocumentCount();
    EXPECT_TRUE(Pump([&] { return Shown(0) == (Area{0, 0, 1440, 900}); })) << Shown(0);
    EXPECT_TRUE(FullScreenState(0));

    Escape();
    EXPECT_EQ(Mode(), 0);
    EXPECT_FALSE(Monitor(0)->IsFullScreen());
    EXPECT_TRUE(Pump([&] { return Shown(0) == windowed; })) << Shown(0) << " not " << windowed;
    EXPECT_FALSE(FullScreenState(0));
}

}  // namespace
