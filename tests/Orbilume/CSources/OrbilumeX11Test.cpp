// The real program on a private Xvfb: the start-up window shows for the hold; the show's monitor
// window appears with the rendered mix, a scene key typed with xdotool recalls its scene, and SIGTERM
// quits cleanly with the file intact, also while a damaged show's message box is up.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"
#include "tests/support/XvfbServer.h"

// Xlib last: its macros must not reach the headers above.
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include "tests/support/WindowShot.h"
// clang-format on

extern char** environ;

namespace {

using testsupport::Near;

using testsupport::CommandOutput;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WaitFor(const std::function<bool()>& done, double seconds) {
    const auto t0 = std::chrono::steady_clock::now();
    while (!done()) {
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() > seconds)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// A pixel of the root window (0xRRGGBB), read over a connection of its own.
uint32_t ScreenPixel(const std::string& display, int x, int y) {
    ::Display* d = XOpenDisplay(display.c_str());
    if (!d) return 0xDEADBEEF;
    const uint32_t p = testsupport::ScreenPixel(d, x, y);
    XCloseDisplay(d);
    return p;
}

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};

// xdotool's geometry of a window ("Position: X,Y", "Geometry: WxH").
Geometry WindowGeometry(const std::string& env, const std::string& window) {
    const std::string out = CommandOutput(env + " xdotool getwindowgeometry " + window + " 2>&1");
    Geometry g;
    const size_t pos = out.find("Position: ");
    const size_t size = out.find("Geometry: ");
    if (pos != std::string::npos) std::sscanf(out.c_str() + pos, "Position: %d,%d", &g.x, &g.y);
    if (size != std::string::npos) std::sscanf(out.c_str() + size, "Geometry: %dx%d", &g.width, &g.height);
    return g;
}

// Starts the program on the server with its home in dir and the show as argument; -1 if it did not.
pid_t Launch(const testsupport::XvfbServer& server, const testsupport::TempDir& dir, const std::string& show,
             const std::vector<std::string>& extraEnv) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string v = *e;
        if (v.rfind("ORBILUME_", 0) != 0 && v.rfind("XDG_", 0) != 0 && v.rfind("HOME=", 0) != 0 &&
            v.rfind("DISPLAY=", 0) != 0)
            env.push_back(v);
    }
    env.push_back("HOME=" + dir.Path());
    env.push_back("DISPLAY=" + server.Display());
    env.push_back("ORBILUME_PLATFORM=x11");
    env.push_back("LIBGL_ALWAYS_SOFTWARE=1");
    env.push_back("ORBILUME_TEST_LOG=" + dir.File("requests.log"));
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp;
    for (std::string& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = {ORBILUME_BINARY, show};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, ORBILUME_BINARY, nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
    return pid;
}

// The show fixture and its compositions copied into dir.
std::string CopyShow(testsupport::TempDir& dir) {
    for (const char* f : {"show.obm", "fill.qtz", "tint.qtz", "picture.qtz", "source.qtz", "wave.qtz"})
        dir.Write(f, Slurp(std::string(FIXTURES_DIR) + "/" + f));
    return dir.File("show.obm");
}

// The mapped top-level windows of type splash.
std::vector<::Window> SplashWindows(::Display* d) {
    std::vector<::Window> found;
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) return found;
    const Atom type = XInternAtom(d, "_NET_WM_WINDOW_TYPE", False);
    const Atom splash = XInternAtom(d, "_NET_WM_WINDOW_TYPE_SPLASH", False);
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, children[i], &a) || a.map_state != IsViewable) continue;
        Atom actual = 0;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, children[i], type, 0, 1, False, XA_ATOM, &actual, &format, &n, &after,
                               &data) == Success &&
            data) {
            if (n == 1 && *reinterpret_cast<Atom*>(data) == splash) found.push_back(children[i]);
            XFree(data);
        }
    }
    if (children) XFree(children);
    return found;
}

