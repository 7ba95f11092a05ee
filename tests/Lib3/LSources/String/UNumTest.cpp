#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <string>

#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/String/UNum.h"
#include "Lib3/LSources/String/UWord.h"

namespace {

const unsigned char* U(const char* s) {
    return reinterpret_cast<const unsigned char*>(s);
}

TEST(UNum, Readers) {
    EXPECT_EQ(UNum::ToInt(static_cast<const unsigned char*>(nullptr)), 0);
    EXPECT_EQ(UNum::ToInt(U(" -12abc")), -12);
    EXPECT_EQ(UNum::ToUInt(U("4294967295")), 4294967295u);
    EXPECT_EQ(UNum::ToHex(U("ff")), 255u);
    EXPECT_EQ(UNum::ToPrefixedInt(U("0x10")), 16);
    EXPECT_EQ(UNum::ToPrefixedInt(U("010")), 8);
    EXPECT_EQ(UNum::ToPrefixedInt(U("10")), 10);
    EXPECT_DOUBLE_EQ(UNum::ToFloat(U("2.5e1x")), 25.0);
    EXPECT_EQ(UNum::ToInt64(U("  -9000000000")), -9000000000);
    EXPECT_EQ(UNum::ToInt64(U("x")), 0);
    EXPECT_EQ(UNum::ToInt64(nullptr), 0);
}

TEST(UNum, IntListDropsFractions) {
    int64_t v[8] = {};
    ASSERT_EQ(UNum::ReadIntList(U("1 2.5 3"), v, 8), 3);
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[1], 2);
    EXPECT_EQ(v[2], 3);
    EXPECT_EQ(UNum::ReadIntList(U("1 x 2"), v, 8), 1);
    EXPECT_EQ(UNum::ReadIntList(U("4 5 6 7"), v, 2), 2);
    EXPECT_EQ(UNum::ReadIntList(U("4 5 6 7"), nullptr, 0), 4);  // counts without storing
    EXPECT_EQ(UNum::ReadIntList(U("1 2\n3"), v, 8), 2);         // one line
    EXPECT_EQ(UNum::ReadIntList(nullptr, v, 8), 0);
}

TEST(UNum, IntListKeepsSixtyFourBitValues) {
    int64_t v[4] = {};
    ASSERT_EQ(UNum::ReadIntList(U("5000000000 -5000000000 9223372036854775807 -9223372036854775808"), v, 4),
              4);
    EXPECT_EQ(v[0], 5000000000);
    EXPECT_EQ(v[1], -5000000000);
    EXPECT_EQ(v[2], INT64_MAX);
    EXPECT_EQ(v[3], INT64_MIN);
    // Past 64 bits the value wraps, as it always has past the reader's width.
    ASSERT_EQ(UNum::ReadIntList(U("18446744073709551617"), v, 1), 1);
    EXPECT_EQ(v[0], 1);
}

TEST(UNum, DoubleListStopsAtFirstNonNumber) {
    double v[8] = {};
    ASSERT_EQ(UNum::ReadDoubleList(U("0.5 -3 1e+20 abc 4"), v, 8), 3);
    EXPECT_DOUBLE_EQ(v[0], 0.5);
    EXPECT_DOUBLE_EQ(v[1], -3);
    EXPECT_DOUBLE_EQ(v[2], 1e20);
    EXPECT_EQ(UNum::ReadDoubleList(U(""), v, 8), 0);
}

// Number text must not follow the user's locale: a German locale writes "2,5" through printf.
class GermanLocale : public ::testing::Test {
protected:
    void SetUp() override {
        fSaved = std::setlocale(LC_ALL, nullptr);
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    }
    void TearDown() override { std::setlocale(LC_ALL, fSaved.c_str()); }

private:
    std::string fSaved;
};

TEST_F(GermanLocale, NumbersFormatAndParseAsInC) {
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 2.5);
    ASSERT_STREQ(probe, "2,5");  // the locale is really in effect

    EXPECT_STREQ(UWord::FloatSuppress(2.5, 3).CStr(), "2.5");
    EXPECT_STREQ(UWord::Float(-1234.25, 2).CStr(), "-1234.25");
    EXPECT_STREQ(UWord::Decimal(1234567).CStr(), "1234567");
    EXPECT_DOUBLE_EQ(UNum::ToFloat(U("2.5")), 2.5);
    const double doubles[] = {0.25, 1.5};
    LVariStr<64> s;
    UWord::DoubleList(doubles, 2, s);
    EXPECT_STREQ(s.CStr(), "0.25 1.5 ");
    double back[2] = {};
    ASSERT_EQ(UNum::ReadDoubleList(s.Text(), back, 2), 2);
    EXPECT_DOUBLE_EQ(back[1], 1.5);
}

}  // namespace
