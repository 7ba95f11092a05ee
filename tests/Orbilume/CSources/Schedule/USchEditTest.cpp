#include <gtest/gtest.h>

#include <string>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Orbilume/CSources/Schedule/USchEdit.h"
#include "tests/Orbilume/CSources/Document/ScheduleTestSupport.h"
#include "tests/Orbilume/CSources/Document/ShowTestSupport.h"

using namespace showtest;
using namespace schedtest;

namespace {

TEST(USchEditTest, WeekListText) {
    struct Case {
        const char* condition;
        uint8_t mask;
    };
    const Case cases[] = {
        {"5,", 0x10},  {"1-5", 0x1F},   {"", 0},      {"7", 0x40},    {"0,8-9", 0}, {"6-7", 0x60},
        {"5-3", 0x10}, {"1 - 3", 0x05}, {"|5", 0x10}, {"1-99", 0x7F},  // the whole text, as typed
    };
    for (const Case& c : cases) EXPECT_EQ(USchEdit::WeekMaskOf(LString(c.condition)), c.mask) << c.condition;
    EXPECT_STREQ(USchEdit::WeekTextOf(0x05).CStr(), "1,3,");
    EXPECT_STREQ(USchEdit::WeekTextOf(0x10).CStr(), "5,");
    EXPECT_STREQ(USchEdit::WeekTextOf(0x7F).CStr(), "1,2,3,4,5,6,7,");
    EXPECT_STREQ(USchEdit::WeekTextOf(0).CStr(), "");
    for (uint32_t mask = 0; mask < 128; ++mask)
        EXPECT_EQ(USchEdit::WeekMaskOf(USchEdit::WeekTextOf(static_cast<uint8_t>(mask))), mask);
}

TEST(USchEditTest, DayLimitedPerKind) {
    struct Case {
        uint8_t kind;
        uint32_t year, month, day, expected;
    };
    const Case cases[] = {
        {6, 2024, 9, 31, 30}, {6, 2023, 2, 31, 28}, {6, 2024, 2, 31, 29}, {6, 2000, 2, 30, 29},
        {6, 1900, 2, 29, 28}, {5, 2023, 2, 31, 29}, {5, 2024, 4, 31, 30}, {5, 2024, 12, 31, 31},
        {4, 2024, 2, 31, 31}, {2, 2024, 9, 31, 31}, {6, 2024, 9, 15, 15},
    };
    for (const Case& c : cases) {
        USchEdit::Fields f;
        f.year = c.year;
        f.month = c.month;
        f.day = c.day;
        EXPECT_EQ(USchEdit::LimitDay(c.kind, f), c.expected)
            << int(c.kind) << " " << c.year << "-" << c.month;
    }
}

class PeriodEdit : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            h.Schedule().InsertRecord(nullptr, T::kSchdEntries, 0, NewEntry({}, {Period{2, {}, {}}})));
    }
    CRecordRef PeriodRef() {
        CRecord* entry = h.Schedule()->GetElement(T::kSchdEntries, 0);
        return CRecordRef(&(*entry->GetRecordArray(T::kScevPeriods))[0]);
    }
    std::string Stored(uint32_t field) {
        std::string out;
        const CRecord* p = PeriodRef().Get();
        const auto* v = static_cast<const uint32_t*>(p->ArrayData(field));
        for (uint32_t i = 0; i < p->ArrayCount(field); ++i) out += std::to_string(v[i]) + " ";
        return out;
    }
    static USchEdit::Fields At(uint32_t y, uint32_t mo, uint32_t d, uint32_t h, uint32_t mi, uint32_t s) {
        USchEdit::Fields f;
        f.year = y;
        f.month = mo;
        f.day = d;
        f.hour = h;
        f.minute = mi;
        f.second = s;
        return f;
    }

    UndoDocument doc;
    LHandler editor{&doc};
    CDocModelHolder h;
};

