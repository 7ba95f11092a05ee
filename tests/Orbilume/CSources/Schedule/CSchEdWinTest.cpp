#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreUI/CHeaderFrame.h"
#include "Lib3/LSources/CoreUI/CRespText.h"
#include "Lib3/LSources/CoreUI/CStateButton.h"
#include "Lib3/LSources/CoreUI/LListNavi.h"
#include "Lib3/LSources/CoreUI/LListPane.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/Schedule/CSchCtl.h"
#include "Orbilume/CSources/Schedule/CSchEdWin.h"
#include "Orbilume/CSources/Schedule/CSchEntryList.h"
#include "Orbilume/CSources/Schedule/CSchPrdList.h"
#include "Orbilume/CSources/Schedule/CSchPrmFrame.h"
#include "Orbilume/CSources/Schedule/CSchTestWin.h"
#include "Orbilume/CSources/Schedule/CWeekList.h"
#include "Orbilume/CSources/TimecodeUI/CTimecodeEdit.h"
#include "Platform/Foundation/WallClock.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"
#include "tests/Orbilume/CSources/Document/ScheduleTestSupport.h"
#include "tests/Orbilume/CSources/Document/ShowTestSupport.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/PinnedFonts.h"

using namespace showtest;
using namespace schedtest;

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

class FakeWallClock : public plat::WallClock {
public:
    double Now() const override { return seconds; }
    double seconds = 0;
};

// The editor as a frame without window (cells get live panes), its runner without a window of its own.
class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(resources.Ok());
        tzset();
        plat::SetWallClock(&wall);
        misc = CRecord::New(&CParamSet::SetType());
        for (const char* name : {"intro", "main"}) {
            const int32_t n = UDocScenes::AppendSequence(h.Scenes(), &editor);
            ASSERT_TRUE(Seq(static_cast<uint32_t>(n)).SetString(&editor, T::kSqncName, LString(name)));
        }
        UDocScenes::SetSequenceEditing(h.Scenes(), true);
        runner = std::make_unique<CSchCtl>(&doc, &h, CRecordRef(&misc));
    }
    void TearDown() override {
        win.reset();
        runner.reset();
        CRecord::Delete(misc);
        plat::SetWallClock(nullptr);
        tzset();
    }
    void Open() {
        win = std::make_unique<CSchEdWin>(runner.get(), &owner, &runner->Link(), &h);
        win->ChangeState(LPane::kChainShow);
        win->ChangeState(LPane::kChainEnable);
        win->SetBounds({0, 0, 900, 400});
        win->UpdateLayout();
    }
    CRecordRef Seq(uint32_t n) { return CRecordRef(&(*h.Scenes()->GetRecordArray(T::kScnsSequences))[n]); }
    CRecordRef Entry(uint32_t n) { return CRecordRef(&(*h.Schedule()->GetRecordArray(T::kSchdEntries))[n]); }
    void AddEntry(const Conditions& c, const char* name) {
        const uint32_t count = h.Schedule()->ArrayCount(T::kSchdEntries);
        ASSERT_TRUE(h.Schedule().InsertRecord(&editor, T::kSchdEntries, count, NewEntry(c, {}, name)));
    }
    CSchEntryCell* Cell(int32_t row) {
        CCellRef ref(win->List(), {0, row}, false);
        return static_cast<CSchEntryCell*>(ref.Pane());
    }
    CWeekCell* Day(int32_t day) {
        CCellRef ref(win->Conditions()->WeekList(), {day, 0}, false);
        return static_cast<CWeekCell*>(ref.Pane());
    }
    // Each row as shown: marker, name and command ("▶ name [command]").
    std::vector<std::string> Shown() {
        std::vector<std::string> out;
        for (int32_t r = 0; r < win->List()->Rows(); ++r) {
            CSchEntryCell* c = Cell(r);
            out.push_back(Str(c->Marker()->Text()) + "|" + Str(c->NameField()->GetText()) + "|" +
                          Str(c->CommandText()->Text()));
        }
        return out;
    }
    void Command(const char* id) {
        LMenuItem item(nullptr);
        item.AddCommand(id);
        LHandler::Dispatch(LMessage(LMenuItem_Selected, &item, win.get()));
    }
    static double Local(int y, int mo, int d, int hr, int mi, int s) {
        std::tm t{};
        t.tm_year = y - 1900;
        t.tm_mon = mo - 1;
        t.tm_mday = d;
        t.tm_hour = hr;
        t.tm_min = mi;
        t.tm_sec = s;
        t.tm_isdst = -1;
        return static_cast<double>(std::mktime(&t));
    }

    BundleResources resources;
    testsupport::EnvOverride tz{"TZ", "Europe/Berlin"};
    FakeWallClock wall;
    UndoDocument doc;
    LHandler editor{&doc};
    CDocModelHolder h;
    CRecord* misc = nullptr;
    MessageLog log;
    FakeOwner owner{&log, {0, 0, 1000, 600}};
    std::unique_ptr<CSchCtl> runner;
    std::unique_ptr<CSchEdWin> win;
};

