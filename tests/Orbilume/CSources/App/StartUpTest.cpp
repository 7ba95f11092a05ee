#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/LEditText.h"
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
#include "Orbilume/CSources/Editors/CInParamNote.h"
#include "Orbilume/CSources/Editors/CInParamPanes.h"
#include "Orbilume/CSources/Editors/CTextEditWin.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
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
        for (EAppWindow kind :
             {EAppWindow::kTextEdit, EAppWindow::kVideoDevices, EAppWindow::kViewPrefs, EAppWindow::kOutputAdjust})
            SetAppWindowFactory(kind, nullptr);
    }
};

// Whether the application enables the commands when the menu bar gets ready.
std::vector<bool> Enabled(const std::vector<const char*>& commands) {
    std::vector<bool> out;
    for (const auto& state : AppFixture::MenuStates(gMainApp, commands)) out.push_back(state.first);
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

// What a string pane reports of its edits.
struct PaneOwner : LHandler {
    std::vector<std::string> values;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(CInParamNote_Change)) values.push_back(static_cast<CInParamNote*>(msg.sender)->value.CStr());
        return LMessage();
    }
};

CLRect StoredTextEditPlace() {
    const CRecord* root = CAppPrefs::Get()->Root();
    const uint32_t field = CAppPrefs::kPrefTextEditRect;
    if (root->ArrayCount(field) < 4) return CLRect();
    const auto* v = static_cast<const uint32_t*>(root->ArrayData(field));
    return CLRect{int32_t(v[0]), int32_t(v[1]), int32_t(v[2]), int32_t(v[3])};
}

void StoreTextEditPlace(const CLRect& r) {
    const uint32_t v[4] = {uint32_t(r.left), uint32_t(r.top), uint32_t(r.right), uint32_t(r.bottom)};
    ASSERT_TRUE(CAppPrefs::Get()->RootRef().SetArray(nullptr, CAppPrefs::kPrefTextEditRect, v, 4));
}

TEST(StartUpTest, TheTextEditWindowIsMadeWithTheApplicationLentToStringPanesAndKeepsItsPlace) {
    AppFixture app;
    AppWindowFactories factories;
    app.Create();
    IDocWindow* window = gMainApp->TextEditWin();
    ASSERT_NE(window, nullptr) << "made with the application, before any open request";
    ASSERT_NE(CTextEditWin::Instance(), nullptr);
    EXPECT_EQ(CTextEditWin::Instance(), window->Handler());
    EXPECT_FALSE(window->IsVisible());

    {
        // A multi-line string pane asks for the window: it shows with the pane's text, and typing
        // in it reaches the pane and its owner.
        PaneOwner owner;
        LFrame host(nullptr, nullptr, LFrameSpec(LFrameSpec::kDocument, CMacWindowKindH(new CMacWinKind(0))));
        auto* pane = new CInParamString(&owner, &host, 7, LString("text"), 3);
        pane->SetValueText(LString("one"));
        pane->OpenTextWindow();
        CTextEditWin* text = CTextEditWin::Instance();
        EXPECT_TRUE(window->IsVisible());
        EXPECT_EQ(text->Client(), pane);
        EXPECT_STREQ(text->EditText()->GetText().CStr(), "one");
        text->EditText()->SetText(LString("one\ntwo"));
        LHandler::Dispatch(LMessage(LEditText_Change, text->EditText(), text));
        EXPECT_STREQ(pane->Edit()->GetText().CStr(), "one\ntwo");
        EXPECT_EQ(owner.values, (std::vector<std::string>{"one\ntwo"}));
    }
    // The pane went with its host: the window is hidden and lent to nobody.
    EXPECT_EQ(CTextEditWin::Instance()->Client(), nullptr);
    EXPECT_FALSE(window->IsVisible());

    // Moved onto the second screen: stored when the application goes, and there at the next start.
    const CLRect moved{1600, 200, 2000, 520};
    window->SetFrame(moved);
    EXPECT_EQ(window->Frame(), moved);
    app.Delete();
    EXPECT_EQ(CTextEditWin::Instance(), nullptr);
    app.Create();
    EXPECT_EQ(StoredTextEditPlace(), moved);
    ASSERT_NE(gMainApp->TextEditWin(), nullptr);
    EXPECT_EQ(gMainApp->TextEditWin()->Frame(), moved);

    // Places from the preferences file that are empty, reversed, out of range or not on a screen
    // by at least 16 × 16 pixels are not applied: the window is where it is without a place. Each
    // is written while no window is made, so that nothing stores over it.
    auto frameWith = [&](const CLRect* place) {
        app.Delete();
        SetAppWindowFactory(EAppWindow::kTextEdit, nullptr);
        app.Create();
        EXPECT_EQ(gMainApp->TextEditWin(), nullptr);
        EXPECT_EQ(CTextEditWin::Instance(), nullptr);
        if (place)
            StoreTextEditPlace(*place);
        else
            EXPECT_TRUE(CAppPrefs::Get()->RootRef().SetArray(nullptr, CAppPrefs::kPrefTextEditRect, nullptr, 0));
        app.Delete();
        CAppWindows::Install();
        SetAppWindowFactory(EAppWindow::kStartup, nullptr);
        app.Create();
        return gMainApp->TextEditWin() ? gMainApp->TextEditWin()->Frame() : CLRect();
    };
    const CLRect unplaced = frameWith(nullptr);
    ASSERT_FALSE(unplaced.IsEmpty());
    const CLRect bad[] = {
        {0, 0, 0, 0},
        {500, 500, 100, 100},
        {5000, 5000, 5400, 5300},
        {-400, -300, 10, 10},
        {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
        {-2147483000, 100, 2147483000, 400},
    };
    for (const CLRect& place : bad) {
        SCOPED_TRACE(std::to_string(place.left) + "," + std::to_string(place.top) + "," +
                     std::to_string(place.right) + "," + std::to_string(place.bottom));
        EXPECT_EQ(frameWith(&place), unplaced);
    }
    // A sound place still applies after them.
    EXPECT_EQ(frameWith(&moved), moved);
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
