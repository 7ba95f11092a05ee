#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "tests/support/FakeClock.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/NestedLoopGuard.h"
#include "tests/support/PinnedFonts.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

using plat::headless::HeadlessBackend;

// The application root: runs modal steps, records what reaches it.
struct Root : LHandler {
    CMacMainLoop* loop = nullptr;
    std::vector<std::string> ids;
    std::set<std::string> consume{"LPane_Defer",     "LPane_ReqFocus",    "LFrame_Place",
                                  "LFrame_Activate", "LFrame_Deactivate", "LPane_ReqCapture"};
    LMessage Handle(const LMessage& msg) override {
        ids.push_back(msg.id.Text());
        if (msg.Is("LHandler_Mode")) {
            if (loop && msg.sender) loop->RunModal(msg.sender);
            return LMessage();
        }
        if (consume.count(msg.id.Text())) return LMessage();
        return LHandler::Handle(msg);
    }
    int Count(const char* id) const { return int(std::count(ids.begin(), ids.end(), std::string(id))); }
};

// The flash waits on the fake clock; each wait records whether the button showed its highlight.
testsupport::FakeClock* gClock = nullptr;
LStdButton* gWatched = nullptr;
std::vector<std::pair<uint32_t, bool>> gWaits;
void FakeSleep(uint32_t ms) {
    gWaits.push_back({ms, gWatched && gWatched->Control() && gWatched->Control()->IsHighlighted()});
    if (gClock) gClock->AdvanceMs(ms);
}

