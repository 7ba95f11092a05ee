#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Editors/CMonitorWin.h"
#include "Orbilume/CSources/Editors/OutputAdjustWindow.h"
#include "Orbilume/CSources/Engine/CCtlInDocBinder.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"
#include "tests/support/TempDir.h"

namespace {

using T = CDocModelTypes;

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

class OutputAdjustWindowTest : public dialogtest::HeadlessDialogTest {
protected:
    std::string Shipped() const { return std::string(SHARED_SUPPORT_DIR) + "/editor/outadj"; }
    std::string Value(const char* key) {
        const CRecord* input = COutAdjustControls::FindInput(Unit(), LString(key));
        return input ? Str(input->GetString(T::kInptValue)) : "(none)";
    }
    CRecord* Unit() { return prefs.Root()->GetSubRecord(CAppPrefs::kPrefOutAdjUnit); }
    CLRect Content(OutputAdjustWindow& w) { return LWindowServices::Get()->ContentRect(w.Window()); }

    CAppPrefs prefs;
    CCtlInHub hub;
};

TEST_F(OutputAdjustWindowTest, BuildsAPanePerControlAndEveryInput) {
    ASSERT_TRUE(resources.Ok());
    OutputAdjustWindow w(&root, &prefs, &hub, Shipped());
    EXPECT_TRUE(w.HasLayout());
    EXPECT_EQ(Str(w.DefaultsButton()->GetTitle()), "Defaults");
    ASSERT_EQ(w.Panes()->Count(), 18u);
    EXPECT_EQ(Str(w.Panes()->At(0)->Key()), "brt");
    EXPECT_EQ(Unit()->ArrayCount(T::kUnitInputs), 18u);
    EXPECT_EQ(Value("brt"), "1");
    EXPECT_EQ(Value("gcnrtry"), "1");
    EXPECT_EQ(Value("rotz"), "0");
    EXPECT_EQ(Str(w.Panes()->Find(LString("sizy"))->ValueText()), "1");
    // Not shown unless 'oavs' says so; the panes stack inside the window above the button.
    EXPECT_FALSE(w.IsVisible());
    const CLRect last = w.Panes()->At(17)->Bounds();
    EXPECT_GT(last.bottom, last.top);
    EXPECT_LE(w.Panes()->Bounds().bottom, w.DefaultsButton()->Bounds().top);
}

// A committed knob writes the input without undo; a changed input updates its pane; the defaults
// button restores every input.
TEST_F(OutputAdjustWindowTest, EditsFlowBothWaysAndDefaultsRestore) {
    OutputAdjustWindow w(&root, &prefs, &hub, Shipped());
    OutputAdjustValuePane* brt = w.Panes()->Find(LString("brt"));
    ASSERT_NE(brt, nullptr);
    brt->Knob()->SetValue(0.25f);
    LHandler::Dispatch(LMessage(CNumVol_Fix, brt->Knob(), brt));
    EXPECT_EQ(Value("brt"), "0.250");

    CRecord* posx = COutAdjustControls::FindInput(Unit(), LString("posx"));
    ASSERT_TRUE(CRecordRef(&posx).SetString(nullptr, T::kInptValue, LString("1.5")));
    EXPECT_EQ(Str(w.Panes()->Find(LString("posx"))->ValueText()), "1.5");

    LHandler::Dispatch(LMessage(LStdCtl_Selected, w.DefaultsButton(), &w));
    EXPECT_EQ(Value("brt"), "1");
    EXPECT_EQ(Value("posx"), "0");
    EXPECT_EQ(Str(brt->ValueText()), "1");
}

// DMX on 'brt' through the hub and the window's binder changes 'oaun'.
TEST_F(OutputAdjustWindowTest, DmxDrivesTheAdjustmentThroughTheBinder) {
    OutputAdjustWindow w(&root, &prefs, &hub, Shipped());
    CRecord* ctrl = COutAdjustControls::FindInput(Unit(), LString("brt"))->GetSubRecord(T::kInptCtl);
    CParamSet::SetString(CRecordRef(&ctrl), nullptr, LString("type"), LString("dmx"));
    CParamSet::SetString(CRecordRef(&ctrl), nullptr, LString("dmxch"), LString("4"));
    std::vector<uint8_t> frame(513, 0);
    frame[5] = 64;
    hub.DmxIn(frame.data(), 513);
    w.Binder()->Evaluate();
    EXPECT_EQ(Value("brt"), "0.251");
    EXPECT_EQ(Str(w.Panes()->Find(LString("brt"))->ValueText()), "0.251");
}

TEST_F(OutputAdjustWindowTest, PlaceAndVisibilitySurviveARestart) {
    CLRect placed;
    {
        OutputAdjustWindow w(&root, &prefs, &hub, Shipped());
        // On the second screen.
        w.SetWindowFrame({1600, 200, 1600 + Content(w).Width(), 200 + Content(w).Height()});
        w.ShowWindow();
        placed = Content(w);
    }
    EXPECT_TRUE(prefs.Root()->GetBool(CAppPrefs::kPrefOavs));
    {
        OutputAdjustWindow w(&root, &prefs, &hub, Shipped());
        EXPECT_TRUE(w.IsVisible());
        EXPECT_EQ(Content(w), placed);
        w.HideWindow();
    }
    EXPECT_FALSE(prefs.Root()->GetBool(CAppPrefs::kPrefOavs));
    OutputAdjustWindow hidden(&root, &prefs, &hub, Shipped());
    EXPECT_FALSE(hidden.IsVisible());
    EXPECT_EQ(Content(hidden), placed);
}

TEST_F(OutputAdjustWindowTest, APlaceOffEveryScreenIsMovedOn) {
    const uint32_t off[4] = {6000, 4000, 6200, 4300};  // a display that went away
    ASSERT_TRUE(prefs.RootRef().SetArray(nullptr, CAppPrefs::kPrefOutAdjRect, off, 4));
    OutputAdjustWindow w(&root, &prefs, &hub, Shipped());
    EXPECT_TRUE(CMonitorWin::IsOnScreen(Content(w)));
}

// Without its description the window has no panes and its binder no ranges: DMX drives nothing.
TEST_F(OutputAdjustWindowTest, AMissingDescriptionLeavesItEmpty) {
    testsupport::TempDir dir;
    OutputAdjustWindow w(&root, &prefs, &hub, dir.File("outadj"));
    EXPECT_EQ(w.Panes()->Count(), 0u);
    EXPECT_TRUE(w.Controls().Controls().empty());
    std::vector<COutAdjustControls::OscControl> list;
    w.OscControlList(list);
    EXPECT_TRUE(list.empty());
}

TEST_F(OutputAdjustWindowTest, TheOscListNamesTheOscBoundControls) {
    OutputAdjustWindow w(&root, &prefs, &hub, Shipped());
    CRecord* ctrl = COutAdjustControls::FindInput(Unit(), LString("roty"))->GetSubRecord(T::kInptCtl);
    CParamSet::SetString(CRecordRef(&ctrl), nullptr, LString("type"), LString("osc"));
    CParamSet::SetString(CRecordRef(&ctrl), nullptr, LString("oscadr"), LString("/adj/roty"));
    std::vector<COutAdjustControls::OscControl> list;
    w.OscControlList(list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(Str(list[0].address), "/adj/roty");
    EXPECT_EQ(Str(list[0].name), "Rotation Y");
    EXPECT_EQ(Str(list[0].value), "0");
    EXPECT_EQ(list[0].min, -90.0f);
    EXPECT_EQ(list[0].max, 90.0f);
}

}  // namespace
