#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CAppBase.h"
#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Lib3/LSources/CoreData/CMainLoopUI.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/Mac/CMacTimer.h"
#include "tests/support/FakeClock.h"

namespace {

constexpr LMsgId kDefer{"LPane_Defer"};
constexpr LMsgId kDeferred{"LPane_Deferred"};
constexpr LMsgId kMode{"LHandler_Mode"};
constexpr LMsgId kSelected{"LMenuItem_Selected"};
constexpr LMsgId kReady{"LMenuBar_Ready"};
constexpr LMsgId kKeyDown{"LKeyboard_Down"};
constexpr LMsgId kKeyChar{"LKeyboard_Char"};
constexpr LMsgId kCursor{"LMouse_Cursor"};
constexpr LMsgId kClick{"LMouse_Click"};
constexpr LMsgId kReqCapture{"LPane_ReqCapture"};

// Records every message it sees; an optional action runs on each one.
class Probe : public LHandler {
public:
    explicit Probe(LHandler* upper, std::vector<std::string>* log = nullptr, const char* name = "")
        : LHandler(upper), fLog(log), fName(name) {}
    LMessage Handle(const LMessage& msg) override {
        if (fLog) fLog->push_back(fName + ":" + msg.id.Text());
        if (fOn) fOn(msg);
        if (fConsume.Text()[0] && msg.Is(fConsume)) return LMessage();
        return LHandler::Handle(msg);
    }
    std::vector<std::string>* fLog;
    std::string fName;
    std::function<void(const LMessage&)> fOn;
    LMsgId fConsume;
};

class FakeUI : public CMainLoopUI {
public:
    LHandler* front = nullptr;
    bool keyWindow = false;
    LHandler* keyTarget = nullptr;
    Probe mouse{nullptr}, keyboard{nullptr};
    LHandler* capture = nullptr;
    int released = 0, arrows = 0, keyHandledClears = 0, resets = 0, abouts = 0, shows = 0, prefsMade = 0;
    uint32_t key = 0, modifiers = 0;
    LHandler* menuBar = nullptr;
    std::map<LHandler*, std::string> itemCommand;
    std::map<std::string, bool> enabled;
    std::map<std::string, std::string> itemText;
    LHandler* keyItem = nullptr;
    std::vector<LHandler*> focused;

    LHandler* FrontModalOwner() override { return front; }
    bool HasKeyWindow() override { return keyWindow; }
    LHandler* KeyWindowTarget() override { return keyTarget; }
    LHandler* MouseRecord() override { return &mouse; }
    LHandler* CaptureHolder() override { return capture; }
    void ReleaseCapture() override {
        ++released;
        capture = nullptr;
    }
    void SetCaptureHolder(LHandler* pane) override { capture = pane; }
    void SetArrowCursor() override { ++arrows; }
    LHandler* KeyboardRecord() override { return &keyboard; }
    uint32_t KeyChar() override { return key; }
    uint32_t KeyModifiers() override { return modifiers; }
    void ClearKeyHandled() override { ++keyHandledClears; }
    LHandler* MenuBar() override { return menuBar; }
    void ResetMenuCommands() override {
        ++resets;
        enabled.clear();
    }
    void EnableCommand(const char* command, const char* text) override {
        enabled[command] = true;
        if (text) itemText[command] = text;
    }
    LHandler* FindEnabledItem(const char* command) override {
        for (auto& [item, cmd] : itemCommand)
            if (cmd == command && enabled[cmd]) return item;
        return nullptr;
    }
    LHandler* FindEnabledKeyItem() override {
        return keyItem && enabled[itemCommand[keyItem]] ? keyItem : nullptr;
    }
    bool ItemHasCommand(LHandler* item, const char* command) override {
        auto it = itemCommand.find(item);
        return it != itemCommand.end() && it->second == command;
    }
    void TakeFocus(LHandler* pane) override { focused.push_back(pane); }
    void RunAboutBox(LHandler*) override { ++abouts; }
    LHandler* MakeViewPrefsWindow(LHandler* root) override {
        ++prefsMade;
        return new LHandler(root);
    }
    void ShowWindow(LHandler*) override { ++shows; }
};

class FakeLoop : public CMainLoopBase {
public:
    explicit FakeLoop(LHandler* root) : CMainLoopBase(root) {}
    std::function<void()> step;
    int updates = 0;
    void RunModalStep() override {
        if (step) step();
    }
    void Quit() override {}
    void RequestUpdate() override { ++updates; }
    CMacTimer* CreateTimer(TimerCallback cb, void* ctx) override { return new CMacTimer(cb, ctx); }
};

struct CAppBaseTest : ::testing::Test {
    FakeUI ui;
    std::vector<std::string> log;
    CAppBase root{[](CAppBase* r) -> CMainLoopBase* { return new FakeLoop(r); }};
    FakeLoop& loop = *static_cast<FakeLoop*>(root.MainLoop());

