#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "Common/OpenGL/COpenGLCheckDialog.h"
#include "Common/OpenGL/COpenGLRequirement.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Orbilume/CSources/App/DocFormProvider.h"
#include "Orbilume/CSources/App/DocWindows.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Engine/COutAdjustControls.h"
#include "Orbilume/CSources/Http/FormServer.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/Editors/CAppWindows.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
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

// The application's real window factories, without the start-up window (no hold).
class AppWindowFactories {
public:
    AppWindowFactories() {
        CAppWindows::Install();
        SetAppWindowFactory(EAppWindow::kStartup, nullptr);
    }
    ~AppWindowFactories() {
        for (EAppWindow kind : {EAppWindow::kVideoDevices, EAppWindow::kViewPrefs, EAppWindow::kOutputAdjust})
            SetAppWindowFactory(kind, nullptr);
    }
};

// Whether the application enables the commands when the menu bar gets ready.
std::vector<bool> Enabled(const std::vector<const char*>& commands) {
    LMenuBar bar(nullptr);
    auto* menu = new LMenu(&bar, LString("Test"));
    bar.AppendMenu(menu);
    std::vector<LMenuItem*> items;
    for (const char* c : commands) {
        auto* item = new LMenuItem(menu);
        item->SetCommand(c);
        menu->AppendItem(item);
        items.push_back(item);
    }
    (void)gMainApp->Handle(LMessage(LMenuBar_Ready, &bar, gMainApp));
    std::vector<bool> out;
    for (LMenuItem* item : items) out.push_back(item->IsEnabled());
    return out;
}

TEST(StartUpTest, OutputAdjustmentAndVideoWindowsAreMadeHiddenShownByTheirCommandsAndRemembered) {
    AppFixture app;
    AppWindowFactories factories;
    app.Create();
    EXPECT_EQ(gMainApp->OutputAdjustWin(), nullptr) << "made at start-up, not before";
    gMainApp->OpenRequest({});
    ASSERT_NE(gMainApp->OutputAdjustWin(), nullptr);
    ASSERT_NE(gMainApp->VideoDevicesWin(), nullptr);
    EXPECT_FALSE(gMainApp->OutputAdjustWin()->IsVisible());
    EXPECT_FALSE(gMainApp->VideoDevicesWin()->IsVisible());
    EXPECT_EQ(Enabled({"cOutAdj", "cVideoIn"}), (std::vector<bool>{true, true}));

    AppFixture::Command(gMainApp, "cOutAdj");
    EXPECT_TRUE(gMainApp->OutputAdjustWin()->IsVisible());
    EXPECT_FALSE(gMainApp->VideoDevicesWin()->IsVisible());
    AppFixture::Command(gMainApp, "cVideoIn");
    EXPECT_TRUE(gMainApp->VideoDevicesWin()->IsVisible());

    // The output adjustment comes back as it was left at quit; the video devices window stays hidden.
    app.Delete();
    app.Create();
    gMainApp->OpenRequest({});
    ASSERT_NE(gMainApp->OutputAdjustWin(), nullptr);
    EXPECT_TRUE(gMainApp->OutputAdjustWin()->IsVisible());
    EXPECT_FALSE(gMainApp->VideoDevicesWin()->IsVisible());
    gMainApp->OutputAdjustWin()->Hide();
    app.Delete();
    app.Create();
    gMainApp->OpenRequest({});
    ASSERT_NE(gMainApp->OutputAdjustWin(), nullptr);
    EXPECT_FALSE(gMainApp->OutputAdjustWin()->IsVisible());
}

// The browser panel asks the output adjustment window, through the document callback, for its
// OSC-driven controls and lists them after the show's.
TEST(StartUpTest, TheOutputAdjustmentsOscControlsAreOnThePanel) {
    AppFixture app;
    AppWindowFactories factories;
    app.Create();
    DocFormProvider provider(gMainApp);
    std::vector<FormEntry> entries;
    provider.FormEntries(entries);  // no window yet: nothing asked, nothing listed
    EXPECT_TRUE(entries.empty());
    gMainApp->OpenRequest({});
    ASSERT_NE(gMainApp->OutputAdjustWin(), nullptr);
    CRecord* unit = CAppPrefs::Get()->Root()->GetSubRecord(CAppPrefs::kPrefOutAdjUnit);
    CRecord* roty = COutAdjustControls::FindInput(unit, LString("roty"));
    ASSERT_NE(roty, nullptr);
    CRecordRef ctl(&roty->Slot(CDocModelTypes::kInptCtl).record);
    CParamSet::SetString(ctl, nullptr, LString("type"), LString("osc"));
    CParamSet::SetString(ctl, nullptr, LString("oscadr"), LString("/adj/roty"));
    provider.FormEntries(entries);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].address, "/adj/roty");
    EXPECT_EQ(entries[0].label, "Rotation Y");
    EXPECT_EQ(entries[0].value, "0");
    EXPECT_EQ(entries[0].minimum, "-90");
    EXPECT_EQ(entries[0].maximum, "90");
    CParamSet::SetString(ctl, nullptr, LString("type"), LString());
}

}  // namespace
