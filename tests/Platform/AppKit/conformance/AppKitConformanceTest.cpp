#include <gtest/gtest.h>

// Keysyms only: plain constants, none of Xlib's macros.
#include <X11/keysym.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/Cursor.h"
#include "Platform/AppKit/Dragging.h"
#include "Platform/AppKit/HotKeys.h"
#include "Platform/AppKit/MenuTracker.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/Screen.h"
#include "Platform/AppKit/TextView.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Object.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLPixelFormat.h"
#include "Platform/GL/GLSurface.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/Platform/AppKit/conformance/BackendDriver.h"
#include "tests/support/PinnedFonts.h"

namespace {

// Text views lay out with the DejaVu fonts alone.
const bool kFontsPinned = testsupport::PinFontsToDejaVu();

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
    void SetUp() override { UseScale(1); }
    // A fresh window system of the backend at the scale (before any window is made).
    void UseScale(int32_t scale) {
        driver.reset();
        driver = std::string(GetParam()) == "x11" ? conformance::MakeX11Driver(scale)
                                                  : conformance::MakeHeadlessDriver(scale);
        ASSERT_TRUE(driver->Ok()) << driver->Failure();
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
    void TearDown() override {
        for (const plat::Ref<Window>& w : windows) w->Close();
        windows.clear();
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
        driver.reset();
    }
    Window* Make(const Rect& content, uint32_t style = plat::kTitledWindowMask | plat::kClosableWindowMask) {
        windows.push_back(Window::Create(content, style));
        return windows.back().get();
    }
    // The next event of the type that reaches the application.
    bool Next(EventType type, plat::Event* out) {
        return Application::Shared()->NextEvent(plat::EventMaskOf(type), plat::ClockNow() + 5,
                                                plat::kRunLoopDefaultMode, true, out);
    }

    std::unique_ptr<BackendDriver> driver;
    std::vector<plat::Ref<Window>> windows;
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

TEST_P(AppKitConformance, MiniaturizedWindowsLeaveTheScreenAndComeBackInFront) {
    Window* w = Make({100, 120, 300, 200}, plat::kTitledWindowMask | plat::kMiniaturizableWindowMask);
    Window* other = Make({150, 150, 300, 200});
    w->MakeKeyAndOrderFront();
    other->MakeKeyAndOrderFront();
    w->SetMiniaturized(true);
    EXPECT_FALSE(driver->Shown(w));
    EXPECT_TRUE(driver->Shown(other));
    w->SetMiniaturized(false);
    EXPECT_TRUE(driver->Shown(w));
    EXPECT_TRUE(w->IsKeyWindow());
    EXPECT_EQ(driver->ShownOrder({w, other}), (std::vector<const Window*>{w, other}));
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

TEST_P(AppKitConformance, PopUpsShowAboveEveryWindowWhereTheyArePlaced) {
    using Order = std::vector<const Window*>;
    Window* normal = Make({10, 30, 300, 200});
    Window* floating = Make({200, 100, 150, 100}, plat::kTitledWindowMask | plat::kUtilityWindowMask);
    floating->SetLevel(plat::kFloatingWindowLevel);
    Window* modal = Make({250, 150, 150, 100});
    modal->SetLevel(plat::kModalPanelWindowLevel);
    const Rect menuPlace{60, 80, 120, 90};
    Window* menu = Make(menuPlace, plat::kBorderlessWindowMask);
    menu->SetLevel(plat::kPopUpMenuWindowLevel);
    const std::vector<Window*> all{normal, floating, modal, menu};

    modal->OrderFront();
    menu->OrderFront();
    floating->OrderFront();
    normal->MakeKeyAndOrderFront();  // brought forward after the others: still below them
    EXPECT_EQ(driver->ShownOrder(all), (Order{menu, modal, floating, normal}));
    EXPECT_TRUE(SameRect(driver->ShownContent(menu), menuPlace)) << Text(driver->ShownContent(menu));

    // Dismissed and shown again: on top once more, above a window ordered front meanwhile.
    menu->OrderOut();
    EXPECT_EQ(driver->ShownOrder(all), (Order{modal, floating, normal}));
    modal->OrderFront();
    menu->OrderFront();
    EXPECT_EQ(driver->ShownOrder(all), (Order{menu, modal, floating, normal}));
    menu->OrderOut();
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

TEST_P(AppKitConformance, StylesReachTheWindowSystem) {
    using Style = BackendDriver::Style;
    struct Case {
        uint32_t mask;
        Style shown;
    } cases[] = {
        {plat::kTitledWindowMask | plat::kClosableWindowMask, {true, false, false}},
        {plat::kTitledWindowMask | plat::kResizableWindowMask, {true, false, true}},
        {plat::kBorderlessWindowMask, {false, false, false}},
        {plat::kTitledWindowMask | plat::kUtilityWindowMask, {true, true, false}},
        {plat::kTitledWindowMask | plat::kUtilityWindowMask | plat::kResizableWindowMask, {true, true, true}},
    };
    auto text = [](const Style& s) {
        return std::string(s.titleBar ? "titled" : "borderless") + (s.utility ? " utility" : "") +
               (s.resizable ? " resizable" : "");
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mask);
        Window* w = Make({100, 100, 200, 150}, c.mask);
        w->OrderFront();
        EXPECT_EQ(text(driver->ShownStyle(w)), text(c.shown));
        // The same style set on a shown window of another one.
        Window* changed = Make({350, 100, 200, 150}, c.mask == plat::kBorderlessWindowMask
                                                         ? plat::kTitledWindowMask | plat::kResizableWindowMask
                                                         : plat::kBorderlessWindowMask);
        changed->OrderFront();
        changed->SetStyleMask(c.mask);
        EXPECT_EQ(text(driver->ShownStyle(changed)), text(c.shown));
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
        int32_t button;
    } cases[] = {
        {EventType::kLeftMouseDown, {12, 34}, 0, 1, 0},
        {EventType::kLeftMouseUp, {12, 34}, 0, 0, 0},
        {EventType::kLeftMouseDown, {0, 0}, plat::kCommandKeyMask, 1, 0},
        {EventType::kRightMouseDown, {299, 199}, plat::kShiftKeyMask | plat::kAlternateKeyMask, 1, 1},
        {EventType::kRightMouseUp, {299, 199}, 0, 0, 1},
        {EventType::kMouseMoved, {150, 20}, plat::kControlKeyMask, 0, 0},
        // A drag: the motion between press and release is dragged motion, with its modifiers.
        {EventType::kLeftMouseDown, {40, 50}, 0, 1, 0},
        {EventType::kLeftMouseDragged, {41, 50}, 0, 0, 0},
        {EventType::kLeftMouseDragged, {90, 120}, plat::kShiftKeyMask, 0, 0},
        {EventType::kLeftMouseUp, {90, 120}, 0, 0, 0},
        {EventType::kRightMouseDown, {10, 10}, 0, 1, 1},
        {EventType::kRightMouseDragged, {-5, 250}, 0, 0, 1},  // outside the window, still its drag
        {EventType::kRightMouseUp, {-5, 250}, 0, 0, 1},
        // The middle button.
        {EventType::kOtherMouseDown, {70, 80}, plat::kShiftKeyMask, 1, 2},
        {EventType::kOtherMouseUp, {70, 80}, 0, 0, 2},
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
        EXPECT_EQ(e.buttonNumber, c.button);
        EXPECT_GT(e.eventNumber, 0);
    }
    for (double dy : {1.0, -1.0}) {
        driver->Wheel(w, {20, 20}, dy);
        plat::Event e;
        ASSERT_TRUE(Next(EventType::kScrollWheel, &e));
        EXPECT_EQ(e.windowNumber, w->Number());
        EXPECT_EQ(e.deltaY, dy);
        EXPECT_EQ(e.deltaX, 0);
        // A wheel notch is a line step on both: scrolling deltas in lines, not precise.
        EXPECT_TRUE(e.hasScrollingDeltas);
        EXPECT_EQ(e.scrollingDeltaY, dy);
        EXPECT_FALSE(e.hasPreciseScrollingDeltas);
        EXPECT_EQ(e.location.x, 20);
        EXPECT_EQ(e.location.y, 20);
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
        // UTF-8 from the keysym whatever the locale; function keys in the private range.
        {XK_eacute, 0, "\xc3\xa9", "\xc3\xa9"},
        {XK_EuroSign, 0, "\xe2\x82\xac", "\xe2\x82\xac"},
        {XK_F1, 0, "\xef\x9c\x84", "\xef\x9c\x84"},      // U+F704
        {XK_F12, 0, "\xef\x9c\x8f", "\xef\x9c\x8f"},     // U+F70F
        {XK_Delete, 0, "\xef\x9c\xa8", "\xef\x9c\xa8"},  // U+F728
        {XK_Home, 0, "\xef\x9c\xa9", "\xef\x9c\xa9"},
        {XK_End, 0, "\xef\x9c\xab", "\xef\x9c\xab"},
        {XK_Prior, 0, "\xef\x9c\xac", "\xef\x9c\xac"},
        {XK_Next, 0, "\xef\x9c\xad", "\xef\x9c\xad"},
        {XK_KP_Enter, 0, "\x03", "\x03"},
        {XK_Escape, 0, "\x1b", "\x1b"},
        {XK_Tab, 0, "\t", "\t"},
        {XK_ISO_Left_Tab, plat::kShiftKeyMask, "\x19", "\x19"},
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

TEST_P(AppKitConformance, ComposedTextArrivesAsTheCharactersItMakes) {
    Window* w = Make({100, 100, 300, 200});
    w->MakeKeyAndOrderFront();
    struct Case {
        std::vector<unsigned long> keys;
        const char* text;
    } cases[] = {
        {{XK_dead_acute, XK_e}, "\xc3\xa9"},
        {{XK_dead_diaeresis, XK_u}, "\xc3\xbc"},
        {{XK_dead_grave, XK_A}, "\xc3\x80"},
        {{XK_dead_circumflex, XK_o}, "\xc3\xb4"},
        {{XK_b}, "b"},  // a plain key between composed ones
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        driver->Compose(w, c.keys, c.text);
        // The dead key makes no text of its own: the key downs together give exactly the character.
        std::string typed;
        plat::Event e;
        while (typed.size() < std::string(c.text).size() && Next(EventType::kKeyDown, &e)) {
            EXPECT_EQ(e.windowNumber, w->Number());
            typed += e.characters;
        }
        EXPECT_EQ(typed, c.text);
        Application::Shared()->DiscardEvents(plat::EventMaskOf(EventType::kKeyUp));
    }
}

TEST_P(AppKitConformance, ModifierKeysArriveAsFlagsChanged) {
    Window* w = Make({100, 100, 300, 200});
    w->MakeKeyAndOrderFront();
    driver->PressModifier(w, XK_Shift_L, plat::kShiftKeyMask, true);
    plat::Event e;
    ASSERT_TRUE(Next(EventType::kFlagsChanged, &e));
    EXPECT_EQ(e.modifierFlags, plat::kShiftKeyMask);
    driver->PressModifier(w, XK_Shift_L, 0, false);
    ASSERT_TRUE(Next(EventType::kFlagsChanged, &e));
    EXPECT_EQ(e.modifierFlags, 0u);
}

// A delegate that holds the content at least 300 wide.
struct MinimumWidth : plat::WindowDelegate {
    plat::Size WindowWillResize(Window* w, plat::Size proposed) override {
        ++asked;
        plat::Rect c = w->ContentRectForFrameRect({0, 0, proposed.width, proposed.height});
        return {std::max(c.width, 300.0), proposed.height};
    }
    int asked = 0;
};

TEST_P(AppKitConformance, UserResizesAskTheDelegateAndItsAnswerReachesTheWindowSystem) {
    Window* w = Make({100, 100, 400, 200}, plat::kTitledWindowMask | plat::kResizableWindowMask);
    MinimumWidth delegate;
    w->SetDelegate(&delegate);
    w->MakeKeyAndOrderFront();
    driver->UserResize(w, {200, 150});
    const double until = plat::ClockNow() + 5;
    while ((delegate.asked == 0 || driver->ShownContent(w).width != 300) && plat::ClockNow() < until)
        Application::Shared()->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.05,
                                         plat::kRunLoopDefaultMode, true, nullptr);
    EXPECT_GE(delegate.asked, 1);
    EXPECT_EQ(w->ContentRect().width, 300);
    EXPECT_EQ(w->ContentRect().height, 150);
    EXPECT_EQ(driver->ShownContent(w).width, 300);
    w->SetDelegate(nullptr);
}

// Draws its area in one colour and records what the pass reports.
struct Painter : plat::View {
    explicit Painter(const Rect& r, plat::GfxColor c) : plat::View(r), colour(c) {}
    void DrawRect(const Rect& dirty) override {
        ++draws;
        focus = plat::View::FocusView() == this;
        rects = RectsBeingDrawn();
        plat::DrawContext* ctx = plat::CurrentDrawContext();
        ASSERT_TRUE(ctx);
        ctx->SetFillColor(colour);
        ctx->FillRect({Bounds().x, Bounds().y, Bounds().width, Bounds().height});
        (void)dirty;
    }
    void KeyDown(const plat::Event& e) override { keys += e.characters; }
    plat::GfxColor colour;
    int draws = 0;
    bool focus = false;
    std::vector<Rect> rects;
    std::string keys;
};

TEST_P(AppKitConformance, ViewsDrawIntoTheBackingStoreClippedToTheirAncestors) {
    Window* w = Make({100, 100, 200, 100});
    auto* content = new Painter({0, 0, 1, 1}, {0, 0, 1, 1});
    auto* clip = new Painter({20, 20, 60, 40}, {0, 1, 0, 1});
    auto* inner = new Painter({-10, -10, 200, 200}, {1, 0, 0, 1});  // larger than its superview
    w->SetContentView(content);
    content->AddSubview(clip);
    clip->AddSubview(inner);
    clip->SetBoundsOrigin({5, 5});
    w->MakeKeyAndOrderFront();
    content->SetNeedsDisplay(true);
    clip->SetNeedsDisplay(true);
    inner->SetNeedsDisplay(true);
    // Drawn before the application waits for the next event.
    plat::Event e;
    Application::Shared()->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.01, plat::kRunLoopDefaultMode,
                                     false, &e);
    EXPECT_EQ(inner->draws, 1);
    EXPECT_TRUE(inner->focus);
    ASSERT_EQ(inner->rects.size(), 1u);
    plat::DrawContext* store = w->BackingStore();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->Width(), 200);
    EXPECT_EQ(store->Height(), 100);
    auto rgb = [store](int x, int y) { return store->PixelAt(x, y) & 0xFFFFFF; };
    EXPECT_EQ(rgb(5, 5), 0x0000FFu);    // content
    EXPECT_EQ(rgb(30, 30), 0xFF0000u);  // inner, inside the clip view
    EXPECT_EQ(rgb(85, 30), 0x0000FFu);  // inner leaves the clip view's frame alone outside it
    // A resize gives a store of the new size.
    w->SetFrame(w->FrameRectForContentRect({100, 100, 120, 80}), true);
    EXPECT_EQ(w->BackingStore()->Width(), 120);
    EXPECT_EQ(w->BackingStore()->Height(), 80);

    // Keys reach the first responder.
    EXPECT_EQ(w->FirstResponder(), content);
    EXPECT_TRUE(w->MakeFirstResponder(inner));
    driver->PressKey(w, {XK_a, 0, "a", "a"}, true);
    ASSERT_TRUE(Next(EventType::kKeyDown, &e));
    Application::Shared()->SendEvent(e);
    EXPECT_EQ(inner->keys, "a");
    EXPECT_EQ(content->keys, "");
    content->Release();
    clip->Release();
    inner->Release();
}

// Turns the event loop (drawing what needs display) until the condition holds or two seconds passed.
template <typename F>
bool Settle(F done) {
    const double until = plat::ClockNow() + 2;
    while (!done() && plat::ClockNow() < until)
        Application::Shared()->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.02,
                                         plat::kRunLoopDefaultMode, true, nullptr);
    return done();
}

TEST_P(AppKitConformance, TheWindowSystemShowsTheBackingStoreAndOnlyWhatChanged) {
    Window* w = Make({100, 100, 200, 100});
    auto* content = new Painter({0, 0, 1, 1}, {0.2, 0.4, 0.6, 1});
    auto* left = new Painter({20, 20, 60, 40}, {1, 0, 0, 1});
    auto* right = new Painter({120, 20, 60, 40}, {0, 0.5, 0, 1});
    w->SetContentView(content);
    content->AddSubview(left);
    content->AddSubview(right);
    w->MakeKeyAndOrderFront();
    for (plat::View* v :
         {static_cast<plat::View*>(content), static_cast<plat::View*>(left), static_cast<plat::View*>(right)})
        v->SetNeedsDisplay(true);
    ASSERT_TRUE(Settle([&] { return driver->ShownPixel(w, 30, 30) == 0xFF0000; }))
        << std::hex << driver->ShownPixel(w, 30, 30);
    // Every pixel the window system shows is the store's.
    plat::DrawContext* store = w->BackingStore();
    for (int y = 0; y < 100; y += 7)
        for (int x = 0; x < 200; x += 9)
            ASSERT_EQ(driver->ShownPixel(w, x, y), store->PixelAt(x, y) & 0xFFFFFF) << x << "," << y;

    // One pane changes: only its rectangle goes out.
    driver->TakePresented(w);
    right->colour = {1, 1, 0, 1};
    right->SetNeedsDisplay(true);
    ASSERT_TRUE(Settle([&] { return driver->ShownPixel(w, 130, 30) == 0xFFFF00; }));
    const std::vector<Rect> presented = driver->TakePresented(w);
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_TRUE(SameRect(presented[0], {120, 20, 60, 40})) << Text(presented[0]);
    EXPECT_EQ(driver->ShownPixel(w, 30, 30), 0xFF0000u);
    EXPECT_EQ(left->draws, 1);

    // The content view draws again: the panes over it draw again too, not painted over.
    content->SetNeedsDisplay(true);
    const int leftDraws = left->draws;
    ASSERT_TRUE(Settle([&] { return left->draws > leftDraws; }));
    EXPECT_EQ(driver->ShownPixel(w, 30, 30), 0xFF0000u);
    EXPECT_EQ(driver->ShownPixel(w, 130, 30), 0xFFFF00u);

    // A resize draws the whole new store before it shows.
    w->SetFrame(w->FrameRectForContentRect({100, 100, 260, 120}), false);
    ASSERT_TRUE(Settle([&] { return driver->ShownPixel(w, 250, 110) == 0x336699; }))
        << std::hex << driver->ShownPixel(w, 250, 110);
    EXPECT_EQ(driver->ShownPixel(w, 130, 30), 0xFFFF00u);
    content->Release();
    left->Release();
    right->Release();
}

TEST_P(AppKitConformance, ClipboardTextGoesToAndComesFromOtherPrograms) {
    Window* w = Make({100, 100, 100, 100});
    w->MakeKeyAndOrderFront();
    plat::Pasteboard* pb = plat::Pasteboard::General();
    const std::string copied =
        "Gr\xc3\xbc\xc3\x9f"
        "e \xe2\x82\xac copied";
    pb->DeclareTypes({plat::Pasteboard::kTypeString}, nullptr);
    ASSERT_TRUE(pb->SetString(copied));
    std::string outside, skip;
    if (!driver->ReadClipboardOutside(&outside, &skip) && !skip.empty()) GTEST_SKIP() << skip;
    EXPECT_EQ(outside, copied);

    const std::string given = "from another program \xe2\x9c\x93\nsecond line";
    ASSERT_TRUE(driver->PutClipboardOutside(given, &skip)) << skip;
    std::string pasted;
    ASSERT_TRUE(pb->StringForType(plat::Pasteboard::kTypeString, &pasted));
    EXPECT_EQ(pasted, given);
}

TEST_P(AppKitConformance, SelectedTextIsTheSelectionAndTheMiddleButtonPastesIt) {
    Window* w = Make({100, 100, 300, 100});
    plat::Ref<plat::TextView> text = plat::TextView::Create({0, 0, 300, 100});
    w->SetContentView(text.get());
    w->MakeKeyAndOrderFront();
    ASSERT_TRUE(w->MakeFirstResponder(text.get()));
    text->SetString("Gr\xc3\xbc\xc3\x9f" "e vom Feld");
    // "vom", in UTF-16 units.
    text->SetSelectedRange({6, 3});
    std::string outside, skip;
    if (!driver->ReadSelectionOutside(&outside, &skip) && !skip.empty()) GTEST_SKIP() << skip;
    EXPECT_EQ(outside, "vom");

    // Another program's selection pastes where the middle button goes down (the start of the text),
    // and leaves the general pasteboard alone.
    plat::Pasteboard::General()->DeclareTypes({plat::Pasteboard::kTypeString}, nullptr);
    ASSERT_TRUE(plat::Pasteboard::General()->SetString("general"));
    ASSERT_TRUE(driver->PutSelectionOutside("\xe2\x82\xac 5 ", &skip)) << skip;
    driver->Mouse(w, EventType::kOtherMouseDown, {1, 5}, 0);
    plat::Event e;
    ASSERT_TRUE(Next(EventType::kOtherMouseDown, &e));
    Application::Shared()->SendEvent(e);
    EXPECT_EQ(text->String(), "\xe2\x82\xac 5 Gr\xc3\xbc\xc3\x9f" "e vom Feld");
    std::string general;
    ASSERT_TRUE(plat::Pasteboard::General()->StringForType(plat::Pasteboard::kTypeString, &general));
    EXPECT_EQ(general, "general");
}

// Takes copies of text and files and records what each callback saw.
struct DropTaker : plat::WindowDelegate {
    uint32_t Offer(const plat::DraggingInfo& info) {
        location = info.windowLocation;
        const bool takes = info.pasteboard && (info.pasteboard->HasType(plat::Pasteboard::kTypeString) ||
                                               info.pasteboard->HasType(plat::Pasteboard::kTypeFileURL));
        return takes && (info.sourceOperationMask & plat::kDragOperationCopy) ? plat::kDragOperationCopy
                                                                               : plat::kDragOperationNone;
    }
    uint32_t DraggingEntered(Window*, const plat::DraggingInfo& info) override {
        ++entered;
        return Offer(info);
    }
    uint32_t DraggingUpdated(Window*, const plat::DraggingInfo& info) override { return Offer(info); }
    void DraggingExited(Window*, const plat::DraggingInfo&) override { ++exited; }
    bool PrepareForDragOperation(Window*, const plat::DraggingInfo&) override { return true; }
    bool PerformDragOperation(Window*, const plat::DraggingInfo& info) override {
        ++performed;
        location = info.windowLocation;
        text.clear();
        urls.clear();
        if (!info.pasteboard) return false;
        (void)info.pasteboard->StringForType(plat::Pasteboard::kTypeString, &text);
        (void)info.pasteboard->FileURLs(&urls);
        return true;
    }
    int entered = 0, exited = 0, performed = 0;
    plat::Point location;
    std::string text;
    std::vector<std::string> urls;
};

TEST_P(AppKitConformance, DragsFromOtherProgramsReachTheWindowAsDragSessions) {
    Window* w = Make({100, 100, 300, 200});
    w->RegisterForDraggedTypes({plat::Pasteboard::kTypeString, plat::Pasteboard::kTypeFileURL});
    w->MakeKeyAndOrderFront();
    // The other program looks for the window under the pointer: it must be on the screen first.
    ASSERT_TRUE(Settle([&] { return driver->Shown(w); }));
    using Drag = BackendDriver::OutsideDrag;
    struct Case {
        const char* name;
        Drag drag;
        bool accepted;
        int entered, exited, performed;
        std::string text;
        std::vector<std::string> urls;
    } cases[] = {
        {"text",
         {"Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac", {}, {{40, 30}, {120, 90}}, true},
         true, 1, 0, 1, "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac", {}},
        {"files",
         {"", {"/tmp/pic.png", "/tmp/two words.txt"}, {{200, 150}}, true},
         true, 1, 0, 1, "", {"file:///tmp/pic.png", "file:///tmp/two%20words.txt"}},
        {"left", {"over and away", {}, {{50, 50}, {60, 60}}, false}, false, 1, 1, 0, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DropTaker taker;
        w->SetDelegate(&taker);
        bool accepted = !c.accepted;
        std::string skip;
        if (!driver->DragFromOutside(w, c.drag, &accepted, &skip)) {
            w->SetDelegate(nullptr);
            if (!skip.empty()) GTEST_SKIP() << skip;
            FAIL() << "the drag did not run to its end";
        }
        EXPECT_EQ(accepted, c.accepted);
        EXPECT_EQ(taker.entered, c.entered);
        EXPECT_EQ(taker.exited, c.exited);
        EXPECT_EQ(taker.performed, c.performed);
        EXPECT_EQ(taker.text, c.text);
        EXPECT_EQ(taker.urls, c.urls);
        // The last point, in the window's content coordinates.
        EXPECT_EQ(taker.location.x, c.drag.points.back().x);
        EXPECT_EQ(taker.location.y, c.drag.points.back().y);
        w->SetDelegate(nullptr);
    }
}

TEST_P(AppKitConformance, ADragReachesTheWindowShownAtThePointOtherProgramsIncluded) {
    Window* back = Make({100, 100, 300, 200});
    Window* front = Make({300, 250, 200, 150});
    for (Window* w : {back, front}) w->RegisterForDraggedTypes({plat::Pasteboard::kTypeString});
    DropTaker backTaker, frontTaker;
    back->SetDelegate(&backTaker);
    front->SetDelegate(&frontTaker);
    back->MakeKeyAndOrderFront();
    front->MakeKeyAndOrderFront();
    // Another program's window over the back window's top-right part.
    driver->CoverOutside({300, 100, 150, 100});
    plat::Ref<plat::Pasteboard> pb = plat::Pasteboard::CreateUnique();
    pb->DeclareTypes({plat::Pasteboard::kTypeString}, nullptr);
    ASSERT_TRUE(pb->SetString("dragged"));
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
    struct Case {
        plat::Point screen;
        Window* destination;
    } cases[] = {
        {{150, 150}, back},     // the back window alone
        {{350, 150}, nullptr},  // under the other program's window
        {{350, 280}, front},    // where ours overlap, the front one
        {{120, 280}, back},
        {{700, 700}, nullptr},  // nothing there
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.screen.x) + "," + std::to_string(c.screen.y));
        (void)drag.MoveTo(c.screen);
        EXPECT_EQ(drag.Destination(), c.destination);
    }
    drag.Leave();
    EXPECT_EQ(backTaker.entered, 2);
    EXPECT_EQ(backTaker.exited, 2);
    EXPECT_EQ(frontTaker.entered, 1);
    back->SetDelegate(nullptr);
    front->SetDelegate(nullptr);
}

