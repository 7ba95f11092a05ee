#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "Common/Container/CBytes.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CScrapWriter.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/Mac/CDragScrap.h"
#include "Orbilume/CSources/Schedule/CSchCtl.h"
#include "Platform/Foundation/WallClock.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Orbilume/CSources/Document/ScheduleTestSupport.h"
#include "tests/Orbilume/CSources/Document/ShowTestSupport.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/FakeClock.h"

using namespace showtest;
using namespace schedtest;

namespace {

class FakeWallClock : public plat::WallClock {
public:
    double Now() const override { return seconds; }
    double seconds = 0;
};

// A drop that offers one item of a scrap type.
class FakeDrop : public CDragScrap {
public:
    FakeDrop(uint32_t code, std::vector<uint8_t> data)
        : CDragScrap(nullptr), fCode(code), fData(std::move(data)) {}
    bool GetData(const LScrapType& type, uint32_t index, const uint8_t** bytes, uint32_t* size) override {
        if (type.code != fCode || index != 0) return false;
        if (bytes) *bytes = fData.data();
        if (size) *size = static_cast<uint32_t>(fData.size());
        return true;
    }

private:
    uint32_t fCode;
    std::vector<uint8_t> fData;
};

// A copy of a record as a list scrap holds it.
std::vector<uint8_t> ScrapOf(const CRecord* record) {
    CBytes bytes;
    CScrapWriter writer(1, 1, bytes);
    EXPECT_TRUE(writer.WriteRecord(record));
    writer.Close();
    return std::vector<uint8_t>(bytes.Data(), bytes.Data() + bytes.Count());
}

class Runner : public ::testing::Test {
protected:
    void SetUp() override {
        tzset();
        plat::SetWallClock(&wall);
        misc = CRecord::New(&CParamSet::SetType());
        for (const char* name : {"intro", "main", "finale"}) {
            const int32_t n = UDocScenes::AppendSequence(S(), &editor);
            ASSERT_GE(n, 0);
            ASSERT_TRUE(Seq(static_cast<uint32_t>(n)).SetString(&editor, T::kSqncName, LString(name)));
        }
        UDocScenes::SetSequenceEditing(S(), true);
        h.AddObserver(this, Observe);
    }
    void TearDown() override {
        h.RemoveObserver(this, Observe);
        plat::SetWallClock(nullptr);
        CRecord::Delete(misc);
        tzset();
    }
    static void Observe(void* context, const SRecordEvent* e) {
        auto* self = static_cast<Runner*>(context);
        CRecord* scns = self->S().Get();
        if (e->kind == SRecordEvent::kValueChanged && e->record.Get() == scns && e->field == T::kScnsGoTo &&
            scns->GetInt(T::kScnsGoTo) == 0)
            self->fired.push_back(scns->GetInt(T::kScnsEdited));
    }
    static void Listen(void* context, uint32_t notice) {
        static_cast<Runner*>(context)->notices.push_back(notice);
    }

