#include <algorithm>
#include <clocale>
#include <string>
#include <utility>
#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreUI/CScriptLayoutPane.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Editors/CNoteVol.h"
#include "Orbilume/CSources/Editors/CScnCtlDlg.h"
#include "Platform/AppKit/Window.h"
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

using Keys = std::vector<std::pair<std::string, std::string>>;

// The entries of a set in order.
Keys Entries(CRecordRef set) {
    Keys keys;
    const uint32_t n = set->ArrayCount(CParamSet::kSetEntries);
    for (uint32_t i = 0; i < n; ++i) {
        const CRecord* e = set->GetElement(CParamSet::kSetEntries, i);
        keys.emplace_back(e->GetString(CParamSet::kEntryKey).CStr(),
                          e->GetString(CParamSet::kEntryValue).CStr());
    }
    return keys;
}

std::string Value(CRecordRef set, const char* key) {
    LString value;
    if (CParamSet::Find(set, LString(key), &value) < 0) return "<absent>";
    return value.CStr();
}

void Put(CRecordRef set, const Keys& keys) {
    for (const auto& [k, v] : keys)
        CParamSet::SetString(set, nullptr, LString(k.c_str()), LString(v.c_str()));
}

// Load fills every area whatever the controller; store writes "ctlr" and only the chosen
// controller's keys.
TEST_F(CScnCtlDlgTest, LoadFillsEveryAreaAndStoreWritesOnlyTheChosenController) {
    ASSERT_TRUE(resources.Ok());
    CDocModelHolder doc;
    CRecordRef set = doc.SceneControl();
    const Keys all = {{"ctlr", "dmx"},   {"usage", "step"}, {"dmxch", "10"},  {"steprwnd", "1"},
                      {"stepback", "1"}, {"midich", "3"},   {"midicc", "20"}, {"midicno", "1"},
                      {"midinn", "61"},  {"midivlt", "1"},  {"tmin", "2.5"},  {"tmax", "7"}};
    Put(set, all);
    CScnCtlDlg d(&root, nullptr);
    d.Load(set);
    EXPECT_EQ(d.SourcePopup()->GetValue(), 1);
    EXPECT_EQ(d.DmxMode()->GetValue(), 1);
    EXPECT_EQ(d.MidiCCMode()->GetValue(), 1);
    EXPECT_FLOAT_EQ(d.DmxChannel()->GetValue(), 11);
    EXPECT_TRUE(d.DmxCheck(0)->GetValue());
    EXPECT_TRUE(d.DmxCheck(1)->GetValue());
    EXPECT_FALSE(d.DmxCheck(2)->GetValue());
    EXPECT_EQ(d.MidiCCRadio(0)->GroupValue(), 1);
    for (uint32_t k = 0; k < CScnCtlDlg::kChannelKnobCount; ++k)
        EXPECT_FLOAT_EQ(d.MidiChannel(k)->GetValue(), 4);
    EXPECT_FLOAT_EQ(d.MidiController()->GetValue(), 20);
    EXPECT_STREQ(d.NoteKnob()->GetText().CStr(), "C#4");
    EXPECT_TRUE(d.NoteCheck()->GetValue());
    EXPECT_FLOAT_EQ(d.LowBound()->GetValue(), 2.5f);
    EXPECT_FLOAT_EQ(d.HighBound()->GetValue(), 7.0f);
    EXPECT_EQ(ShownPage(d), int32_t(CScnCtlDlg::kDmx));

    // "osc" writes only "ctlr"; every other key stays as it was.
    Choose(d.SourcePopup(), 2);
    d.DmxChannel()->SetValue(99);
    d.Store(set);
    Keys want = all;
    want[0].second = "osc";
    EXPECT_EQ(Entries(set), want);

    // "dmx" then "mpg": the stored DMX channel stays, the program channel is stored shown - 1.
    Choose(d.SourcePopup(), 5);
    d.MidiChannel(CScnCtlDlg::kChannelProgram)->SetValue(16);
    d.Store(set);
    EXPECT_EQ(Value(set, "ctlr"), "mpg");
    EXPECT_EQ(Value(set, "dmxch"), "10");
    EXPECT_EQ(Value(set, "midich"), "15");

    // None deletes "ctlr" and nothing else.
    Choose(d.SourcePopup(), 0);
    d.Store(set);
    EXPECT_EQ(Value(set, "ctlr"), "<absent>");
    EXPECT_EQ(Value(set, "midicc"), "20");
}

