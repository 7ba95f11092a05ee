#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "Common/OpenGL/COpenGLCheckDialog.h"
#include "Common/OpenGL/COpenGLRequirement.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/App/DocWindows.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Platform/AppKit/Application.h"
#include "Platform/Composer/NodeClass.h"
#include "Platform/Foundation/Bundle.h"
#include "tests/Orbilume/CSources/App/AppTestSupport.h"

namespace {

using apptest::AppFixture;

bool gPlugInSeenByFirstDocument = false;
int gMonitorsMade = 0;

std::unique_ptr<IMonitorWin> RecordingMonitor(const SDocWindowArgs&) {
    if (gMonitorsMade++ == 0)
        gPlugInSeenByFirstDocument = plat::NodeClassRegistry::Shared().FindPatch("TestInvert") != nullptr;
    return nullptr;
}

TEST(StartUpTest, PlugInsOfTheBundleLoadBeforeTheFirstDocumentOpens) {
    AppFixture app;
    // A bundle of the build's resources whose plug-in folder holds the test module in a folder of its own.
    testsupport::TempDir bundle;
    const std::string binary = ORBILUME_BINARY;
    const std::string real = binary.substr(0, binary.rfind("/bin/"));
    for (const char* part : {"bin", "Resources", "SharedSupport"})
        ASSERT_EQ(symlink((real + "/" + part).c_str(), bundle.File(part).c_str()), 0);
    for (const char* folder : {"PlugIns", "PlugIns/privatepatch", "PlugIns/privatepatch/test"})
        ASSERT_EQ(mkdir(bundle.File(folder).c_str(), 0755), 0);
    bundle.Write("PlugIns/privatepatch/test/TestPlugIn.so", AppFixture::ReadFile(TEST_PLUGIN_MODULE));
    plat::SetMainBundlePathForTesting(bundle.Path());
    ASSERT_EQ(plat::NodeClassRegistry::Shared().FindPatch("TestInvert"), nullptr);

    SDocWindowFactories factories;
    factories.monitor = &RecordingMonitor;
    SetDocWindowFactories(&factories);
    app.Create();
    gMainApp->OpenRequest({CMacFileU::LFsSpecFromPath(app.ShowPath().c_str())});
    SetDocWindowFactories(nullptr);
    EXPECT_EQ(gMainApp->DocumentCount(), 1u);
    EXPECT_EQ(gMonitorsMade, 1);
    EXPECT_TRUE(gPlugInSeenByFirstDocument);
    EXPECT_TRUE(gMainApp->IsStarted());
    EXPECT_TRUE(gMainApp->ScreenModeTimer().IsRunning());
}

bool gShortfall = false;

// The operator answers "quit" whenever the renderer falls short.
int AnswerQuit(LHandler*, COpenGLContext_Cca& context, const COpenGLRequirement& requirement) {
    gShortfall = !requirement.Test(context, nullptr);
    return gShortfall ? COpenGLCheckDialog::kQuit : COpenGLCheckDialog::kMet;
}

// Run with MESA_EXTENSION_OVERRIDE=-GL_ARB_point_sprite (its own CTest entry).
TEST(StartUpTest, GLShortfallAnsweredQuitTerminatesWithoutOpeningADocument) {
    const char* override = std::getenv("MESA_EXTENSION_OVERRIDE");
    if (!override || std::string(override).find("-GL_ARB_point_sprite") == std::string::npos)
        GTEST_SKIP() << "needs MESA_EXTENSION_OVERRIDE=-GL_ARB_point_sprite from its CTest entry";
    AppFixture app;
    app.Create();
    CMainApp::SetGLCheck(&AnswerQuit);
    gMainApp->OpenRequest({CMacFileU::LFsSpecFromPath(app.ShowPath().c_str())});
    CMainApp::SetGLCheck(nullptr);
    EXPECT_TRUE(gShortfall) << "the renderer still offers point sprites";
    EXPECT_EQ(gMainApp->DocumentCount(), 0u);
    EXPECT_TRUE(plat::Application::Shared()->TerminationRequested());
    plat::Application::Shared()->WithdrawTermination();
}

}  // namespace