TEST_P(AppKitConformance, TheCursorSetIsTheOneShownOverTheWindows) {
    Window* w = Make({100, 100, 200, 150});
    w->MakeKeyAndOrderFront();
    using Shape = plat::Cursor::Shape;
    struct Case {
        Shape shape;
        const char* name;
    } cases[] = {
        {Shape::kIBeam, "ibeam"},
        {Shape::kCrosshair, "crosshair"},
        {Shape::kResizeLeftRight, "resizeLeftRight"},
        {Shape::kResizeUpDown, "resizeUpDown"},
        {Shape::kDragCopy, "dragCopy"},
        {Shape::kDragLink, "dragLink"},
        {Shape::kArrow, "arrow"},
    };
    plat::Point hot;
    for (const Case& c : cases) {
        plat::Cursor::Standard(c.shape)->Set();
        EXPECT_EQ(driver->ShownCursor(w, &hot), c.name);
    }
    // An image cursor keeps its hot spot.
    std::vector<uint8_t> pixels(16 * 16 * 4, 0xFF);
    plat::Ref<plat::BitmapImage> image =
        plat::BitmapImage::Create(16, 16, plat::PixelFormat::kARGB32, pixels.data(), 64);
    ASSERT_TRUE(image);
    plat::Cursor::WithImage(image.get(), {7, 3})->Set();
    EXPECT_EQ(driver->ShownCursor(w, &hot), "image");
    EXPECT_EQ(hot.x, 7);
    EXPECT_EQ(hot.y, 3);
    plat::Cursor::Arrow()->Set();
    EXPECT_EQ(driver->ShownCursor(w, &hot), "arrow");
}