TEST_F(EditorTest, ListsTheEntriesWithTheMarkerOnTheLiveOne) {
    Conditions nine, weekend;
    nine.hour = "9-17";
    weekend.weekday = "6-7";
    AddEntry(nine, "office");
    AddEntry(weekend, "weekend");
    CRecord* command = CRecord::New(T::Type(T::kSCEX));
    command->Slot(T::kScexSeqId).u32 = Seq(1)->GetUInt(T::kSqncId);
    Entry(1).DeleteSubRecord(&editor, T::kScevCommand, command);
    Open();
    EXPECT_TRUE(win->HasLayout());
    const CLRect list = win->List()->Bounds(), conditions = win->Conditions()->Bounds();
    EXPECT_FALSE(list.IsEmpty());
    EXPECT_FALSE(conditions.IsEmpty());
    auto left = [](LPane* pane) { return pane->GetOriginIn(nullptr).x + pane->Bounds().left; };
    EXPECT_LE(left(win->List()) + list.Width(), left(win->Conditions()));
    // The list and the periods scroll in navigators; the header titles the row's columns.
    EXPECT_EQ(win->ListNavi()->ListPane(), win->List());
    EXPECT_NE(win->ListNavi()->VerticalBar(), nullptr);
    EXPECT_EQ(win->PeriodNavi()->ListPane(), win->Periods());
    ASSERT_EQ(win->Header()->ItemCount(), 3);
    EXPECT_EQ(Str(win->Header()->Item(1)->Text()), "Name");
    EXPECT_EQ(Str(win->Header()->Item(2)->Text()), "Sequence");
    EXPECT_LT(left(win->Header()->Item(0)), left(Cell(0)->NameField()));
    EXPECT_NEAR(left(win->Header()->Item(1)), left(Cell(0)->NameField()), 4);
    EXPECT_NEAR(left(win->Header()->Item(2)), left(Cell(0)->CommandText()), 4);
    EXPECT_EQ(win->List()->CellWidth(), list.Width());
    EXPECT_GT(Cell(0)->NameField()->Bounds().Width(), 100);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"|office|", "|weekend|main"}));
    wall.seconds = Local(2024, 6, 3, 10, 0, 0);  // Monday
    runner->Tick();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"\xE2\x96\xB6|office|", "|weekend|main"}));
    EXPECT_EQ(Cell(0)->Marker()->TextColor().Get()->rgb, LRGB(0, 191, 0));
    // The test date-time marks what would match then; clearing it returns to the live match.
    win->SetTestDateTime(At(2024, 6, 8, 3, 0, 0));  // Saturday 03:00
    EXPECT_EQ(win->List()->Current(), 1);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"|office|", "\xE2\x96\xB6|weekend|main"}));
    runner->Tick();  // the live match does not move the test marker
    EXPECT_EQ(win->List()->Current(), 1);
    win->ClearTestDateTime();
    EXPECT_EQ(win->List()->Current(), 0);
    // Renaming the command's sequence redraws the command names.
    ASSERT_TRUE(Seq(1).SetString(&editor, T::kSqncName, LString("encore")));
    EXPECT_EQ(Shown()[1], "|weekend|encore");
    // Emptying the command field deletes the command, as one undo step.
    Cell(1)->CommandText()->Clear();
    EXPECT_EQ(Entry(1)->GetSubRecord(T::kScevCommand), nullptr);
    EXPECT_EQ(Shown()[1], "|weekend|");
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Shown()[1], "|weekend|encore");
}