    CRecordRef S() { return h.Scenes(); }
    CRecordRef Seq(uint32_t n) { return CRecordRef(&(*S()->GetRecordArray(T::kScnsSequences))[n]); }
    CRecordRef Entry(uint32_t n) { return CRecordRef(&(*h.Schedule()->GetRecordArray(T::kSchdEntries))[n]); }
    void AddEntry(const Conditions& c, int32_t sequence = -1) {
        CRecord* entry = NewEntry(c);
        if (sequence >= 0) {
            CRecord* command = CRecord::New(T::Type(T::kSCEX));
            command->Slot(T::kScexSeqId).u32 = Seq(static_cast<uint32_t>(sequence))->GetUInt(T::kSqncId);
            entry->SetSubRecord(T::kScevCommand, command);
        }
        const uint32_t count = h.Schedule()->ArrayCount(T::kSchdEntries);
        ASSERT_TRUE(h.Schedule().InsertRecord(&editor, T::kSchdEntries, count, entry));
    }
    // Local time in the test's zone as wall-clock seconds.
    static double Local(int y, int mo, int d, int h, int mi, int s, int isdst = -1) {
        std::tm t{};
        t.tm_year = y - 1900;
        t.tm_mon = mo - 1;
        t.tm_mday = d;
        t.tm_hour = h;
        t.tm_min = mi;
        t.tm_sec = s;
        t.tm_isdst = isdst;
        return static_cast<double>(std::mktime(&t));
    }
    void FireDueTimers() {
        for (LMessage m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true); !m.IsEmpty();
             m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true))
            LHandler::Dispatch(m);
    }
    // Runs the main loop's timers through `seconds` of time in 100 ms steps, both clocks together;
    // returns the wall-clock times at which something fired.
    std::vector<double> Run(double seconds) {
        std::vector<double> at;
        for (int step = 0; step < static_cast<int>(seconds * 10 + 0.5); ++step) {
            wall.seconds += 0.1;
            clock.AdvanceMs(100);
            const size_t before = fired.size();
            FireDueTimers();
            if (fired.size() != before) at.push_back(wall.seconds);
        }
        return at;
    }
    // Moves the wall clock without ticks (the runner sleeps through it).
    void Jump(double to) { wall.seconds = to; }

    testsupport::EnvOverride tz{"TZ", "Europe/Berlin"};
    testsupport::FakeClock clock;
    FakeWallClock wall;
    UndoDocument doc;
    LHandler editor{&doc};
    CDocModelHolder h;
    CRecord* misc = nullptr;
    std::vector<int32_t> fired;  // the edited sequence at each go-to-scene request
    std::vector<uint32_t> notices;
};

TEST_F(Runner, LocalTimeFollowsTheZoneAndTheWallClock) {
    Jump(Local(2024, 6, 3, 9, 30, 15) + 0.75);  // a Monday, summer time
    SchDateTime t = CSchCtl::LocalNow();
    EXPECT_EQ(t.year, 2024);
    EXPECT_EQ(t.month, 6);
    EXPECT_EQ(t.day, 3);
    EXPECT_EQ(t.weekday, 1);
    EXPECT_EQ(t.hour, 9);
    EXPECT_EQ(t.minute, 30);
    EXPECT_EQ(t.second, 15);  // truncated
    Jump(1704063599.5);       // 2023-12-31 22:59:59.5 UTC: the last second of the year in Berlin
    t = CSchCtl::LocalNow();
    EXPECT_EQ(t.year, 2023);
    EXPECT_EQ(t.day, 31);
    EXPECT_EQ(t.weekday, 0);
    EXPECT_EQ(t.hour, 23);
    EXPECT_EQ(t.second, 59);
}

// Monday to Friday 09:00 to 17:59: fires once within a tick of 09:00 and again only the next day.
TEST_F(Runner, FiresOnceWhenTheEntryStartsToMatch) {
    Conditions office;
    office.hour = "9-17";
    office.weekday = "1-5";
    AddEntry(office);
    CSchCtl runner(&doc, &h, CRecordRef(&misc));
    runner.Link().AddListener(this, Listen);
    Jump(Local(2024, 6, 3, 8, 59, 58));
    runner.OpenEditor();
    EXPECT_TRUE(runner.IsRunning());
    std::vector<double> at = Run(10);
    ASSERT_EQ(at.size(), 1u);
    const double nine = Local(2024, 6, 3, 9, 0, 0);
    EXPECT_GE(at[0], nine);
    EXPECT_LE(at[0], nine + 0.5 + 1e-6);
    EXPECT_EQ(fired, std::vector<int32_t>({0}));  // no command: sequence 0
    EXPECT_EQ(runner.LastIndex(), 0);
    EXPECT_EQ(notices, std::vector<uint32_t>({CSchLink::kMatchChanged}));
    // Still matching at 17:59:59: nothing more.
    Jump(Local(2024, 6, 3, 17, 59, 55));
    EXPECT_TRUE(Run(4).empty());
    // 18:00 ends the match (a notice, no fire); the next morning fires again.
    EXPECT_TRUE(Run(2).empty());
    EXPECT_EQ(runner.LastIndex(), -1);
    EXPECT_EQ(notices.size(), 2u);
    Jump(Local(2024, 6, 4, 8, 59, 59));
    EXPECT_EQ(Run(2).size(), 1u);
    EXPECT_EQ(fired.size(), 2u);
    // Saturday morning: nothing.
    Jump(Local(2024, 6, 8, 8, 59, 59));
    EXPECT_TRUE(Run(2).empty());
    runner.Link().RemoveListener(this, Listen);
}