TEST_P(AppKitConformance, TheScreensAreTheDisplaysInPointsAtTheirScale) {
    for (int32_t scale : {1, 2}) {
        SCOPED_TRACE(scale);
        UseScale(scale);
        if (HasFatalFailure()) return;
        const std::vector<plat::Screen> screens = plat::Screens();
        ASSERT_EQ(screens.size(), 1u);
        const Rect whole{0, 0, 1440.0 / scale, 900.0 / scale};
        EXPECT_TRUE(SameRect(screens[0].frame, whole)) << Text(screens[0].frame);
        EXPECT_TRUE(SameRect(screens[0].visibleFrame, whole)) << Text(screens[0].visibleFrame);
        EXPECT_EQ(screens[0].backingScaleFactor, scale);
        EXPECT_GT(screens[0].refreshRate, 0);
        EXPECT_EQ(plat::CurrentBackingScale(), scale);
    }
}

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

TEST_P(AppKitConformance, AtScaleTwoAPointIsTwoPixelsWhileGeometryAndInputStayInPoints) {
    UseScale(2);
    if (HasFatalFailure()) return;
    const Rect content{40, 50, 100, 80};
    Window* w = Make(content, plat::kBorderlessWindowMask);
    auto* line = new Line({0, 0, 100, 80});
    auto* pane = new Painter({60, 30, 20, 10}, {1, 0, 0, 1});
    w->SetContentView(line);
    line->AddSubview(pane);
    line->SetNeedsDisplay(true);
    pane->SetNeedsDisplay(true);
    w->MakeKeyAndOrderFront();
    ASSERT_TRUE(Settle([&] { return driver->ShownPixel(w, 2 * 65, 2 * 35) == 0xFF0000; }))
        << std::hex << driver->ShownPixel(w, 2 * 65, 2 * 35);
    EXPECT_TRUE(SameRect(driver->ShownContent(w), content)) << Text(driver->ShownContent(w));
    EXPECT_EQ(w->BackingStore()->Width(), 200);
    EXPECT_EQ(w->BackingStore()->Height(), 160);
    // The line covers pixel columns 20 and 21, down the whole height.
    for (int y : {0, 61, 159}) {
        SCOPED_TRACE(y);
        EXPECT_EQ(driver->ShownPixel(w, 19, y), 0xFFFFFFu);
        EXPECT_EQ(driver->ShownPixel(w, 20, y), 0u);
        EXPECT_EQ(driver->ShownPixel(w, 21, y), 0u);
        EXPECT_EQ(driver->ShownPixel(w, 22, y), 0xFFFFFFu);
    }
    // The pane's edge: pixel 119 is the line's white, 120 the pane's red.
    EXPECT_EQ(driver->ShownPixel(w, 119, 70), 0xFFFFFFu);
    EXPECT_EQ(driver->ShownPixel(w, 120, 60), 0xFF0000u);

    // A pane that changes is presented as its rectangle in points.
    driver->TakePresented(w);
    pane->colour = {0, 0, 1, 1};
    pane->SetNeedsDisplay(true);
    ASSERT_TRUE(Settle([&] { return driver->ShownPixel(w, 2 * 65, 2 * 35) == 0x0000FF; }));
    const std::vector<Rect> presented = driver->TakePresented(w);
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_TRUE(SameRect(presented[0], {60, 30, 20, 10})) << Text(presented[0]);

    // Input arrives in points.
    driver->Mouse(w, EventType::kLeftMouseDown, {20, 15}, 0);
    plat::Event e;
    ASSERT_TRUE(Next(EventType::kLeftMouseDown, &e));
    EXPECT_EQ(e.location.x, 20);
    EXPECT_EQ(e.location.y, 15);
    driver->Mouse(w, EventType::kLeftMouseUp, {20, 15}, 0);
    ASSERT_TRUE(Next(EventType::kLeftMouseUp, &e));
    line->Release();
    pane->Release();
}

