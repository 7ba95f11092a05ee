// The dimmer window in the real program on a private Xvfb, inside this test's own network namespace
// (the output it switches on sends nothing outside): `orbilume` with the show fixture and
// preferences whose "lastfile" is a copy of the layout fixture. The window is opened from the menu
// strip; xdotool clicks a device, drags it and undoes the drag, and switches the output on with the
// window's check box; the test reads the screen with XGetImage and the files the program leaves.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Common/Mac/CPrefsRecord.h"
#include "Common/ObjC/CNativeServices.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"
#include "Platform/Preferences/Preferences.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/NetNamespace.h"
#include "tests/support/TempDir.h"
#include "tests/support/XvfbServer.h"

// Xlib last: its macros must not reach the headers above.
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/support/WindowShot.h"
// clang-format on

extern char** environ;

namespace {

using testsupport::Near;

constexpr int32_t kStrip = 20;      // the menu strip above a window's content
constexpr uint32_t kGrey = 0x808080;  // an unselected device's outline

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WaitFor(const std::function<bool()>& done, double seconds) {
    const auto t0 = std::chrono::steady_clock::now();
    while (!done()) {
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() > seconds) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

struct Rect {
    int32_t x = 0, y = 0, w = 0, h = 0;
};

// Root pixels of a rectangle, addressed in its own coordinates.
struct Shot {
    Rect at;
    std::vector<uint32_t> px;
    uint32_t Get(int32_t x, int32_t y) const {
        if (x < 0 || y < 0 || x >= at.w || y >= at.h || px.empty()) return 0xFF000000u;
        return px[size_t(y) * size_t(at.w) + size_t(x)];
    }
    // Pixels of the colour (within the tolerance) inside r.
    int Count(const Rect& r, uint32_t colour, int tolerance = 3) const {
        int n = 0;
        for (int32_t y = r.y; y < r.y + r.h; ++y)
            for (int32_t x = r.x; x < r.x + r.w; ++x) n += Near(Get(x, y), colour, tolerance);
        return n;
    }
};

// A device's outline in a shot: the longest horizontal run of the colour inside the area, and the
// other horizontal edge below it (the same run's ends).
struct Box {
    int32_t left = 0, right = 0, top = 0, bottom = 0;
    bool Ok() const { return right - left > 10 && bottom - top > 10; }
    int32_t CentreX() const { return (left + right) / 2; }
    int32_t CentreY() const { return (top + bottom) / 2; }
};

Box FindOutline(const Shot& s, const Rect& area, uint32_t colour) {
    Box best;
    auto runAt = [&](int32_t y, int32_t x0, int32_t x1) {
        for (int32_t x = x0; x <= x1; ++x)
            if (!Near(s.Get(x, y), colour, 4)) return false;
        return true;
    };
    for (int32_t y = area.y; y < area.y + area.h; ++y) {
        int32_t x = area.x;
        while (x < area.x + area.w) {
            if (!Near(s.Get(x, y), colour, 4)) {
                ++x;
                continue;
            }
            int32_t end = x;
            while (end + 1 < area.x + area.w && Near(s.Get(end + 1, y), colour, 4)) ++end;
            if (end - x > best.right - best.left) {
                best = Box{x, end, y, y};
            }
            x = end + 1;
        }
    }
    if (best.right - best.left < 20) return Box{};
    for (int32_t y = area.y + area.h - 1; y > best.top + 10; --y)
        if (runAt(y, best.left + 2, best.right - 2)) {
            best.bottom = y;
            return best;
        }
    return Box{};
}

struct DimmerWindowProgramTest : ::testing::Test {
    void SetUp() override {
        if (!testsupport::NetNamespace::Inside()) GTEST_SKIP() << "needs the private namespace of netns-run";
        if (testsupport::CommandOutput("command -v xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";
        ASSERT_TRUE(xvfb.Ok()) << "Xvfb did not start";
        display = XOpenDisplay(xvfb.Display().c_str());
        ASSERT_NE(display, nullptr);
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (display) XCloseDisplay(display);
    }

    // The preferences file of the program's home: "lastfile" the layout, "use" off, no Art-Net input.
    void WritePrefs(const std::string& layout) {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        const std::string saved = old ? old : "";
        setenv("XDG_CONFIG_HOME", home.File(".config").c_str(), 1);
        plat::Preferences::Reset();
        {
            CAppPrefs prefs;
            CRecordRef settings(&prefs.Root()->Slot(CAppPrefs::kPrefDimmer).record);
            UDimPrefs::SetUse(settings, false);
            UDimPrefs::SetLastFile(settings, LString(layout.c_str()));
            (void)prefs.RootRef().SetByte(nullptr, CAppPrefs::kPrefArtNetIn, 0);
            CPrefsRecord binding(&prefs, LString("prefs"));
            binding.Save();
        }
        plat::Preferences::Reset();
        if (old)
            setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }
    // "use" as the program left it in its preferences.
    bool UseInPrefs() {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        const std::string saved = old ? old : "";
        setenv("XDG_CONFIG_HOME", home.File(".config").c_str(), 1);
        plat::Preferences::Reset();
        bool use = false;
        {
            CAppPrefs prefs;
            CPrefsRecord binding(&prefs, LString("prefs"));
            use = UDimPrefs::GetUse(CRecordRef(&prefs.Root()->Slot(CAppPrefs::kPrefDimmer).record));
        }
        plat::Preferences::Reset();
        if (old)
            setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        return use;
    }

    void Launch(const std::string& show) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            std::string v = *e;
            if (v.rfind("ORBILUME_", 0) != 0 && v.rfind("XDG_", 0) != 0 && v.rfind("HOME=", 0) != 0 &&
                v.rfind("DISPLAY=", 0) != 0)
                env.push_back(v);
        }
        env.push_back("HOME=" + home.Path());
        env.push_back("DISPLAY=" + xvfb.Display());
        env.push_back("ORBILUME_PLATFORM=x11");
        env.push_back("ORBILUME_NO_REALTIME=1");
        env.push_back("ORBILUME_STARTUP_HOLD_MS=200");
        env.push_back("LIBGL_ALWAYS_SOFTWARE=1");
        std::vector<char*> envp;
        for (std::string& v : env) envp.push_back(v.data());
        envp.push_back(nullptr);
        std::vector<std::string> args{ORBILUME_BINARY, show};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ASSERT_EQ(posix_spawn(&pid, ORBILUME_BINARY, nullptr, nullptr, argv.data(), envp.data()), 0);
    }
    int Stop(int sig) {
        if (pid <= 0) return -1;
        kill(pid, sig);
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    void Xdotool(const std::string& args) {
        const std::string command = "DISPLAY=" + xvfb.Display() + " xdotool " + args + " >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << args;
    }
    void MoveTo(int32_t x, int32_t y) { Xdotool("mousemove --sync " + std::to_string(x) + " " + std::to_string(y)); }
    void Click(int32_t x, int32_t y) {
        Xdotool("mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " click 1");
    }

    // The shown top-level windows whose title holds the text, as screen rectangles.
    std::vector<std::pair<::Window, Rect>> Shown(const std::string& title) {
        std::vector<std::pair<::Window, Rect>> out;
        ::Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
        unsigned int n = 0;
        XSync(display, False);
        if (!XQueryTree(display, root, &root, &parent, &children, &n)) return out;
        for (unsigned int i = 0; i < n; ++i) {
            XWindowAttributes a;
            if (!XGetWindowAttributes(display, children[i], &a) || a.map_state != IsViewable) continue;
            char* name = nullptr;
            if (!XFetchName(display, children[i], &name) || !name) continue;
            const bool match = std::string(name).find(title) != std::string::npos;
            XFree(name);
            if (match) out.push_back({children[i], Rect{a.x, a.y, a.width, a.height}});
        }
        if (children) XFree(children);
        return out;
    }
    Shot Grab(const Rect& r) {
        Shot shot;
        shot.at = r;
        XSync(display, False);
        XImage* image = XGetImage(display, DefaultRootWindow(display), r.x, r.y, unsigned(r.w), unsigned(r.h),
                                  AllPlanes, ZPixmap);
        if (!image) return shot;
        shot.px.resize(size_t(r.w) * size_t(r.h));
        for (int32_t y = 0; y < r.h; ++y)
            for (int32_t x = 0; x < r.w; ++x)
                shot.px[size_t(y) * size_t(r.w) + size_t(x)] = uint32_t(XGetPixel(image, x, y) & 0xFFFFFF);
        XDestroyImage(image);
        return shot;
    }

    testsupport::XvfbServer xvfb{"1280x900x24"};
    testsupport::TempDir home;
    ::Display* display = nullptr;
    pid_t pid = -1;
};

TEST_F(DimmerWindowProgramTest, TheWindowFromTheMenuStripSelectsMovesUndoesAndSwitchesTheOutput) {
    for (const char* f : {"show.obm", "fill.qtz", "tint.qtz", "picture.qtz", "source.qtz", "wave.qtz"})
        home.Write(f, Slurp(std::string(FIXTURES_DIR) + "/" + f));
    const std::string layout = Slurp(std::string(LED_FIXTURES) + "/layout.obdim");
    const std::string layoutPath = home.File("layout.obdim");
    home.Write("layout.obdim", layout);
    WritePrefs(layoutPath);
    Launch(home.File("show.obm"));

    // The show's windows: the console is the larger.
    Rect console;
    ASSERT_TRUE(WaitFor(
        [&] {
            const auto shown = Shown("show.obm");
            if (shown.size() != 2) return false;
            const Rect& a = shown[0].second;
            const Rect& b = shown[1].second;
            console = a.w * a.h > b.w * b.h ? a : b;
            return true;
        },
        60))
        << "the show's windows did not appear";

    // "LED Dimmer", the last item of the Window menu (the fourth title of the strip), opens the
    // dimmer window titled with the layout's name.
    Click(console.x + console.w / 2, console.y + console.h - 30);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Xdotool("key F10 sleep 0.3 key Right Right Right sleep 0.3 key Up sleep 0.2 key Return");
    Rect win;
    ASSERT_TRUE(WaitFor(
        [&] {
            const auto shown = Shown("layout.obdim");
            if (shown.empty()) return false;
            win = shown[0].second;
            return true;
        },
        20))
        << "no dimmer window";
    // Content below the strip; the view at the left of the list's 360-pixel column.
    const Rect content{win.x, win.y + kStrip, win.w, win.h - kStrip};
    const Rect viewArea{8, 36, content.w - 8 - 360 - 6 - 8, content.h - 36 - 8};
    const Rect listArea{content.w - 8 - 360, 56, 360, content.h - 56 - 8};

    // The matrix device, the widest outline, drawn grey.
    Box box;
    ASSERT_TRUE(WaitFor(
        [&] {
            box = FindOutline(Grab(content), viewArea, kGrey);
            return box.Ok();
        },
        20))
        << "no device outline";
    const LRGB sel = SelectionBackgroundRGB();
    const uint32_t selColour = uint32_t(sel.red) << 16 | uint32_t(sel.green) << 8 | sel.blue;
    const int listSelectedBefore = Grab(content).Count(listArea, selColour);

    // A click selects it: away from the pointer its outline takes the selection colour, and its row
    // in the list is drawn selected.
    Click(content.x + box.CentreX(), content.y + box.CentreY());
    MoveTo(content.x + viewArea.x + 4, content.y + viewArea.y + 4);
    MoveTo(content.x + viewArea.x + 5, content.y + viewArea.y + 4);
    Box selected;
    EXPECT_TRUE(WaitFor(
        [&] {
            selected = FindOutline(Grab(content), viewArea, selColour);
            return selected.Ok();
        },
        10))
        << "no outline in the selection colour";
    EXPECT_NEAR(selected.left, box.left, 2);
    EXPECT_NEAR(selected.top, box.top, 2);
    EXPECT_TRUE(WaitFor([&] { return Grab(content).Count(listArea, selColour) > listSelectedBefore + 500; }, 10))
        << "no selected row";

    // A drag of 40 pixels moves the outline 40 pixels.
    const int32_t cx = content.x + box.CentreX(), cy = content.y + box.CentreY();
    std::string steps = "mousemove --sync " + std::to_string(cx) + " " + std::to_string(cy) + " mousedown 1 sleep 0.2";
    for (int dx = 8; dx <= 40; dx += 8)
        steps += " mousemove " + std::to_string(cx + dx) + " " + std::to_string(cy) + " sleep 0.1";
    Xdotool(steps + " mouseup 1");
    MoveTo(content.x + viewArea.x + 4, content.y + viewArea.y + 4);
    Box moved;
    EXPECT_TRUE(WaitFor(
        [&] {
            moved = FindOutline(Grab(content), viewArea, selColour);
            return moved.Ok() && std::abs(moved.left - (box.left + 40)) <= 1;
        },
        10))
        << moved.left << " after the drag, " << box.left << " before";

    // Ctrl+Z puts it back.
    Xdotool("key ctrl+z");
    EXPECT_TRUE(WaitFor(
        [&] {
            moved = FindOutline(Grab(content), viewArea, selColour);
            return moved.Ok() && std::abs(moved.left - box.left) <= 1;
        },
        10))
        << moved.left << " after the undo, " << box.left << " before";

    // The output check box at the header's right switches "use" on.
    Click(content.x + content.w - 8 - 10, content.y + 8 + 11);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    // Saved: the file is the layout again (the drag was undone); quitting then asks nothing.
    Xdotool("key ctrl+s");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(Stop(SIGTERM), 0);
    EXPECT_TRUE(UseInPrefs());
    EXPECT_NE(Slurp(layoutPath).find("dfid=\"Matrix-RGB-16x16\" posx=\"0.5\""), std::string::npos);
}

}  // namespace
