#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/CPaneDivider.h"
#include "Lib3/LSources/CoreUI/CStateButton.h"
#include "Lib3/LSources/CoreUI/LListPane.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LScrollBar.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/App/DocWindows.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Editors/CChannelList.h"
#include "Orbilume/CSources/Editors/CConsoleWin.h"
#include "Orbilume/CSources/Editors/CLayerFrm.h"
#include "Orbilume/CSources/Editors/CSceneList.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/TimecodeUI/CTimecodeEdit.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Orbilume/CSources/Document/ShowTestSupport.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/PinnedFonts.h"

using namespace showtest;
using P = CAppPrefs;

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

bool Shown(const LPane* pane) {
    return (pane->State() & LPane::kShown) != 0;
}

// The console as a frame without window over a show, with an engine for the preview.
class ConsoleWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(resources.Ok());
        dcpf = prefs.AppendDocument();
        ASSERT_NE(dcpf, nullptr);
        engine = std::make_unique<CMixEngine>(&h, &prefs);
        CRecord* s = UDocScenes::NewScene();
        s->StringSlot(T::kScneName) = LString("one");
        ASSERT_TRUE(h.Scenes().InsertRecord(nullptr, T::kScnsScenes, 0, s));
    }
    void TearDown() override {
        win.reset();
        engine.reset();
    }
    void Open(CMixEngine* withEngine = nullptr) {
        SDocWindowArgs args{&doc, withEngine, &h, dcpf, nullptr, false};
        win = std::make_unique<CConsoleWin>(args, LFrameSpec::Default());
        win->ChangeState(LPane::kChainShow);
        win->ChangeState(LPane::kChainEnable);
        win->SetBounds({0, 0, 800, 600});
        win->UpdateLayout();
    }
    CTimecodeCtlFrame* Tc() { return win->Scenes()->Transport()->Timecode(); }
    CRecordRef Dcpf() { return CRecordRef(&dcpf); }

    BundleResources resources;
    testsupport::HeadlessScreens screens;
    CAppPrefs prefs;
    CRecord* dcpf = nullptr;
    UndoDocument doc;
    CDocModelHolder h;
    std::unique_ptr<CMixEngine> engine;
    std::unique_ptr<CConsoleWin> win;
};

TEST_F(ConsoleWinTest, TimeModeOffHidesTheTransportAndTheTimeFields) {
    Open();
    CSceneCell* cell = static_cast<CSceneCell*>(CCellRef(win->Scenes()->List(), {0, 0}, false).Pane());
    ASSERT_NE(cell, nullptr);
    EXPECT_TRUE(Shown(win->Scenes()->Transport()));
    EXPECT_TRUE(Shown(cell->TimeField()));
    ASSERT_TRUE(h.Scenes().SetByte(nullptr, T::kScnsTimeLine, 0));
    EXPECT_FALSE(Shown(win->Scenes()->Transport()));
    cell = static_cast<CSceneCell*>(CCellRef(win->Scenes()->List(), {0, 0}, false).Pane());
    EXPECT_FALSE(Shown(cell->TimeField()));
    ASSERT_TRUE(h.Scenes().SetByte(nullptr, T::kScnsTimeLine, 1));
    EXPECT_TRUE(Shown(win->Scenes()->Transport()));
}

// Sync source 0 shows the range and loop; another source shows the delay instead.
TEST_F(ConsoleWinTest, SyncSourceSwitchesRangeAndDelay) {
    Open();
    EXPECT_EQ(Tc()->SyncPopup()->Count(), 5);
    EXPECT_EQ(Tc()->LoopPopup()->Count(), 3);
    auto range = [this] {
        return std::string(Shown(Tc()->FromField()) ? "F" : "-") + (Shown(Tc()->ToField()) ? "T" : "-") +
               (Shown(Tc()->LoopPopup()) ? "L" : "-") + (Shown(Tc()->DelayField()) ? "D" : "-") +
               (Shown(Tc()->DelayLabel()) ? "d" : "-");
    };
    EXPECT_EQ(range(), "FTL--");
    ASSERT_TRUE(Dcpf().SetByte(nullptr, P::kDocSyncSource, 1));
    EXPECT_EQ(Tc()->SyncPopup()->GetValue(), 1);
    EXPECT_EQ(range(), "---Dd");
    // The pop-up writes the source back.
    Tc()->SyncPopup()->SetValue(0);
    LHandler::Dispatch(LMessage(LPopupList_Changed, Tc()->SyncPopup(), Tc()));
    EXPECT_EQ(dcpf->GetByte(P::kDocSyncSource), 0);
    EXPECT_EQ(range(), "FTL--");
}