TEST(OrbilumeX11Test, TheStartupWindowIsCentredShowsItsImageAndClosesAfterTheHold) {
    testsupport::XvfbServer server;
    if (!server.Ok()) GTEST_SKIP() << "Xvfb did not start";
    testsupport::TempDir dir;
    const std::string show = CopyShow(dir);
    // The test-only setting shortens the hold from 5 s to 3 s.
    pid_t pid = Launch(server, dir, show, {"ORBILUME_STARTUP_HOLD_MS=3000"});
    ASSERT_GT(pid, 0);
    ::Display* d = XOpenDisplay(server.Display().c_str());
    ASSERT_NE(d, nullptr);
    ::Window w = 0;
    const bool shown = WaitFor(
        [&] {
            const std::vector<::Window> s = SplashWindows(d);
            if (!s.empty()) w = s.front();
            return w != 0;
        },
        30);
    const auto seen = std::chrono::steady_clock::now();
    bool centred = false, image = false;
    if (shown) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // drawn
        XWindowAttributes a;
        int x = 0, y = 0;
        ::Window child;
        if (XGetWindowAttributes(d, w, &a) &&
            XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child)) {
            // No window manager: the work area is the whole screen.
            const int sw = DisplayWidth(d, DefaultScreen(d)), sh = DisplayHeight(d, DefaultScreen(d));
            centred = std::abs(2 * x + a.width - sw) <= 4 && std::abs(2 * y + a.height - sh) <= 4;
            if (XImage* img = XGetImage(d, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap)) {
                // The "APP" image is the only colour in the window: grey ground, black text.
                long coloured = 0;
                for (int py = 0; py < a.height; ++py)
                    for (int px = 0; px < a.width; ++px) {
                        const unsigned long p = XGetPixel(img, px, py);
                        const int r = int((p >> 16) & 0xFF), b = int(p & 0xFF);
                        coloured += b > r + 60;
                    }
                image = coloured > 500;
                XDestroyImage(img);
            }
        }
    }
    const bool closed = shown && WaitFor([&] { return SplashWindows(d).empty(); }, 20);
    const double held = std::chrono::duration<double>(std::chrono::steady_clock::now() - seen).count();
    XCloseDisplay(d);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(shown) << "no start-up window";
    EXPECT_TRUE(centred);
    EXPECT_TRUE(image);
    EXPECT_TRUE(closed);
    EXPECT_GT(held, 2.0);  // not before the hold
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(OrbilumeX11Test, TheShowsMonitorShowsItsMixAKeyRecallsItsSceneAndSigtermQuits) {
    if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "xdotool is not installed";
    testsupport::XvfbServer server;
    if (!server.Ok()) GTEST_SKIP() << "Xvfb did not start";
    testsupport::TempDir dir;
    const std::string show = CopyShow(dir);
    const std::string bytes = dir.Read("show.obm");
    pid_t pid = Launch(server, dir, show, {});
    ASSERT_GT(pid, 0);
    auto stop = [&pid](int sig) {
        if (pid <= 0) return -1;
        kill(pid, sig);
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    };

    // The monitor: the smaller of the two windows titled after the show (the other is the console).
    const std::string x = "DISPLAY=" + server.Display();
    std::string monitor;
    Geometry g;
    const bool appeared = WaitFor(
        [&] {
            std::istringstream ids(
                CommandOutput(x + " xdotool search --onlyvisible --name '^show.obm -Orbilume$' 2>/dev/null"));
            std::string id;
            while (ids >> id) {
                const Geometry w = WindowGeometry(x, id);
                if (w.width > 0 && (monitor.empty() || w.width * w.height < g.width * g.height)) {
                    monitor = id;
                    g = w;
                }
            }
            return !monitor.empty();
        },
        30);
    if (!appeared) {
        stop(SIGKILL);
        FAIL() << "no window \"show.obm -Orbilume\"; log: " << dir.Read("requests.log");
    }
    EXPECT_EQ(CommandOutput(x + " xdotool getwindowname " + monitor), "show.obm -Orbilume\n");
    // The window carries the application's picture as its icon.
    if (std::system("command -v xprop >/dev/null") == 0) {
        const std::string icon = CommandOutput(x + " xprop -id " + monitor + " -notype 32c _NET_WM_ICON 2>&1 | head -c 200");
        EXPECT_NE(icon.find("_NET_WM_ICON = "), std::string::npos) << icon;
    }

    // The output area shows the fixture's mix: the fill through the tint, added at 0.75 over the
    // picture layer.
    const int cx = g.x + g.width / 2, cy = g.y + g.height / 2;
    const uint32_t mix = 0xFF90A8;
    EXPECT_TRUE(WaitFor([&] { return Near(ScreenPixel(server.Display(), cx, cy), mix, 6); }, 20))
        << std::hex << ScreenPixel(server.Display(), cx, cy);

    // "b" is the scene key of "Bright" (blend 1, tint 0.5, a 2.5 s fade): the mix changes to it.
    // The console opens with the show and its time field takes the keys: a click in the empty part
    // of its scene list leaves them to the document.
    Geometry console;
    {
        std::istringstream ids(
            CommandOutput(x + " xdotool search --onlyvisible --name '^show.obm -Orbilume$' 2>/dev/null"));
        std::string id;
        while (ids >> id) {
            const Geometry w = WindowGeometry(x, id);
            if (w.width * w.height > console.width * console.height) console = w;
        }
    }
    if (console.width * console.height <= g.width * g.height) {
        stop(SIGKILL);
        FAIL() << "no console beside the monitor";
    }
    (void)CommandOutput(x + " xdotool mousemove " + std::to_string(console.x + console.width / 2) + " " +
                        std::to_string(console.y + console.height - 30) + " click 1 sleep 0.3 key b 2>&1");
    const uint32_t bright = 0xFF80FF;
    EXPECT_TRUE(WaitFor([&] { return Near(ScreenPixel(server.Display(), cx, cy), bright, 6); }, 20))
        << std::hex << ScreenPixel(server.Display(), cx, cy);

    EXPECT_EQ(stop(SIGTERM), 0);
    EXPECT_EQ(dir.Read("requests.log"),
              "CExtCmd_Open " + show + "\nCMainApp_Documents 1\nCMainLoopBase_Quit\nCMainApp_Destructing\n");
    EXPECT_EQ(dir.Read("show.obm"), bytes) << "a recall changes no file";
}

