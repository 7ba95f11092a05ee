#include <gtest/gtest.h>

#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreUI/CSchEvent.h"

namespace {

SchDateTime At(uint8_t hour, uint8_t minute = 0, uint8_t second = 0, uint8_t weekday = 0, uint8_t day = 1,
               uint8_t month = 1, uint16_t year = 2024) {
    SchDateTime d;
    d.year = year;
    d.month = month;
    d.day = day;
    d.weekday = weekday;
    d.hour = hour;
    d.minute = minute;
    d.second = second;
    return d;
}

TEST(CSchEventTest, DefaultIsAnEmptyMinutePeriodIn2020) {
    CSchEvent e;
    EXPECT_EQ(e.Kind(), 0);
    EXPECT_EQ(e.Start().year, 2020);
    EXPECT_EQ(e.Start().month, 1);
    EXPECT_EQ(e.Start().day, 1);
    EXPECT_EQ(e.Start().weekday, 3);  // 2020-01-01 was a Wednesday
    EXPECT_FALSE(e.Wraps());
    EXPECT_TRUE(e.Same());
    EXPECT_EQ(e.Match(At(0)), CSchEvent::kNoMatch);
}

TEST(CSchEventTest, PeriodTable) {
    struct Case {
        const char* what;
        uint8_t kind;
        SchDateTime start, end, now;
        bool wraps, same;
        int match;
    };
    const Case cases[] = {
        {"daily, start included", 2, At(8), At(17), At(8), false, false, 1},
        {"daily, end excluded", 2, At(8), At(17), At(17), false, false, 0},
        {"daily wrap, evening part", 2, At(22), At(2), At(23), true, false, 1},
        {"daily wrap, after midnight", 2, At(22), At(2), At(1), true, false, 2},
        {"daily wrap, outside", 2, At(22), At(2), At(12), true, false, 0},
        {"weekly wrap answers 1 after the turn", 3, At(22, 0, 0, 6), At(2, 0, 0, 0), At(1, 0, 0, 0), true,
         false, 1},
        {"weekly wrap, outside", 3, At(22, 0, 0, 6), At(2, 0, 0, 0), At(12, 0, 0, 3), true, false, 0},
        {"weekly same whatever the day", 3, At(9, 0, 0, 2, 5), At(9, 0, 0, 2, 20, 7), At(9, 0, 0, 2), false,
         true, 0},
        {"hourly", 1, At(0, 10), At(0, 20), At(5, 15), false, false, 1},
        {"minute wrap", 0, At(0, 0, 50), At(0, 0, 10), At(3, 4, 5), true, false, 2},
        {"monthly", 4, At(0, 0, 0, 0, 10), At(0, 0, 0, 0, 20), At(12, 0, 0, 0, 15, 9), false, false, 1},
        {"yearly wrap", 5, At(0, 0, 0, 0, 1, 12), At(0, 0, 0, 0, 1, 2), At(0, 0, 0, 0, 15, 1), true, false,
         2},
        {"once, before", 6, At(0, 0, 0, 0, 1, 1, 2025), At(0, 0, 0, 0, 1, 1, 2026), At(0), false, false, 0},
        {"once, inside", 6, At(0, 0, 0, 0, 1, 1, 2024), At(0, 0, 0, 0, 1, 1, 2026), At(5), false, false, 1},
        {"equal start and end never matches", 2, At(9), At(9), At(9), false, true, 0},
        {"kind above 6 never matches", 7, At(8), At(17), At(9), false, true, 0},
    };
    for (const Case& c : cases) {
        CSchEvent e;
        e.Load(c.kind, c.start, c.end);
        EXPECT_EQ(e.Wraps(), c.wraps) << c.what;
        EXPECT_EQ(e.Same(), c.same) << c.what;
        EXPECT_EQ(e.Match(c.now), c.match) << c.what;
    }
}

TEST(CSchEventTest, ReadDateTimeAppliesMinimaAndWeekdayModulo) {
    const uint32_t parts[7] = {5, 6, 7, 9, 0, 0, 2024};
    SchDateTime d;
    CSchEvent::ReadDateTime(parts, 7, d);
    EXPECT_EQ(d.second, 5);
    EXPECT_EQ(d.minute, 6);
    EXPECT_EQ(d.hour, 7);
    EXPECT_EQ(d.weekday, 2);  // 9 modulo 7
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.year, 2024);

    CSchEvent::ReadDateTime(parts, 2, d);  // short array: minima from the hour on
    EXPECT_EQ(d.minute, 6);
    EXPECT_EQ(d.hour, 0);
    EXPECT_EQ(d.weekday, 1);
    EXPECT_EQ(d.year, 0);
    EXPECT_EQ(GetDateTimePart(parts, 7, 7), 0u);
}

// A period record as the document stores it: kind byte, start and end arrays.
const SFieldDesc kPeriodFields[] = {
    SFieldDesc::Byte(Fcc("rang")),
    SFieldDesc::Array(Fcc("strt"), kElemUInt),
    SFieldDesc::Array(Fcc("endp"), kElemUInt),
    SFieldDesc::Array(Fcc("bytv"), kElemByte),
    SFieldDesc::String(Fcc("name")),
};
CRecordType gPeriodType(Fcc("TEST"), Fcc("SCEP"), kPeriodFields);

