#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/App/CObDoc.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimInstruments.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/DimWindows.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"
#include "Platform/Preferences/Preferences.h"
#include "tests/Orbilume/CSources/App/AppTestSupport.h"
#include "tests/support/PinnedFonts.h"

namespace {

using apptest::AppFixture;
using T = CDimTypes;

// The dimmer window draws text.
const bool kFontsPinned = testsupport::PinFontsToDejaVu();

uint32_t gAnswer = SDimDialogs::kCancel;
uint32_t gAsked = 0;
std::vector<std::string> gMessages;

const SDimDialogs kDialogs{
    [](const LString&) -> uint32_t {
        ++gAsked;
        return gAnswer;
    },
    [](const std::string&, std::string&) { return false; },
    [](const std::string&, std::string&) { return false; },
    [](const LString& text) { gMessages.push_back(text.CStr()); },
    nullptr,
    nullptr,
};

struct DimmerApp : ::testing::Test {
    DimmerApp() {
        EXPECT_TRUE(kFontsPinned);
        gAsked = 0;
        gMessages.clear();
        SetDimDialogs(&kDialogs);
        // The preferences of this fixture's home, not what an earlier test left in memory.
        plat::Preferences::Reset();
        app.Create();
    }
    ~DimmerApp() override {
        app.Delete();
        SetDimDialogs(nullptr);
    }
    CRecordRef Settings() { return CRecordRef(&gMainApp->Prefs().Root()->Slot(CAppPrefs::kPrefDimmer).record); }
    size_t MessagesWith(const std::string& text) const {
        return size_t(std::count_if(gMessages.begin(), gMessages.end(),
                                    [&](const std::string& m) { return m.find(text) != std::string::npos; }));
    }
    // The user's definitions folder inside the private home.
    void WriteUserDefinition(const std::string& name, const std::string& bytes) {
        mkdir(app.home.File("Documents").c_str(), 0755);
        mkdir(app.home.File("Documents/ObDimInstruments").c_str(), 0755);
        app.home.Write("Documents/ObDimInstruments/" + name, bytes);
    }
    AppFixture app;
};

TEST_F(DimmerApp, QuittingAsksForAnEditedLayoutAndCancelKeepsTheApplication) {
    CDimInstruments* dim = gMainApp->Dimmer();
    ASSERT_NE(dim, nullptr);
    EXPECT_TRUE(gMainApp->CanQuit());
    EXPECT_EQ(gAsked, 0u);
    (void)dim->Dims().RootRef().InsertRecord(nullptr, T::kDimsDevices, CRecordRef::kAppend,
                                             CRecord::New(T::Didv()));
    gAnswer = SDimDialogs::kCancel;
    EXPECT_FALSE(gMainApp->CanQuit());
    EXPECT_EQ(gAsked, 1u);
    ASSERT_TRUE(dim->Save(app.home.File("layout.obdim")));
    EXPECT_TRUE(gMainApp->CanQuit());
    EXPECT_EQ(gAsked, 1u);
}

TEST_F(DimmerApp, TheCanvasFollowsTheFrontDocumentWhileTheOutputIsUsed) {
    CDimInstruments* dim = gMainApp->Dimmer();
    ASSERT_NE(dim, nullptr);
    CRecordRef settings(&gMainApp->Prefs().Root()->Slot(CAppPrefs::kPrefDimmer).record);
    UDimPrefs::SetUse(settings, true);
    gMainApp->OpenRequest({CMacFileU::LFsSpecFromPath(app.ShowPath().c_str())});
    ASSERT_EQ(gMainApp->DocumentCount(), 1u);
    uint32_t w = 0, h = 0;
    gMainApp->DocumentAt(0)->Engine().RenderSize(w, h);
    ASSERT_GT(w, 0u);
    ASSERT_GT(h, 0u);
    uint32_t cw = 0, ch = 0;
    CDimInstruments::CanvasSize(w, h, 32, 0, false, CDimInstruments::kMaxCanvasSide, cw, ch);
    EXPECT_EQ(dim->CanvasWidth(), cw);
    EXPECT_EQ(dim->CanvasHeight(), ch);
    UDimPrefs::SetUse(settings, false);
}

TEST_F(DimmerApp, TheDimmerCommandIsCheckedWhileTheOutputIsUsed) {
    CRecordRef settings(&gMainApp->Prefs().Root()->Slot(CAppPrefs::kPrefDimmer).record);
    auto ready = [] {
        LMenuBar bar(nullptr);
        auto* menu = new LMenu(&bar, LString("Test"));
        bar.AppendMenu(menu);
        auto* item = new LMenuItem(menu);
        item->SetCommand("CAppCmd_DMatx");
        menu->AppendItem(item);
        (void)gMainApp->Handle(LMessage(LMenuBar_Ready, &bar, gMainApp));
        return std::make_pair(item->IsEnabled(), item->IsMarked());
    };
    UDimPrefs::SetUse(settings, false);
    EXPECT_EQ(ready(), std::make_pair(true, false));
    UDimPrefs::SetUse(settings, true);
    EXPECT_EQ(ready(), std::make_pair(true, true));
    UDimPrefs::SetUse(settings, false);
    EXPECT_EQ(ready(), std::make_pair(true, false));
}

// The last layout carries its own "Strip", unlike the user's: at start-up as at any load the
// library's definition is kept, and the difference is named.
TEST_F(DimmerApp, AtStartUpTheLibrarysDefinitionsWinOverTheLastLayouts) {
    app.Delete();
    const std::string user = "<?xml version=\"1.0\"?>\n<YOBM_DIDF dfid=\"Strip\" dthz=\"4\"/>\n";
    WriteUserDefinition("Strip", user);
    app.home.Write("strip.obdim",
                   "<?xml version=\"1.0\"?>\n<YOBM_DIMS><YOBM_DIMS_devs><YOBM_DIDV dfid=\"Strip\"/></YOBM_DIMS_devs>"
                   "<YOBM_DIMS_defs><YOBM_DIDF dfid=\"Strip\" dthz=\"8\"/></YOBM_DIMS_defs></YOBM_DIMS>\n");
    app.Create();
    ASSERT_TRUE(gMainApp->Dimmer()->Load(app.home.File("strip.obdim")));
    EXPECT_EQ(gMainApp->Dimmer()->Defs().Find("Strip")->GetUInt(T::kDidfColumns), 4u);
    EXPECT_EQ(MessagesWith("\"Strip\""), 1u);
    app.Delete();  // "lastfile" := strip.obdim
    gMessages.clear();
    app.Create();
    ASSERT_EQ(gMainApp->Dimmer()->LastFile(), app.home.File("strip.obdim"));
    ASSERT_EQ(gMainApp->Dimmer()->Dims().Root()->ArrayCount(T::kDimsDevices), 1u);
    const CRecord* strip = gMainApp->Dimmer()->Defs().Find("Strip");
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->GetUInt(T::kDidfColumns), 4u);
    EXPECT_EQ(strip->GetByte(T::kDidfEmbedded), 0);
    EXPECT_EQ(gMainApp->Dimmer()->Defs().FileOf("Strip"), app.home.File("Documents/ObDimInstruments/Strip"));
    EXPECT_EQ(MessagesWith("\"Strip\""), 1u);
    EXPECT_EQ(AppFixture::ReadFile(app.home.File("Documents/ObDimInstruments/Strip")), user);
}