    CAppBaseTest() { CMainLoopUI::Install(&ui); }
    ~CAppBaseTest() override { CMainLoopUI::Install(nullptr); }

    void Defer(LHandler* pane) { LHandler::Dispatch(LMessage(kDefer, pane, &root)); }
    void UpdateCycle() { LHandler::Dispatch(LMessage(CMainLoopBase_Deferred, &loop, &root)); }
    int Count(const std::string& entry) { return int(std::count(log.begin(), log.end(), entry)); }
};

TEST_F(CAppBaseTest, RootAndLoopAreKnownGlobally) {
    EXPECT_EQ(CMainLoopBase::Get(), &loop);
    EXPECT_EQ(CMainLoopBase::AppRoot(), &root);
    EXPECT_EQ(loop.Upper(), &root);
}

TEST_F(CAppBaseTest, DeferredPaneIsServedOncePerCycle) {
    Probe pane(&root, &log, "p");
    Defer(&pane);
    Defer(&pane);
    EXPECT_EQ(root.DeferredCount(), 1u);
    EXPECT_EQ(loop.updates, 1);
    UpdateCycle();
    EXPECT_EQ(Count("p:LPane_Deferred"), 1);
    UpdateCycle();
    EXPECT_EQ(Count("p:LPane_Deferred"), 1);
}

TEST_F(CAppBaseTest, DestroyedPanesAreNeverServed) {
    auto* early = new Probe(&root, &log, "early");
    auto* gone = new Probe(&root, &log, "gone");
    Probe last(&root, &log, "last");
    Defer(early);
    Defer(gone);
    Defer(&last);
    delete gone;
    // The pass serves the last entry first; its handler destroys an entry still waiting in the pass.
    last.fOn = [&](const LMessage& m) {
        if (m.Is(kDeferred)) {
            delete early;
            early = nullptr;
        }
    };
    UpdateCycle();
    EXPECT_EQ(Count("last:LPane_Deferred"), 1);
    EXPECT_EQ(Count("gone:LPane_Deferred"), 0);
    EXPECT_EQ(Count("early:LPane_Deferred"), 0);
    EXPECT_EQ(root.DeferredCount(), 0u);
}

TEST_F(CAppBaseTest, PaneDeferringItselfDuringThePassWaitsForTheNextCycle) {
    Probe a(&root, &log, "a"), b(&root, &log, "b");
    a.fOn = [&](const LMessage& m) {
        if (m.Is(kDeferred) && Count("a:LPane_Deferred") == 1) Defer(&a);
    };
    Defer(&a);
    Defer(&b);
    int before = loop.updates;
    UpdateCycle();  // serves b, then a; a defers again with the list empty
    EXPECT_EQ(Count("a:LPane_Deferred"), 1);
    EXPECT_EQ(Count("b:LPane_Deferred"), 1);
    EXPECT_EQ(root.DeferredCount(), 1u);
    EXPECT_EQ(loop.updates, before + 1);
    UpdateCycle();
    EXPECT_EQ(Count("a:LPane_Deferred"), 2);

    // Deferring while other entries still wait: the pass itself asks for the next cycle.
    b.fOn = [&](const LMessage& m) {
        if (m.Is(kDeferred) && Count("b:LPane_Deferred") == 2) Defer(&b);
    };
    a.fOn = nullptr;
    Defer(&b);
    Defer(&a);
    before = loop.updates;
    UpdateCycle();  // serves a, then b, which defers again: the list held a
    EXPECT_EQ(root.DeferredCount(), 1u);
    EXPECT_EQ(loop.updates, before + 1);
}

TEST_F(CAppBaseTest, DeferredFromAnyoneButTheOwnLoopIsOnlyForwarded) {
    Probe pane(&root, &log, "p");
    Probe stranger(&root);
    Defer(&pane);
    LHandler::Dispatch(LMessage(CMainLoopBase_Deferred, &stranger, &root));
    EXPECT_EQ(Count("p:LPane_Deferred"), 0);
    EXPECT_EQ(root.DeferredCount(), 1u);
}

TEST_F(CAppBaseTest, KeysNobodyConsumedGoToMenuItems) {
    Probe bar(nullptr), deleteItem(nullptr), copyItem(nullptr);
    Probe target(&root, &log, "t");
    ui.keyWindow = true;
    ui.keyTarget = &target;
    ui.itemCommand[&deleteItem] = "LStdCmd_Delete";
    ui.itemCommand[&copyItem] = "cCopy";
    target.fOn = [&](const LMessage& m) {
        if (m.Is(kReady)) ui.EnableCommand(m.sender == &bar ? "LStdCmd_Delete" : "", nullptr);
    };

    struct Case {
        LMsgId id;
        uint32_t key, modifiers;
        bool withBar;
        LHandler* keyItem;
        const char* selected;  // sender of the "LMenuItem_Selected" that reached the target, if any
    } cases[] = {
        {kKeyDown, 127, 0, true, nullptr, "delete"},
        {kKeyDown, 8, 0, true, nullptr, "delete"},
        {kKeyDown, 127, 0, false, nullptr, nullptr},  // no menu bar: nothing looked up
        {kKeyDown, 'a', 0, true, nullptr, nullptr},
        {kKeyChar, 'c', 0, true, &deleteItem, "delete"},
        {kKeyChar, 'c', 0, true, nullptr, nullptr},
        {kKeyChar, 'c', CMainLoopUI::kCommandKey, true, &deleteItem, nullptr},
        {kKeyChar, 27, 0, true, &deleteItem, nullptr},  // not printable
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id.Text() << " " << c.key);
        log.clear();
        ui.key = c.key;
        ui.modifiers = c.modifiers;
        ui.menuBar = c.withBar ? &bar : nullptr;
        ui.keyItem = c.keyItem;
        int clears = ui.keyHandledClears;
        LHandler::Dispatch(LMessage(c.id, &ui.keyboard, &root));
        bool selected = Count("t:LMenuItem_Selected") == 1;
        EXPECT_EQ(selected, c.selected != nullptr);
        EXPECT_EQ(ui.keyHandledClears, clears + (c.selected ? 0 : 1));
    }
}