TEST_F(CScnCtlDlgTest, StoresEachControllersKeys) {
    ASSERT_TRUE(resources.Ok());
    struct Case {
        const char* name;
        int32_t source;
        void (*edit)(CScnCtlDlg& d);
        Keys want;
    };
    const Case cases[] = {
        {"dmx trig, typed channel outside the range clamps",
         1,
         [](CScnCtlDlg& d) {
             Choose(d.DmxMode(), 2);
             (void)d.DmxChannel()->SetText(LString("9999"));
             d.DmxCheck(2)->SetValue(1);
         },
         {{"ctlr", "dmx"}, {"usage", "trig"}, {"dmxch", "511"}, {"stepsub", "1"}}},
        {"mcc sel",
         3,
         [](CScnCtlDlg& d) {
             Choose(d.MidiCCMode(), 0);
             d.MidiChannel(CScnCtlDlg::kChannelCC)->SetValue(2);
             (void)d.MidiController()->SetText(LString("64.9"));  // truncated
         },
         {{"ctlr", "mcc"}, {"usage", "sel"}, {"midich", "1"}, {"midicc", "64"}}},
        {"mcc step by controller numbers",
         3,
         [](CScnCtlDlg& d) {
             Choose(d.MidiCCMode(), 1);
             d.MidiCCRadio(0)->SetGroupValue(1);
             static_cast<LStdCheck*>(d.MidiCCGroupC(1))->SetValue(1);
         },
         {{"ctlr", "mcc"},
          {"usage", "step"},
          {"midicno", "1"},
          {"midich", "0"},
          {"midicc", "7"},
          {"stepback", "1"}}},
        {"mnt",
         4,
         [](CScnCtlDlg& d) {
             (void)d.NoteKnob()->SetText(LString("E#4"));
             d.MidiChannel(CScnCtlDlg::kChannelNote)->SetValue(10);
             Tick(d.NoteCheck(), true);
             d.LowBound()->SetValue(2.5f);
             d.HighBound()->SetValue(12.3f);
         },
         {{"ctlr", "mnt"},
          {"midich", "9"},
          {"midinn", "65"},
          {"midivlt", "1"},
          {"tmin", "2.5"},
          {"tmax", "12.3"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDocModelHolder doc;
        CRecordRef set = doc.SceneControl();
        CScnCtlDlg d(&root, nullptr);
        d.Load(set);
        Choose(d.SourcePopup(), c.source);
        c.edit(d);
        d.Store(set);
        Keys got = Entries(set);
        Keys want = c.want;
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want);
    }
}

// Numbers are written in the C locale whatever the user's.
TEST_F(CScnCtlDlgTest, TimesStoreInTheCLocale) {
    ASSERT_TRUE(resources.Ok());
    const std::string before = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE.UTF-8 locale";
    CDocModelHolder doc;
    CRecordRef set = doc.SceneControl();
    {
        CScnCtlDlg d(&root, nullptr);
        d.Load(set);
        Choose(d.SourcePopup(), 4);
        Tick(d.NoteCheck(), true);
        d.HighBound()->SetValue(1.0f);
        Fix(d.LowBound(), 2.5f);
        d.Store(set);
    }
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_EQ(Value(set, "tmin"), "2.5");
    EXPECT_EQ(Value(set, "tmax"), "2.5");
}

TEST_F(CScnCtlDlgTest, AreasFollowTheUsageAndAreLaidOutAgain) {
    ASSERT_TRUE(resources.Ok());
    CScnCtlDlg d(&root, nullptr);
    d.SetBounds({0, 0, 600, 400});
    d.UpdateLayout();
    Choose(d.SourcePopup(), 1);
    Choose(d.DmxMode(), 0);
    EXPECT_TRUE(Shown(d.DmxGroupA()));
    EXPECT_TRUE(Shown(d.DmxChannel()));
    Choose(d.DmxMode(), 1);
    EXPECT_FALSE(Shown(d.DmxGroupA()));
    EXPECT_TRUE(Shown(d.DmxGroupB()));
    for (uint32_t i = 0; i < 3; ++i) EXPECT_TRUE(Shown(d.DmxCheck(i)));
    // The channel knob sits beside the label, the check boxes below both.
    const CLRect knob = d.DmxChannel()->Bounds();
    EXPECT_GE(knob.left, d.DmxGroupB()->Bounds().right);
    EXPECT_GE(d.DmxCheck(0)->Bounds().top, knob.bottom);
    Choose(d.DmxMode(), 2);
    EXPECT_FALSE(Shown(d.DmxCheck(0)));
    EXPECT_TRUE(Shown(d.DmxGroupB()));
    // Control change: the channel and controller knobs stay, with labels or radios beside them.
    Choose(d.SourcePopup(), 3);
    Choose(d.MidiCCMode(), 2);
    EXPECT_TRUE(Shown(d.MidiChannel(CScnCtlDlg::kChannelCC)));
    EXPECT_TRUE(Shown(d.MidiController()));
    EXPECT_TRUE(Shown(d.MidiCCRadio(0)));
    EXPECT_FALSE(Shown(d.MidiCCGroupA(0)));
    EXPECT_LT(d.MidiCCRadio(0)->Bounds().right, d.MidiChannel(CScnCtlDlg::kChannelCC)->Bounds().left + 1);
    EXPECT_LT(d.MidiChannel(CScnCtlDlg::kChannelCC)->Bounds().right, d.MidiController()->Bounds().left);
}

TEST_F(CScnCtlDlgTest, TheSequenceDialogOffersThreeUsagesAndNoFadeTimes) {
    ASSERT_TRUE(resources.Ok());
    CDocModelHolder doc;
    CRecordRef set = doc.SequenceControl();
    Put(set, {{"ctlr", "mnt"}, {"usage", "mix"}, {"midivlt", "1"}, {"tmin", "5"}, {"tmax", "1"}});
    CSeqCtlDlg d(&root, nullptr);
    EXPECT_EQ(d.Window()->NativeWindow()->Title(), "Sequence Control");
    EXPECT_STREQ(d.OscLabel()->Text().CStr(),
                 "Sequences are started by OSC messages \"/sequence\" with the sequence number.");
    for (LPopupList* usage : {d.DmxMode(), d.MidiCCMode()}) {
        ASSERT_EQ(usage->Count(), 3);
        EXPECT_STREQ(usage->ItemTitle(2).CStr(), "Trigger");
    }
    d.Load(set);
    EXPECT_EQ(d.DmxMode()->GetValue(), 2);  // "mix" is not offered: the last item
    EXPECT_EQ(ShownPage(d), int32_t(CScnCtlDlg::kMidiNote));
    auto noFadeTimes = [&] {
        EXPECT_FALSE(Shown(d.NoteCheck()));
        for (uint32_t i = 0; i < 4; ++i) EXPECT_FALSE(Shown(d.NotePane(i))) << i;
    };
    noFadeTimes();
    Tick(d.NoteCheck(), true);
    noFadeTimes();
    Choose(d.SourcePopup(), 1);
    Choose(d.SourcePopup(), 4);
    noFadeTimes();
    EXPECT_TRUE(Shown(d.NoteKnob()));
    // No coupling of the bounds.
    d.HighBound()->SetValue(1.0f);
    Fix(d.LowBound(), 5.0f);
    EXPECT_FLOAT_EQ(d.HighBound()->GetValue(), 1.0f);
}

}  // namespace
