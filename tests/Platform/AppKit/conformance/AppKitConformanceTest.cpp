#include <gtest/gtest.h>

// Keysyms only: plain constants, none of Xlib's macros.
#include <X11/keysym.h>

#include <memory>
#include <string>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/Platform/AppKit/conformance/BackendDriver.h"

namespace {

using conformance::BackendDriver;
using plat::Application;
using plat::EventType;
using plat::Rect;
using plat::Window;

bool SameRect(const Rect& a, const Rect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

std::string Text(const Rect& r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

// Every window-system backend must behave the same towards the application: the same suite runs on
// each (headless in memory, x11 on a private Xvfb).
class AppKitConformance : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        driver = std::string(GetParam()) == "x11" ? conformance::MakeX11Driver()
                                                  : conformance::MakeHeadlessDriver();
        ASSERT_TRUE(driver->Ok()) << driver->Failure();
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
    void TearDown() override {
        for (Window* w : windows) {
            w->Close();
            w->Release();
        }
        windows.clear();
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
        driver.reset();
    }
    Window* Make(const Rect& content, uint32_t style = plat::kTitledWindowMask | plat::kClosableWindowMask) {
        Window* w = Window::Create(content, style);
        windows.push_back(w);
        return w;
    }
    // The next event of the type that reaches the application.
    bool Next(EventType type, plat::Event* out) {
        return Application::Shared()->NextEvent(plat::EventMaskOf(type), plat::ClockNow() + 5,
                                                plat::kRunLoopDefaultMode, true, out);
    }

    std::unique_ptr<BackendDriver> driver;
    std::vector<Window*> windows;
};

TEST_P(AppKitConformance, NewWindowsAppearOnlyWhenOrderedFront) {
    const Rect content{100, 120, 300, 200};
    Window* w = Make(content);
    EXPECT_FALSE(driver->Shown(w));
    EXPECT_TRUE(SameRect(w->ContentRect(), content));

    w->MakeKeyAndOrderFront();
    EXPECT_TRUE(driver->Shown(w));
    EXPECT_TRUE(w->IsKeyWindow());
    EXPECT_TRUE(SameRect(driver->ShownContent(w), content)) << Text(driver->ShownContent(w));

    w->OrderOut();
    EXPECT_FALSE(driver->Shown(w));
    w->OrderFront();
    EXPECT_TRUE(driver->Shown(w));
    EXPECT_TRUE(SameRect(driver->ShownContent(w), content)) << Text(driver->ShownContent(w));
}

TEST_P(AppKitConformance, StackingFollowsTheApplicationsOrder) {
    Window* a = Make({10, 30, 200, 100});
    Window* b = Make({40, 60, 200, 100});
    Window* c = Make({70, 90, 200, 100});
    const std::vector<Window*> all{a, b, c};
    using Order = std::vector<const Window*>;
    for (Window* w : all) w->MakeKeyAndOrderFront();
    EXPECT_EQ(driver->ShownOrder(all), (Order{c, b, a}));

    a->OrderFront();
    EXPECT_EQ(driver->ShownOrder(all), (Order{a, c, b}));
    b->OrderWindow(plat::WindowOrder::kAbove, a->Number());
    EXPECT_EQ(driver->ShownOrder(all), (Order{b, a, c}));
    b->OrderWindow(plat::WindowOrder::kBelow, c->Number());
    EXPECT_EQ(driver->ShownOrder(all), (Order{a, c, b}));
    c->OrderOut();
    EXPECT_EQ(driver->ShownOrder(all), (Order{a, b}));

    // A floating window stays above normal ones brought to the front after it.
    Window* floating = Make({300, 300, 100, 100});
    floating->SetLevel(plat::kFloatingWindowLevel);
    floating->OrderFront();
    b->OrderFront();
    EXPECT_EQ(driver->ShownOrder({a, b, c, floating}), (Order{floating, b, a}));
}

TEST_P(AppKitConformance, FrameChangesReachTheWindowSystem) {
    Window* w = Make({100, 100, 200, 150});
    w->OrderFront();
    struct Case {
        Rect content;
        bool hiddenFirst;
    } cases[] = {
        {{50, 60, 400, 250}, false},
        {{0, 0, 120, 80}, false},
        {{300, 200, 640, 480}, true},  // changed while hidden, then shown
    };
    for (const Case& c : cases) {
        if (c.hiddenFirst) w->OrderOut();
        w->SetFrame(w->FrameRectForContentRect(c.content), false);
        if (c.hiddenFirst) w->OrderFront();
        EXPECT_TRUE(SameRect(w->ContentRect(), c.content)) << Text(w->ContentRect());
        EXPECT_TRUE(SameRect(driver->ShownContent(w), c.content)) << Text(driver->ShownContent(w));
    }
    // A new style keeps the content where it is.
    w->SetStyleMask(plat::kTitledWindowMask | plat::kUtilityWindowMask);
    EXPECT_TRUE(SameRect(driver->ShownContent(w), cases[2].content)) << Text(driver->ShownContent(w));
}

TEST_P(AppKitConformance, TitlesReachTheWindowSystemAsUtf8) {
    Window* w = Make({100, 100, 200, 150});
    w->OrderFront();
    for (const char* title : {"Monitor", "Caf\xc3\xa9 \xe2\x80\x93 \xe7\x85\xa7\xe6\x98\x8e", ""}) {
        w->SetTitle(title);
        EXPECT_EQ(w->Title(), title);
        EXPECT_EQ(driver->ShownTitle(w), title);
    }
}

TEST_P(AppKitConformance, MouseEventsReachTheApplication) {
    Window* w = Make({100, 100, 300, 200});
    w->MakeKeyAndOrderFront();
    struct Case {
        EventType type;
        plat::Point location;
        uint32_t modifiers;
        int32_t clicks;
    } cases[] = {
        {EventType::kLeftMouseDown, {12, 34}, 0, 1},
        {EventType::kLeftMouseUp, {12, 34}, 0, 0},
        {EventType::kLeftMouseDown, {0, 0}, plat::kCommandKeyMask, 1},
        {EventType::kRightMouseDown, {299, 199}, plat::kShiftKeyMask | plat::kAlternateKeyMask, 1},
        {EventType::kRightMouseUp, {299, 199}, 0, 0},
        {EventType::kMouseMoved, {150, 20}, plat::kControlKeyMask, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.type));
        driver->Mouse(w, c.type, c.location, c.modifiers);
        plat::Event e;
        ASSERT_TRUE(Next(c.type, &e));
        EXPECT_EQ(e.windowNumber, w->Number());
        EXPECT_EQ(e.location.x, c.location.x);
        EXPECT_EQ(e.location.y, c.location.y);
        EXPECT_EQ(e.modifierFlags, c.modifiers);
        EXPECT_EQ(e.clickCount, c.clicks);
        EXPECT_GT(e.eventNumber, 0);
    }
    for (double dy : {1.0, -1.0}) {
        driver->Wheel(w, {20, 20}, dy);
        plat::Event e;
        ASSERT_TRUE(Next(EventType::kScrollWheel, &e));
        EXPECT_EQ(e.windowNumber, w->Number());
        EXPECT_EQ(e.deltaY, dy);
        EXPECT_EQ(e.deltaX, 0);
    }
}

TEST_P(AppKitConformance, KeyEventsReachTheApplication) {
    Window* w = Make({100, 100, 300, 200});
    w->MakeKeyAndOrderFront();
    const conformance::Key keys[] = {
        {XK_a, 0, "a", "a"},
        {XK_a, plat::kShiftKeyMask, "A", "A"},
        {XK_a, plat::kCommandKeyMask, "a", "a"},     // Command does not change the text
        {XK_a, plat::kControlKeyMask, "\x01", "a"},  // Control makes control characters
        {XK_Up, 0, "\xef\x9c\x80", "\xef\x9c\x80"},  // U+F700
        {XK_Return, 0, "\r", "\r"},
        {XK_BackSpace, 0, "\x7f", "\x7f"},
        {XK_1, plat::kShiftKeyMask, "!", "!"},
    };
    for (const conformance::Key& k : keys) {
        SCOPED_TRACE(k.characters);
        for (bool down : {true, false}) {
            driver->PressKey(w, k, down);
            plat::Event e;
            ASSERT_TRUE(Next(down ? EventType::kKeyDown : EventType::kKeyUp, &e));
            EXPECT_EQ(e.windowNumber, w->Number());
            EXPECT_EQ(e.modifierFlags, k.modifiers);
            EXPECT_EQ(e.characters, k.characters);
            EXPECT_EQ(e.charactersIgnoringModifiers, k.charactersIgnoringModifiers);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, AppKitConformance, ::testing::Values("headless", "x11"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

}  // namespace
