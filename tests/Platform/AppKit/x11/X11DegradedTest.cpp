#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/AppKit/x11/X11Presenter.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/XExtensionFilter.h"
#include "tests/support/XvfbServer.h"

// Xlib last: its macros (None, Bool, Status) must not reach the headers above.
// clang-format off
#include <X11/Xlib.h>

#include "tests/support/WindowShot.h"
// clang-format on

namespace {

using plat::Application;
using plat::Event;
using plat::EventType;
using plat::Window;
using plat::x11::X11Backend;
using plat::x11::X11Presenter;

struct Fill : plat::View {
    explicit Fill(const plat::Rect& r) : plat::View(r) {}
    void DrawRect(const plat::Rect&) override {
        plat::DrawContext* ctx = plat::CurrentDrawContext();
        ctx->SetFillColor({0.2, 0.6, 0.4, 1});
        ctx->FillRect(Bounds());
    }
};
constexpr uint32_t kFill = 0x339966;

// A server without one extension: Xvfb switches some off itself (-extension); the others a filter in
// front of it hides from the backend.
struct Degraded {
    const char* name;
    std::vector<std::string> serverArguments;
    std::vector<std::string> hidden;
    const char* named;  // what the line on stderr names
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

// The backend on a server; what it wrote to stderr until its window showed.
struct Session {
    std::unique_ptr<testsupport::XvfbServer> server;
    std::unique_ptr<testsupport::XExtensionFilter> filter;
    std::unique_ptr<X11Backend> backend;
    plat::Ref<Window> window;
    Fill* content = nullptr;
    std::vector<std::string> said;

    template <typename F>
    static bool Settle(F done, double wait = 5) {
        const double until = plat::ClockNow() + wait;
        while (!done() && plat::ClockNow() < until)
            Application::Shared()->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.02,
                                             plat::kRunLoopDefaultMode, true, nullptr);
        return done();
    }
    // Real server display, and the one the backend connects to.
    std::string Real() const { return server->Display(); }

