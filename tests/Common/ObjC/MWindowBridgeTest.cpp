#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Common/ObjC/CMacCursor.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/MWindowBridge.h"
#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/CoreUI/LWindowPlacer.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Graphics/BitmapImage.h"
#include "tests/Common/ObjC/MainLoopFixture.h"
#include "tests/support/FakeClock.h"
#include "tests/support/TestPNG.h"

namespace {

using plat::EventType;
using plat::headless::HeadlessBackend;
using Ids = std::vector<std::string>;

struct Leaf : LPane {
    Leaf(LFrame* frame, const CLRect& bounds) : LPane(frame, frame) { SetBounds(bounds); }
    LMessage Handle(const LMessage& msg) override {
        ids.push_back(msg.id.Text());
        if (msg.Is(LKeyboard_Down) || msg.Is(LKeyboard_Char) || msg.Is(LKeyboard_Up)) {
            LKeyboard* kb = LKeyboard::Get();
            chars.push_back(kb->Char());
            unicodes.push_back(kb->Unicode());
            // A key-down it does not decline or pass on it takes.
            if (msg.Is(LKeyboard_Down) && !passOn) {
                if (!decline) return LMessage();
                kb->SetHandled(false);
            }
        }
        if (msg.Is(LMouse_Move)) moves.push_back(LMouse::Get()->Location());
        if (consume.count(msg.id.Text())) return LMessage();
        return LPane::Handle(msg);
    }
    Ids ids;
    std::vector<uint32_t> chars;
    std::vector<uint32_t> unicodes;
    std::vector<CLPoint> moves;
    std::set<std::string> consume;
    bool decline = false;
    bool passOn = false;
};

// A frame that records its window's messages and sets its own size limits.
struct Frame : LFrame {
    // Negative kinds are panel kinds (level 3).
    Frame(LHandler* up, int32_t kind, uint32_t frameKind = 1)
        : LFrame(up, nullptr,
                 LFrameSpec(frameKind, kind < 0 ? CMacWindowKindH(new CMacPanelKind(-kind, 1))
                                                : CMacWindowKindH(new CMacWinKind(kind)))) {}
    LMessage Handle(const LMessage& msg) override {
        if (msg.sender == Window()) windowIds.push_back(msg.id.Text());
        if (msg.Is(LWindowPlacer_Grow) && limits) {
            static_cast<LWindowPlacer*>(msg.sender)->SetSizeLimits(300, 250, 200, 200);
            return LMessage();
        }
        if (msg.Is(LFrame_Close)) return LMessage();
        return LFrame::Handle(msg);
    }
    Ids windowIds;
    bool limits = false;
};

class MWindowBridgeTest : public MainLoopFixture {
protected:
    MWindowBridgeTest() { screens.Backend().SetMouseLocation({0, 0}); }

    Frame* Make(int32_t kind = 6, uint32_t frameKind = 1, CLRect content = {100, 100, 400, 300}) {
        auto* f = new Frame(&root, kind, frameKind);
        f->SetWindowFrame(content);
        f->ShowWindow();
        LHandler::Dispatch(LMessage(LWindow_Place, f->Window(), f));
        return f;
    }
    static plat::Window* Native(LFrame* f) { return f->Window()->NativeWindow(); }
    void Send(plat::Event e) {
        e.timestamp = plat::ClockNow();
        if (!e.eventNumber) e.eventNumber = plat::Application::Shared()->NextEventNumber();
        plat::Application::Shared()->SendEvent(e);
    }

