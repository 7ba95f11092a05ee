#include <gtest/gtest.h>

// After gtest: Xlib defines None and Bool as macros.
#include <X11/Xlib.h>

#include <memory>
#include <string>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Foundation/Clock.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/XvfbServer.h"

namespace {

using plat::Application;
using plat::Event;
using plat::EventType;
using plat::Window;
using plat::x11::X11Backend;

// Real input from xdotool (XTest) into a window of the backend on a private server.
class X11InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::HaveProgram("xdotool")) GTEST_SKIP() << "xdotool is not installed";
        ASSERT_TRUE(server.Ok()) << "Xvfb did not start";
        backend = X11Backend::Open(server.Display().c_str());
        ASSERT_NE(backend, nullptr);
        plat::SetBackend(backend.get());
        ASSERT_TRUE(backend->Start());
        window = Window::Create({100, 100, 300, 200}, plat::kTitledWindowMask);
        window->MakeKeyAndOrderFront();
        ::Display* d = backend->XDisplay();
        XSync(d, False);
        XSetInputFocus(d, backend->XWindowOf(window.get()), RevertToParent, CurrentTime);
        XSync(d, False);
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
    void TearDown() override {
        if (window) window->Close();
        window = nullptr;
        plat::SetBackend(nullptr);
        backend.reset();
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
    // Runs xdotool while the event loop turns; answers the events of the types that arrived.
    std::vector<Event> Run(const std::string& args, uint64_t mask, double settle = 0.3) {
        testsupport::BackgroundCommand tool("DISPLAY=" + server.Display() + " xdotool " + args);
        std::vector<Event> got;
        double until = plat::ClockNow() + 10;
        bool done = false;
        while (plat::ClockNow() < until) {
            Event e;
            if (Application::Shared()->NextEvent(mask, plat::ClockNow() + 0.02, plat::kRunLoopDefaultMode,
                                                 true, &e))
                got.push_back(e);
            if (!done && tool.Done()) {
                done = true;
                until = plat::ClockNow() + settle;
            }
        }
        EXPECT_TRUE(done) << args;
        return got;
    }
    static std::string Typed(const std::vector<Event>& events) {
        std::string text;
        for (const Event& e : events)
            if (e.type == EventType::kKeyDown) text += e.characters;
        return text;
    }

    testsupport::XvfbServer server{"1024x768x24"};
    std::unique_ptr<X11Backend> backend;
    plat::Ref<Window> window;
};

TEST_F(X11InputTest, TypedAndComposedTextArrivesWhole) {
    const uint64_t keys = plat::EventMaskOf(EventType::kKeyDown);
    // xdotool types characters missing from the keymap by binding a spare keycode for each and
    // unbinding it right after; a client that reads the key after the unbinding (Xlib fetches the
    // keymap lazily) sees no symbol. That race is the tool's: the characters get keys of their own
    // first, as a user's layout gives them, and a lost character still gets another try.
    if (testsupport::HaveProgram("xmodmap"))
        (void)testsupport::CommandOutput("DISPLAY=" + server.Display() +
                                         " xmodmap -e 'keycode any = udiaeresis' -e 'keycode any = ssharp'"
                                         " -e 'keycode any = EuroSign' 2>&1");
    (void)Run("sleep 0.1", keys);  // the mapping notices
    const std::string want =
        "Gr\xc3\xbc\xc3\x9f"
        "e \xe2\x82\xac";
    std::string typed;
    for (int attempt = 0; attempt < 3 && typed != want; ++attempt)
        typed = Typed(Run("type --delay 30 '" + want + "'", keys));
    EXPECT_EQ(typed, want);
    // A dead key and the letter after it make one character.
    EXPECT_EQ(Typed(Run("key --delay 30 dead_acute e", keys)), "\xc3\xa9");
}

