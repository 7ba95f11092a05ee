#include <gtest/gtest.h>

#include <cmath>

#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/Mac/UDate.h"

namespace {

TEST(UDateTest, GregorianOfKnownTimes) {
    struct Case {
        double t;
        int year, month, day, hour, minute;
        double second;
        int dayOfWeek;
    };
    const Case cases[] = {
        {0, 2001, 1, 1, 0, 0, 0, 1},
        {-1.5, 2000, 12, 31, 23, 59, 58.5, 7},
        {86400.0 * 59 + 3661.75, 2001, 3, 1, 1, 1, 1.75, 4},
        {-3187296000.0, 1900, 1, 1, 0, 0, 0, 1},
        {3155673600.0 - 1, 2100, 12, 31, 23, 59, 59, 5},
        {4107542400.0, 2131, 3, 2, 0, 0, 0, 5},
    };
    for (const Case& c : cases) {
        const SGregorianDate g = UDate::GregorianOf(c.t);
        EXPECT_EQ(g.year, c.year) << c.t;
        EXPECT_EQ(g.month, c.month) << c.t;
        EXPECT_EQ(g.day, c.day) << c.t;
        EXPECT_EQ(g.hour, c.hour) << c.t;
        EXPECT_EQ(g.minute, c.minute) << c.t;
        EXPECT_DOUBLE_EQ(g.second, c.second) << c.t;
        EXPECT_EQ(g.dayOfWeek, c.dayOfWeek) << c.t;
    }
    // Nonsense input gives a valid date, not undefined behaviour.
    EXPECT_EQ(UDate::GregorianOf(NAN).year, 2001);
    EXPECT_GT(UDate::GregorianOf(1e300).year, 2001);
}

TEST(UDateTest, TextForms) {
    SGregorianDate g;
    g.year = 12345;
    g.month = 3;
    g.day = 7;
    g.hour = 4;
    g.minute = 5;
    g.second = 6.99;
    LVariStr<64> out;
    UDate::AppendDateText(out, g);
    out.Append(" ");
    UDate::AppendTimeText(out, g);
    EXPECT_STREQ(out.CStr(), "2345-03-07 04:05:06");
}

TEST(UDateTest, NowIsNearTheSystemClock) {
    const double unix = static_cast<double>(time(nullptr));
    EXPECT_NEAR(UDate::Now() + UDate::kUnixEpochOffset, unix, 2.0);
}

}  // namespace