// Range fields show the model's seconds as hundredths and write typed ones back; a knob in motion
// writes nothing.
TEST_F(ConsoleWinTest, RangeFieldsFollowTheModel) {
    Open();
    ASSERT_TRUE(h.Scenes().SetFloat(nullptr, T::kScnsFrom, 62.5f));
    EXPECT_EQ(std::string(Tc()->FromField()->GetText().CStr()), "00:01:02.50");
    Tc()->ToField()->SetCount(90000, 1000);
    LHandler::Dispatch(LMessage(CNumVol_Move, Tc()->ToField(), Tc()));
    EXPECT_FLOAT_EQ(h.Scenes()->GetFloat(T::kScnsTo), 0);
    LHandler::Dispatch(LMessage(CNumVol_Fix, Tc()->ToField(), Tc()));
    EXPECT_FLOAT_EQ(h.Scenes()->GetFloat(T::kScnsTo), 90);
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_FLOAT_EQ(h.Scenes()->GetFloat(T::kScnsTo), 0);
    // The ripple check box is the preference.
    win->Scenes()->Transport()->RippleCheck()->SetValue(1);
    LHandler::Dispatch(LMessage(LStdCheck_Change, win->Scenes()->Transport()->RippleCheck(), Tc()));
    EXPECT_TRUE(prefs.Root()->GetBool(P::kPrefRippleTimes));
}