TEST_F(CAppBaseTest, StandardCommandsAndMenuReadying) {
    Probe bar(nullptr), about(nullptr), prefs(nullptr), other(nullptr, &log, "other");
    ui.itemCommand[&about] = "LStdCmd_About";
    ui.itemCommand[&prefs] = "LStdCmd_ViewPref";
    LHandler::Dispatch(LMessage(kReady, &bar, &root));
    EXPECT_TRUE(ui.enabled["LStdCmd_About"]);
    EXPECT_TRUE(ui.enabled["LStdCmd_ViewPref"]);
    EXPECT_TRUE(ui.enabled["LStdCmd_Help"]);
    EXPECT_EQ(ui.itemText["LStdCmd_Help"], "");

    LHandler::Dispatch(LMessage(kSelected, &about, &root));
    EXPECT_EQ(ui.abouts, 1);
    LHandler::Dispatch(LMessage(kSelected, &prefs, &root));
    LHandler::Dispatch(LMessage(kSelected, &prefs, &root));
    EXPECT_EQ(ui.prefsMade, 1);
    EXPECT_EQ(ui.shows, 2);
    LHandler::Dispatch(LMessage(kSelected, &other, &root));  // forwarded back to its sender
    EXPECT_EQ(log, std::vector<std::string>{"other:LMenuItem_Selected"});
}

