#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/ObjC/CSaveChangesDialog.h"
#include "Common/ObjC/CSimpleMessageDialog.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/LImagePane.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/Foundation/Bundle.h"
#include "tests/Common/ObjC/ModalRoot.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/support/FakeClock.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/PinnedFonts.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();
using plat::headless::HeadlessBackend;
using Root = dialogtest::ModalRoot;

// Calls a function from the main loop after a delay, under any modal handler.
struct Later : LHandler {
    std::function<void()> fn;
    LTimer timer{this};
    void After(uint32_t ms, std::function<void()> f) {
        fn = std::move(f);
        timer.StartOnce(ms, 0);
    }
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LTimer_Expire) && fn) fn();
        return LMessage();
    }
};

void NoSleep(uint32_t) {}

// For runs that a termination request should end at once while the clock stands still: when the
// run is still going after a long real wait, the clock moves on so that a far timer can end it,
// and Rescued() tells.
class StuckRunRescue {
public:
    explicit StuckRunRescue(testsupport::FakeClock& clock)
        : fThread([this, &clock] {
              std::unique_lock<std::mutex> lock(fMutex);
              if (fDoneCv.wait_for(lock, std::chrono::seconds(20), [this] { return fDone.load(); })) return;
              fRescued = true;
              lock.unlock();
              while (!fDone) {
                  clock.AdvanceMs(1000);
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
              }
          }) {}
    ~StuckRunRescue() { Done(); }
    void Done() {
        {
            std::lock_guard<std::mutex> lock(fMutex);
            fDone = true;
        }
        fDoneCv.notify_all();
        if (fThread.joinable()) fThread.join();
    }
    bool Rescued() const { return fRescued; }

    static constexpr uint32_t kFarMs = 600000;

private:
    std::mutex fMutex;
    std::condition_variable fDoneCv;
    std::atomic<bool> fDone{false};
    std::atomic<bool> fRescued{false};
    std::thread fThread;
};