// Two entries back to back each fire; the firing follows each entry's command.
TEST_F(Runner, BackToBackEntriesFireTheSequencesTheirCommandsName) {
    Conditions nine, ten;
    nine.hour = "9";
    ten.hour = "10";
    AddEntry(nine, 2);  // names "finale"
    AddEntry(ten);      // no command: sequence 1 by its index
    CSchCtl runner(&doc, &h, CRecordRef(&misc));
    Jump(Local(2024, 6, 3, 9, 59, 59));
    runner.OpenEditor();
    Run(2);
    EXPECT_EQ(fired, std::vector<int32_t>({2, 1}));
    // Moving "finale" to the front: the command still finds it by id.
    S().MoveRecord(&editor, T::kScnsSequences, 2, 0);
    Jump(Local(2024, 6, 4, 8, 59, 59));
    Run(2);
    EXPECT_EQ(fired.back(), 0);
}

// A command naming a deleted sequence fires nothing; sequence editing off fires nothing either,
// and the entry does not fire later just because editing came back.
TEST_F(Runner, NothingFiresWithoutASequence) {
    Conditions nine, ten;
    nine.hour = "9";
    ten.hour = "10";
    AddEntry(nine, 1);
    AddEntry(ten);
    S().DeleteElement(&editor, T::kScnsSequences, 1);
    CSchCtl runner(&doc, &h, CRecordRef(&misc));
    Jump(Local(2024, 6, 3, 9, 0, 0));
    runner.OpenEditor();
    Run(1);
    EXPECT_TRUE(fired.empty());
    EXPECT_EQ(runner.LastIndex(), 0);
    UDocScenes::SetSequenceEditing(S(), false);
    Jump(Local(2024, 6, 3, 10, 0, 0));
    Run(1);
    EXPECT_TRUE(fired.empty());
    EXPECT_EQ(runner.LastIndex(), 1);
    UDocScenes::SetSequenceEditing(S(), true);
    Run(1);
    EXPECT_TRUE(fired.empty());
    // Entry 1 names no command and there are still two sequences: sequence 1 fires on request.
    SSchRequest fire;
    fire.operation = CSchLink::kFire;
    fire.index = 1;
    runner.Link().Request(fire);
    EXPECT_EQ(fired, std::vector<int32_t>({1}));
}

// Closing the editor stops the ticks; a show closed with the editor open reopens it in the next.
TEST_F(Runner, TheEditorWindowRunsTheSchedule) {
    AddEntry({});
    {
        CSchCtl runner(&doc, &h, CRecordRef(&misc));
        EXPECT_FALSE(runner.IsRunning());
        EXPECT_FALSE(runner.Timer().IsRunning());
        Jump(Local(2024, 6, 3, 9, 0, 0));
        Run(1);
        EXPECT_TRUE(fired.empty());  // idle: no ticks
        runner.OpenEditor();
        EXPECT_TRUE(runner.Timer().IsRunning());
        EXPECT_EQ(runner.Timer().Period(), 500u);
        Run(1);
        EXPECT_EQ(fired.size(), 1u);
        LHandler::Dispatch(LMessage(LFrame_Close, runner.Editor(), &runner));
        EXPECT_FALSE(runner.IsRunning());
        EXPECT_FALSE(runner.Timer().IsRunning());
        // Another match after a gap would fire, but nothing ticks.
        runner.Tick();  // stands for a tick in flight: it only sees the same entry
        EXPECT_EQ(fired.size(), 1u);
        runner.OpenEditor();
    }
    CRecord* schctl = CParamSet::GetSubSet(CRecordRef(&misc), LString("schctl"));
    ASSERT_NE(schctl, nullptr);
    EXPECT_EQ(CParamSet::GetIntOr(CRecordRef(&schctl), LString("usesch"), -1), 1);
    EXPECT_NE(CParamSet::GetSubSet(CRecordRef(&schctl), LString("sched")), nullptr);
    {
        CSchCtl next(&doc, &h, CRecordRef(&misc));
        EXPECT_TRUE(next.IsRunning());  // reopened
        EXPECT_TRUE(next.Timer().IsRunning());
        Run(1);
        EXPECT_EQ(fired.size(), 2u);  // a new runner fires the entry that matches now
        LHandler::Dispatch(LMessage(LFrame_Close, next.Editor(), &next));
    }
    EXPECT_EQ(CParamSet::GetIntOr(CRecordRef(&schctl), LString("usesch"), -1), 0);
    CSchCtl third(&doc, &h, CRecordRef(&misc));
    EXPECT_FALSE(third.IsRunning());
}