    testsupport::FakeClock clock;
    LMouse mouse;
    LKeyboard keyboard;
};

TEST_F(MWindowBridgeTest, TheCloseBoxAsksTheFrameAndTheWindowStays) {
    Frame* f = Make();
    Native(f)->PerformClose();
    EXPECT_EQ(f->windowIds.back(), "LWindow_Close");
    EXPECT_TRUE(Native(f)->IsVisible());
    EXPECT_TRUE(plat::Application::Shared()->WindowWithNumber(Native(f)->Number()));
    delete f;
}

TEST_F(MWindowBridgeTest, ResizeNegotiationLetsTheMinimumWin) {
    Frame* f = Make();
    f->limits = true;
    plat::Window* w = Native(f);
    plat::Size got = w->Delegate()->WindowWillResize(w, {500, 500});
    plat::Rect content = w->ContentRectForFrameRect({0, 0, got.width, got.height});
    EXPECT_EQ(content.width, 300);
    EXPECT_EQ(content.height, 250);
    // A user's resize applies that answer and re-places the frame.
    HeadlessBackend::UserResize(w, {120, 120});
    EXPECT_EQ(w->ContentRect().width, 300);
    EXPECT_EQ(f->Bounds(), (CLRect{0, 0, 300, 250}));
    delete f;
}

TEST_F(MWindowBridgeTest, FirstMouseWaitsATenthOfASecondAfterActivationExceptAtLevelThree) {
    Frame* a = Make();
    Frame* b = Make(6, 1, {500, 100, 700, 300});
    auto* leaf = new Leaf(a, {0, 0, 300, 200});
    ASSERT_TRUE(Native(b)->IsKeyWindow());
    // a became main a moment ago (when shown), then b took over.
    clock.Advance(0.05);
    Send(HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, Native(a), {10, 10}));
    EXPECT_TRUE(Native(a)->IsKeyWindow());
    EXPECT_EQ(std::count(leaf->ids.begin(), leaf->ids.end(), "LMouse_Click"), 0);
    Native(b)->MakeKeyAndOrderFront();
    clock.Advance(0.5);
    Send(HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, Native(a), {10, 10}));
    EXPECT_EQ(std::count(leaf->ids.begin(), leaf->ids.end(), "LMouse_Click"), 1);
    // A window at level 3 takes the first click at once.
    Frame* panel = Make(-1, 2, {100, 400, 300, 500});
    ASSERT_EQ(Native(panel)->Level(), plat::kFloatingWindowLevel);
    auto* pleaf = new Leaf(panel, {0, 0, 200, 100});
    Native(b)->MakeKeyAndOrderFront();
    Send(HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, Native(panel), {10, 10}));
    EXPECT_EQ(std::count(pleaf->ids.begin(), pleaf->ids.end(), "LMouse_Click"), 1);
    delete panel;
    delete b;
    delete a;
}

TEST_F(MWindowBridgeTest, AContextClickAPaneTookGivesNoClick) {
    Frame* f = Make();
    auto* leaf = new Leaf(f, {0, 0, 300, 200});
    leaf->consume = {"LMouse_Context"};
    clock.Advance(1);
    Send(HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, Native(f), {10, 10}, plat::kControlKeyMask));
    EXPECT_EQ(leaf->ids, (Ids{"LMouse_Context"}));
    leaf->consume.clear();
    leaf->ids.clear();
    clock.Advance(1);
    Send(HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, Native(f), {10, 10}, plat::kControlKeyMask));
    EXPECT_EQ(leaf->ids, (Ids{"LMouse_Context", "LMouse_Click"}));
    delete f;
}

TEST_F(MWindowBridgeTest, KeysGoDownThenAsCharacterOnlyWhenDeclined) {
    Frame* f = Make();
    auto* leaf = new Leaf(f, {0, 0, 300, 200});
    leaf->ChangeState(LPane::kRingInside);
    leaf->TakeFocus(0, true);
    ASSERT_EQ(f->FindFocusable(), leaf);
    struct Case {
        const char* text;
        uint32_t modifiers;
        bool decline;
        Ids ids;
        uint32_t ch;
        uint32_t unicode;
    } cases[] = {
        {"a", 0, false, {"LKeyboard_Down"}, 'a', 'a'},
        {"a", 0, true, {"LKeyboard_Down", "LKeyboard_Char"}, 'a', 'a'},
        {"\x19", plat::kShiftKeyMask, false, {"LKeyboard_Down"}, 9, 25},
        // Non-ASCII: a lead byte as character, the code point as Unicode, no key-equivalent text.
        {"\xc3\xa9", 0, true, {"LKeyboard_Down", "LKeyboard_Char"}, 0xC3, 0xE9},
        // With Command the menus are readied for the focus first (no item takes the key).
        {"\xc3\xa9", plat::kCommandKeyMask, false, {"LMenuBar_Ready", "LKeyboard_Down"}, 0xC3, 0xE9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        leaf->ids.clear();
        leaf->decline = c.decline;
        Send(HeadlessBackend::KeyEvent(EventType::kKeyDown, Native(f), c.text, 0, c.modifiers));
        EXPECT_EQ(leaf->ids, c.ids);
        EXPECT_EQ(keyboard.Char(), c.ch);
        EXPECT_EQ(keyboard.Unicode(), c.unicode);
        if (c.ch > 126) {
            EXPECT_EQ(keyboard.KeyEquivalentChar(), 0);
        }
    }
    // Passed on and taken by nobody up to the root: it comes back to the keyboard record, declined.
    leaf->ids.clear();
    leaf->decline = false;
    leaf->passOn = true;
    Send(HeadlessBackend::KeyEvent(EventType::kKeyDown, Native(f), "a", 0));
    EXPECT_EQ(leaf->ids, (Ids{"LKeyboard_Down", "LKeyboard_Char"}));
    leaf->ids.clear();
    Send(HeadlessBackend::KeyEvent(EventType::kKeyUp, Native(f), "a", 0));
    EXPECT_EQ(leaf->ids, (Ids{"LKeyboard_Up"}));
    // A text-system command during no key-down goes on to the superview.
    Native(f)->ContentView()->DoCommandBySelector("insertNewline:");
    delete f;
}

TEST_F(MWindowBridgeTest, PressBookkeepingCountsOneEventOnceAndKeepsTheLow32Bits) {
    plat::Event e = HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, nullptr, {5, 5});
    e.eventNumber = 77;
    e.timestamp = 10.0;
    mouse.Fill(e, {5, 5});
    e.timestamp = 10.2;
    mouse.Fill(e, {5, 5});  // the same event again
    EXPECT_EQ(mouse.PressTime(), 10000u);
    e.eventNumber = 78;
    e.timestamp = (4294967296.0 + 5.0) / 1000.0;
    mouse.Fill(e, {6, 6});
    EXPECT_EQ(mouse.PressTime(), 5u);
    EXPECT_EQ(mouse.PreviousPressTime(), 10000u);
    EXPECT_EQ(LMouse::EventTimeMs(-1), 0u);
}

