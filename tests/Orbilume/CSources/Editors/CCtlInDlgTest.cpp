#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreUI/CScriptLayoutPane.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Editors/CCtlInDlg.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

using T = CDocModelTypes;

bool Shown(const LPane* p) {
    return (p->State() & LPane::kShown) != 0;
}

class CCtlInDlgTest : public dialogtest::HeadlessDialogTest {};

TEST_F(CCtlInDlgTest, TheTypeShowsItsArea) {
    ASSERT_TRUE(resources.Ok());
    CCtlInDlg d(&root, nullptr);
    ASSERT_EQ(d.TypePopup()->Count(), 4);
    EXPECT_STREQ(d.TypePopup()->ItemTitle(1).CStr(), "DMX");
    struct Case {
        int32_t type;
        int32_t item;
        bool dmx, midi;
    } cases[] = {{1, 1, true, false},  {2, 2, false, true},  {3, 3, false, true},
                 {0, 0, false, false}, {4, 3, false, false}, {-1, 0, false, false}};
    for (const Case& c : cases) {
        d.SelectType(c.type);
        EXPECT_EQ(d.TypePopup()->GetValue(), c.item) << c.type;
        EXPECT_EQ(Shown(d.AreaPane(CCtlInDlg::kDmxArea)), c.dmx) << c.type;
        EXPECT_EQ(Shown(d.AreaPane(CCtlInDlg::kMidiArea)), c.midi) << c.type;
    }
    // A choice in the pop-up shows its area; a change message from another sender does not.
    d.TypePopup()->SetValue(1);
    LHandler::Dispatch(LMessage(LPopupList_Changed, d.TypePopup(), d.TypePopup()->Upper()));
    EXPECT_TRUE(Shown(d.AreaPane(CCtlInDlg::kDmxArea)));
    LPopupList other(&d, LStdCtlSpec());
    d.TypePopup()->SetValue(2);
    LHandler::Dispatch(LMessage(LPopupList_Changed, &other, &d));
    EXPECT_TRUE(Shown(d.AreaPane(CCtlInDlg::kDmxArea)));
    EXPECT_FALSE(Shown(d.AreaPane(CCtlInDlg::kMidiArea)));
}

TEST_F(CCtlInDlgTest, LoadsAndStoresTheControlRecord) {
    ASSERT_TRUE(resources.Ok());
    CDocModelHolder doc;
    CRecordRef ctrl = doc.BlendControl();
    ASSERT_NE(ctrl.Get(), nullptr);
    ctrl->Slot(T::kCtrlType).u8 = 4;  // beyond the list
    ctrl->Slot(T::kCtrlDmxCh).u32 = 99;
    ctrl->Slot(T::kCtrlMidiCh).u8 = 2;
    ctrl->Slot(T::kCtrlMidiCc).u8 = 20;
    CCtlInDlg d(&root, nullptr);
    d.Load(ctrl.Get());
    EXPECT_EQ(d.TypePopup()->GetValue(), 3);
    EXPECT_FALSE(Shown(d.AreaPane(CCtlInDlg::kDmxArea)));
    EXPECT_FALSE(Shown(d.AreaPane(CCtlInDlg::kMidiArea)));
    EXPECT_FLOAT_EQ(d.DmxChannel()->GetValue(), 100);
    EXPECT_FLOAT_EQ(d.MidiChannel()->GetValue(), 3);
    EXPECT_FLOAT_EQ(d.MidiController()->GetValue(), 20);

    d.SelectType(1);
    (void)d.DmxChannel()->SetText(LString("600"));  // typed beyond the range: clamped
    d.MidiChannel()->SetValue(16);
    d.MidiController()->SetValue(127);
    d.Store(ctrl, nullptr);
    EXPECT_EQ(ctrl->GetByte(T::kCtrlType), 1);
    EXPECT_EQ(ctrl->GetUInt(T::kCtrlDmxCh), 511u);
    EXPECT_EQ(ctrl->GetByte(T::kCtrlMidiCh), 15);
    EXPECT_EQ(ctrl->GetByte(T::kCtrlMidiCc), 127);
}

TEST_F(CCtlInDlgTest, SizedToItsLayout) {
    ASSERT_TRUE(resources.Ok());
    CCtlInDlg d(&root, nullptr);
    d.SelectType(2);
    ExpectTidy(d, {d.OkButton(), d.CancelBtn(), d.TypePopup(), d.AreaPane(CCtlInDlg::kMidiArea)});
    ExpectTidy(d, {d.OkButton(), d.CancelBtn(), d.TypePopup(), d.AreaPane(CCtlInDlg::kDmxArea)});
    EXPECT_FALSE(d.MidiController()->Bounds().IsEmpty());
    EXPECT_GE(d.MidiController()->Bounds().top, d.MidiChannel()->Bounds().bottom);
}

}  // namespace