// The editor's requests answer from the records and the matcher.
TEST_F(Runner, RequestsAnswerAsTabled) {
    BundleResources resources;
    Conditions nine;
    nine.hour = "9";
    AddEntry(nine, 2);
    AddEntry({}, 1);
    AddEntry({});
    CSchCtl runner(&doc, &h, CRecordRef(&misc));
    ASSERT_TRUE(resources.Ok());
    EXPECT_STREQ(runner.Link().HeaderText().CStr(), "Sequence");
    EXPECT_EQ(runner.Link().Schedule().Get(), h.Schedule().Get());
    auto ask = [&](uint32_t op, int32_t index, CDragScrap* drag = nullptr, const SchDateTime* at = nullptr) {
        SSchRequest r;
        r.operation = op;
        r.index = index;
        r.editor = &editor;
        r.drag = drag;
        r.dateTime = at;
        runner.Link().Request(r);
        return r;
    };
    // 1: the last tick's match.
    EXPECT_EQ(ask(CSchLink::kLastMatch, 7).index, -1);
    Jump(Local(2024, 6, 3, 9, 0, 0));
    runner.Tick();
    EXPECT_EQ(ask(CSchLink::kLastMatch, 7).index, 0);
    // 2: command names: the sequence's name, "?" once it is gone, nothing without a command.
    EXPECT_STREQ(ask(CSchLink::kCommandName, 0).text.CStr(), "finale");
    EXPECT_STREQ(ask(CSchLink::kCommandName, 1).text.CStr(), "main");
    EXPECT_STREQ(ask(CSchLink::kCommandName, 2).text.CStr(), "");
    EXPECT_STREQ(ask(CSchLink::kCommandName, 9).text.CStr(), "");
    S().DeleteElement(&editor, T::kScnsSequences, 2);
    EXPECT_STREQ(ask(CSchLink::kCommandName, 0).text.CStr(), "?");
    // 3 and 4: a copied sequence is taken as the command (undoably), a scene is refused.
    FakeDrop sequence(Fcc("SEQC"), ScrapOf(Seq(0).Get()));
    CRecord* scene = UDocScenes::NewScene();
    FakeDrop sceneAsSequence(Fcc("SEQC"), ScrapOf(scene));
    FakeDrop sceneDrop(Fcc("SCNE"), ScrapOf(scene));
    CRecord::Delete(scene);
    FakeDrop garbage(Fcc("SEQC"), {1, 2, 3});
    EXPECT_EQ(ask(CSchLink::kCanDrop, 0, &sequence).index, 1);
    EXPECT_EQ(ask(CSchLink::kCanDrop, 0, &sceneDrop).index, 0);
    EXPECT_EQ(ask(CSchLink::kCanDrop, 0, nullptr).index, 0);
    EXPECT_EQ(ask(CSchLink::kDrop, 0, &sequence).index, 1);
    EXPECT_STREQ(ask(CSchLink::kCommandName, 0).text.CStr(), "intro");
    EXPECT_EQ(ask(CSchLink::kDrop, 1, &sceneAsSequence).index, 0);
    EXPECT_EQ(ask(CSchLink::kDrop, 1, &garbage).index, 0);
    EXPECT_EQ(ask(CSchLink::kDrop, 1, &sceneDrop).index, 0);
    EXPECT_STREQ(ask(CSchLink::kCommandName, 1).text.CStr(), "main");  // unchanged
    EXPECT_EQ(ask(CSchLink::kDrop, 9, &sequence).index, 9);            // out of range: nothing
    // Without drag data the command goes.
    EXPECT_EQ(ask(CSchLink::kDrop, 1).index, 1);
    EXPECT_EQ(Entry(1)->GetSubRecord(T::kScevCommand), nullptr);
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_STREQ(ask(CSchLink::kCommandName, 1).text.CStr(), "main");
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_STREQ(ask(CSchLink::kCommandName, 0).text.CStr(), "?");  // the drop undone
    // 5: a new entry at the top, with default fields.
    ask(CSchLink::kAddEntry, 0);
    ASSERT_EQ(h.Schedule()->ArrayCount(T::kSchdEntries), 4u);
    EXPECT_STREQ(Entry(0)->GetString(T::kScevHour).CStr(), "");
    EXPECT_EQ(Entry(0)->ArrayCount(T::kScevPeriods), 0u);
    // 6: the match at a given time (the new empty entry now leads).
    const SchDateTime saturday = At(2024, 6, 8, 3);
    EXPECT_EQ(ask(CSchLink::kMatchAt, -1, nullptr, &saturday).index, 0);
    Entry(0).DeleteElement(&editor, T::kSchdEntries, 0);
    h.Schedule().DeleteElement(&editor, T::kSchdEntries, 0);
    EXPECT_EQ(ask(CSchLink::kMatchAt, -1, nullptr, &saturday).index, 1);
    EXPECT_EQ(ask(CSchLink::kMatchAt, 5, nullptr, nullptr).index, -1);
}