// Range and delay times as typed: a time past the day clamps to 23:59:59.99 (the delay also below
// minus that) instead of wrapping into the day, and the field shows what was kept.
TEST_F(ConsoleWinTest, TypedRangeAndDelayTimesClampToTheDay) {
    Open();
    using Field = CTimecodeEdit* (CTimecodeCtlFrame::*)() const;
    const Field from = &CTimecodeCtlFrame::FromField, to = &CTimecodeCtlFrame::ToField,
                delay = &CTimecodeCtlFrame::DelayField;
    struct Case {
        Field edit;
        uint32_t field;
        const char* typed;
        float stored;
        const char* shown;
    } cases[] = {
        {from, T::kScnsFrom, "12:00:00.50", 43200.5f, "12:00:00.50"},
        {from, T::kScnsFrom, "24:00:00.00", 86399.99f, "23:59:59.99"},
        {from, T::kScnsFrom, "25:00:00.00", 86399.99f, "23:59:59.99"},
        {to, T::kScnsTo, "99:99:99.99", 86399.99f, "23:59:59.99"},
        {to, T::kScnsTo, "23:59:59.99", 86399.99f, "23:59:59.99"},
        {to, T::kScnsTo, "00:90:00.00", 5400.0f, "01:30:00.00"},
        {delay, T::kScnsOffset, "30:00:00.00", 86399.99f, " 23:59:59.99"},
        {delay, T::kScnsOffset, "-30:00:00.00", -86399.99f, "-23:59:59.99"},
        {delay, T::kScnsOffset, "-00:00:02.00", -2.0f, "-00:00:02.00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        CTimecodeEdit* edit = (Tc()->*c.edit)();
        edit->SetText(LString(c.typed));
        LHandler::Dispatch(LMessage(CNumVol_Fix, edit, Tc()));
        EXPECT_FLOAT_EQ(h.Scenes()->GetFloat(c.field), c.stored);
        EXPECT_EQ(std::string(edit->GetText().CStr()), c.shown);
    }
}

TEST_F(ConsoleWinTest, PlayButtonFollowsTheTransportState) {
    Open();
    CStateButton* play = win->Scenes()->Transport()->Button(CSeqCtlFrame::kPlay);
    struct Case {
        uint8_t state;
        bool pressed;
        const char* image;
    };
    const Case cases[] = {{1, true, "PLAYOFBTN"}, {2, true, "PLAYONBTN"}, {0, false, "PLAYOFBTN"}};
    for (const Case& c : cases) {
        ASSERT_TRUE(h.Scenes().SetByte(nullptr, T::kScnsTransport, c.state));
        EXPECT_EQ(play->IsHighlighted(), c.pressed) << int(c.state);
        EXPECT_STREQ(win->Scenes()->PlayImage(), c.image) << int(c.state);
    }
}

// The chain bar: value field 13, range 0..max(0, 11 - 12), page 12; field 12 above 11 gives 0, 0.
TEST_F(ConsoleWinTest, ChainBarFollowsTheChainHeights) {
    Open();
    ASSERT_TRUE(Dcpf().SetInt(nullptr, P::kDocRunTime11, 500));
    ASSERT_TRUE(Dcpf().SetInt(nullptr, P::kDocRunTime12, 200));
    ASSERT_TRUE(Dcpf().SetInt(nullptr, P::kDocRunTime13, 250));
    EXPECT_EQ(win->ChainBar()->Maximum(), 300);
    EXPECT_EQ(win->ChainBar()->GetValue(), 250);
    ASSERT_TRUE(Dcpf().SetInt(nullptr, P::kDocRunTime12, 600));
    EXPECT_EQ(win->ChainBar()->Maximum(), 0);
    EXPECT_EQ(win->ChainBar()->GetValue(), 0);
    EXPECT_EQ(dcpf->GetInt(P::kDocRunTime13), 0);
    ASSERT_TRUE(Dcpf().SetInt(nullptr, P::kDocRunTime12, 100));
    win->ChainBar()->SetValue(1000);
    LHandler::Dispatch(LMessage(LScrollBar_Change, win->ChainBar(), win.get()));
    EXPECT_EQ(dcpf->GetInt(P::kDocRunTime13), 400);
    // "cCtlAssign" toggles and checks field 10.
    LMenuItem item(nullptr);
    item.AddCommand("cCtlAssign");
    LHandler::Dispatch(LMessage(LMenuItem_Selected, &item, win.get()));
    EXPECT_TRUE(dcpf->GetBool(P::kDocRunTime10));
}

// With the document's channel list the chain bar sits beside the chains: it starts where their
// area does (below the scroll frame's border and the cells' header, the name row's included or not).
TEST_F(ConsoleWinTest, ChainBarStartsAtTheChainsTop) {
    struct DocChannelList {
        SDocWindowFactories saved = DocWindowFactories();
        DocChannelList() { CDocConsoleWin::Install(); }
        ~DocChannelList() {
            CConsoleWin::SetChannelListFactory(nullptr);
            SetDocWindowFactories(&saved);
        }
    } installed;
    ASSERT_EQ(UDocUnits::AddCompositionLayer(h.Mix(), nullptr, 0, LString("c0.qtz")), 0);
    Open();
    ASSERT_NE(win->ChannelList(), nullptr);
    for (uint8_t names : {0, 1, 0}) {
        SCOPED_TRACE(names ? "with the name row" : "without the name row");
        ASSERT_TRUE(prefs.RootRef().SetByte(nullptr, P::kPrefShowLayerNames, names));
        auto* cell = static_cast<CLayerFrm*>(CCellRef(win->ChannelList(), {0, 0}, false).Pane());
        ASSERT_NE(cell, nullptr);
        const CLPoint chains = cell->ChainArea()->GetOriginIn(win->MixFrame());
        const CLRect bar = win->ChainBar()->Bounds();
        EXPECT_GT(cell->HeaderHeight(), 100);
        EXPECT_EQ(bar.top, chains.y);
        EXPECT_LE(bar.right, chains.x);
        EXPECT_EQ(bar.bottom, win->MixFrame()->Bounds().Height());
    }
}

// One capture request per 500 ms while the preview shows, none while hidden; the callback goes
// with the preview.
TEST_F(ConsoleWinTest, PreviewCapturesOnlyWhileShown) {
    Open(engine.get());
    COutputPreview* preview = win->Preview();
    preview->ChangeState(LPane::kShow);
    preview->SetBounds({0, 0, 160, 90});
    ASSERT_TRUE(preview->IsActive());
    ASSERT_TRUE(preview->Timer()->IsRunning());
    EXPECT_EQ(preview->Timer()->Period(), COutputPreview::kPeriodMs);
    LHandler::Dispatch(LMessage(LTimer_Expire, preview->Timer(), preview));
    LHandler::Dispatch(LMessage(LTimer_Expire, preview->Timer(), preview));
    EXPECT_EQ(preview->CaptureRequests(), 2u);
    preview->ChangeState(LPane::kHide);
    EXPECT_FALSE(preview->IsActive());
    EXPECT_FALSE(preview->Timer()->IsRunning());
    LHandler::Dispatch(LMessage(LTimer_Expire, preview->Timer(), preview));
    EXPECT_EQ(preview->CaptureRequests(), 2u);
    preview->ChangeState(LPane::kShow);
    EXPECT_TRUE(preview->IsActive());
    win.reset();  // removes the callback and cancels captures before the engine goes
    EXPECT_EQ(engine->QueuedCaptures(), 0u);
}

// The document's window state: divider fractions round-trip.
TEST_F(ConsoleWinTest, DividersRoundTrip) {
    Open();
    win->OuterDivider()->SetBounds({0, 0, 800, 600});
    win->OuterDivider()->UpdateLayout();
    win->SetDivider(0, 0.4f);
    EXPECT_NEAR(win->Divider(0), 0.4f, 0.01f);
    win->SetDivider(0, 0.3f);
    EXPECT_NEAR(win->Divider(0), 0.3f, 0.01f);
    // Past the scene frame's least height the divider stops at it.
    win->SetDivider(0, 0.99f);
    EXPECT_LT(win->Divider(0), 0.99f);
    EXPECT_GT(win->Divider(0), 0.4f);
}

}  // namespace
