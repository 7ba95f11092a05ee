#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Orbilume/CSources/Document/CSchFilter.h"
#include "Orbilume/CSources/Document/CSchMatcher.h"
#include "tests/Orbilume/CSources/Document/ScheduleTestSupport.h"
#include "tests/Orbilume/CSources/Document/ShowTestSupport.h"

using namespace showtest;
using namespace schedtest;

namespace {

std::string Text(const SchDateTime& t) {
    char buf[64];
    snprintf(buf, sizeof buf, "%04d-%02d-%02d w%d %02d:%02d:%02d", t.year, t.month, t.day, t.weekday, t.hour,
             t.minute, t.second);
    return buf;
}

bool Matches(CRecord* entry, const SchDateTime& t) {
    CSchFilter f;
    f.Load(entry);
    return f.Matches(t);
}

struct Case {
    const char* what;
    SchDateTime at;
    bool matches;
};

void RunTable(CRecord* entry, std::initializer_list<Case> cases) {
    for (const Case& c : cases) EXPECT_EQ(Matches(entry, c.at), c.matches) << c.what << " at " << Text(c.at);
    CRecord::Delete(entry);
}

TEST(CSchFilterTest, EmptyEntryMatchesAlways) {
    RunTable(NewEntry({}), {
                               {"new year", At(2024, 1, 1, 0), true},
                               {"leap day", At(2024, 2, 29, 12, 30, 15), true},
                               {"last second", At(2999, 12, 31, 23, 59, 59), true},
                           });
}

TEST(CSchFilterTest, OfficeHoursOnWeekdays) {
    Conditions c;
    c.hour = "9-17";
    c.weekday = "1-5";
    RunTable(NewEntry(c), {
                              {"Monday opening", At(2024, 6, 3, 9), true},
                              {"Monday before", At(2024, 6, 3, 8, 59, 59), false},
                              {"Monday last second", At(2024, 6, 3, 17, 59, 59), true},
                              {"Monday closed", At(2024, 6, 3, 18), false},
                              {"Friday", At(2024, 6, 7, 12), true},
                              {"Saturday", At(2024, 6, 8, 12), false},
                              {"Sunday (7)", At(2024, 6, 9, 12), false},
                          });
}

// The night of Friday runs into Saturday: the hours after midnight count for the day before.
TEST(CSchFilterTest, FridayNightRunsIntoSaturday) {
    Conditions c;
    c.hour = "22-23|0-5";
    c.weekday = "5";
    RunTable(NewEntry(c), {
                              {"Friday 22:00", At(2024, 6, 7, 22), true},
                              {"Friday 21:59", At(2024, 6, 7, 21, 59, 59), false},
                              {"Saturday 00:00", At(2024, 6, 8, 0), true},
                              {"Saturday 05:59:59", At(2024, 6, 8, 5, 59, 59), true},
                              {"Saturday 06:00", At(2024, 6, 8, 6), false},
                              {"Friday 03:00 (Thursday's night)", At(2024, 6, 7, 3), false},
                              {"Saturday 22:00", At(2024, 6, 8, 22), false},
                              // The shift crosses a month end and a year end.
                              {"Saturday 1 June 02:00", At(2024, 6, 1, 2), true},
                              {"Friday 31 December 1999 23:00", At(1999, 12, 31, 23), true},
                              {"Saturday 1 January 2000 01:00", At(2000, 1, 1, 1), true},
                              {"Sunday 2 January 2000 01:00", At(2000, 1, 2, 1), false},
                          });
}

TEST(CSchFilterTest, DayConditions) {
    Conditions c31;
    c31.day = "31";
    RunTable(NewEntry(c31), {
                                {"January 31", At(2024, 1, 31, 10), true},
                                {"April 30", At(2024, 4, 30, 10), false},
                                {"May 31", At(2024, 5, 31, 10), true},
                                {"February 29", At(2024, 2, 29, 10), false},
                            });
    Conditions bar;
    bar.day = "1|";  // an empty shift part reads like none
    RunTable(NewEntry(bar), {
                                {"the 1st", At(2024, 3, 1, 0), true},
                                {"the 2nd", At(2024, 3, 2, 0), false},
                            });
    // Leap day just after midnight: the hour's shift moves 1 March back onto 29 February.
    Conditions leap;
    leap.month = "2";
    leap.day = "29";
    leap.hour = "|0";
    RunTable(NewEntry(leap),
             {
                 {"1 March 00:30 of a leap year", At(2024, 3, 1, 0, 30), true},
                 {"1 March 00:30 of a common year", At(2023, 3, 1, 0, 30), false},
                 {"29 February 00:30 itself", At(2024, 2, 29, 0, 30), false},  // shifts to the 28th
                 {"1 March 01:00", At(2024, 3, 1, 1), false},
             });
}

TEST(CSchFilterTest, ShiftListsOfEachField) {
    Conditions minute;
    minute.hour = "9";
    minute.minute = "|0-4";  // the first minutes of an hour belong to the hour before
    RunTable(NewEntry(minute), {
                                   {"10:02", At(2024, 6, 3, 10, 2), true},
                                   {"09:02", At(2024, 6, 3, 9, 2), false},
                                   {"10:05", At(2024, 6, 3, 10, 5), false},
                               });
    Conditions weekday;
    weekday.weekday = "|5";  // the weekday has no shift: an empty keep part matches nothing
    RunTable(NewEntry(weekday), {
                                    {"Friday", At(2024, 6, 7, 10), false},
                                    {"Saturday", At(2024, 6, 8, 10), false},
                                });
    Conditions year;
    year.year = "|2025";  // the year has no larger field: its shift keeps the candidate
    RunTable(NewEntry(year), {
                                 {"2025", At(2025, 3, 3, 10), true},
                                 {"2024", At(2024, 3, 3, 10), false},
                             });
    Conditions both;
    both.day = "1|1";  // in both lists: the candidate stays and a shifted copy is added
    both.month = "5";
    RunTable(NewEntry(both), {
                                 {"1 May", At(2024, 5, 1, 10), true},
                                 {"1 June (1 May shifted)", At(2024, 6, 1, 10), true},
                                 {"1 July", At(2024, 7, 1, 10), false},
                             });
}

TEST(CSchFilterTest, Periods) {
    const Period nightly{2, {0, 0, 22}, {0, 0, 6}};
    RunTable(NewEntry({}, {nightly}), {
                                          {"23:00", At(2024, 6, 3, 23), true},
                                          {"05:00", At(2024, 6, 4, 5), true},
                                          {"22:00", At(2024, 6, 3, 22), true},
                                          {"06:00", At(2024, 6, 4, 6), false},
                                          {"12:00", At(2024, 6, 3, 12), false},
                                      });
    // The morning part belongs to the evening before: Saturday 05:00 counts as Friday.
    Conditions friday;
    friday.weekday = "5";
    RunTable(NewEntry(friday, {nightly}), {
                                              {"Friday 23:00", At(2024, 6, 7, 23), true},
                                              {"Saturday 05:00", At(2024, 6, 8, 5), true},
                                              {"Friday 05:00", At(2024, 6, 7, 5), false},
                                          });
    RunTable(NewEntry({}, {Period{2, {0, 0, 8}, {0, 0, 8}}}), {
                                                                  {"08:00", At(2024, 6, 3, 8), false},
                                                                  {"12:00", At(2024, 6, 3, 12), false},
                                                              });
    // Weekly from Friday 22:00 to Monday 06:00 (weekday parts 1 Monday ... 7 Sunday).
    RunTable(NewEntry({}, {Period{3, {0, 0, 22, 5}, {0, 0, 6, 1}}}),
             {
                 {"Saturday noon", At(2024, 6, 8, 12), true},
                 {"Sunday", At(2024, 6, 9, 12), true},
                 {"Monday 05:00", At(2024, 6, 10, 5), true},
                 {"Monday 07:00", At(2024, 6, 10, 7), false},
                 {"Wednesday", At(2024, 6, 5, 12), false},
             });
    // Once, over a year end.
    RunTable(NewEntry({}, {Period{6, {0, 0, 23, 0, 31, 12, 2024}, {0, 0, 1, 0, 1, 1, 2025}}}),
             {
                 {"00:30 on New Year", At(2025, 1, 1, 0, 30), true},
                 {"22:00 on New Year's Eve", At(2024, 12, 31, 22), false},
                 {"a year later", At(2025, 12, 31, 23, 30), false},
             });
    // Monthly from the 28th to the 3rd: the first days count for the month before.
    Conditions february;
    february.month = "2";
    RunTable(NewEntry(february, {Period{4, {0, 0, 12, 0, 28}, {0, 0, 12, 0, 3}}}),
             {
                 {"1 March", At(2024, 3, 1, 10), true},
                 {"29 February", At(2024, 2, 29, 10), true},
                 {"29 March", At(2024, 3, 29, 10), false},
             });
    // Yearly over the leap day, and two periods: either accepts.
    RunTable(NewEntry({}, {Period{5, {0, 0, 12, 0, 28, 2}, {0, 0, 12, 0, 1, 3}}, Period{0, {10}, {20}}}),
             {
                 {"leap day", At(2024, 2, 29, 9), true},
                 {"seconds 10-19 of a minute", At(2024, 7, 1, 9, 0, 15), true},
                 {"neither", At(2024, 7, 1, 9, 0, 25), false},
             });
    // Missing parts read as their minimum: a daily period stored as hour only.
    RunTable(NewEntry({}, {Period{2, {}, {0, 0, 1}}}), {
                                                           {"00:30", At(2024, 6, 3, 0, 30), true},
                                                           {"01:00", At(2024, 6, 3, 1), false},
                                                       });
}

TEST(SchDateTimeTest, DecrementsAcrossBoundaries) {
    struct Case {
        const char* what;
        SchDateTime in;
        void (*dec)(SchDateTime&);
        SchDateTime out;
    };
    const Case cases[] = {
        {"minute over a leap day", At(2024, 3, 1, 0, 0), SchDateTime::DecMinute, At(2024, 2, 29, 23, 59)},
        {"minute within an hour", At(2024, 3, 1, 5, 30), SchDateTime::DecMinute, At(2024, 3, 1, 5, 29)},
        {"hour over a year end", At(2025, 1, 1, 0, 10), SchDateTime::DecHour, At(2024, 12, 31, 23, 10)},
        {"day over a common February", At(2023, 3, 1, 8), SchDateTime::DecDay, At(2023, 2, 28, 8)},
        {"day over April", At(2024, 5, 1, 8), SchDateTime::DecDay, At(2024, 4, 30, 8)},
        {"month from the 31st", At(2024, 3, 31, 8), SchDateTime::DecMonth, At(2024, 2, 29, 8)},
        {"month over a year end", At(2024, 1, 15, 8), SchDateTime::DecMonth, At(2023, 12, 15, 8)},
        {"year from a leap day", At(2024, 2, 29, 8), SchDateTime::DecYear, At(2023, 2, 28, 8)},
    };
    for (const Case& c : cases) {
        SchDateTime t = c.in;
        c.dec(t);
        EXPECT_EQ(Text(t), Text(c.out)) << c.what;
    }
    // Within the day DecMinute and DecHour leave the weekday as it was (no normalising).
    SchDateTime odd = At(2024, 6, 3, 10, 5);
    odd.weekday = 6;
    SchDateTime::DecMinute(odd);
    SchDateTime::DecHour(odd);
    EXPECT_EQ(odd.weekday, 6);
    // Normalize: a day past the month's end, month 0.
    SchDateTime feb{2024, 2, 30, 0, 0, 0, 0};
    SchDateTime::Normalize(feb);
    EXPECT_EQ(Text(feb), "2024-02-29 w4 00:00:00");
    SchDateTime zero{2024, 0, 15, 0, 0, 0, 0};
    SchDateTime::Normalize(zero);
    EXPECT_EQ(zero.month, 1);
}

class Matcher : public ::testing::Test {
protected:
    CRecordRef Schedule() { return h.Schedule(); }
    void Insert(uint32_t at, CRecord* entry) {
        ASSERT_TRUE(Schedule().InsertRecord(&editor, T::kSchdEntries, at, entry));
    }
    CRecordRef Entry(uint32_t n) { return CRecordRef(&(*Schedule()->GetRecordArray(T::kSchdEntries))[n]); }
    // The matcher agrees with one compiled afresh at each time.
    void ExpectFresh(const CSchMatcher& m, const char* what) {
        CSchMatcher fresh(Schedule());
        ASSERT_EQ(m.Count(), fresh.Count()) << what;
        for (int hour = 0; hour < 24; hour += 1)
            for (int day = 1; day <= 7; ++day)
                ASSERT_EQ(m.IndexOf(At(2024, 6, day, hour)), fresh.IndexOf(At(2024, 6, day, hour)))
                    << what << " day " << day << " hour " << hour;
    }

