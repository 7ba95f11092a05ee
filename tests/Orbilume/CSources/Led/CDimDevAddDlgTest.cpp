#include <gtest/gtest.h>

#include <string>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Orbilume/CSources/Led/CDIMDefSel.h"
#include "Orbilume/CSources/Led/CDimDefLibrary.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimDevAddDlg.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

using T = CDimTypes;

class DimDevAddDlgTest : public dialogtest::HeadlessDialogTest {
protected:
    DimDevAddDlgTest() {
        CRecord* def = CRecord::New(T::Didf());
        def->StringSlot(T::kDidfName) = LString("Matrix");
        def->Slot(T::kDidfColumns).u32 = 16;
        def->Slot(T::kDidfRows).u32 = 8;
        (void)defs.Add(def);
    }
    static bool OkOn(CDimDevAddDlg& d) { return (d.OkButton()->State() & LPane::kEnabled) != 0; }
    static void Commit(CDimDevAddDlg& d, uint32_t n, int32_t value) {
        d.Knob(n)->SetValue(float(value));
        LHandler::Dispatch(LMessage(CNumVol_Fix, d.Knob(n), &d));
    }
    CDimDefStore defs;
    CDimDefLibrary library{&defs, "/nonexistent"};
};

TEST_F(DimDevAddDlgTest, ConfirmIsOffUntilTheDefinitionIsKnown) {
    ASSERT_TRUE(resources.Ok());
    UDimArrange::AddValues values;
    CDimDevAddDlg d(&root, nullptr, &defs, &library, values, ModalSpec());
    EXPECT_TRUE(d.HasLayout());
    EXPECT_STREQ(d.OkButton()->GetTitle().CStr(), "Add");
    EXPECT_FALSE(OkOn(d));
    EXPECT_STREQ(d.SizeText().CStr(), "");
    // Return does nothing while the button is off.
    LHandler::Dispatch(LMessage(LDialog_Default, d.OkButton(), &d));
    EXPECT_EQ(d.Result(), 0u);

    d.SetName(LString("Matrix"));
    EXPECT_TRUE(OkOn(d));
    EXPECT_STREQ(d.SizeText().CStr(), "16 x 8");
    EXPECT_STREQ(d.TotalText().CStr(), "16 x 8");
    Commit(d, CDimDevAddDlg::kAcross, 3);
    Commit(d, CDimDevAddDlg::kDown, 2);
    EXPECT_STREQ(d.TotalText().CStr(), "48 x 16");
    d.SetName(LString("Gone"));
    EXPECT_FALSE(OkOn(d));
    EXPECT_STREQ(d.TotalText().CStr(), "");
}

TEST_F(DimDevAddDlgTest, KnobsKeepTheirRanges) {
    UDimArrange::AddValues values;
    values.name = LString("Matrix");
    values.across = 9999;
    values.down = 0;
    values.net = 200;
    values.subnet = 16;
    values.universe = 3;
    values.firstChannel = 600;
    CDimDevAddDlg d(&root, nullptr, &defs, &library, values, ModalSpec());
    const UDimArrange::AddValues v = d.Values();
    EXPECT_STREQ(v.name.CStr(), "Matrix");
    EXPECT_EQ(v.across, 512u);
    EXPECT_EQ(v.down, 1u);
    EXPECT_EQ(v.net, 127u);
    EXPECT_EQ(v.subnet, 15u);
    EXPECT_EQ(v.universe, 3u);
    EXPECT_EQ(v.firstChannel, 510u);
}

TEST_F(DimDevAddDlgTest, SelectorShowsAndChangesTheDefinition) {
    UDimArrange::AddValues values;
    values.name = LString("Gone");
    CDimDevAddDlg d(&root, nullptr, &defs, &library, values, ModalSpec());
    CDIMDefSel* sel = d.Selector();
    ASSERT_NE(sel, nullptr);
    EXPECT_EQ(sel->Library(), &library);
    EXPECT_STREQ(sel->Text().CStr(), "Gone");
    EXPECT_FALSE(OkOn(d));
    // A pick sets the selector's text and reports it.
    (void)sel->SetText(LString("Matrix"));
    LHandler::Dispatch(LMessage(CDIMDefSel_Changed, sel, &d));
    EXPECT_STREQ(d.Values().name.CStr(), "Matrix");
    EXPECT_TRUE(OkOn(d));
    EXPECT_STREQ(d.SizeText().CStr(), "16 x 8");
    // Another pane's report is not the selector's.
    (void)sel->SetText(LString("Gone"));
    LHandler::Dispatch(LMessage(CDIMDefSel_Changed, d.OkButton(), &d));
    EXPECT_STREQ(d.Values().name.CStr(), "Matrix");
    d.SetName(LString("Matrix"));
    EXPECT_STREQ(sel->Text().CStr(), "Matrix");
}

}  // namespace
