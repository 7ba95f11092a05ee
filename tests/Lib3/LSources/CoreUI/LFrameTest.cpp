#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/CoreData/CAppBase.h"
#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPaint.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/support/HeadlessScreens.h"

namespace {

using Ids = std::vector<std::string>;

// The top of the chain: records every id with its sender's name, consumes what it is told to.
struct Root : LHandler {
    std::vector<std::string> ids;
    std::set<std::string> consume{"LPane_Defer",     "LFrame_Close",      "LPane_ReqFocus",
                                  "LFrame_Activate", "LFrame_Deactivate", "LFrame_Place"};
    LMessage Handle(const LMessage& msg) override {
        ids.push_back(msg.id.Text());
        if (consume.count(msg.id.Text())) return LMessage();
        return LHandler::Handle(msg);
    }
    int Count(const char* id) const { return int(std::count(ids.begin(), ids.end(), std::string(id))); }
};

// A child pane that records what reaches it and consumes the ids it is given.
struct Leaf : LPane {
    Leaf(LFrame* frame, const CLRect& bounds, bool takesFocus = true) : LPane(frame, frame) {
        SetBounds(bounds);
        if (takesFocus) ChangeState(kRingInside);
    }
    LMessage Handle(const LMessage& msg) override {
        ids.push_back(msg.id.Text());
        senders.push_back(msg.sender);
        if (consume.count(msg.id.Text())) return LMessage();
        return LPane::Handle(msg);
    }
    void Draw(LDrawContext& ctx) override { LPaint(CRgn(Bounds()), colour).Fill(ctx); }
    Ids ids;
    std::vector<LHandler*> senders;
    std::set<std::string> consume;
    LColor colour = LColor::Grey(2);
};

CMacWindowKindH Document() {
    return CMacWindowKindH(new CMacWinKind(6));
}
CMacWindowKindH Floating() {
    return CMacWindowKindH(new CMacWinKind(3));
}

class LFrameTest : public ::testing::Test {
protected:
    // A shown window frame whose content is 200×100.
    LFrame* MakeWindowFrame(uint32_t kind = LFrameSpec::kDocument) {
        auto* f = new LFrame(&root, nullptr, LFrameSpec(kind, kind == 2 ? Floating() : Document()));
        f->SetWindowFrame({100, 100, 300, 200});
        Place(f);
        f->ShowWindow();
        return f;
    }
    static void Place(LFrame* f) { LHandler::Dispatch(LMessage(LWindow_Place, f->Window(), f)); }
    void MouseAt(LFrame* f, int32_t x, int32_t y) {
        CLRect c = f->GetWindowRect();
        mouse.SetLocation({c.left + x, c.top + y});
    }
    void Key(const char* text, uint32_t modifiers, LHandler* target) {
        plat::Event e;
        e.type = plat::EventType::kKeyDown;
        e.characters = text;
        e.charactersIgnoringModifiers = text;
        e.modifierFlags = modifiers;
        keyboard.Fill(e);
        LHandler::Dispatch(LMessage(LKeyboard_Down, &keyboard, target));
    }