class LDialogTest : public ::testing::Test {
protected:
    LDialogTest() {
        plat::Application::Shared()->SetDelegate(&delegate);
        plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
        loop = new CMacMainLoop(&root);
        root.loop = loop;
        gClock = &clock;
        gWaits.clear();
        LDialog::SetSleepFunction(FakeSleep);
    }
    ~LDialogTest() override {
        delete dialog;
        LDialog::SetSleepFunction(nullptr);
        gClock = nullptr;
        gWatched = nullptr;
        delete loop;
        plat::Application::Shared()->SetDelegate(nullptr);
        plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
    // A shown dialog window (modal kind 3, or a document) with OK (default) and Cancel.
    template <class D = LDialog>
    D* Make(uint32_t kind = LFrameSpec::kModal, bool buttons = true) {
        auto* d =
            new D(&root, nullptr, LFrameSpec(kind, CMacWindowKindH(new CMacWinKind(kind == 3 ? 8 : 6))));
        dialog = d;
        d->SetWindowFrame({100, 100, 400, 250});
        LHandler::Dispatch(LMessage(LWindow_Place, d->Window(), d));
        d->ShowWindow();
        d->Window()->NativeWindow()->MakeKeyAndOrderFront();
        if (buttons) {
            ok = new LStdButton(d, LStdCtlSpec{});
            ok->SetBounds({200, 110, 280, 132});
            cancel = new LStdButton(d, LStdCtlSpec{});
            cancel->SetBounds({110, 110, 190, 132});
            d->SetDefaultButton(ok);
            d->SetCancelButton(cancel);
        }
        return d;
    }
    void Key(const char* text) {
        plat::Event e;
        e.type = plat::EventType::kKeyDown;
        e.characters = text;
        e.charactersIgnoringModifiers = text;
        keyboard.Fill(e);
        LHandler::Dispatch(LMessage(LKeyboard_Down, &keyboard, dialog));
    }
    void Close() { LHandler::Dispatch(LMessage(LWindow_Close, dialog->Window(), dialog)); }

    testsupport::HeadlessScreens screens;
    testsupport::FakeClock clock;
    CMacWindowMgr mgr;
    AppDelegate delegate{nullptr, nullptr};
    LMouse mouse;
    LKeyboard keyboard;
    Root root;
    CMacMainLoop* loop = nullptr;
    LFrame* dialog = nullptr;
    LStdButton* ok = nullptr;
    LStdButton* cancel = nullptr;
};

TEST_F(LDialogTest, KeysPressUsableButtonsAndOtherwiseReachTheFrame) {
    auto* d = Make(LFrameSpec::kDocument);
    EXPECT_TRUE(ok->IsDefault());
    EXPECT_TRUE(ok->Control()->IsDefault());
    struct Case {
        const char* key;
        const char* what;
        const char* answer;  // null: the key goes on up as it is
    } cases[] = {
        {"\r", "Return presses the default button", "LDialog_Default"},
        {"\x03", "Enter presses the default button", "LDialog_Default"},
        {"\x1b", "Escape presses the cancel button", "LDialog_Escape"},
        {"a", "other keys are the frame's", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        root.ids.clear();
        gWaits.clear();
        gWatched = c.key[0] == 27 ? cancel : ok;
        Key(c.key);
        if (c.answer) {
            EXPECT_EQ(root.Count(c.answer), 1);
            EXPECT_EQ(root.Count("LKeyboard_Down"), 0);
            ASSERT_EQ(gWaits.size(), 1u);
            EXPECT_EQ(gWaits[0].first, 142u);
            EXPECT_TRUE(gWaits[0].second) << "highlighted while it waits";
            EXPECT_FALSE(gWatched->Control()->IsHighlighted());
        } else {
            EXPECT_EQ(root.Count("LKeyboard_Down"), 1);
            EXPECT_TRUE(gWaits.empty());
        }
    }

    // A hidden or disabled default button leaves Return to the frame.
    for (uint32_t off : {LPane::kHide, LPane::kDisable}) {
        ok->ChangeState(off);
        root.ids.clear();
        Key("\r");
        EXPECT_EQ(root.Count("LDialog_Default"), 0);
        EXPECT_EQ(root.Count("LKeyboard_Down"), 1);
        ok->ChangeState(off - 1);  // show / enable again
    }
    // The same default button again changes nothing; another moves the accent.
    d->SetDefaultButton(ok);
    EXPECT_TRUE(ok->IsDefault());
    d->SetDefaultButton(cancel);
    EXPECT_FALSE(ok->IsDefault());
    EXPECT_TRUE(cancel->IsDefault());
    d->SetDefaultButton(nullptr);
    EXPECT_FALSE(cancel->IsDefault());
}

TEST_F(LDialogTest, TheCloseBoxPressesTheCancelButtonUnlessItIsInactive) {
    auto* d = Make(LFrameSpec::kDocument);
    Close();
    EXPECT_EQ(root.Count("LDialog_Escape"), 1);

    cancel->ChangeState(LPane::kDisable);
    root.ids.clear();
    Close();
    EXPECT_EQ(root.Count("LDialog_Escape"), 0);
    EXPECT_EQ(root.Count("LFrame_Close"), 0);
    EXPECT_TRUE(d->Window()->NativeWindow()->IsVisible()) << "the dialog stays open";

    // Without a cancel button the default button answers the close box.
    d->SetCancelButton(nullptr);
    root.ids.clear();
    Close();
    EXPECT_EQ(root.Count("LDialog_Default"), 1);
}

TEST_F(LDialogTest, ADialogWithoutButtonsStillCloses) {
    auto* d = Make(LFrameSpec::kDocument, false);
    Close();
    EXPECT_EQ(root.Count("LFrame_Close"), 1);
    EXPECT_FALSE(d->Window()->NativeWindow()->IsVisible());
}

TEST_F(LDialogTest, WhileAModalDialogRunsOnlyHelpIsEnabled) {
    Make<LModalDialog>();
    LMenuBar bar(nullptr);
    auto* menu = new LMenu(&bar, LString("File"));
    bar.AppendMenu(menu);
    std::vector<LMenuItem*> items;
    for (const char* cmd : {"LStdCmd_Help", "LStdCmd_Close", "LStdCmd_New"}) {
        auto* item = new LMenuItem(menu);
        item->SetCommand(cmd);
        menu->AppendItem(item);
        items.push_back(item);
    }
    bar.ResetItemStates();
    LHandler::Dispatch(LMessage(LMenuBar_Ready, &bar, dialog));
    EXPECT_TRUE(items[0]->IsEnabled());
    EXPECT_FALSE(items[1]->IsEnabled());
    EXPECT_FALSE(items[2]->IsEnabled());
    EXPECT_EQ(root.Count("LMenuBar_Ready"), 0) << "the pass stops at the dialog";

    // Only Help's choice goes on up.
    LHandler::Dispatch(LMessage(LMenuItem_Selected, items[2], dialog));
    EXPECT_EQ(root.Count("LMenuItem_Selected"), 0);
    LHandler::Dispatch(LMessage(LMenuItem_Selected, items[0], dialog));
    EXPECT_EQ(root.Count("LMenuItem_Selected"), 1);
}

TEST_F(LDialogTest, ReturnAndEscapeEndAModalRunWithOneAndTwoAfterTheFlash) {
    auto* d = Make<LModalDialog>();
    EXPECT_EQ(d->Background().Data(), LColor::System(2).Data());
    plat::Window* w = d->Window()->NativeWindow();
    struct Case {
        const char* key;
        uint32_t result;
    } cases[] = {{"\r", 1}, {"\x1b", 2}};
    for (const Case& c : cases) {
        gWaits.clear();
        const double before = clock.Now();
        testsupport::NestedLoopGuard guard;
        screens.Backend().Inject(HeadlessBackend::KeyEvent(plat::EventType::kKeyDown, w, c.key, 0));
        EXPECT_EQ(d->RunUntilResult(), c.result);
        EXPECT_FALSE(guard.Fired());
        ASSERT_EQ(gWaits.size(), 1u);
        EXPECT_EQ(gWaits[0].first, 142u);
        EXPECT_NEAR((clock.Now() - before) * 1000, 142, 1);
    }
}

TEST_F(LDialogTest, AModalDialogWithoutButtonsEndsWhenItsCloseBoxHidesIt) {
    auto* d = Make<LModalDialog>(LFrameSpec::kModal, false);
    Close();
    EXPECT_EQ(d->Result(), 2u);
    EXPECT_FALSE(d->Window()->NativeWindow()->IsVisible());
}

TEST_F(LDialogTest, WithoutAMainLoopToStepItAModalRunEndsCancelledInsteadOfSpinning) {
    LHandler top;  // no application root above
    LModalDialog d(&top, nullptr);
    EXPECT_EQ(d.RunUntilResult(), 2u);
}

}  // namespace
