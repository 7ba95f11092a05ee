#include <gtest/gtest.h>

#include <string>

#include "Orbilume/CSources/Led/UDimNaming.h"

namespace {

TEST(UDimNaming, KeepsNameBytesAndReplacesTheRest) {
    struct Case {
        std::string typed, clean;
    } cases[] = {
        {"my/led:1", "my_led_1"},
        {"Strip (RGB) - 2_a", "Strip (RGB) - 2_a"},
        {"\xC3\xA9", "\xC3\xA9"},  // é kept
        {"..", "__"},
        {"", ""},
        {std::string("a\0b", 3), "a_b"},
        {"tab\there\n", "tab_here_"},
        {"*?<>|\"'.,", "_________"},
    };
    for (const Case& c : cases) EXPECT_EQ(UDimNaming::Clean(c.typed), c.clean) << c.typed;
}

TEST(UDimNaming, LongNamesStopAtACharacterBoundary) {
    EXPECT_EQ(UDimNaming::Clean(std::string(300, 'x')), std::string(255, 'x'));
    // 254 ASCII bytes and a two-byte é: the é would be cut in half, so it goes whole.
    const std::string typed = std::string(254, 'x') + "\xC3\xA9" + "yz";
    EXPECT_EQ(UDimNaming::Clean(typed), std::string(254, 'x'));
    const std::string fits = std::string(253, 'x') + "\xC3\xA9" + "yz";
    EXPECT_EQ(UDimNaming::Clean(fits), std::string(253, 'x') + "\xC3\xA9");
}

}  // namespace
