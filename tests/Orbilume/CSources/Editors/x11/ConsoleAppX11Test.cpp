// The real program on a private Xvfb with the show fixture (on a time line, its second scene keyed
// F3): the console opens, and xdotool drives it while the test reads the screen with XGetImage.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/support/XvfbServer.h"

// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on

extern char** environ;

namespace {

constexpr uint32_t kBand = 0x00FF00;     // the scene list's marker band
constexpr uint32_t kCapture = 0xD02020;  // "CAPTBTN"'s fill
constexpr uint32_t kPlayOff = 0x606060;  // "PLAYOFBTN"'s fill
constexpr uint32_t kPlayOn = 0x20C020;   // "PLAYONBTN"'s fill
constexpr int32_t kButtonPitch = 32;     // the transport's buttons: 28 wide, 4 apart

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

bool WaitFor(const std::function<bool()>& done, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

struct Rect {
    int32_t x = 0, y = 0, w = 0, h = 0;
};

// A part of the screen as 0xRRGGBB pixels.
struct Shot {
    Rect at;
    std::vector<uint32_t> px;
    uint32_t Get(int32_t x, int32_t y) const {
        if (x < 0 || y < 0 || x >= at.w || y >= at.h) return 0xFFFFFFFF;
        return px[size_t(y) * size_t(at.w) + size_t(x)];
    }
    // Bounding box of the pixels of one colour (w 0 when none).
    Rect Find(uint32_t colour) const {
        int32_t l = at.w, t = at.h, r = -1, b = -1;
        for (int32_t y = 0; y < at.h; ++y)
            for (int32_t x = 0; x < at.w; ++x)
                if (Get(x, y) == colour) {
                    l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), b = std::max(b, y);
                }
        return r < 0 ? Rect{} : Rect{l, t, r - l + 1, b - t + 1};
    }
    int Count(const Rect& r, uint32_t colour) const {
        int n = 0;
        for (int32_t y = r.y; y < r.y + r.h; ++y)
            for (int32_t x = r.x; x < r.x + r.w; ++x) n += Get(x, y) == colour;
        return n;
    }
};

// The near-black pixels (text) of a part of a shot.
int Dark(const Shot& shot, const Rect& r) {
    int n = 0;
    for (int32_t y = r.y; y < r.y + r.h; ++y)
        for (int32_t x = r.x; x < r.x + r.w; ++x) {
            const uint32_t p = shot.Get(x, y);
            n += (p >> 16 & 0xFF) < 0x60 && (p >> 8 & 0xFF) < 0x60 && (p & 0xFF) < 0x60;
        }
    return n;
}

class ConsoleAppX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool is not installed";
        ASSERT_TRUE(xvfb.Ok());
        display = XOpenDisplay(xvfb.Display().c_str());
        ASSERT_NE(display, nullptr);
        const std::string fixtures = ORBILUME_FIXTURE_DIR;
        for (const char* f : {"fill.qtz", "tint.qtz", "picture.qtz", "source.qtz", "wave.qtz"})
            dir.Write(f, Slurp(fixtures + "/" + f));
        std::string show = Slurp(fixtures + "/show.obm");
        ASSERT_FALSE(show.empty());
        show = Replace(show, "<YOBM_SCNS sqto=\"30\" sqlp=\"1\">",
                       "<YOBM_SCNS sqto=\"30\" sqlp=\"1\" tmmd=\"1\">");
        show = Replace(show, "ecky=\"b\"", "ecky=\"F3\"");
        // A third scene, for a row to drag.
        show = Replace(show, "</YOBM_SCNE>\n</YOBM_SCNS_scns>",
                       "</YOBM_SCNE>\n<YOBM_SCNE name=\"Late\" extm=\"9\"/>\n</YOBM_SCNS_scns>");
        ASSERT_NE(show.find("name=\"Late\""), std::string::npos);
        ASSERT_NE(show.find("tmmd=\"1\""), std::string::npos);
        ASSERT_NE(show.find("ecky=\"F3\""), std::string::npos);
        dir.Write("show.obm", show);
        Launch();
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGTERM);
            int status = 0;
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (waitpid(pid, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (waitpid(pid, &status, WNOHANG) == 0) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
            }
        }
        if (other) XDestroyWindow(display, other);
        if (display) XCloseDisplay(display);
    }

    void Launch() {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string v = *e;
            if (v.rfind("ORBILUME_", 0) != 0 && v.rfind("XDG_", 0) != 0 && v.rfind("HOME=", 0) != 0 &&
                v.rfind("DISPLAY=", 0) != 0)
                env.push_back(v);
        }
        env.push_back("HOME=" + dir.Path());
        env.push_back("DISPLAY=" + xvfb.Display());
        env.push_back("ORBILUME_PLATFORM=x11");
        env.push_back("LIBGL_ALWAYS_SOFTWARE=1");
        env.push_back("ORBILUME_MIDI=virtual");
        std::vector<char*> envp;
        for (std::string& v : env) envp.push_back(v.data());
        envp.push_back(nullptr);
        std::string binary = ORBILUME_BINARY, file = dir.File("show.obm");
        char* argv[] = {binary.data(), file.data(), nullptr};
        // The program's own output goes to a file, shown when a step fails.
        const std::string log = dir.File("program.log");
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&files, 1, 2);
        const int spawned = posix_spawn(&pid, binary.c_str(), &files, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&files);
        ASSERT_EQ(spawned, 0);
    }

    // The program's output, whether it still runs, and the top-level windows.
    std::string ProgramLog() {
        std::string out = dir.Read("program.log").substr(0, 4000);
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, WNOHANG) == pid) {
            out += "\n(the program ended, status " + std::to_string(status) + ")";
            pid = -1;
        }
        Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
        unsigned int n = 0;
        if (XQueryTree(display, root, &root, &parent, &children, &n)) {
            for (unsigned int i = 0; i < n; ++i) {
                XWindowAttributes a;
                char* name = nullptr;
                if (!XGetWindowAttributes(display, children[i], &a)) continue;
                (void)XFetchName(display, children[i], &name);
                out += "\nwindow '" + std::string(name ? name : "") + "' state " +
                       std::to_string(a.map_state) + " " + std::to_string(a.width) + "x" +
                       std::to_string(a.height);
                if (name) XFree(name);
            }
            if (children) XFree(children);
        }
        return out;
    }

    void Xdotool(const std::string& args) {
        const std::string command = "DISPLAY=" + xvfb.Display() + " xdotool " + args + " >/dev/null 2>&1";
        EXPECT_EQ(system(command.c_str()), 0) << args;
    }
    void Click(int32_t x, int32_t y) {
        Xdotool("mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " click 1");
    }

    // The shown top-level windows whose title holds the text, as screen rectangles.
    std::vector<std::pair<Window, Rect>> Shown(const std::string& title) {
        std::vector<std::pair<Window, Rect>> out;
        Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
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

    // Another program's window holding the input focus.
    void FocusAnotherWindow() {
        other = XCreateSimpleWindow(display, DefaultRootWindow(display), 1200, 780, 120, 80, 0, 0, 0);
        XMapWindow(display, other);
        XSync(display, False);
        WaitFor(
            [&] {
                XWindowAttributes a;
                return XGetWindowAttributes(display, other, &a) && a.map_state == IsViewable;
            },
            5);
        XSetInputFocus(display, other, RevertToParent, CurrentTime);
        XSync(display, False);
    }

    // The console and the monitor of the show, once the console shows its transport, the monitor its
    // mix and the scene list its green band.
    void OpenConsole() {
        // The monitor comes first; the document in front (its monitor active) shows its console.
        ASSERT_TRUE(WaitFor([&] { return !Shown(kTitle).empty(); }, 60)) << "no window\n" << ProgramLog();
        if (!WaitFor([&] { return Shown(kTitle).size() == 2; }, 3)) {
            const Rect only = Shown(kTitle)[0].second;
            Click(only.x + only.w / 2, only.y + only.h / 2);
        }
        ASSERT_TRUE(WaitFor([&] { return Shown(kTitle).size() == 2; }, 20)) << "no console\n" << ProgramLog();
        // The console is the one with the transport's capture button.
        ASSERT_TRUE(WaitFor(
            [&] {
                const auto shown = Shown(kTitle);
                if (shown.size() != 2) return false;
                const bool first = Grab(shown[0].second).Find(kCapture).w > 0;
                consoleWindow = shown[first ? 0 : 1].first;
                console = shown[first ? 0 : 1].second;
                monitor = shown[first ? 1 : 0].second;
                return first || Grab(shown[1].second).Find(kCapture).w > 0;
            },
            20))
            << "no transport\n"
            << ProgramLog();
        ASSERT_TRUE(WaitFor([&] { return Grab(monitor).Get(monitor.w / 2, monitor.h / 2) != 0; }, 30))
            << "the monitor shows nothing";
        // The green band across the scene list.
        ASSERT_TRUE(WaitFor(
            [&] {
                band = Grab(console).Find(kBand);
                return band.w > 200;
            },
            20))
            << "no marker band";
        capture = Grab(console).Find(kCapture);
        ASSERT_GT(capture.w, 0) << "no capture button";
    }

    // The scene rows of the console: the first and last line of each slot label ("C 2", "C#2") below
    // the transport (its ripple check box ends within 30 pixels below the buttons' images).
    std::vector<std::pair<int32_t, int32_t>> Rows() {
        const Shot shot = Grab(console);
        std::vector<std::pair<int32_t, int32_t>> rows;
        for (int32_t y = capture.y + capture.h + 30; y < console.h; ++y) {
            if (Dark(shot, Rect{band.x + 38, y, 30, 1}) == 0) continue;
            if (!rows.empty() && y - rows.back().second <= 3)
                rows.back().second = y;
            else
                rows.push_back({y, y});
        }
        return rows;
    }
    static int32_t Middle(const std::pair<int32_t, int32_t>& row) { return (row.first + row.second) / 2; }

    // Ctrl+S in the console; whether the show file comes to satisfy `holds` (`saved`: the file).
    bool Saved(const std::function<bool(const std::string&)>& holds, std::string* saved) {
        Xdotool("windowfocus --sync " + std::to_string(consoleWindow) + " key ctrl+s");
        return WaitFor(
            [&] {
                *saved = dir.Read("show.obm");
                return holds(*saved);
            },
            10);
    }
    // The scene names of the show's own list in the saved file, in their order.
    static std::vector<std::string> SceneNames(const std::string& file) {
        std::vector<std::string> names;
        const size_t end = file.find("</YOBM_SCNS_scns>");
        for (size_t at = file.find("<YOBM_SCNE"); at < end; at = file.find("<YOBM_SCNE", at + 1)) {
            const char after = file[at + 10];
            if (after != ' ' && after != '>' && after != '/') continue;  // a scene's part
            const size_t open = file.find("name=\"", at), tagEnd = file.find('>', at);
            if (open > tagEnd) {
                names.push_back("");
                continue;
            }
            const size_t from = open + 6;
            names.push_back(file.substr(from, file.find('"', from) - from));
        }
        return names;
    }
    // The titles of a window's menu strip: the left and right column of each one's text.
    std::vector<std::pair<int32_t, int32_t>> StripTitles(const Rect& window) {
        const Shot strip = Grab(Rect{window.x, window.y, window.w, 20});
        std::vector<std::pair<int32_t, int32_t>> titles;
        for (int32_t x = 0; x < window.w; ++x) {
            if (Dark(strip, Rect{x, 2, 1, 16}) == 0) continue;
            if (!titles.empty() && x - titles.back().second <= 6)
                titles.back().second = x;
            else
                titles.push_back({x, x});
        }
        return titles;
    }

    static constexpr const char* kTitle = "show.obm";
    testsupport::XvfbServer xvfb{"1440x900x24"};
    testsupport::TempDir dir;
    ::Display* display = nullptr;
    Window other = 0;
    pid_t pid = -1;
    Window consoleWindow = 0;
    Rect console, monitor, band, capture;
};

TEST_F(ConsoleAppX11Test, ConsoleRecallsPlaysAndAnswersTheFunctionKey) {
    if (IsSkipped() || HasFatalFailure()) return;
    OpenConsole();
    if (HasFatalFailure()) return;
    const auto monitorPixel = [&] { return Grab(monitor).Get(monitor.w / 2, monitor.h / 2); };
    EXPECT_LE(band.h, 3);
    Shot shot = Grab(console);
    const auto dark = [&](const Rect& r) { return Dark(shot, r); };
    // Below the menu strip, the channel cells' numbers.
    EXPECT_GT(dark(Rect{0, 24, console.w, 30}), 0) << "no channel cells";

    // The transport: capture, then play, stop, zero to its right.
    const Rect play{capture.x + kButtonPitch - 2, capture.y - 2, capture.w + 4, capture.h + 4};
    const auto press = [&](int32_t button) {
        Click(console.x + capture.x + capture.w / 2 + button * kButtonPitch,
              console.y + capture.y + capture.h / 2);
    };
    // A looping time line may be playing since the show opened; stop shows "PLAYOFBTN".
    press(2);
    ASSERT_TRUE(WaitFor([&] { return Grab(console).Count(play, kPlayOff) > 20; }, 20)) << "no PLAYOFBTN";
    EXPECT_EQ(Grab(console).Count(play, kPlayOn), 0);
    // Play: once the player runs the button shows "PLAYONBTN"; stop brings "PLAYOFBTN" back.
    press(1);
    EXPECT_TRUE(WaitFor([&] { return Grab(console).Count(play, kPlayOn) > 20; }, 20)) << "no PLAYONBTN";
    press(2);
    ASSERT_TRUE(WaitFor([&] { return Grab(console).Count(play, kPlayOff) > 20; }, 20)) << "no PLAYOFBTN";

    // The rows: the slot labels' text, one run of lines each.
    const auto rows = Rows();
    ASSERT_GE(rows.size(), 2u) << "no scene rows";
    const int32_t row1 = Middle(rows[0]), row2 = Middle(rows[1]);
    shot = Grab(console);
    // The recall buttons' captions: the second scene's key "F3", none on the first.
    EXPECT_GT(dark(Rect{band.x + 4, row2 - 6, 28, 12}), 0) << "no F3 caption";
    EXPECT_EQ(dark(Rect{band.x + 4, row1 - 6, 28, 12}), 0);
    // The scene names beside the time fields.
    EXPECT_GT(dark(Rect{band.x + 170, row1 - 10, 120, 20}), 0) << "no first scene's name";
    EXPECT_GT(dark(Rect{band.x + 170, row2 - 10, 120, 20}), 0) << "no second scene's name";

    // A recalled scene's row is selected: its slot label's background changes.
    const auto labelColour = [&](int32_t y) { return Grab(console).Get(band.x + 39, y); };
    const auto recall = [&](int32_t y) { Click(console.x + band.x + 19, console.y + y); };
    recall(row1);
    ASSERT_TRUE(WaitFor([&] { return labelColour(row1) != labelColour(row2); }, 10))
        << "row 1 was not selected";
    const uint32_t selected = labelColour(row1), plain = labelColour(row2);
    const auto isSelected = [&](int32_t y, int32_t other) {
        return labelColour(y) == selected && labelColour(other) == plain;
    };
    // The first scene has no fade: the picture settles at once.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const uint32_t before = monitorPixel();

    // One click on row 2's recall button recalls it; the monitor changes as its values fade in.
    recall(row2);
    EXPECT_TRUE(WaitFor([&] { return isSelected(row2, row1); }, 10)) << "row 2 was not selected";
    EXPECT_TRUE(WaitFor([&] { return monitorPixel() != before; }, 20)) << "the monitor did not change";

    // Row 1 again, then F3 pressed while another window has the focus: the scene keyed F3 is
    // recalled and its row selected.
    recall(row1);
    ASSERT_TRUE(WaitFor([&] { return isSelected(row1, row2); }, 10)) << "row 1 was not selected again";
    FocusAnotherWindow();
    Xdotool("key F3");
    EXPECT_TRUE(WaitFor([&] { return isSelected(row2, row1); }, 10)) << "F3 did not recall";
}

// A name typed into row 2 with Return is stored; Ctrl+Z brings the old name back.
TEST_F(ConsoleAppX11Test, ATypedNameIsStoredAndCtrlZRestoresIt) {
    if (IsSkipped() || HasFatalFailure()) return;
    OpenConsole();
    if (HasFatalFailure()) return;
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 3u) << "no scene rows";
    Click(console.x + band.x + 200, console.y + Middle(rows[1]));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Xdotool("key End type --delay 30 lunch");
    Xdotool("key Return");
    std::string saved;
    const auto names = [&](const std::vector<std::string>& want) {
        return [want](const std::string& file) { return SceneNames(file) == want; };
    };
    ASSERT_TRUE(Saved(names({"Open", "Brightlunch", "Late"}), &saved)) << saved << ProgramLog();
    Xdotool("key ctrl+z");
    EXPECT_TRUE(Saved(names({"Open", "Bright", "Late"}), &saved)) << saved << ProgramLog();
}

