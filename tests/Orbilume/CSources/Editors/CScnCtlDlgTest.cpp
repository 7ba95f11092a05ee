#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreUI/CScriptLayoutPane.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/Editors/CScnCtlDlg.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

using dialogtest::HeadlessDialogTest;

bool Shown(const LPane* p) {
    return (p->State() & LPane::kShown) != 0;
}

class CScnCtlDlgTest : public HeadlessDialogTest {
protected:
    // A choice as the pop-up reports it.
    static void Choose(LPopupList* popup, int32_t value) {
        popup->SetValue(value);
        LHandler::Dispatch(LMessage(LPopupList_Changed, popup, popup->Upper()));
    }
    static void Tick(LStdCheck* check, bool on) {
        check->SetValue(on ? 1 : 0);
        LHandler::Dispatch(LMessage(LStdCheck_Change, check, check->Upper()));
    }
    static void Fix(CNumVol* knob, float value) {
        knob->SetValue(value);
        LHandler::Dispatch(LMessage(CNumVol_Fix, knob, knob->Upper()));
    }
    // The one page shown, -1 for none.
    static int32_t ShownPage(const CScnCtlDlg& d) {
        int32_t shown = -1;
        for (uint32_t p = 0; p < CScnCtlDlg::kPageCount; ++p) {
            if (!Shown(d.PagePane(p))) continue;
            if (shown >= 0) return -2;
            shown = int32_t(p);
        }
        return shown;
    }
};

TEST_F(CScnCtlDlgTest, BuiltFromItsStringsAndLayouts) {
    ASSERT_TRUE(resources.Ok());
    CScnCtlDlg d(&root, nullptr);
    EXPECT_STREQ(d.OkButton()->GetTitle().CStr(), "OK");
    ASSERT_EQ(d.SourcePopup()->Count(), 6);
    EXPECT_STREQ(d.SourcePopup()->ItemTitle(1).CStr(), "DMX");
    EXPECT_STREQ(d.SourcePopup()->ItemTitle(5).CStr(), "MIDI Program Change");
    EXPECT_EQ(d.DmxMode()->Count(), 5);
    EXPECT_EQ(d.MidiCCMode()->Count(), 5);
    for (CNumVol* bound : {d.LowBound(), d.HighBound()}) {
        EXPECT_FLOAT_EQ(bound->Minimum(), 0.0f);
        EXPECT_FLOAT_EQ(bound->Maximum(), 99.9f);
        EXPECT_FLOAT_EQ(bound->Step(), 0.1f);
        EXPECT_EQ(bound->Decimals(), 1u);
    }
    // The pages lie below the source row, inside the dialog, over one another.
    d.SetBounds({0, 0, 500, 400});
    d.UpdateLayout();
    const CLRect page = d.PagePane(CScnCtlDlg::kDmx)->Bounds();
    EXPECT_FALSE(page.IsEmpty());
    EXPECT_GE(page.top, d.SourcePopup()->Bounds().bottom);
    EXPECT_LE(page.bottom, d.OkButton()->Bounds().top);
    for (uint32_t p = 1; p < CScnCtlDlg::kPageCount; ++p) EXPECT_EQ(d.PagePane(p)->Bounds(), page);
}

