#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Platform/Foundation/TextEncoding.h"
#include "tests/support/TempDir.h"

namespace {

std::string RunIconv(const char* args, const std::string& input) {
    testsupport::TempDir dir;
    dir.Write("in", input);
    std::string cmd = std::string("iconv ") + args + " " + dir.File("in");
    FILE* pipe = popen(cmd.c_str(), "r");
    if (!pipe) return std::string();
    std::string out;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    pclose(pipe);
    return out;
}

std::string AllBytes() {
    std::string s;
    for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
    return s;
}

TEST(TextEncodingPeerTest, MacRomanAgreesWithIconv) {
    // iconv's reading of every byte encodes back to the same bytes with our table.
    std::string iconvUtf8 = RunIconv("-f MACINTOSH -t UTF-8", AllBytes());
    std::u16string units;
    ASSERT_TRUE(
        plat::DecodeUtf8(reinterpret_cast<const uint8_t*>(iconvUtf8.data()), iconvUtf8.size(), units));
    ASSERT_EQ(units.size(), 256u);
    std::string ours;
    EXPECT_TRUE(plat::EncodeMacRoman(units.data(), units.size(), ours));
    EXPECT_EQ(ours, AllBytes());

    // Our reading encodes back through iconv. iconv keeps older code points for the increment
    // sign (0xC6) and the Apple logo (0xF0), which it cannot encode from the current ones.
    std::u16string decoded;
    std::string all = AllBytes();
    plat::DecodeMacRoman(reinterpret_cast<const uint8_t*>(all.data()), all.size(), decoded);
    std::string utf8, expected;
    for (int b = 0; b < 256; ++b) {
        if (b == 0xC6 || b == 0xF0) continue;
        plat::EncodeUtf8(&decoded[b], 1, utf8);
        expected += static_cast<char>(b);
    }
    EXPECT_EQ(RunIconv("-f UTF-8 -t MACINTOSH", utf8), expected);
}

}  // namespace