// Row 3 dragged above row 1 becomes the first scene.
TEST_F(ConsoleAppX11Test, DraggingRowThreeAboveRowOneReorders) {
    if (IsSkipped() || HasFatalFailure()) return;
    OpenConsole();
    if (HasFatalFailure()) return;
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 3u) << "no scene rows";
    const int32_t pitch = Middle(rows[1]) - Middle(rows[0]);
    // The row itself: the gap left of the fade field (white, at the row's right end), above the text.
    const Shot shot = Grab(console);
    const int32_t y = Middle(rows[2]) - 4;
    int32_t gap = band.x + band.w - 1;
    while (gap > band.x && shot.Get(gap, y) != 0xFFFFFF) --gap;
    while (gap > band.x && shot.Get(gap, y) == 0xFFFFFF) --gap;
    ASSERT_GT(gap, band.x + band.w / 2) << "no fade field";
    const std::string x = std::to_string(console.x + gap - 1);
    // A click selects the row; a press on the selected row then drags it.
    Xdotool("mousemove --sync " + x + " " + std::to_string(console.y + Middle(rows[2])) + " click 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    Xdotool("mousedown 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // Up in steps, then just inside the top of row 1: the drop goes above it.
    const std::string top = std::to_string(console.y + Middle(rows[0]) - pitch / 2 + 5);
    Xdotool(
        "mousemove_relative --sync 0 -10 sleep 0.1 mousemove_relative --sync 0 -10 sleep 0.1 "
        "mousemove_relative --sync 0 -10 sleep 0.1 mousemove --sync " +
        x + " " + top + " sleep 0.3 mousemove_relative --sync 1 0");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Xdotool("mouseup 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::string saved;
    EXPECT_TRUE(Saved(
        [](const std::string& file) {
            return SceneNames(file) == std::vector<std::string>{"Late", "Open", "Bright"};
        },
        &saved))
        << saved << ProgramLog();
}

// The sequence window from the console's Window menu edits the first sequence; a click on the
// second fills the scene list with its one scene.
TEST_F(ConsoleAppX11Test, AClickInTheSequenceWindowPicksItsScenes) {
    if (IsSkipped() || HasFatalFailure()) return;
    OpenConsole();
    if (HasFatalFailure()) return;
    ASSERT_EQ(Rows().size(), 3u) << "no scene rows";
    // "Sequences" is the second item of the Window menu: of the strip's titles, the one as wide as
    // "Window" is (44 to 56 pixels in the strip's font; "Orbilume" is wider, the others narrower).
    const auto titles = StripTitles(console);
    const auto window = std::find_if(titles.begin(), titles.end(), [](const std::pair<int32_t, int32_t>& t) {
        return t.second - t.first >= 44 && t.second - t.first <= 56;
    });
    ASSERT_NE(window, titles.end()) << "no Window menu";
    Click(console.x + (window->first + window->second) / 2, console.y + 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Xdotool("key Down Down Return");
    ASSERT_TRUE(WaitFor([&] { return !Shown("Sequences").empty(); }, 10)) << "no sequence window\n"
                                                                          << ProgramLog();
    const Rect seqs = Shown("Sequences")[0].second;
    // Showing it edits sequence 1 ("Intro", two scenes).
    EXPECT_TRUE(WaitFor([&] { return Rows().size() == 2; }, 10)) << Rows().size();
    // Its rows: the runs of text lines.
    std::vector<std::pair<int32_t, int32_t>> lines;
    ASSERT_TRUE(WaitFor(
        [&] {
            const Shot shot = Grab(seqs);
            lines.clear();
            for (int32_t y = 0; y < seqs.h; ++y) {
                if (Dark(shot, Rect{0, y, seqs.w, 1}) == 0) continue;
                if (!lines.empty() && y - lines.back().second <= 3)
                    lines.back().second = y;
                else
                    lines.push_back({y, y});
            }
            return lines.size() >= 2;
        },
        10))
        << "no sequence rows";
    Click(seqs.x + 6, seqs.y + Middle(lines[1]));
    EXPECT_TRUE(WaitFor([&] { return Rows().size() == 1; }, 10)) << Rows().size();
}

}  // namespace
