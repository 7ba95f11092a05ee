#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/Editors/CInCtlFrm.h"
#include "Orbilume/CSources/Editors/CInCtlPrmNote.h"
#include "Orbilume/CSources/Editors/CInCtlPrm.h"
#include "Orbilume/CSources/Editors/CInParamFrm.h"
#include "Orbilume/CSources/Editors/CInParamPanes.h"
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
    static CInParamPane* Pane(OutputAdjustWindow& w, const char* key) {
        return w.Panes()->FindPane(0, LString(key));
    }
    CLRect Content(OutputAdjustWindow& w) { return LWindowServices::Get()->ContentRect(w.Window()); }

    CAppPrefs prefs;
    CCtlInHub hub;
};

TEST_F(OutputAdjustWindowTest, BuildsAPanePerControlAndEveryInput) {
    ASSERT_TRUE(resources.Ok());
    OutputAdjustWindow w(&root, &prefs, &hub, Shipped());
    EXPECT_TRUE(w.HasLayout());
    EXPECT_EQ(Str(w.DefaultsButton()->GetTitle()), "Defaults");
    ASSERT_EQ(w.Panes()->PaneCount(), 18u);
    EXPECT_EQ(w.Panes()->Kind(), 0u);
    EXPECT_EQ(Str(w.Panes()->PaneAt(0)->Key()), "brt");
    EXPECT_EQ(Str(w.Panes()->PaneAt(0)->Label()->Text()), "Brightness");
    EXPECT_EQ(Unit()->ArrayCount(T::kUnitInputs), 18u);
    EXPECT_EQ(Value("brt"), "1");
    EXPECT_EQ(Value("gcnrtry"), "1");
    EXPECT_EQ(Value("rotz"), "0");
    // Decimals from "prec" and the scale: 3 for 1000, 1 for 10.
    EXPECT_EQ(Str(Pane(w, "sizy")->GetValueText()), "1.000");
    EXPECT_EQ(Str(Pane(w, "rotz")->GetValueText()), "0.0");
    // Not shown unless 'oavs' says so; the panes stack inside the window above the button.
    EXPECT_FALSE(w.IsVisible());
    const CLRect last = w.Panes()->PaneAt(17)->Bounds();
    EXPECT_GT(last.bottom, last.top);
    EXPECT_LE(w.Panes()->Bounds().bottom, w.DefaultsButton()->Bounds().top);
}

// A committed knob writes the input without undo; a changed input updates its pane; the defaults
// button restores every input.
TEST_F(OutputAdjustWindowTest, EditsFlowBothWaysAndDefaultsRestore) {
    OutputAdjustWindow w(&root, &prefs, &hub, Shipped());
    auto* brt = static_cast<CInParamNumber*>(Pane(w, "brt"));
    ASSERT_NE(brt, nullptr);
    brt->Knob()->SetValue(0.25f);
    LHandler::Dispatch(LMessage(CNumVol_Fix, brt->Knob(), brt));
    EXPECT_EQ(Value("brt"), "0.250");

    CRecord* posx = COutAdjustControls::FindInput(Unit(), LString("posx"));
    ASSERT_TRUE(CRecordRef(&posx).SetString(nullptr, T::kInptValue, LString("1.5")));
    EXPECT_EQ(Str(Pane(w, "posx")->GetValueText()), "1.500");

    LHandler::Dispatch(LMessage(LStdCtl_Selected, w.DefaultsButton(), &w));
    EXPECT_EQ(Value("brt"), "1");
    EXPECT_EQ(Value("posx"), "0");
    EXPECT_EQ(Str(brt->GetValueText()), "1.000");
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
    EXPECT_EQ(Str(Pane(w, "brt")->GetValueText()), "0.251");
}

// "cCtlAssign" shows each input's assignment editor in the right half; an assignment made there is
// stored in the input's 'ctrl' set (nested sets along the path) and shown again; DMX then drives it.
TEST_F(OutputAdjustWindowTest, AssignmentEditorsFollowTheCommandAndStoreTheirSets) {
    ASSERT_TRUE(resources.Ok());
    OutputAdjustWindow w(&root, &prefs, &hub, Shipped());
    CInParamPane* brt = Pane(w, "brt");
    ASSERT_NE(brt, nullptr);
    EXPECT_FALSE(brt->ControlEditor()->State() & LPane::kShown);
    LMenuItem item(nullptr);
    item.AddCommand(OutputAdjustWindow::kAssignCommand);
    LHandler::Dispatch(LMessage(LMenuItem_Selected, &item, &w));
    EXPECT_TRUE(w.ShowsAssignments());
    brt = Pane(w, "brt");
    CInCtlFrm* editor = brt->ControlEditor();
    ASSERT_TRUE(editor->State() & LPane::kShown);
    EXPECT_GE(editor->Bounds().left, brt->Bounds().Width() / 2);

    // The type choice is stored; the stored set brings the DMX editor; channel 5 is stored as 4.
    CInCtlPrmNote type(LString("type"), LString("dmx"));
    type.path = {LString("brt")};
    LHandler::Dispatch(LMessage(CInCtlPrmNote_Note, &type, &w));
    ASSERT_EQ(editor->Type(), 1u);
    auto* dmx = static_cast<CInCtlPrmDmx*>(editor->Editor());
    dmx->Channel()->SetValue(5);
    LHandler::Dispatch(LMessage(CNumVol_Fix, dmx->Channel(), dmx));
    CRecord* ctrl = COutAdjustControls::FindInput(Unit(), LString("brt"))->GetSubRecord(T::kInptCtl);
    LString value;
    ASSERT_GE(CParamSet::Find(CRecordRef(&ctrl), LString("dmxch"), &value), 0);
    EXPECT_EQ(Str(value), "4");
    ASSERT_GE(CParamSet::Find(CRecordRef(&ctrl), LString("type"), &value), 0);
    EXPECT_EQ(Str(value), "dmx");
    // A note from a colour component's frame lands in the nested set.
    CInCtlPrmNote nested(LString("dmxch"), LString("9"));
    nested.path = {LString("compo2"), LString("sizx")};
    LHandler::Dispatch(LMessage(CInCtlPrmNote_Note, &nested, &w));
    CRecord* sizx = COutAdjustControls::FindInput(Unit(), LString("sizx"))->GetSubRecord(T::kInptCtl);
    CRecord* green = CParamSet::GetSubSet(CRecordRef(&sizx), LString("compo2"));
    ASSERT_NE(green, nullptr);
    ASSERT_GE(CParamSet::Find(CRecordRef(&green), LString("dmxch"), &value), 0);
    EXPECT_EQ(Str(value), "9");

    // DMX channel 5 drives brightness.
    std::vector<uint8_t> frame(513, 0);
    frame[5] = 128;
    hub.DmxIn(frame.data(), 513);
    w.Binder()->Evaluate();
    EXPECT_EQ(Value("brt"), "0.502");
    EXPECT_EQ(Str(Pane(w, "brt")->GetValueText()), "0.502");

    // Off again: the controls span the width, the editors hide.
    LHandler::Dispatch(LMessage(LMenuItem_Selected, &item, &w));
    EXPECT_FALSE(w.ShowsAssignments());
    brt = Pane(w, "brt");
    EXPECT_FALSE(brt->ControlEditor()->State() & LPane::kShown);
    EXPECT_GT(static_cast<CInParamNumber*>(brt)->Knob()->Bounds().right, w.Panes()->Bounds().Width() / 2);
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
    EXPECT_EQ(w.Panes()->PaneCount(), 0u);
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