// Adding an event puts it at the top and selects it; the conditions then show it, empty.
TEST_F(EditorTest, AddEventSelectsTheNewTopEntry) {
    Conditions nine;
    nine.hour = "9";
    AddEntry(nine, "first");
    Open();
    EXPECT_EQ(win->Conditions()->Entry(), nullptr);
    Command("CSchEdWin_AddEvent");
    ASSERT_EQ(win->List()->Rows(), 2);
    EXPECT_TRUE(win->List()->IsSelected({0, 0}));
    EXPECT_FALSE(win->List()->IsSelected({0, 1}));
    EXPECT_EQ(win->Conditions()->Entry(), Entry(0).Get());
    for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(Str(win->Conditions()->Field(i)->GetText()), "") << i;
    EXPECT_EQ(win->Conditions()->WeekList()->Mask(), 0);
    EXPECT_EQ(Shown()[1], "|first|");
    // A period for the shown entry.
    Command("CSchEdWin_AddPeriod");
    EXPECT_EQ(Entry(0)->ArrayCount(T::kScevPeriods), 1u);
    // Selecting the other row shows its conditions.
    win->List()->SelectCell({0, 1});
    EXPECT_EQ(Str(win->Conditions()->Field(3)->GetText()), "9");
}

// Checking Friday alone stores "5,"; a condition typed as 1-5 shows Monday to Friday.
TEST_F(EditorTest, WeekListEditsTheWeekdayCondition) {
    AddEntry({}, "e");
    Open();
    win->List()->SelectCell({0, 0});
    LHandler::Dispatch(LMessage(LStdCtl_Selected, Day(4)->Button(), Day(4)));
    EXPECT_EQ(Str(Entry(0)->GetString(T::kScevWeekday)), "5,");
    LHandler::Dispatch(LMessage(LStdCtl_Selected, Day(0)->Button(), Day(0)));
    EXPECT_EQ(Str(Entry(0)->GetString(T::kScevWeekday)), "1,5,");
    ASSERT_TRUE(Entry(0).SetString(&editor, T::kScevWeekday, LString("1-5")));
    EXPECT_EQ(win->Conditions()->WeekList()->Mask(), 0x1F);
    EXPECT_EQ(Str(Day(0)->Button()->GetTitle()), "Mon");
    // Typing into a condition field stores the text; undo takes it back.
    win->Conditions()->Field(3)->SetText(LString("22-23|0-5"));
    LHandler::Dispatch(LMessage(LEditText_Change, win->Conditions()->Field(3), win->Conditions()));
    EXPECT_EQ(Str(Entry(0)->GetString(T::kScevHour)), "22-23|0-5");
    // Removing the shown entry leaves the frame empty.
    h.Schedule().DeleteElement(&editor, T::kSchdEntries, 0);
    EXPECT_EQ(win->Conditions()->Entry(), nullptr);
    EXPECT_EQ(win->List()->Rows(), 0);
}

// The fire button fires its entry's sequence and selects the row; names are stored as typed;
// moving entries moves their rows and the marker.
TEST_F(EditorTest, RowsFireRenameAndMove) {
    Conditions nine;
    nine.hour = "9";
    AddEntry({}, "a");
    AddEntry(nine, "b");
    Open();
    LHandler::Dispatch(LMessage(LStdCtl_Selected, Cell(1)->FireButton(), Cell(1)));
    EXPECT_EQ(h.Scenes()->GetInt(T::kScnsEdited), 1);  // entry 1 without command: sequence 1
    EXPECT_TRUE(win->List()->IsSelected({0, 1}));
    Cell(1)->NameField()->SetText(LString("nine"));
    LHandler::Dispatch(LMessage(LEditText_Change, Cell(1)->NameField(), Cell(1)));
    EXPECT_EQ(Str(Entry(1)->GetString(T::kScevName)), "nine");
    wall.seconds = Local(2024, 6, 3, 12, 0, 0);
    runner->Tick();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"\xE2\x96\xB6|a|", "|nine|"}));
    h.Schedule().MoveRecord(&editor, T::kSchdEntries, 0, 2);
    runner->Tick();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"|nine|", "\xE2\x96\xB6|a|"}));
    // Delete of the selection is one undo step.
    win->List()->ClearSelection();
    win->List()->SelectCell({0, 0});
    win->List()->AddToSelection({0, 1});
    win->List()->DeleteSelection();
    EXPECT_EQ(win->List()->Rows(), 0);
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(win->List()->Rows(), 2);
    runner->Tick();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"|nine|", "\xE2\x96\xB6|a|"}));
}

