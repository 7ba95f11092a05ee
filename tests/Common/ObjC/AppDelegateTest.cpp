#include <signal.h>
#include <unistd.h>

#include <string>

#include "Common/ObjC/CExtCmd.h"
#include "Platform/AppKit/Application.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/Common/ObjC/MainLoopFixture.h"

namespace {

using AppDelegateTest = MainLoopFixture;
using Reply = plat::ApplicationDelegate::TerminateReply;

std::string Cwd() {
    char buf[4096];
    return getcwd(buf, sizeof buf) ? buf : "";
}

TEST_F(AppDelegateTest, AFileOpensOnceAndNoUntitledFollows) {
    delegate.OpenFile("show.obm");
    delegate.OpenFile("/abs/other.obm");
    delegate.DidFinishLaunching();
    delegate.OpenUntitledFile();
    EXPECT_EQ(root.files, (std::vector<std::string>{Cwd() + "/show.obm", "/abs/other.obm"}));
    EXPECT_EQ(root.Count("CExtCmd_Open"), 2);
}

TEST_F(AppDelegateTest, LaunchWithoutFilesOpensOneUntitled) {
    delegate.DidFinishLaunching();
    delegate.OpenUntitledFile();
    EXPECT_EQ(root.files, (std::vector<std::string>{"-"}));
    EXPECT_TRUE(delegate.Opened());
}

TEST_F(AppDelegateTest, AConsumedQuitCancelsAndStaysPending) {
    root.vetoes = 1;
    EXPECT_EQ(delegate.ShouldTerminate(), Reply::kCancel);
    EXPECT_TRUE(loop->QuitPending());
    EXPECT_EQ(delegate.ShouldTerminate(), Reply::kNow);
    EXPECT_FALSE(loop->QuitPending());
    EXPECT_EQ(root.Count("CMainLoopBase_Quit"), 2);
    delegate.SetMain(nullptr);
    EXPECT_EQ(delegate.ShouldTerminate(), Reply::kNow);  // no loop: nobody to ask
    EXPECT_EQ(root.Count("CMainLoopBase_Quit"), 2);
}

TEST_F(AppDelegateTest, ActivationSwitchesTheLoop) {
    delegate.DidResignActive();
    EXPECT_FALSE(loop->IsActive());
    delegate.DidBecomeActive();
    EXPECT_TRUE(loop->IsActive());
    EXPECT_EQ(root.Count("CMainLoopBase_Switch"), 2);
}

TEST_F(AppDelegateTest, AppleEventsReportWhetherTheRootTookThem) {
    for (bool take : {false, true}) {
        root.takeAppleEvents = take;
        CExtCmdAE cmd(nullptr, nullptr);
        LHandler::Dispatch(LMessage(CExtCmd_AE, &cmd, &root));
        EXPECT_EQ(cmd.Handled(), take);
    }
    delegate.HandleAppleEvent(nullptr, nullptr);
    EXPECT_EQ(root.Count("CExtCmd_AE"), 3);
}

// The whole launch on the application loop: a file argument, a vetoed SIGTERM, then SIGINT.
struct Boot {
    static RecordingRoot* root;
    static CMacMainLoop* loop;
    static std::vector<std::string> log;
    static void Create() {
        log.push_back("create");
        root = new RecordingRoot;
        root->vetoes = 1;
        loop = new CMacMainLoop(root);
    }
    static void Destroy() {
        log.push_back("destroy");
        log.insert(log.end(), root->ids.begin(), root->ids.end());
        log.insert(log.end(), root->files.begin(), root->files.end());
        delete loop;
        delete root;
    }
};
RecordingRoot* Boot::root = nullptr;
CMacMainLoop* Boot::loop = nullptr;
std::vector<std::string> Boot::log;

TEST(AppDelegateRunTest, FileOpenVetoedQuitThenExit) {
    testsupport::HeadlessScreens screens;
    CMacWindowMgr mgr;
    AppDelegate delegate(&Boot::Create, &Boot::Destroy);
    plat::Application* app = plat::Application::Shared();
    app->Deactivate();
    app->SetDelegate(&delegate);
    int raised = 0;
    auto timer = plat::RunLoopTimer::Create(
        plat::ClockNow() + 0.03, 0.03,
        [](plat::RunLoopTimer*, void* info) {
            int& n = *static_cast<int*>(info);
            raise(n++ == 0 ? SIGTERM : SIGINT);
        },
        &raised);
    EXPECT_TRUE(plat::RunLoop::Main()->AddTimer(timer.get(), plat::kRunLoopCommonModes));
    const char* argv[] = {"orbilume", "/tmp/a.obm", nullptr};
    EXPECT_EQ(app->Run(2, const_cast<char**>(argv)), 0);
    timer->Invalidate();
    timer = nullptr;
    app->SetDelegate(nullptr);
    EXPECT_EQ(raised, 2);
    EXPECT_EQ(Boot::log,
              (std::vector<std::string>{"create", "destroy", "CExtCmd_Open", "CMainLoopBase_Switch",
                                        "CMainLoopBase_Quit", "CMainLoopBase_Quit", "/tmp/a.obm"}));
}

}  // namespace