// Which page and panes show, source by source and mode by mode.
TEST_F(CScnCtlDlgTest, PagesFollowTheSourceAndTheirModes) {
    ASSERT_TRUE(resources.Ok());
    CScnCtlDlg d(&root, nullptr);
    EXPECT_EQ(ShownPage(d), -1);  // the first entry: no page
    for (int32_t v = 1; v <= 5; ++v) {
        Choose(d.SourcePopup(), v);
        EXPECT_EQ(ShownPage(d), v - 1) << v;
    }
    Choose(d.SourcePopup(), 0);
    EXPECT_EQ(ShownPage(d), -1);

    // DMX: mode 0 shows group A, 1 group B and the check boxes, 2 group B only.
    Choose(d.SourcePopup(), 1);
    struct Mode {
        int32_t mode;
        bool a, b, checks;
    };
    for (const Mode& m : {Mode{0, true, false, false}, Mode{1, false, true, true},
                          Mode{2, false, true, false}, Mode{4, false, true, false}}) {
        Choose(d.DmxMode(), m.mode);
        EXPECT_EQ(Shown(d.DmxGroupA()), m.a) << m.mode;
        EXPECT_EQ(Shown(d.DmxGroupB()), m.b) << m.mode;
        for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(Shown(d.DmxCheck(i)), m.checks) << m.mode;
    }
    // Mode 1 to 2: the check boxes go, group B stays.
    Choose(d.DmxMode(), 1);
    Choose(d.DmxMode(), 2);
    EXPECT_FALSE(Shown(d.DmxCheck(0)));
    EXPECT_TRUE(Shown(d.DmxGroupB()));

    // MIDI control change: the same rule with its own pop-up and groups.
    Choose(d.SourcePopup(), 3);
    for (const Mode& m :
         {Mode{0, true, false, false}, Mode{1, false, true, true}, Mode{3, false, true, false}}) {
        Choose(d.MidiCCMode(), m.mode);
        for (uint32_t i = 0; i < 2; ++i) {
            EXPECT_EQ(Shown(d.MidiCCGroupA(i)), m.a) << m.mode;
            EXPECT_EQ(Shown(d.MidiCCGroupB(i)), m.b) << m.mode;
            EXPECT_EQ(Shown(d.MidiCCGroupC(i)), m.checks) << m.mode;
        }
    }

    // MIDI note: the check box governs its four panes.
    Choose(d.SourcePopup(), 4);
    for (bool on : {false, true, false}) {
        Tick(d.NoteCheck(), on);
        for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(Shown(d.NotePane(i)), on) << on << " " << i;
    }
}

// The note page's bounds stay in order when one of them is committed.
TEST_F(CScnCtlDlgTest, TheBoundsStayInOrder) {
    ASSERT_TRUE(resources.Ok());
    struct Case {
        const char* name;
        float low, high;  // before
        bool fromLow;     // which one is committed (with its value above)
        float wantLow, wantHigh;
    };
    const Case cases[] = {
        {"low above high", 12.5f, 10.0f, true, 12.5f, 12.5f},
        {"high below low", 5.0f, 3.0f, false, 3.0f, 3.0f},
        {"equal from low", 5.0f, 5.0f, true, 5.0f, 5.0f},
        {"equal from high", 5.0f, 5.0f, false, 5.0f, 5.0f},
        {"in order", 2.0f, 8.0f, true, 2.0f, 8.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CScnCtlDlg d(&root, nullptr);
        d.LowBound()->SetValue(c.fromLow ? 0.0f : c.low);
        d.HighBound()->SetValue(c.fromLow ? c.high : 0.0f);
        Fix(c.fromLow ? d.LowBound() : d.HighBound(), c.fromLow ? c.low : c.high);
        EXPECT_FLOAT_EQ(d.LowBound()->GetValue(), c.wantLow);
        EXPECT_FLOAT_EQ(d.HighBound()->GetValue(), c.wantHigh);
    }
    // A fix from a knob of another page changes nothing.
    CScnCtlDlg d(&root, nullptr);
    d.LowBound()->SetValue(7.0f);
    d.HighBound()->SetValue(1.0f);
    auto* other = new CNumVol(d.PagePane(CScnCtlDlg::kDmx), 0, 0);
    other->SetRange(0, 512, 1);
    Fix(other, 300);
    EXPECT_FLOAT_EQ(d.LowBound()->GetValue(), 7.0f);
    EXPECT_FLOAT_EQ(d.HighBound()->GetValue(), 1.0f);
}

TEST_F(CScnCtlDlgTest, ReturnAnswersOkAndEscapeCancel) {
    ASSERT_TRUE(resources.Ok());
    {
        CScnCtlDlg d(&root, nullptr);
        Show(&d);
        Inject(&d, "\r");
        EXPECT_EQ(d.RunUntilResult(), 1u);
    }
    {
        CScnCtlDlg d(&root, nullptr);
        Show(&d);
        Inject(&d, "\x1b");
        EXPECT_EQ(d.RunUntilResult(), 2u);
    }
}

}  // namespace