    UndoDocument doc;
    LHandler editor{&doc};
    CDocModelHolder h;
};

TEST_F(Matcher, FirstMatchingEntryWins) {
    Conditions office;
    office.hour = "9-17";
    Insert(0, NewEntry(office));
    Insert(1, NewEntry({}));
    CSchMatcher m(Schedule());
    EXPECT_EQ(m.IndexOf(At(2024, 6, 3, 10)), 0);
    EXPECT_EQ(m.IndexOf(At(2024, 6, 3, 20)), 1);
    CSchMatcher none(CRecordRef{});
    EXPECT_EQ(none.IndexOf(At(2024, 6, 3, 10)), -1);
}

TEST_F(Matcher, FollowsEditsThroughTheSetters) {
    CSchMatcher m(Schedule());
    const SchDateTime ten = At(2024, 6, 3, 10), eight = At(2024, 6, 3, 20);
    EXPECT_EQ(m.IndexOf(ten), -1);
    Conditions office;
    office.hour = "9-17";
    Insert(0, NewEntry(office, {}, "office"));
    EXPECT_EQ(m.IndexOf(ten), 0);
    EXPECT_EQ(m.IndexOf(eight), -1);
    Insert(0, NewEntry({}, {}, "always"));
    EXPECT_EQ(m.IndexOf(eight), 0);
    // A condition changed.
    ASSERT_TRUE(Entry(0).SetString(&editor, T::kScevHour, LString("20")));
    EXPECT_EQ(m.IndexOf(ten), 1);
    EXPECT_EQ(m.IndexOf(eight), 0);
    // A period appended, then its end moved by a part write.
    const int32_t p = USchedule::AppendPeriod(Entry(1), &editor, NewPeriod(Period{2, {0, 0, 9}, {0, 0, 11}}));
    ASSERT_EQ(p, 0);
    EXPECT_EQ(m.IndexOf(At(2024, 6, 3, 12)), -1);
    CRecordRef period(&(*Entry(1)->GetRecordArray(T::kScevPeriods))[0]);
    ASSERT_TRUE(CRecordHolder::SetDateTimePart(period, &editor, T::kScepEnd, 2, 13));
    EXPECT_EQ(m.IndexOf(At(2024, 6, 3, 12)), 1);
    Entry(1).DeleteElement(&editor, T::kScevPeriods, 0);
    EXPECT_EQ(m.IndexOf(At(2024, 6, 3, 16)), 1);
    // An entry removed.
    Schedule().DeleteElement(&editor, T::kSchdEntries, 0);
    EXPECT_EQ(m.IndexOf(eight), -1);
    EXPECT_EQ(m.IndexOf(ten), 0);
    // Undoing everything brings the empty schedule back, step by step.
    while (doc.queue.Perform(0)) ExpectFresh(m, "undo");
    EXPECT_EQ(m.Count(), 0u);
}

// Moving an entry within the list moves its filter with it.
TEST_F(Matcher, FollowsMoves) {
    Conditions office;
    office.hour = "9-17";
    Insert(0, NewEntry(office, {}, "office"));
    Insert(1, NewEntry({}, {}, "always"));
    CSchMatcher m(Schedule());
    EXPECT_EQ(m.IndexOf(At(2024, 6, 3, 20)), 1);
    Schedule().MoveRecord(&editor, T::kSchdEntries, 0, 2);  // office after always
    EXPECT_EQ(m.IndexOf(At(2024, 6, 3, 20)), 0);
    // Only the first entry matches now, whatever the time, as "always" leads.
    EXPECT_EQ(m.IndexOf(At(2024, 6, 3, 10)), 0);
    ASSERT_TRUE(Entry(1).SetString(&editor, T::kScevHour, LString("21")));  // the office entry, now at 1
    Schedule().MoveRecord(&editor, T::kSchdEntries, 1, 0);
    EXPECT_EQ(m.IndexOf(At(2024, 6, 3, 21)), 0);
    EXPECT_EQ(m.IndexOf(At(2024, 6, 3, 10)), 1);
    while (doc.queue.Perform(0)) ExpectFresh(m, "undo");
}

// A replaced schedule record is compiled anew; edits elsewhere leave the filters alone.
TEST_F(Matcher, ScheduleReplacedAsAWhole) {
    Insert(0, NewEntry({}));
    CSchMatcher m(Schedule());
    EXPECT_EQ(m.Count(), 1u);
    CRecord* root = h.Root();
    CRecord* fresh = CRecord::New(T::Type(T::kSCHD));
    ASSERT_NE(fresh, nullptr);
    CRecordRef(&root).DeleteSubRecord(&editor, T::kObmxSchedule, fresh);
    EXPECT_EQ(m.Count(), 0u);
    EXPECT_EQ(m.IndexOf(At(2024, 6, 3, 10)), -1);
    Insert(0, NewEntry({}));
    EXPECT_EQ(m.IndexOf(At(2024, 6, 3, 10)), 0);
}

// Random edits, inserts, removes and moves: the matcher always equals a fresh compile.
TEST_F(Matcher, RandomEditsAgreeWithAFreshCompile) {
    CSchMatcher m(Schedule());
    std::mt19937 rng(36);
    const char* hours[] = {"", "9-17", "22-23|0-5", "|0-3", "0-11", "12-23", "5"};
    const char* weekdays[] = {"", "1-5", "6,7", "3", "|2"};
    for (int step = 0; step < 300; ++step) {
        const uint32_t count = Schedule()->ArrayCount(T::kSchdEntries);
        switch (rng() % 6) {
            case 0:
            case 1: {
                Conditions c;
                c.hour = hours[rng() % 7];
                c.weekday = weekdays[rng() % 5];
                Insert(count ? rng() % (count + 1) : 0, NewEntry(c));
                break;
            }
            case 2:
                if (count) Schedule().DeleteElement(&editor, T::kSchdEntries, rng() % count);
                break;
            case 3:
                if (count)
                    Schedule().MoveRecord(&editor, T::kSchdEntries, rng() % count, rng() % (count + 1));
                break;
            case 4:
                if (count) {
                    ASSERT_TRUE(Entry(rng() % count)
                                    .SetString(&editor, T::kScevWeekday, LString(weekdays[rng() % 5])));
                }
                break;
            default:
                if (count) {
                    const uint32_t from = rng() % 24, to = rng() % 24;
                    (void)USchedule::AppendPeriod(Entry(rng() % count), &editor,
                                                  NewPeriod(Period{2, {0, 0, from}, {0, 0, to}}));
                }
                break;
        }
        if (step % 10 == 0) ExpectFresh(m, "edit");
    }
    ExpectFresh(m, "end");
}

}  // namespace