class StdDialogsTest : public ::testing::Test {
protected:
    StdDialogsTest() {
        plat::Application::Shared()->SetDelegate(&delegate);
        plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
        loop = new CMacMainLoop(&root);
        root.loop = loop;
        LDialog::SetSleepFunction(NoSleep);
    }
    ~StdDialogsTest() override {
        LDialog::SetSleepFunction(nullptr);
        delete loop;
        plat::Application::Shared()->SetDelegate(nullptr);
        plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
    // A key press as the keyboard hands it to the dialog; the clock moves on so the step's wait ends.
    void PressKey(LFrame* dialog, const char* key) {
        plat::Event e;
        e.type = plat::EventType::kKeyDown;
        e.characters = key;
        e.charactersIgnoringModifiers = key;
        keyboard.Fill(e);
        LHandler::Dispatch(LMessage(LKeyboard_Down, &keyboard, dialog));
        clock.AdvanceMs(20);
    }

    BundleResources resources;
    testsupport::HeadlessScreens screens;
    testsupport::FakeClock clock;
    CMacWindowMgr mgr;
    AppDelegate delegate{nullptr, nullptr};
    LMouse mouse;
    LKeyboard keyboard;
    Root root;
    CMacMainLoop* loop = nullptr;
};

TEST_F(StdDialogsTest, SaveChangesMessagesNameTheDocumentOrUntitled) {
    ASSERT_TRUE(resources.Ok());
    const LStrListRsrcH strings(SRsrcRequest("CSAVECHANGESDIALOG"));
    ASSERT_GE(strings.Count(), 6u);
    for (uint32_t c = 0; c < 3; ++c) {
        const std::string empty = CSaveChangesDialog::MessageFor(strings, c, LString()).CStr();
        EXPECT_NE(empty.find("\"untitled\""), std::string::npos) << empty;
        const std::string named = CSaveChangesDialog::MessageFor(strings, c, LString("set.obs")).CStr();
        EXPECT_NE(named.find("\"set.obs\""), std::string::npos) << named;
    }
    for (uint32_t c : {3u, 7u, 0xFFFFFFFFu})
        EXPECT_TRUE(CSaveChangesDialog::MessageFor(strings, c, LString("x")).IsEmpty()) << c;
}

TEST_F(StdDialogsTest, SaveChangesAnswersSaveCancelAndDiscard) {
    plat::SetMainBundlePathForTesting("/opt/Show Control.app");
    struct Case {
        const char* what;
        const char* key;  // null: the third button is clicked
        uint32_t answer;
    } cases[] = {
        {"Return saves", "\r", CSaveChangesDialog::kSave},
        {"Escape cancels", "\x1b", CSaveChangesDialog::kCancel},
        {"the third button discards", nullptr, CSaveChangesDialog::kDiscard},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CSaveChangesDialog d(&root, nullptr);
        EXPECT_EQ(d.Title(), "Show Control");
        EXPECT_EQ(d.FirstButton()->GetTitle(), "Save");
        EXPECT_EQ(d.DefaultButton(), d.FirstButton());
        EXPECT_EQ(d.CancelButton(), d.SecondButton());
        Later later;
        if (c.key) {
            later.After(0, [&] { PressKey(&d, c.key); });
        } else {
            later.After(0, [&] {
                d.ThirdButton()->Control()->PerformClick();
                clock.AdvanceMs(20);
            });
        }
        EXPECT_EQ(d.Run(1), c.answer);
        EXPECT_EQ(d.Answer(), c.answer);
        EXPECT_NE(std::string(d.MessagePane()->Text().CStr()).find("\"untitled\""), std::string::npos);
        EXPECT_EQ(d.Window()->NativeWindow()->Title(), "Show Control");
        // The layout put the buttons in one row at the bottom, the message above them.
        const CLRect first = d.FirstButton()->Bounds();
        EXPECT_EQ(first.top, d.ThirdButton()->Bounds().top);
        EXPECT_LT(d.ThirdButton()->Bounds().right, d.SecondButton()->Bounds().left);
        EXPECT_LT(d.SecondButton()->Bounds().right, first.left) << "the default button at the right";
        EXPECT_LE(d.MessagePane()->Bounds().bottom, first.top);
        EXPECT_GT(d.MessagePane()->Bounds().Width(), 0);
    }
    plat::SetMainBundlePathForTesting("");
}

TEST_F(StdDialogsTest, MessageBoxAnswersByButtonAndKey) {
    struct Case {
        const char* what;
        bool showCancel;
        const char* key;
        uint32_t answer;
    } cases[] = {
        {"Return is OK", false, "\r", 1},
        {"Escape without Cancel is OK", false, "\x1b", 1},
        {"Escape with Cancel cancels", true, "\x1b", 0},
        {"Return with Cancel is OK", true, "\r", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CSimpleMessageDialog d(&root, nullptr);
        Later later;
        later.After(0, [&] { PressKey(&d, c.key); });
        EXPECT_EQ(d.Run(LString("The show file could not be read."), 0, c.showCancel), c.answer);
        EXPECT_EQ(d.CancelBtn()->IsVisible(), c.showCancel);
        EXPECT_EQ(d.CancelButton(), c.showCancel ? d.CancelBtn() : d.OkButton());
    }
}

// The box fits its message: a short one keeps the standard width, a long one wraps inside the box,
// and the buttons sit below the text at the right edge.
TEST_F(StdDialogsTest, MessageBoxLayoutFitsShortAndLongMessages) {
    ASSERT_TRUE(kFontsPinned);
    std::string longText;
    for (int i = 0; i < 40; ++i) longText += "The output screen was disconnected. ";
    int32_t widths[2] = {};
    int i = 0;
    for (const std::string& text : {std::string("Saved."), longText}) {
        SCOPED_TRACE(text.substr(0, 20));
        CSimpleMessageDialog d(&root, nullptr);
        (void)d.MessagePane()->SetText(LString(text.c_str()));
        d.LayoutMessage();
        const CLRect frame = d.GetWindowRect();
        const CLRect msg = d.MessagePane()->Bounds();
        const CLRect ok = d.OkButton()->Bounds();
        const CLRect icon = d.IconPane()->Bounds();
        EXPECT_EQ(frame.left, 40);
        EXPECT_EQ(frame.top, 40);
        EXPECT_EQ(icon, (CLRect{8, 8, 40, 40}));
        EXPECT_EQ(msg.left, 56);
        EXPECT_EQ(msg.top, 8);
        EXPECT_EQ(msg.right, frame.Width() - 8);
        EXPECT_LE(msg.bottom + 16, ok.top) << "the buttons stay below the text";
        EXPECT_EQ(ok.bottom, frame.Height() - 8);
        EXPECT_LT(d.CancelBtn()->Bounds().right, ok.left);
        EXPECT_GE(msg.Width(), d.MessagePane()->Box().Text().Length() > 10 ? 300 : 100);
        widths[i++] = frame.Width();
    }
    EXPECT_LE(widths[1], 56 + 360 + 8) << "a long message wraps at the widest text box";
    EXPECT_LE(widths[0], widths[1]);
}

// The time-out is seen on an idle machine: no event comes, the steps are bounded, and meanwhile a
// 100 ms timer keeps firing and a render thread keeps going.
TEST_F(StdDialogsTest, MessageBoxTimesOutWithoutInputWhileTimersAndRenderingGoOn) {
    CSimpleMessageDialog d(&root, nullptr);
    std::atomic<bool> stop{false};
    std::atomic<int> frames{0};
    std::thread renderer([&] {
        while (!stop) {
            clock.AdvanceMs(10);
            ++frames;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    int fired = 0;
    Later tick;
    std::function<void()> again = [&] {
        ++fired;
        tick.timer.StartOnce(100, 0);
    };
    tick.After(100, again);
    const double before = clock.Now();
    EXPECT_EQ(d.Run(LString("Reconnecting..."), 3, true), 1u);
    const double took = clock.Now() - before;
    stop = true;
    renderer.join();
    EXPECT_GE(took, 3.0);
    EXPECT_LT(took, 4.5);
    EXPECT_GE(fired, 20);
    EXPECT_GE(frames.load(), 300);
}

// With time-out 0 the box stays up however long nothing happens; a later Return ends it.
TEST_F(StdDialogsTest, MessageBoxWithoutTimeOutNeverClosesByItself) {
    CSimpleMessageDialog d(&root, nullptr);
    Later later;
    int steps = 0;
    std::function<void()> idle = [&] {
        clock.AdvanceMs(1000);
        if (++steps == 10) {
            PressKey(&d, "\x1b");
            return;
        }
        later.timer.StartOnce(0, 0);
    };
    later.After(0, idle);
    const double before = clock.Now();
    EXPECT_EQ(d.Run(LString("Waiting"), 0, true), 0u);
    EXPECT_GE(clock.Now() - before, 10.0);
}

// A dialog made without an upper handler (as the document's messages are) runs its steps in the
// main loop of the application root: timers fire in them and keys answer.
TEST_F(StdDialogsTest, DialogWithoutUpperHandlerRunsTheRootsModalSteps) {
    CSimpleMessageDialog d(nullptr, nullptr);
    Later later;
    later.After(0, [&] { PressKey(&d, "\r"); });
    EXPECT_EQ(static_cast<LModalDialog&>(d).Run(LModalDialog::kForever), 1u);
}

// A termination request ends a running dialog as cancelled, at once (the clock stands still), and
// stays pending for the main loop's quit.
TEST_F(StdDialogsTest, TerminationRequestEndsARunningDialogCancelled) {
    LModalDialog* shown = nullptr;
    struct Case {
        const char* what;
        std::function<uint32_t()> run;
        uint32_t answer;
    } cases[] = {
        {"a message with Cancel is cancelled",
         [&] {
             CSimpleMessageDialog d(&root, nullptr);
             shown = &d;
             return d.Run(LString("Waiting"), 0, true);
         },
         0},
        {"a message without Cancel is dismissed",
         [&] {
             CSimpleMessageDialog d(&root, nullptr);
             shown = &d;
             return d.Run(LString("The show cannot be opened."), 0, false);
         },
         1},
        {"the document's message, made without an upper handler, is dismissed",
         [&] {
             CSimpleMessageDialog d(nullptr, nullptr);
             shown = &d;
             return d.Run(LString("The show cannot be opened."), 0, false);
         },
         1},
        {"asking to save changes is cancelled",
         [&] {
             CSaveChangesDialog d(&root, nullptr);
             shown = &d;
             return d.Run(0);
         },
         CSaveChangesDialog::kCancel},
    };
    plat::Application* app = plat::Application::Shared();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Later terminate;
        terminate.After(0, [app] { app->Terminate(); });
        Later press;
        press.After(StuckRunRescue::kFarMs, [&] { PressKey(shown, "\r"); });
        StuckRunRescue rescue(clock);
        const uint32_t answer = c.run();
        rescue.Done();
        EXPECT_FALSE(rescue.Rescued()) << "the dialog kept running after the request";
        EXPECT_EQ(answer, c.answer);
        EXPECT_TRUE(app->TerminationRequested());
        app->WithdrawTermination();
    }
}

// The program's case: a message shown while a file opens at launch. SIGTERM ends it, then the quit
// runs as it does without a dialog.
TEST_F(StdDialogsTest, SignalEndsAMessageShownAtLaunchAndTheQuitGoesOn) {
    struct OpensWithMessage : plat::ApplicationDelegate {
        LHandler* root = nullptr;
        LModalDialog* shown = nullptr;
        std::vector<std::string> calls;
        bool OpenFile(const char*) override {
            CSimpleMessageDialog d(root, nullptr);
            shown = &d;
            calls.push_back("message " +
                            std::to_string(d.Run(LString("The show cannot be opened."), 0, false)));
            shown = nullptr;
            return true;
        }
        TerminateReply ShouldTerminate() override {
            calls.push_back("should");
            return TerminateReply::kNow;
        }
        void WillTerminate() override { calls.push_back("terminate"); }
    } opener;
    opener.root = &root;
    plat::Application* app = plat::Application::Shared();
    app->SetDelegate(&opener);
    Later signal;
    signal.After(0, [] { kill(getpid(), SIGTERM); });
    Later press;
    press.After(StuckRunRescue::kFarMs, [&] {
        if (opener.shown) PressKey(opener.shown, "\r");
    });
    StuckRunRescue rescue(clock);
    const char* argv[] = {"orbilume", "damaged.obm", nullptr};
    EXPECT_EQ(app->Run(2, const_cast<char**>(argv)), 0);
    rescue.Done();
    app->Deactivate();
    app->SetDelegate(&delegate);
    EXPECT_FALSE(rescue.Rescued()) << "the message kept running after the signal";
    EXPECT_EQ(opener.calls, (std::vector<std::string>{"message 1", "should", "terminate"}));
}

}  // namespace