// Start-up shows the definitions' load report once and reopens the dimmer window when it was
// open at the last quit; a window closed at quit stays closed at the next start.
TEST_F(DimmerApp, StartUpReportsTheDefinitionsOnceAndReopensTheWindow) {
    app.Delete();
    WriteUserDefinition("Broken", "<YOBM_DIDF dthz=\"2\"");
    WriteUserDefinition("Good", "<?xml version=\"1.0\"?>\n<YOBM_DIDF dthz=\"2\"/>\n");
    app.Create();
    ASSERT_NE(gMainApp->Dimmer(), nullptr);
    UDimPrefs::SetLastOpen(Settings(), true);
    EXPECT_TRUE(gMessages.empty()) << "reported before start-up";
    gMainApp->OpenRequest({});
    ASSERT_TRUE(gMainApp->IsStarted());
    EXPECT_EQ(gMessages.size(), 1u);
    EXPECT_EQ(MessagesWith("ObDimInstruments/Broken"), 1u);
    EXPECT_EQ(MessagesWith("ObDimInstruments/Good"), 0u);
    EXPECT_NE(gMainApp->Dimmer()->Defs().Find("Good"), nullptr);
    ASSERT_NE(gMainApp->Dimmer()->Window(), nullptr);
    EXPECT_TRUE(gMainApp->Dimmer()->Window()->IsVisible());
    // Later open requests are no start-up.
    gMainApp->OpenRequest({});
    EXPECT_EQ(gMessages.size(), 1u);

    // Shown at quit: "lastopen" stays on and the next start shows it again.
    app.Delete();
    gMessages.clear();
    app.Create();
    EXPECT_TRUE(UDimPrefs::GetLastOpen(Settings()));
    EXPECT_EQ(gMainApp->Dimmer()->Window(), nullptr);
    gMainApp->OpenRequest({});
    ASSERT_NE(gMainApp->Dimmer()->Window(), nullptr);
    EXPECT_TRUE(gMainApp->Dimmer()->Window()->IsVisible());
    EXPECT_EQ(MessagesWith("ObDimInstruments/Broken"), 1u);

    // Hidden at quit: the next start leaves it closed.
    gMainApp->Dimmer()->Window()->Hide();
    app.Delete();
    app.Create();
    EXPECT_FALSE(UDimPrefs::GetLastOpen(Settings()));
    gMainApp->OpenRequest({});
    EXPECT_EQ(gMainApp->Dimmer()->Window(), nullptr);
}

}  // namespace