TEST_P(AppKitConformance, GLSurfacesShowTheirColourThroughTheirHolesAndFollowTheirPlace) {
    for (int32_t scale : {1, 2}) {
        SCOPED_TRACE(scale);
        UseScale(scale);
        if (HasFatalFailure()) return;
        if (!driver->GLSkip().empty()) GTEST_SKIP() << driver->GLSkip();
        Window* w = Make({40, 40, 300, 200}, plat::kBorderlessWindowMask);
        auto* content = new Painter({0, 0, 1, 1}, {0.5, 0.5, 0.5, 1});
        auto* corner =
            new Painter({50, 40, 60, 40}, {1, 0, 0, 1});  // a sibling pane over the GL pane's corner
        w->SetContentView(content);
        content->AddSubview(corner);
        content->SetNeedsDisplay(true);
        corner->SetNeedsDisplay(true);
        w->MakeKeyAndOrderFront();

        plat::Ref<plat::GLPixelFormat> format = plat::GLPixelFormat::Create({});
        ASSERT_TRUE(format);
        plat::Ref<plat::GLSurface> surface = w->CreateGLSurface(format.get(), 200, 120);
        ASSERT_TRUE(surface);
        EXPECT_EQ(surface->Width(), 200);
        EXPECT_EQ(surface->PixelWidth(), 200 * scale);
        EXPECT_EQ(surface->PixelHeight(), 120 * scale);
        surface->SetOrigin(50, 40);
        surface->SetOrder(plat::GLSurfaceOrder::kBelowWindow);
        surface->SetClips({{60, 0, 140, 120}, {0, 40, 60, 80}});  // open except under the corner pane
        plat::Ref<plat::GLContext> context = plat::GLContext::Create(format.get(), nullptr);
        ASSERT_TRUE(context);
        ASSERT_TRUE(context->SetSurface(surface.get()));
        ASSERT_TRUE(context->MakeCurrent());
        auto render = [&] {
            glViewport(0, 0, surface->PixelWidth(), surface->PixelHeight());
            glClearColor(51 / 255.0f, 153 / 255.0f, 230 / 255.0f, 1);
            glClear(GL_COLOR_BUFFER_BIT);
            ASSERT_TRUE(context->Swap());
            glFinish();
        };
        render();
        // Points of the content as the pixels the window system shows.
        auto shown = [&](int x, int y) { return driver->ShownPixel(w, x * scale, y * scale); };
        EXPECT_TRUE(Settle([&] { return shown(150, 100) == 0x3399E6; })) << std::hex << shown(150, 100);
        EXPECT_TRUE(Settle([&] { return shown(249, 159) == 0x3399E6; })) << std::hex << shown(249, 159);
        EXPECT_TRUE(Settle([&] { return shown(20, 20) == 0x808080; }))  // the window's own drawing
            << std::hex << shown(20, 20);
        EXPECT_EQ(shown(60, 45), 0xFF0000u);    // the corner pane over the surface
        EXPECT_EQ(shown(250, 160), 0x808080u);  // just past its far corner

        // The pane moves and its holes open fully: the surface follows.
        surface->SetOrigin(90, 70);
        surface->SetClips({{0, 0, 200, 120}});
        w->GLSurfaceNeedsDisplay(surface.get());
        Settle([] { return false; });
        render();
        EXPECT_TRUE(Settle([&] { return shown(90 + 199, 70 + 119) == 0x3399E6; }))
            << std::hex << shown(90 + 199, 70 + 119);
        EXPECT_TRUE(Settle([&] { return shown(55, 45) == 0xFF0000; })) << std::hex << shown(55, 45);
        EXPECT_EQ(shown(70, 100), 0x808080u);  // where it was, uncovered
        (void)plat::GLContext::ClearCurrent();
        context = nullptr;
        surface = nullptr;
        for (const plat::Ref<Window>& each : windows) each->Close();
        windows.clear();
        content->Release();
        corner->Release();
    }
}