    void Start(const Degraded& d) {
        server = std::make_unique<testsupport::XvfbServer>("640x480x24", d.serverArguments);
        ASSERT_TRUE(server->Ok()) << "Xvfb did not start";
        std::string display = server->Display();
        if (!d.hidden.empty()) {
            filter = std::make_unique<testsupport::XExtensionFilter>(display, d.hidden);
            ASSERT_TRUE(filter->Ok());
            display = filter->Display();
        }
        ::testing::internal::CaptureStderr();
        backend = X11Backend::Open(display.c_str());
        bool started = false;
        if (backend) {
            plat::SetBackend(backend.get());
            started = backend->Start();
        }
        if (started) {
            window = Window::Create({100, 100, 200, 150}, plat::kTitledWindowMask);
            content = new Fill({0, 0, 1, 1});
            window->SetContentView(content);
            content->SetNeedsDisplay(true);
            window->MakeKeyAndOrderFront();
            ::Display* x = backend->XDisplay();
            XSync(x, False);
            XSetInputFocus(x, backend->XWindowOf(window.get()), RevertToParent, CurrentTime);
            XSync(x, False);
            Settle([&] { return window->IsVisible() && !window->NeedsDisplay(); });
        }
        said = Lines(::testing::internal::GetCapturedStderr());
        ASSERT_NE(backend, nullptr) << "no connection";
        ASSERT_TRUE(started);
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
    ~Session() {
        if (window) window->Close();
        window = nullptr;
        if (content) content->Release();
        if (backend) {
            plat::SetBackend(nullptr);
            backend.reset();
        }
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
};

// What the backend says on a server with everything.
const std::vector<std::string>& Usual() {
    static std::vector<std::string> lines = [] {
        Session s;
        s.Start({"everything", {}, {}, ""});
        return s.said;
    }();
    return lines;
}

class X11DegradedTest : public ::testing::TestWithParam<Degraded> {};

TEST_P(X11DegradedTest, TheBackendStartsShowsTakesInputAndSaysWhatIsMissing) {
    if (!testsupport::HaveProgram("xdotool")) GTEST_SKIP() << "xdotool is not installed";
    const Degraded& d = GetParam();
    const std::vector<std::string> usual = Usual();
    Session s;
    s.Start(d);
    if (HasFatalFailure()) return;

    // One line more than usual, naming the extension.
    std::vector<std::string> extra;
    for (const std::string& line : s.said)
        if (std::find(usual.begin(), usual.end(), line) == usual.end()) extra.push_back(line);
    ASSERT_EQ(extra.size(), 1u) << ::testing::PrintToString(s.said);
    EXPECT_NE(extra[0].find(d.named), std::string::npos) << extra[0];
    EXPECT_EQ(extra[0].rfind("orbilume: ", 0), 0u) << extra[0];

    // The window shows its pixels, through shared memory only where the server has it.
    EXPECT_EQ(s.backend->Presenter()->UsedPath(), d.name == std::string("MIT-SHM")
                                                      ? X11Presenter::Path::kPutImage
                                                      : X11Presenter::Path::kSharedMemory);
    ::Display* x = XOpenDisplay(s.Real().c_str());
    ASSERT_NE(x, nullptr);
    const plat::Point middle = s.window->ConvertToScreen({100, 75});
    auto shown = [&] { return testsupport::ScreenPixel(x, int(middle.x), int(middle.y)); };
    EXPECT_TRUE(Session::Settle([&] { return shown() == kFill; })) << std::hex << shown();
    XCloseDisplay(x);

    // One screen, the server's.
    const std::vector<plat::Screen> screens = s.backend->Screens();
    ASSERT_EQ(screens.size(), 1u);
    EXPECT_EQ(screens[0].frame.width, 640);
    EXPECT_EQ(screens[0].frame.height, 480);

    // A click and a key from another client (XTest) arrive.
    const uint64_t mask =
        plat::EventMaskOf(EventType::kLeftMouseDown) | plat::EventMaskOf(EventType::kKeyDown);
    const plat::Point at = s.window->ConvertToScreen({40, 30});
    testsupport::BackgroundCommand tool("DISPLAY=" + s.Real() + " xdotool mousemove --sync " +
                                        std::to_string(int(at.x)) + " " + std::to_string(int(at.y)) +
                                        " click 1 key a");
    std::vector<Event> got;
    int status = -1;
    const double until = plat::ClockNow() + 10;
    while (plat::ClockNow() < until && got.size() < 2) {
        Event e;
        if (Application::Shared()->NextEvent(mask, plat::ClockNow() + 0.02, plat::kRunLoopDefaultMode, true,
                                             &e))
            got.push_back(e);
    }
    EXPECT_TRUE(Session::Settle([&] { return tool.Done(&status); }, 10));
    EXPECT_EQ(status, 0);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].type, EventType::kLeftMouseDown);
    EXPECT_EQ(got[0].location.x, 40);
    EXPECT_EQ(got[0].location.y, 30);
    EXPECT_EQ(got[1].type, EventType::kKeyDown);
    EXPECT_EQ(got[1].characters, "a");
}

INSTANTIATE_TEST_SUITE_P(Servers, X11DegradedTest,
                         ::testing::Values(Degraded{"MIT-SHM", {"-extension", "MIT-SHM"}, {}, "MIT-SHM"},
                                           Degraded{"XInputExtension", {}, {"XInputExtension"}, "XInput"},
                                           Degraded{"RANDR", {"-extension", "RANDR"}, {}, "RandR"},
                                           // Xvfb without XFIXES aborts when a client leaves: hidden instead.
                                           Degraded{"XFIXES", {}, {"XFIXES"}, "XFixes"},
                                           Degraded{"SHAPE", {}, {"SHAPE"}, "SHAPE"}),
                         [](const ::testing::TestParamInfo<Degraded>& info) {
                             std::string name = std::string("Without") + info.param.name;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

}  // namespace