// The preferences file of a home whose screen mode ('mnmd') is the given one.
void WriteScreenMode(testsupport::TempDir& dir, int mode) {
    (void)std::system(("mkdir -p " + dir.File(".config/orbilume")).c_str());
    dir.Write(".config/orbilume/orbilume.plist",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
              "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
              "<plist version=\"1.0\"><dict><key>prefs</key><dict><key>prefs</key><dict><key>mnmd</key>"
              "<string>" +
                  std::to_string(mode) + " </string></dict></dict></dict></plist>\n");
}

// The visible windows titled after the show, with xdotool's geometry.
std::vector<std::pair<std::string, Geometry>> ShowWindows(const std::string& env) {
    std::vector<std::pair<std::string, Geometry>> found;
    std::istringstream ids(
        CommandOutput(env + " xdotool search --onlyvisible --name '^show.obm -Orbilume$' 2>/dev/null"));
    std::string id;
    while (ids >> id) found.emplace_back(id, WindowGeometry(env, id));
    return found;
}

TEST(OrbilumeX11Test, AStoredFullScreenModeCoversTheScreenAndEscapeLeavesItForGood) {
    if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "xdotool is not installed";
    testsupport::XvfbServer server("1280x800x24");
    if (!server.Ok()) GTEST_SKIP() << "Xvfb did not start";
    testsupport::TempDir dir;
    const std::string show = CopyShow(dir);
    WriteScreenMode(dir, 1);
    pid_t pid = Launch(server, dir, show, {"ORBILUME_STARTUP_HOLD_MS=0"});
    ASSERT_GT(pid, 0);
    const std::string x = "DISPLAY=" + server.Display();
    auto covering = [&] {
        for (const auto& [id, g] : ShowWindows(x))
            if (g.x == 0 && g.y == 0 && g.width == 1280 && g.height == 800) return id;
        return std::string();
    };
    std::string full;
    const bool covered = WaitFor([&] { return !(full = covering()).empty(); }, 30);
    // Escape typed into the monitor (the key goes to the window under the pointer).
    bool left = false;
    if (covered) {
        (void)CommandOutput(x + " xdotool mousemove 640 400 sleep 0.3 key Escape 2>&1");
        left = WaitFor(
            [&] {
                const auto windows = ShowWindows(x);
                return !windows.empty() && covering().empty();
            },
            20);
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(covered) << "no window covers the screen; log: " << dir.Read("requests.log");
    EXPECT_TRUE(left) << "Escape did not bring the monitor back to its window";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // The next start is windowed.
    const std::string prefs = dir.Read(".config/orbilume/orbilume.plist");
    const size_t key = prefs.rfind("<key>mnmd</key>");
    ASSERT_NE(key, std::string::npos) << prefs;
    EXPECT_EQ(prefs.substr(prefs.find("<string>", key), 10), "<string>0 ") << prefs.substr(key, 60);
}

// A damaged show opens with a message box; SIGTERM while it is on screen ends it and the program
// quits as it does without one, the file as it was.
TEST(OrbilumeX11Test, SigtermWhileTheDamagedShowMessageIsUpQuits) {
    if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "xdotool is not installed";
    testsupport::XvfbServer server;
    if (!server.Ok()) GTEST_SKIP() << "Xvfb did not start";
    testsupport::TempDir dir;
    const std::string bytes = "<?xml version=\"1.0\"?>\n<YOBM_OBMX><YOBM_OBMX_mixs><<";
    dir.Write("damaged.obm", bytes);
    const std::string damaged = dir.File("damaged.obm");
    pid_t pid = Launch(server, dir, damaged, {"ORBILUME_STARTUP_HOLD_MS=0"});
    ASSERT_GT(pid, 0);
    const std::string x = "DISPLAY=" + server.Display();
    const bool up = WaitFor(
        [&] {
            return !CommandOutput(x + " xdotool search --onlyvisible --name '^Message$' 2>/dev/null").empty();
        },
        30);
    kill(pid, SIGTERM);
    int status = 0;
    const bool ended = WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 60);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    ASSERT_TRUE(up) << "no message box; log: " << dir.Read("requests.log");
    EXPECT_TRUE(ended) << "still running after the signal; log: " << dir.Read("requests.log");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(
        dir.Read("requests.log"),
        "CExtCmd_Open " + damaged + "\nCMainApp_Documents 1\nCMainLoopBase_Quit\nCMainApp_Destructing\n");
    EXPECT_EQ(dir.Read("damaged.obm"), bytes);
}

}  // namespace