TEST_F(X11InputTest, ModifiersComeFromTheServersMapAlsoWithNumLock) {
    const uint64_t keys = plat::EventMaskOf(EventType::kKeyDown);
    struct Case {
        const char* chord;
        uint32_t flags;
    } cases[] = {
        {"ctrl+a", plat::kCommandKeyMask},
        {"alt+a", plat::kAlternateKeyMask},
        {"super+a", plat::kControlKeyMask},
        {"ctrl+shift+a", plat::kCommandKeyMask | plat::kShiftKeyMask},
    };
    for (bool numLock : {false, true}) {
        if (numLock) Run("key Num_Lock", keys);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.chord) + (numLock ? " with Num Lock" : ""));
            std::vector<Event> got = Run(std::string("key ") + c.chord, keys);
            ASSERT_EQ(got.size(), 1u);
            EXPECT_EQ(got[0].modifierFlags, c.flags);
            EXPECT_EQ(got[0].charactersIgnoringModifiers,
                      std::string(c.flags & plat::kShiftKeyMask ? "A" : "a"));
        }
    }
}

TEST_F(X11InputTest, ClicksLandAtTheirPointAndCountFromTheDesktopsInterval) {
    const uint64_t downs = plat::EventMaskOf(EventType::kLeftMouseDown);
    std::vector<Event> got = Run("mousemove 140 175 click --repeat 2 --delay 80 1", downs);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].location.x, 40);
    EXPECT_EQ(got[0].location.y, 75);
    EXPECT_EQ(got[0].clickCount, 1);
    EXPECT_EQ(got[1].clickCount, 2);
    EXPECT_EQ(backend->MouseLocation().x, 140);
    EXPECT_EQ(backend->MouseLocation().y, 175);
    // Slower than the interval: a new single click.
    got = Run("click --delay 600 --repeat 2 1", downs);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].clickCount, 1);
}

TEST_F(X11InputTest, HeldKeysRepeatDetectably) {
    std::vector<Event> got = Run("keydown a sleep 0.8 keyup a", plat::EventMaskOf(EventType::kKeyDown) |
                                                                    plat::EventMaskOf(EventType::kKeyUp));
    ASSERT_GE(got.size(), 3u);  // press, repeats, release
    EXPECT_FALSE(got.front().isRepeat);
    EXPECT_TRUE(got[1].isRepeat);
    EXPECT_EQ(got.back().type, EventType::kKeyUp);
    size_t ups = 0;
    for (const Event& e : got) ups += e.type == EventType::kKeyUp;
    EXPECT_EQ(ups, 1u);  // no release between repeats
}

// Xvfb's pointer has no scroll valuators: its wheel buttons are the line steps, each once.
TEST_F(X11InputTest, WheelButtonsAreLineStepsDeliveredOnce) {
    const uint64_t wheel = plat::EventMaskOf(EventType::kScrollWheel);
    std::vector<Event> got = Run("mousemove 150 150 click 4 click 5 click 6 click 7", wheel);
    ASSERT_EQ(got.size(), 4u);
    const double want[][2] = {{0, 1}, {0, -1}, {1, 0}, {-1, 0}};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].deltaX, want[i][0]);
        EXPECT_EQ(got[i].deltaY, want[i][1]);
        EXPECT_FALSE(got[i].hasPreciseScrollingDeltas);
        EXPECT_EQ(got[i].location.x, 50);
        EXPECT_EQ(got[i].location.y, 50);
    }
    // Motion and buttons still arrive through the pointer extension.
    got = Run("mousemove 160 170 mousedown 1 mousemove 180 190 mouseup 1",
              plat::EventMaskOf(EventType::kLeftMouseDown) | plat::EventMaskOf(EventType::kLeftMouseDragged) |
                  plat::EventMaskOf(EventType::kLeftMouseUp));
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got.front().type, EventType::kLeftMouseDown);
    EXPECT_EQ(got.back().type, EventType::kLeftMouseUp);
    EXPECT_EQ(got.back().location.x, 80);
    EXPECT_EQ(got.back().location.y, 90);
}

}  // namespace