TEST_F(MWindowBridgeTest, DoubleClicksNeedTheSameStampWithinTheInterval) {
    screens.Backend().SetDoubleClickInterval(0.3);
    uint32_t paneA = 0, paneB = 0;
    auto press = [this](int64_t n, double t) {
        plat::Event e = HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, nullptr, {5, 5});
        e.eventNumber = n;
        e.timestamp = t;
        mouse.Fill(e, {5, 5});
    };
    press(1, 20.0);
    mouse.IsDoubleClick(paneA);
    press(2, 20.1);
    EXPECT_FALSE(mouse.IsDoubleClick(paneB));  // another stamp owner
    EXPECT_EQ(paneB, 20100u);
    press(3, 20.2);
    EXPECT_TRUE(mouse.IsDoubleClick(paneB));
    press(4, 20.6);
    EXPECT_FALSE(mouse.IsDoubleClick(paneB));  // too late
}

TEST_F(MWindowBridgeTest, CaptureReleasesOnlyAnotherTracker) {
    Leaf* a = nullptr;
    Frame* f = Make();
    a = new Leaf(f, {0, 0, 10, 10});
    auto* b = new Leaf(f, {20, 0, 30, 10});
    mouse.Capture(a);
    mouse.Capture(a);
    EXPECT_TRUE(a->ids.empty());
    mouse.Capture(b);
    EXPECT_EQ(a->ids, (Ids{"LMouse_Release"}));
    // Ten queued drags give one move, at the newest point.
    for (int i = 1; i <= 10; ++i)
        screens.Backend().Inject(
            HeadlessBackend::MouseEvent(EventType::kLeftMouseDragged, Native(f), {double(i), 5}));
    plat::Event first;
    ASSERT_TRUE(plat::Application::Shared()->NextEvent(plat::kAnyEventMask, 0, plat::kRunLoopDefaultMode,
                                                       true, &first));
    plat::Application::Shared()->SendEvent(first);
    EXPECT_EQ(b->moves.size(), 1u);
    CLRect c = f->GetWindowRect();
    EXPECT_EQ(b->moves[0].x, c.left + 10);
    EXPECT_EQ(plat::Application::Shared()->QueuedEventCount(), 0u);
    Send(HeadlessBackend::MouseEvent(EventType::kLeftMouseUp, Native(f), {10, 5}));
    EXPECT_EQ(b->ids.back(), "LMouse_Release");
    EXPECT_EQ(mouse.Tracker(), nullptr);
    delete f;
}