    testsupport::HeadlessScreens screens;
    CMacWindowMgr mgr;
    LMouse mouse;
    LKeyboard keyboard;
    Root root;
};

TEST_F(LFrameTest, MouseMessagesGoToTheTopmostChildAndBackgroundClicksDropTheFocus) {
    LFrame* f = MakeWindowFrame();
    auto* under = new Leaf(f, {10, 10, 100, 60});
    auto* over = new Leaf(f, {50, 20, 150, 80});
    over->consume = {"LMouse_Click"};
    MouseAt(f, 60, 30);
    LHandler::Dispatch(LMessage(LWindow_Click, f->Window(), f));
    EXPECT_EQ(over->ids, (Ids{"LMouse_Click"}));
    EXPECT_EQ(over->senders[0], &mouse);
    EXPECT_TRUE(under->ids.empty());

    // Focus the lower one, then click where no child is.
    under->TakeFocus(0, true);
    EXPECT_EQ(f->FocusPane(), under);
    MouseAt(f, 190, 95);
    LHandler::Dispatch(LMessage(LWindow_Click, f->Window(), f));
    EXPECT_EQ(f->FocusPane(), nullptr);

    // The cursor message names the pane the mouse is over and tells the previous one it left.
    MouseAt(f, 20, 20);
    LHandler::Dispatch(LMessage(LWindow_Cursor, f->Window(), f));
    EXPECT_EQ(LMouse::MouseOver(), under);
    MouseAt(f, 140, 70);
    LHandler::Dispatch(LMessage(LWindow_Cursor, f->Window(), f));
    EXPECT_EQ(LMouse::MouseOver(), over);
    EXPECT_EQ(under->ids.back(), "LMouse_Leave");
    delete f;
    EXPECT_EQ(LMouse::MouseOver(), nullptr);
}

TEST_F(LFrameTest, PreferenceAndConstructionMessagesAreRoutedAsATable) {
    LLayoutParts layout;
    layout.Append("");
    layout.Append("pp(0,0,0,120,80)");
    layout.Append("pp(1,0,0,w(0),h(0))");
    struct Case {
        const char* name;
        bool withLayout;
        int children;
        bool prefFromSelf;
        Ids expected;
    } cases[] = {
        {"pref from the frame itself is consumed", false, 0, true, {}},
        {"without layout constructions are consumed", false, 2, false, {}},
        {"with layout each construction defers", true, 2, false, {"LPane_Defer", "LPane_Defer"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        root.ids.clear();
        LFrame holder(&root, nullptr, LFrameSpec(1, Document()));
        root.ids.clear();
        auto* f = new LFrame(&root, &holder);
        if (c.withLayout) f->SetLayout(layout, LFrame::kDescriptionMode);
        root.ids.clear();
        for (int i = 0; i < c.children; ++i) new Leaf(f, {0, 0, 10, 10}, false);
        if (c.prefFromSelf) LHandler::Dispatch(LMessage(LPane_Pref, f, f));
        EXPECT_EQ(root.ids, c.expected);
    }
}

// The deferral goes through the application root: two constructions, one deferred pass.
struct NullLoop : CMainLoopBase {
    explicit NullLoop(LHandler* root) : CMainLoopBase(root) {}
    void RunModalStep() override {}
    void Quit() override {}
    void RequestUpdate() override { ++updates; }
    CMacTimer* CreateTimer(TimerCallback, void*) override { return nullptr; }
    int updates = 0;
};

struct CountingFrame : LFrame {
    using LFrame::LFrame;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LPane_Deferred)) ++deferred;
        return LFrame::Handle(msg);
    }
    int deferred = 0;
};

TEST_F(LFrameTest, TwoChildConstructionsGiveOneDeferredLayout) {
    CAppBase app([](CAppBase* r) -> CMainLoopBase* { return new NullLoop(r); });
    LLayoutParts layout;
    layout.Append("");
    layout.Append("pp(0,0,0,120,80)");
    layout.Append("pp(1,0,0,w(0),h(0));pp(2,0,0,10,10)");
    CountingFrame f(&app, nullptr, LFrameSpec(1, Document()));
    f.SetLayout(layout, LFrame::kDescriptionMode);
    auto* a = new Leaf(&f, {0, 0, 1, 1}, false);
    new Leaf(&f, {0, 0, 1, 1}, false);
    EXPECT_EQ(app.DeferredCount(), 1u);
    LHandler::Dispatch(LMessage(CMainLoopBase_Deferred, app.MainLoop(), &app));
    EXPECT_EQ(f.deferred, 1);
    EXPECT_EQ(a->Bounds(), (CLRect{0, 0, f.Bounds().Width(), f.Bounds().Height()}));
    EXPECT_GE(f.GetWindowRect().Width(), 120);
}

struct RecordingFrame : LFrame {
    using LFrame::LFrame;
    LMessage Handle(const LMessage& msg) override {
        ids.push_back(msg.id.Text());
        if (msg.Is("Test_Command")) return LMessage();
        return LFrame::Handle(msg);
    }
    Ids ids;
};

TEST_F(LFrameTest, AFloatingWindowsUnhandledCommandReachesTheFrontDocument) {
    auto* doc = new RecordingFrame(&root, nullptr, LFrameSpec(1, Document()));
    doc->ShowWindow();
    LFrame* palette = MakeWindowFrame(LFrameSpec::kFloating);
    LHandler item;
    LHandler::Dispatch(LMessage("Test_Command", &item, palette));
    EXPECT_EQ(doc->ids.back(), "Test_Command");
    EXPECT_EQ(root.Count("Test_Command"), 0);
    delete palette;
    delete doc;
}