// The test window set to a Saturday 03:00 marks the entry that would match then; closing it returns
// the marker to the live entry.
TEST_F(EditorTest, TestWindowMarksTheEntryForItsDate) {
    Conditions office, night;
    office.hour = "9-17";
    night.hour = "22-23|0-5";
    night.weekday = "5";
    AddEntry(office, "office");
    AddEntry(night, "friday night");
    Open();
    wall.seconds = Local(2024, 6, 3, 10, 0, 0);
    runner->Tick();
    EXPECT_EQ(win->List()->Current(), 0);
    Command("CSchEdWin_Test");
    CSchTestWin* test = win->TestWindow();
    ASSERT_NE(test, nullptr);
    EXPECT_EQ(test->Field(0)->GetValue(), 2024.0f);  // starts at the local date and time
    EXPECT_EQ(test->TimeField()->GetValue(), 36000.0f);
    EXPECT_EQ(Str(test->TimeField()->GetText()), "10:00:00");
    EXPECT_EQ(Str(test->WeekdayText()->Text()), "Monday");
    EXPECT_EQ(win->List()->Current(), 0);
    auto commit = [&](uint32_t field, float value) {
        test->Field(field)->SetValue(value);
        LHandler::Dispatch(LMessage(CNumVol_Fix, test->Field(field), test));
    };
    commit(2, 8);  // Saturday 8 June
    test->TimeField()->SetText(LString("03:00:00"));
    LHandler::Dispatch(LMessage(CNumVol_Fix, test->TimeField(), test));
    EXPECT_EQ(Str(test->WeekdayText()->Text()), "Saturday");
    EXPECT_EQ(win->List()->Current(), 1);
    EXPECT_EQ(Shown()[1].substr(0, 3), "\xE2\x96\xB6");
    // The day is limited to the month, the weekday follows.
    commit(1, 2);
    commit(2, 31);
    EXPECT_EQ(test->Field(2)->GetValue(), 29.0f);
    EXPECT_EQ(Str(test->WeekdayText()->Text()), "Thursday");
    EXPECT_EQ(win->List()->Current(), -1);
    LHandler::Dispatch(LMessage(LFrame_Close, test, win.get()));
    EXPECT_EQ(win->List()->Current(), 0);
    EXPECT_EQ(win->TestWindow(), test);  // kept for the next time
    Command("CSchEdWin_Test");
    EXPECT_EQ(win->List()->Current(), -1);  // its date again
}

// Periods: a new one is selected; choosing a kind rewrites start and end in one undo step; the day
// is limited per kind; the fields shown follow the kind.
TEST_F(EditorTest, PeriodRowsEditKindsAndEnds) {
    Open();
    Command("CSchEdWin_AddEvent");
    Command("CSchEdWin_AddPeriod");
    CSchPrdList* periods = win->Periods();
    ASSERT_EQ(periods->Rows(), 1);
    EXPECT_TRUE(periods->IsSelected({0, 0}));
    CCellRef ref(periods, {0, 0}, false);
    auto* cell = static_cast<CSchPrdCell*>(ref.Pane());
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->KindHeader()->ItemCount(), 7);
    EXPECT_EQ(cell->KindHeader()->Selected(), 6);  // a new period repeats every minute
    CRecord* period = Entry(0)->GetElement(T::kScevPeriods, 0);
    auto stored = [&](uint32_t field) {
        std::string out;
        const auto* v = static_cast<const uint32_t*>(period->ArrayData(field));
        for (uint32_t i = 0; i < period->ArrayCount(field); ++i) out += std::to_string(v[i]) + " ";
        return out;
    };
    auto commit = [&](CSchDateTimeFrame* frame, uint32_t field, float value) {
        frame->Field(field)->SetValue(value);
        LHandler::Dispatch(LMessage(CNumVol_Fix, frame->Field(field), frame));
    };
    // The start as 31 September 2024 22:00 and the end 1 October 06:00, then "once" chosen.
    commit(cell->Start(), 0, 2024);
    commit(cell->Start(), 1, 9);
    commit(cell->Start(), 2, 31);
    commit(cell->Start(), 3, 22);
    EXPECT_EQ(stored(T::kScepStart), "0 0 22 0 31 9 2024 ");  // kind 0 keeps the day as typed
    // An edited end refreshes all rows a second later.
    ASSERT_TRUE(periods->RefreshTimer()->IsRunning());
    EXPECT_NEAR(static_cast<double>(periods->RefreshTimer()->Due() - LTimer::Now()), 1000, 20);
    LHandler::Dispatch(LMessage(LTimer_Expire, periods->RefreshTimer(), periods));
    commit(cell->End(), 0, 2024);
    commit(cell->End(), 1, 10);
    commit(cell->End(), 2, 1);
    commit(cell->End(), 3, 6);
    ASSERT_TRUE(cell->KindHeader()->Select(0));
    LHandler::Dispatch(LMessage(CHeaderFrame_Selected, cell->KindHeader(), cell));
    EXPECT_EQ(period->GetByte(T::kScepRange), 6);
    EXPECT_EQ(stored(T::kScepStart), "0 0 22 0 30 9 2024 ");
    EXPECT_EQ(stored(T::kScepEnd), "0 0 6 0 1 10 2024 ");
    // One undo step takes the kind and both ends back.
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(period->GetByte(T::kScepRange), 0);
    EXPECT_EQ(stored(T::kScepStart), "0 0 22 0 31 9 2024 ");
    ASSERT_TRUE(doc.queue.Perform(1));
    // Every year: 31 February stores the 29th.
    CCellRef again(periods, {0, 0}, false);
    cell = static_cast<CSchPrdCell*>(again.Pane());
    ASSERT_TRUE(cell->KindHeader()->Select(1));
    LHandler::Dispatch(LMessage(CHeaderFrame_Selected, cell->KindHeader(), cell));
    EXPECT_EQ(period->GetByte(T::kScepRange), 5);
    commit(cell->End(), 1, 2);
    commit(cell->End(), 2, 31);
    EXPECT_EQ(stored(T::kScepEnd), "0 0 6 0 29 2 2024 ");
    // The fields shown follow the kind: weekly shows the weekday popup and no date.
    ASSERT_TRUE(cell->KindHeader()->Select(3));
    LHandler::Dispatch(LMessage(CHeaderFrame_Selected, cell->KindHeader(), cell));
    CCellRef weekly(periods, {0, 0}, false);
    cell = static_cast<CSchPrdCell*>(weekly.Pane());
    EXPECT_TRUE(cell->End()->Weekday()->IsVisible());
    EXPECT_FALSE(cell->End()->Field(0)->IsVisible());
    EXPECT_FALSE(cell->End()->Field(2)->IsVisible());
    EXPECT_TRUE(cell->End()->Field(3)->IsVisible());
    (void)cell->End()->Weekday()->SetValue(4);
    LHandler::Dispatch(LMessage(LPopupList_Changed, cell->End()->Weekday(), cell->End()));
    EXPECT_EQ(stored(T::kScepEnd), "0 0 6 5 29 2 2024 ");
    // Another entry shown: its (no) periods.
    Command("CSchEdWin_AddEvent");
    EXPECT_EQ(periods->Rows(), 0);
}