// A one-off period on 31 September stores the 30th; a yearly one on 31 February the 29th.
TEST_F(PeriodEdit, WritingAnEndLimitsTheDay) {
    ASSERT_TRUE(PeriodRef().SetByte(&editor, T::kScepRange, 6));
    USchEdit::WriteEnd(PeriodRef(), &editor, T::kScepStart, At(2024, 9, 31, 8, 30, 5));
    EXPECT_EQ(Stored(T::kScepStart), "5 30 8 0 30 9 2024 ");  // the weekday part stays as grown
    ASSERT_TRUE(PeriodRef().SetByte(&editor, T::kScepRange, 5));
    USchEdit::WriteEnd(PeriodRef(), &editor, T::kScepEnd, At(2023, 2, 31, 0, 0, 0));
    EXPECT_EQ(Stored(T::kScepEnd), "0 0 0 0 29 2 2023 ");
    USchEdit::WriteWeekday(PeriodRef(), &editor, T::kScepEnd, 4);  // Friday
    EXPECT_EQ(Stored(T::kScepEnd), "0 0 0 5 29 2 2023 ");
    // Each write is one undo step.
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Stored(T::kScepEnd), "0 0 0 0 29 2 2023 ");
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Stored(T::kScepEnd), "");
}

// Choosing a kind rewrites the kind and both ends, undone in one step.
TEST_F(PeriodEdit, ChoosingAKindIsOneUndoStep) {
    USchEdit::ChooseKind(PeriodRef(), &editor, 0, At(2024, 9, 31, 22, 0, 0), At(2024, 10, 1, 6, 0, 0));
    EXPECT_EQ(PeriodRef()->GetByte(T::kScepRange), 6);
    EXPECT_EQ(Stored(T::kScepStart), "0 0 22 0 30 9 2024 ");
    EXPECT_EQ(Stored(T::kScepEnd), "0 0 6 0 1 10 2024 ");
    USchEdit::ChooseKind(PeriodRef(), &editor, 6, At(2024, 9, 31, 22, 0, 0), At(2024, 10, 1, 6, 0, 0));
    EXPECT_EQ(PeriodRef()->GetByte(T::kScepRange), 0);
    EXPECT_EQ(Stored(T::kScepStart), "0 0 22 0 31 9 2024 ");  // kind 0 leaves the day
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(PeriodRef()->GetByte(T::kScepRange), 6);
    EXPECT_EQ(Stored(T::kScepStart), "0 0 22 0 30 9 2024 ");
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(PeriodRef()->GetByte(T::kScepRange), 2);
    EXPECT_EQ(Stored(T::kScepStart), "");
    EXPECT_EQ(Stored(T::kScepEnd), "");
    EXPECT_FALSE(doc.queue.Perform(0));
    USchEdit::ChooseKind(PeriodRef(), &editor, 7, {}, {});  // no such item
    EXPECT_EQ(PeriodRef()->GetByte(T::kScepRange), 2);
}

TEST(USchEditTest, TestWindowDateAndPlaces) {
    SchDateTime t = USchEdit::TestDateTime(2024, 2, 31, 3, 0, 0);
    EXPECT_EQ(t.day, 29);
    EXPECT_EQ(t.weekday, 4);
    t = USchEdit::TestDateTime(2024, 6, 8, 3, 0, 0);
    EXPECT_EQ(t.weekday, 6);  // Saturday
    t = USchEdit::TestDateTime(70000, 13, 0, 99, 99, 99);
    EXPECT_EQ(t.year, 65535);
    EXPECT_EQ(t.month, 12);
    EXPECT_EQ(t.day, 1);
    EXPECT_EQ(t.hour, 23);
    EXPECT_EQ(t.second, 59);

    CRecord* set = CRecord::New(&CParamSet::SetType());
    CRecordRef ref(&set);
    CLRect place{1, 2, 3, 4};
    EXPECT_FALSE(USchEdit::ReadPlace(ref, "schplc", place));  // absent
    USchEdit::StorePlace(set, "schplc", {10, 20, 410, 320});
    ASSERT_TRUE(USchEdit::ReadPlace(ref, "schplc", place));
    EXPECT_EQ(place, (CLRect{10, 20, 410, 320}));
    for (const char* bad : {"0 0 0 0", "100 20 10 320", "10 300 410 20", "10 20 10 320", "1 2 3"}) {
        CParamSet::SetString(ref, nullptr, LString("tstplc"), LString(bad));
        CLRect keep{1, 2, 3, 4};
        EXPECT_FALSE(USchEdit::ReadPlace(ref, "tstplc", keep)) << bad;
        EXPECT_EQ(keep, (CLRect{1, 2, 3, 4}));
    }
    CRecord::Delete(set);
}

}  // namespace
