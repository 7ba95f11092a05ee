#include <gtest/gtest.h>

#include "Lib3/LSources/String/ParseInt64Decimal.h"

namespace {

TEST(ParseInt64DecimalTest, Cases) {
    struct Case {
        const char* text;
        bool ok;
        int64_t value;
        int consumed;
    } cases[] = {
        {"123", true, 123, 3},
        {" \t\n-42z", true, -42, 6},
        {"+7", true, 7, 2},
        {"\x01\x20"
         "9",
         true, 9, 3},  // bytes 1 to 32 are skipped
        {"9223372036854775807", true, INT64_MAX, 19},
        {"-9223372036854775808", true, INT64_MIN, 20},
        {"18446744073709551617", true, 1, 20},  // wraps, no overflow check
        {"-", false, 0, 0},
        {"+-1", false, 0, 0},
        {"x1", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const Case& c : cases) {
        const char* p = c.text;
        int64_t value = -99;
        EXPECT_EQ(ParseInt64Decimal(p, value), c.ok) << c.text;
        EXPECT_EQ(p - c.text, c.consumed) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : -99) << c.text;
    }
    const char* none = nullptr;
    int64_t value = 0;
    EXPECT_FALSE(ParseInt64Decimal(none, value));
}

}  // namespace