// Notice 1 on sequences added, removed or renamed; other edits say nothing.
TEST_F(Runner, SequenceChangesAreNoticed) {
    CSchCtl runner(&doc, &h, CRecordRef(&misc));
    runner.Link().AddListener(this, Listen);
    (void)UDocScenes::AppendSequence(S(), &editor);
    ASSERT_TRUE(Seq(3).SetString(&editor, T::kSqncName, LString("encore")));
    S().DeleteElement(&editor, T::kScnsSequences, 0);
    AddEntry({});
    ASSERT_TRUE(S().SetFloat(&editor, T::kScnsFrom, 2.0f));
    EXPECT_EQ(notices, std::vector<uint32_t>({1, 1, 1}));
    runner.Link().RemoveListener(this, Listen);
}

// Daylight saving: an hour that does not exist never matches, a repeated hour fires once.
TEST_F(Runner, DaylightSavingChanges) {
    Conditions two, three;
    two.hour = "2";
    three.hour = "3";
    AddEntry(two);
    AddEntry(three, 2);
    CSchCtl runner(&doc, &h, CRecordRef(&misc));
    // Spring forward on 31 March 2024: 01:59:59 is followed by 03:00:00.
    Jump(Local(2024, 3, 31, 1, 59, 50));
    runner.OpenEditor();
    Run(20);
    EXPECT_EQ(fired, std::vector<int32_t>({2}));
    // Fall back on 27 October 2024: 02:00-02:59 comes twice; entry 0 fires once at the first
    // 02:00 and holds through the repeat.
    fired.clear();
    Jump(Local(2024, 10, 27, 1, 59, 59, 1));
    Run(2);
    EXPECT_EQ(fired, std::vector<int32_t>({0}));
    Jump(Local(2024, 10, 27, 2, 59, 58, 1));  // summer time
    Run(4);                                   // into 02:00:01 winter time
    EXPECT_EQ(CSchCtl::LocalNow().hour, 2);
    EXPECT_EQ(fired.size(), 1u);
    Jump(Local(2024, 10, 27, 2, 59, 59, 0));
    Run(2);
    EXPECT_EQ(fired, std::vector<int32_t>({0, 2}));
}

}  // namespace