// Counts the presses of each registration id.
struct HotKeyPresses {
    static void Count(void* self, plat::HotKeyID id) {
        auto* me = static_cast<HotKeyPresses*>(self);
        if (id.signature == kSignature && id.id < 4) ++me->of[id.id];
    }
    static constexpr uint32_t kSignature = 0x4f72626c;
    int of[4] = {};
};

TEST_P(AppKitConformance, HotKeysArriveWhoeverHasTheFocusAndTakenKeysAreRefused) {
    constexpr uint32_t kF5 = 96, kF6 = 97, kF7 = 98;
    plat::HotKeys* keys = plat::CurrentHotKeys();
    ASSERT_TRUE(keys);
    Window* w = Make({100, 100, 200, 150});
    w->MakeKeyAndOrderFront();
    HotKeyPresses presses;
    const uint32_t token = keys->AddPressHandler(&HotKeyPresses::Count, &presses);
    const uint32_t plain = keys->Register(kF5, 0, {HotKeyPresses::kSignature, 1});
    const uint32_t chord =
        keys->Register(kF7, plat::kHotKeyCommand | plat::kHotKeyShift, {HotKeyPresses::kSignature, 2});
    ASSERT_NE(plain, 0u);
    ASSERT_NE(chord, 0u);
    // Until the counts are reached; a press that must not count gets time to arrive all the same.
    auto settle = [&](int want1, int want2, bool counts) {
        Settle([&] { return presses.of[1] >= want1 && presses.of[2] >= want2; });
        const double until = plat::ClockNow() + (counts ? 0 : 0.3);
        Settle([&] { return plat::ClockNow() > until; });
    };
    struct Press {
        uint32_t key, modifiers;
        int plain, chord;  // the counts after it
    } sequence[] = {
        {kF5, 0, 1, 0},
        {kF7, plat::kHotKeyCommand | plat::kHotKeyShift, 1, 1},
        {kF7, 0, 1, 1},                     // without its modifiers: no hot key
        {kF7, plat::kHotKeyCommand, 1, 1},  // with only some of them either
        {kF5, 0, 2, 1},
    };
    int before = 0;
    for (const Press& p : sequence) {
        SCOPED_TRACE(p.key);
        driver->PressHotKey(p.key, p.modifiers);
        settle(p.plain, p.chord, p.plain + p.chord > before);
        before = p.plain + p.chord;
        EXPECT_EQ(presses.of[1], p.plain);
        EXPECT_EQ(presses.of[2], p.chord);
    }
    // Unregistered, a press is nobody's hot key.
    keys->Unregister(plain);
    driver->PressHotKey(kF5, 0);
    settle(2, 1, false);
    EXPECT_EQ(presses.of[1], 2);
    // A key another program took is refused; a free one still registers.
    driver->HoldHotKeyOutside(kF6);
    EXPECT_EQ(keys->Register(kF6, 0, {HotKeyPresses::kSignature, 3}), 0u);
    const uint32_t again = keys->Register(kF5, 0, {HotKeyPresses::kSignature, 1});
    EXPECT_NE(again, 0u);
    keys->Unregister(again);
    keys->Unregister(chord);
    keys->RemovePressHandler(token);
    Application::Shared()->DiscardEvents(plat::kAnyEventMask);
}

INSTANTIATE_TEST_SUITE_P(Backends, AppKitConformance, ::testing::Values("headless", "x11"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

}  // namespace
