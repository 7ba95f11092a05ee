#include <gtest/gtest.h>

#include <cctype>

#include "Lib3/LSources/String/HexDigitValue.h"

namespace {

TEST(HexDigitValueTest, EveryHexDigitAgreesWithStrtol) {
    for (int c = 0; c < 256; ++c) {
        if (!std::isxdigit(c)) continue;
        const char text[2] = {static_cast<char>(c), 0};
        EXPECT_EQ(HexDigitValue(static_cast<unsigned char>(c)), std::strtol(text, nullptr, 16)) << c;
    }
}

}  // namespace