TEST_F(MWindowBridgeTest, CursorUpdatesGoToTheModalWindowAndSkipDocumentsBehind) {
    std::unique_ptr<Frame> back(Make(6, 1, {100, 100, 400, 300}));
    std::unique_ptr<Frame> front(Make(6, 1, {300, 100, 600, 300}));
    auto* backLeaf = new Leaf(back.get(), {0, 0, 300, 200});
    auto* frontLeaf = new Leaf(front.get(), {0, 0, 300, 200});
    // Over the part of the back window that shows: it is not the front document, the root gets it.
    mouse.SetLocation({150, 150});
    root.ids.clear();
    mouse.UpdateCursor(&root);
    EXPECT_EQ(root.Count("LMouse_Cursor"), 1);
    EXPECT_TRUE(backLeaf->ids.empty());
    mouse.SetLocation({450, 150});
    mouse.UpdateCursor(&root);
    EXPECT_EQ(frontLeaf->ids, (Ids{"LMouse_Cursor"}));
    // A modal window takes it wherever the mouse is (its frame sets the arrow).
    std::unique_ptr<Frame> modal(Make(8, 3, {700, 500, 900, 700}));
    mouse.UpdateCursor(&root);
    EXPECT_EQ(modal->windowIds.back(), "LWindow_Cursor");
    EXPECT_EQ(frontLeaf->ids, (Ids{"LMouse_Cursor", "LMouse_Leave"}));
    EXPECT_EQ(root.Count("LMouse_Cursor"), 1);
    EXPECT_EQ(screens.Backend().CurrentCursor()->GetShape(), plat::Cursor::Shape::kArrow);
}

TEST_F(MWindowBridgeTest, WheelStepsKeepTheirRemainder) {
    mouse.SetWheel({0, 0}, 0, 25, 0);
    EXPECT_EQ(mouse.TakeWheelSteps(1, 0, 10), 2);
    EXPECT_EQ(mouse.TakeWheelSteps(1, 0, 10), 3);  // 25 + 5 left over
    mouse.SetWheel({0, 0}, -90, 0, 0);
    EXPECT_EQ(mouse.TakeWheelSteps(0, 3, 10), -3);
    mouse.SetWheel({0, 0}, 0, 0, 0);
    EXPECT_EQ(mouse.TakeWheelSteps(1, 3, 10), 0);
}

std::vector<uint8_t> CursorPng(std::vector<testsupport::TestChunk> chunks) {
    std::vector<uint8_t> rgba(16 * 16 * 4, 255);
    return testsupport::EncodeTestPNG(16, 16, rgba, chunks);
}

TEST_F(MWindowBridgeTest, CursorResourcesCarryTheirHotSpot) {
    std::vector<uint8_t> png = CursorPng({{"hsPT", {0, 7, 0, 3}}});
    CMacCursor cursor;
    ASSERT_TRUE(cursor.LoadFromBytes(png.data(), png.size(), "x"));
    cursor.Set();
    const plat::Cursor* shown = screens.Backend().CurrentCursor();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->GetShape(), plat::Cursor::Shape::kImage);
    EXPECT_EQ(shown->HotSpot().x, 7);
    EXPECT_EQ(shown->HotSpot().y, 3);
    EXPECT_EQ(shown->Image()->Width(), 16);

    std::vector<uint8_t> shortSpot = CursorPng({{"hsPT", {0, 7}}});
    std::vector<uint8_t> cut(png.begin(), png.begin() + 40);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        bool found;
        int32_t x, y;
    } cases[] = {
        {"with hot spot", png, true, 7, 3},
        {"short chunk", shortSpot, false, 0, 0},
        {"no chunk", CursorPng({}), false, 0, 0},
        {"cut", cut, false, 0, 0},
        {"not a PNG", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}, false, 0, 0},
    };
    for (const Case& c : cases) {
        int32_t x = -1, y = -1;
        EXPECT_EQ(ReadPngHotSpot(c.bytes.data(), c.bytes.size(), &x, &y), c.found) << c.name;
        EXPECT_EQ(x, c.x) << c.name;
        EXPECT_EQ(y, c.y) << c.name;
    }
    // Not an image: the standard cursor named like the resource, else none.
    EXPECT_TRUE(cursor.LoadFromBytes(cut.data(), cut.size(), "IBeamCursor"));
    EXPECT_EQ(cursor.Native()->GetShape(), plat::Cursor::Shape::kIBeam);
    EXPECT_FALSE(cursor.LoadFromBytes(nullptr, 0, "noSuchCursor"));
    CMacCursor::SetStandard(3);
    EXPECT_EQ(screens.Backend().CurrentCursor()->GetShape(), plat::Cursor::Shape::kCrosshair);
}

TEST_F(MWindowBridgeTest, EventsForAWindowAlreadyGoneReachNothing) {
    Frame* f = Make();
    int64_t number = Native(f)->Number();
    plat::Event click = HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, Native(f), {10, 10});
    delete f;
    click.windowNumber = number;
    Send(click);
    plat::Event key = HeadlessBackend::KeyEvent(EventType::kKeyDown, nullptr, "", 0);
    Send(key);
    SUCCEED();
}

}  // namespace