// Copy and paste of entries and periods through the general pasteboard, each one undo step.
TEST_F(EditorTest, EntriesAndPeriodsCopyAndPaste) {
    Conditions nine;
    nine.hour = "9";
    AddEntry({}, "a");
    AddEntry(nine, "b");
    Open();
    auto command = [&](LHandler* target, const char* id) {
        LMenuItem item(nullptr);
        item.AddCommand(id);
        LHandler::Dispatch(LMessage(LMenuItem_Selected, &item, target));
    };
    win->List()->SelectCell({0, 1});
    command(win->List(), "LStdCmd_Copy");
    command(win->List(), "LStdCmd_Paste");
    ASSERT_EQ(win->List()->Rows(), 3);
    EXPECT_EQ(Str(Entry(2)->GetString(T::kScevName)), "b");
    EXPECT_EQ(Str(Entry(2)->GetString(T::kScevHour)), "9");
    EXPECT_TRUE(win->List()->IsSelected({0, 2}));
    EXPECT_FALSE(win->List()->IsSelected({0, 1}));
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(win->List()->Rows(), 2);
    // Periods of the shown entry.
    win->List()->SelectCell({0, 0});
    Command("CSchEdWin_AddPeriod");
    ASSERT_EQ(win->Periods()->Rows(), 1);
    command(win->Periods(), "LStdCmd_Copy");
    command(win->Periods(), "LStdCmd_Paste");
    EXPECT_EQ(win->Periods()->Rows(), 2);
    EXPECT_EQ(Entry(0)->ArrayCount(T::kScevPeriods), 2u);
    win->Periods()->SelectCell({0, 0});
    win->Periods()->AddToSelection({0, 1});
    command(win->Periods(), "LStdCmd_Delete");
    EXPECT_EQ(win->Periods()->Rows(), 0);
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(win->Periods()->Rows(), 2);
    // Cutting both entries takes them out in one step.
    win->List()->SelectCell({0, 0});
    win->List()->AddToSelection({0, 1});
    command(win->List(), "LStdCmd_Cut");
    EXPECT_EQ(win->List()->Rows(), 0);
    EXPECT_EQ(win->Periods()->Rows(), 0);
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(win->List()->Rows(), 2);
}

}  // namespace