TEST_F(LFrameTest, TabOrderRunsByRowsAndWraps) {
    LFrame* f = MakeWindowFrame();
    // Construction order: right of the row, left of the row, a pane wholly above both on the right.
    auto* right = new Leaf(f, {110, 40, 150, 60});
    auto* left = new Leaf(f, {10, 40, 50, 60});
    auto* top = new Leaf(f, {160, 5, 190, 20});
    struct Step {
        const char* key;
        uint32_t modifiers;
        Leaf* focus;
    } steps[] = {
        {"\t", 0, top},
        {"\t", 0, left},
        {"\t", 0, right},
        {"\t", 0, top},                        // wraps
        {"\x19", plat::kShiftKeyMask, right},  // Shift-Tab goes back (back-tab arrives as tab)
        {"\t", plat::kShiftKeyMask, left},
        {"\t", plat::kControlKeyMask, left},  // Control-Tab is no navigation
    };
    for (const Step& s : steps) {
        Key(s.key, s.modifiers, f->FindFocusable() ? static_cast<LHandler*>(f->FindFocusable()) : f);
        EXPECT_EQ(f->FocusPane(), s.focus) << s.key << " " << s.modifiers;
    }
    EXPECT_EQ(f->TabOrder(), (std::vector<uint32_t>{3, 2, 1}));
    delete f;
}

TEST_F(LFrameTest, WithEveryChildInactiveTheTabStepWrapsOnceAndEndsWithoutFocus) {
    LFrame* f = MakeWindowFrame();
    auto* a = new Leaf(f, {10, 10, 50, 30});
    auto* b = new Leaf(f, {60, 10, 90, 30});
    a->ChangeState(LPane::kDisable);
    b->ChangeState(LPane::kHide);
    EXPECT_TRUE(f->TabStep(false));
    EXPECT_EQ(f->FocusPane(), nullptr);
    EXPECT_FALSE(f->TakeFocus(0, true));
    delete f;
}

TEST_F(LFrameTest, TheResignMessageKeepsItsSpellingAndDisablesTheChain) {
    LFrame* f = MakeWindowFrame();
    auto* child = new Leaf(f, {0, 0, 10, 10});
    ASSERT_TRUE(f->State() & LPane::kChainEnabled);
    root.ids.clear();
    LHandler::Dispatch(LMessage("LWindow_Deativate", f->Window(), f));
    EXPECT_FALSE(f->State() & LPane::kChainEnabled);
    EXPECT_FALSE(child->State() & LPane::kChainEnabled);
    EXPECT_EQ(root.ids, (Ids{"LFrame_Deactivate"}));
    delete f;
}

TEST_F(LFrameTest, TheCloseMessageAsksTheUpperHandlerAndHidesWhenNobodyTakesIt) {
    LFrame* f = MakeWindowFrame();
    LHandler::Dispatch(LMessage(LWindow_Close, f->Window(), f));
    EXPECT_EQ(root.Count("LFrame_Close"), 1);
    EXPECT_TRUE(mgr.IsVisible(f->Window()));
    root.consume.erase("LFrame_Close");
    LHandler::Dispatch(LMessage(LWindow_Close, f->Window(), f));
    EXPECT_FALSE(mgr.IsVisible(f->Window()));
    delete f;
}

// A child that talks to its frame while it is being destroyed.
struct Chatty : LPane {
    explicit Chatty(LFrame* f) : LPane(f, f) {}
    ~Chatty() override {
        Dispatch(LMessage(LPane_Pref, this, Owner()));
        Dispatch(LMessage(LPane_ReqFocus, this, Owner()));
    }
};

TEST_F(LFrameTest, ChildrenThatMessageWhileDyingAreTakenOffTheListFirst) {
    auto* f = new LFrame(&root, nullptr, LFrameSpec(1, Document()));
    for (int i = 0; i < 4; ++i) new Chatty(f);
    auto* nested = new LFrame(&root, f);
    new Chatty(nested);
    EXPECT_EQ(f->Children().Count(), 5u);
    delete f;  // ASan reports any use of a freed child
}

