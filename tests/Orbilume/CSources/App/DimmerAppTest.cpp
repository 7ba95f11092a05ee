#include <gtest/gtest.h>

#include <string>
#include <utility>

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
#include "Orbilume/CSources/Led/CDimInstruments.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"
#include "tests/Orbilume/CSources/App/AppTestSupport.h"

namespace {

using apptest::AppFixture;
using T = CDimTypes;

uint32_t gAnswer = SDimDialogs::kCancel;
uint32_t gAsked = 0;

const SDimDialogs kDialogs{
    [](const LString&) -> uint32_t {
        ++gAsked;
        return gAnswer;
    },
    [](const std::string&, std::string&) { return false; },
    [](const std::string&, std::string&) { return false; },
    [](const LString&) {},
    nullptr,
    nullptr,
};

struct DimmerApp : ::testing::Test {
    DimmerApp() {
        gAsked = 0;
        SetDimDialogs(&kDialogs);
        app.Create();
    }
    ~DimmerApp() override {
        app.Delete();
        SetDimDialogs(nullptr);
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

}  // namespace