TEST(CSchEventTest, LoadsAPeriodRecord) {
    CRecord* record = CRecord::New(&gPeriodType);
    ASSERT_NE(record, nullptr);
    CRecordRef ref(&record);
    const uint32_t start[7] = {0, 0, 22, 9, 0, 0, 2024};
    const uint32_t end[3] = {0, 0, 2};  // short: the other parts read as their minima
    ASSERT_TRUE(ref.SetByte(nullptr, 0, CSchEvent::kEveryDay));
    ASSERT_TRUE(ref.SetArray(nullptr, 1, start, 7));
    ASSERT_TRUE(ref.SetArray(nullptr, 2, end, 3));
    CSchEvent e;
    e.Load(ref);
    EXPECT_EQ(e.Kind(), CSchEvent::kEveryDay);
    EXPECT_EQ(e.Start().hour, 22);
    EXPECT_EQ(e.Start().weekday, 2);
    EXPECT_EQ(e.End().hour, 2);
    EXPECT_EQ(e.End().day, 1);
    EXPECT_TRUE(e.Wraps());
    EXPECT_FALSE(e.Same());

    EXPECT_EQ(CRecordHolder::GetDateTimePart(ref, 2, kSchMonth), 1u);
    EXPECT_EQ(CRecordHolder::GetDateTimePart(ref, 1, kSchYear), 2024u);
    EXPECT_EQ(CRecordHolder::GetDateTimePart(ref, 1, 7), 0u);
    const uint8_t bytes[5] = {1, 2, 3, 0, 0};
    ASSERT_TRUE(ref.SetArray(nullptr, 3, bytes, 5));
    EXPECT_EQ(CRecordHolder::GetDateTimePart(ref, 3, kSchHour), 3u);
    EXPECT_EQ(CRecordHolder::GetDateTimePart(ref, 3, kSchDay), 1u);
    EXPECT_EQ(CRecordHolder::GetDateTimePart(ref, 4, kSchDay), 1u);    // not an array
    EXPECT_EQ(CRecordHolder::GetDateTimePart(ref, 40, kSchHour), 0u);  // no such field
    CRecord* none = nullptr;
    EXPECT_EQ(CRecordHolder::GetDateTimePart(CRecordRef(&none), 1, kSchWeekday), 1u);
    CRecord::Delete(record);
}

// Writing a part grows a short array with zeros first; other fields and parts are refused.
TEST(CSchEventTest, SetDateTimePartGrowsTheArray) {
    CRecord* record = CRecord::New(&gPeriodType);
    ASSERT_NE(record, nullptr);
    CRecordRef ref(&record);
    const uint32_t two[2] = {5, 6};
    ASSERT_TRUE(ref.SetArray(nullptr, 2, two, 2));
    ASSERT_TRUE(CRecordHolder::SetDateTimePart(ref, nullptr, 2, kSchMonth, 9));
    ASSERT_EQ(record->ArrayCount(2), 6u);
    const auto* v = static_cast<const uint32_t*>(record->ArrayData(2));
    EXPECT_EQ(v[0], 5u);
    EXPECT_EQ(v[1], 6u);
    EXPECT_EQ(v[2], 0u);
    EXPECT_EQ(v[4], 0u);
    EXPECT_EQ(v[5], 9u);
    EXPECT_EQ(CRecordHolder::GetDateTimePart(ref, 2, kSchDay), 1u);  // the zero reads as its minimum
    ASSERT_TRUE(CRecordHolder::SetDateTimePart(ref, nullptr, 2, kSchMinute, 30));
    EXPECT_EQ(record->ArrayCount(2), 6u);
    EXPECT_EQ(CRecordHolder::GetDateTimePart(ref, 2, kSchMinute), 30u);
    EXPECT_FALSE(CRecordHolder::SetDateTimePart(ref, nullptr, 2, 7, 1));  // no part 7
    EXPECT_FALSE(CRecordHolder::SetDateTimePart(ref, nullptr, 3, 0, 1));  // a byte array
    EXPECT_FALSE(CRecordHolder::SetDateTimePart(ref, nullptr, 0, 0, 1));  // not an array
    CRecord::Delete(record);
}

TEST(SchDateTimeTest, NormalizeClampsAndComputesWeekday) {
    struct Case {
        SchDateTime in;
        SchDateTime out;
    };
    const Case cases[] = {
        {At(30, 70, 99, 0, 31, 2, 2023), At(23, 59, 59, 2, 28, 2, 2023)},
        {At(0, 0, 0, 0, 31, 2, 2024), At(0, 0, 0, 4, 29, 2, 2024)},
        {At(0, 0, 0, 0, 30, 2, 1900), At(0, 0, 0, 3, 28, 2, 1900)},
        {At(0, 0, 0, 0, 29, 2, 2000), At(0, 0, 0, 2, 29, 2, 2000)},
        {At(0, 0, 0, 0, 0, 0, 2001), At(0, 0, 0, 1, 1, 1, 2001)},
        {At(0, 0, 0, 0, 40, 13, 2099), At(0, 0, 0, 4, 31, 12, 2099)},
    };
    for (const Case& c : cases) {
        SchDateTime d = c.in;
        SchDateTime::Normalize(d);
        EXPECT_EQ(d.year, c.out.year);
        EXPECT_EQ(d.month, c.out.month);
        EXPECT_EQ(d.day, c.out.day);
        EXPECT_EQ(d.weekday, c.out.weekday) << d.year << "-" << int(d.month) << "-" << int(d.day);
        EXPECT_EQ(d.hour, c.out.hour);
        EXPECT_EQ(d.minute, c.out.minute);
        EXPECT_EQ(d.second, c.out.second);
    }
}

}  // namespace