TEST_F(LFrameTest, AWindowFrameDrawsItsBackgroundChildrenAndRingButNotTheNoEraseRegion) {
    LFrame* f = MakeWindowFrame();
    f->SetBackground(LColor({0, 0, 255}, 0));
    auto* a = new Leaf(f, {10, 10, 60, 40});
    auto* b = new Leaf(f, {100, 10, 150, 40});
    a->colour = LColor({255, 0, 0}, 0);
    b->colour = LColor({0, 255, 0}, 0);
    f->ChangeState(LPane::kFocus);
    b->TakeFocus(0, true);
    ASSERT_EQ(f->FocusPane(), b);
    plat::Window* w = f->Window()->NativeWindow();
    w->Display();
    plat::DrawContext* store = w->BackingStore();
    auto rgb = [store](int x, int y) { return store->PixelAt(x, y) & 0xFFFFFF; };
    EXPECT_EQ(rgb(20, 20), 0xFF0000u);
    EXPECT_EQ(rgb(120, 25), 0x00FF00u);
    EXPECT_EQ(rgb(180, 80), 0x0000FFu);
    // The ring lies on the inner band of the focused child.
    EXPECT_NE(rgb(101, 25), 0x00FF00u);
    EXPECT_EQ(rgb(11, 25), 0xFF0000u);

    // An area invalidated without erase keeps what it shows.
    store->SetFillColor({1, 1, 0, 1});
    store->FillRect({170, 60, 20, 20});
    CRgn keep(CLRect{170, 60, 190, 80});
    CRgn all(CLRect{0, 0, 200, 100});
    f->Invalidate(keep, CRgn());
    all -= keep;
    f->Invalidate(all, all);
    w->Display();
    EXPECT_EQ(rgb(175, 65), 0xFFFF00u);
    EXPECT_EQ(rgb(165, 65), 0x0000FFu);
    EXPECT_TRUE(f->NoEraseRegion().IsEmpty());

    // Kept first, then asked to erase before the draw (a pane hidden there): the area is erased.
    store->SetFillColor({1, 1, 0, 1});
    store->FillRect({170, 60, 20, 20});
    f->Invalidate(keep, CRgn());
    f->Invalidate(keep, keep);
    w->Display();
    EXPECT_EQ(rgb(175, 65), 0x0000FFu);
    delete f;
}

// Requests for one area before a pass: the area keeps what it shows only when no request asked to
// erase it, whatever their order (a pane hidden there and one that draws itself over it).
TEST_F(LFrameTest, AnyEraseRequestBeforeThePassErasesTheAreaWhateverTheOrder) {
    LFrame* f = MakeWindowFrame();
    f->SetBackground(LColor({0, 0, 255}, 0));
    plat::Window* w = f->Window()->NativeWindow();
    w->Display();
    plat::DrawContext* store = w->BackingStore();
    const CRgn area(CLRect{170, 60, 190, 80});
    const CRgn wider(CLRect{160, 50, 195, 90});
    struct Case {
        const char* name;
        std::vector<std::pair<CRgn, CRgn>> requests;  // invalid, erase
        uint32_t shown;
    };
    const Case cases[] = {
        {"keep", {{area, CRgn()}}, 0xFFFF00},
        {"keep twice", {{area, CRgn()}, {wider, CRgn()}}, 0xFFFF00},
        {"keep, erase", {{area, CRgn()}, {area, area}}, 0x0000FF},
        {"erase, keep", {{area, area}, {area, CRgn()}}, 0x0000FF},
        {"erase around, keep", {{wider, wider}, {area, CRgn()}}, 0x0000FF},
        {"erase, keep, keep", {{area, area}, {area, CRgn()}, {wider, CRgn()}}, 0x0000FF},
    };
    for (const Case& c : cases) {
        store->SetFillColor({1, 1, 0, 1});
        store->FillRect({170, 60, 20, 20});
        for (const auto& [invalid, erase] : c.requests) f->Invalidate(invalid, erase);
        w->Display();
        EXPECT_EQ(store->PixelAt(175, 65) & 0xFFFFFF, c.shown) << c.name;
        EXPECT_TRUE(f->NoEraseRegion().IsEmpty()) << c.name;
    }
    // The pass forgot the erase requests: a keep request afterwards keeps.
    store->SetFillColor({1, 1, 0, 1});
    store->FillRect({170, 60, 20, 20});
    f->Invalidate(area, CRgn());
    w->Display();
    EXPECT_EQ(store->PixelAt(175, 65) & 0xFFFFFF, 0xFFFF00u);
    delete f;
}

TEST_F(LFrameTest, DrawingContextsConvertBetweenGlobalAndLocalPoints) {
    LFrame* f = MakeWindowFrame();
    auto* nested = new LFrame(&root, f);
    nested->SetBounds({20, 30, 120, 90});
    auto* child = new Leaf(nested, {5, 5, 10, 10});
    LPanePort port(child);
    LDrawContext ctx(port);
    const CLRect content = f->GetWindowRect();
    const CLPoint local = ctx.GlobalToLocal({content.left + 25, content.top + 40});
    EXPECT_EQ(local.x, 5);
    EXPECT_EQ(local.y, 10);
    const CLPoint back = ctx.LocalToGlobal(local);
    EXPECT_EQ(back.x, content.left + 25);
    EXPECT_EQ(back.y, content.top + 40);
    LPanePort none;
    LDrawContext unbound(none);
    EXPECT_EQ(unbound.GlobalToLocal({7, 8}).x, 7);
    delete f;
}

}  // namespace