TEST_F(CAppBaseTest, MouseFocusAndCaptureRequests) {
    Probe a(&root), b(&root), clicker(&root, &log, "c");
    LHandler::Dispatch(LMessage(kCursor, &ui.mouse, &root));
    EXPECT_EQ(ui.arrows, 1);
    LHandler::Dispatch(LMessage(kClick, &ui.mouse, &root));  // other mouse ids pass on
    EXPECT_EQ(ui.arrows, 1);

    LHandler::Dispatch(LMessage(LMsgId("LPane_ReqFocus"), &a, &root));
    EXPECT_EQ(ui.focused, std::vector<LHandler*>{&a});

    LHandler::Dispatch(LMessage(kReqCapture, &a, &root));
    LHandler::Dispatch(LMessage(kReqCapture, &a, &root));
    EXPECT_EQ(ui.released, 0);
    LHandler::Dispatch(LMessage(kReqCapture, &b, &root));
    EXPECT_EQ(ui.released, 1);
    EXPECT_EQ(ui.capture, &b);
    {
        Probe c(&root);
        LHandler::Dispatch(LMessage(kReqCapture, &c, &root));
    }
    EXPECT_EQ(ui.capture, nullptr);  // forgotten with its holder
}

TEST_F(CAppBaseTest, FocusTargetFollowsTheKeyWindow) {
    Probe pane(&root);
    EXPECT_EQ(loop.FocusTarget(), &root);
    ui.keyWindow = true;
    EXPECT_EQ(loop.FocusTarget(), nullptr);  // a key window that is not ours
    ui.keyTarget = &pane;
    EXPECT_EQ(loop.FocusTarget(), &pane);
}

TEST_F(CAppBaseTest, ModalStepRunsWithTheHandlerOnTheStackAndFiresItsTimers) {
    testsupport::FakeClock clock;
    Probe dialog(&root, &log, "dlg"), doc(&root, &log, "doc"), capturer(&doc);
    LTimer dialogTimer(&dialog), docTimer(&doc);
    dialogTimer.StartOnce(0, 1);
    docTimer.StartOnce(0, 1);
    ui.front = &dialog;
    ui.capture = &capturer;
    LHandler* topSeen = nullptr;
    loop.step = [&] {
        topSeen = loop.ModalTop();
        loop.IdlePass();
    };
    LHandler::Dispatch(LMessage(kMode, &dialog, &root));
    EXPECT_EQ(topSeen, &dialog);
    EXPECT_EQ(loop.ModalTop(), nullptr);
    EXPECT_EQ(ui.released, 1);  // the capture lay outside the dialog's chain
    EXPECT_EQ(Count("dlg:LTimer_Expire"), 1);
    EXPECT_EQ(Count("doc:LTimer_Expire"), 0);
    EXPECT_TRUE(docTimer.IsRunning());  // held until the dialog is gone

    ui.front = nullptr;
    loop.IdlePass();
    EXPECT_EQ(Count("doc:LTimer_Expire"), 1);
}

TEST_F(CAppBaseTest, InactiveLoopHoldsActiveOnlyTimers) {
    testsupport::FakeClock clock;
    Probe doc(&root, &log, "doc");
    LTimer t(&doc);
    t.StartOnce(0, 2);
    loop.SetActive(false);
    loop.IdlePass();
    EXPECT_EQ(Count("doc:LTimer_Expire"), 0);
    loop.SetActive(true);
    loop.IdlePass();
    EXPECT_EQ(Count("doc:LTimer_Expire"), 1);
}

}  // namespace
