#include <gtest/gtest.h>

#include <string>

#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/String/UnicodeDecomp.h"

namespace {

std::string Decompose(const std::string& in, bool expectOk = true) {
    LVariStr<64> out;
    EXPECT_EQ(UnicodeDecomp::DecomposeUtf8(reinterpret_cast<const unsigned char*>(in.data()),
                                           static_cast<uint32_t>(in.size()), out),
              expectOk);
    return std::string(out.CStr(), out.Length());
}

TEST(UnicodeDecompTest, DecomposesAndOrdersMarks) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"plain ascii", "plain ascii"},
        {"\xC3\xA9", "e\xCC\x81"},                                 // é
        {"\xEA\xB0\x81", "\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8"},  // AC01: 1100 1161 11A8
        {"\xEA\xB0\x80", "\xE1\x84\x80\xE1\x85\xA1"},              // AC00: no trailing consonant
        {"a\xCC\x81\xCC\xA3", "a\xCC\xA3\xCC\x81"},                // 230 then 220: 220 first
        {"\xE1\xBA\xA5", "a\xCC\x82\xCC\x81"},                     // recursive: ấ
        {"\xC7\x96\xCC\xA3", "u\xCC\xA3\xCC\x88\xCC\x84"},         // ǖ + dot below reordered
        {"\xF0\x9D\x85\x9E", "\xF0\x9D\x85\x97\xF0\x9D\x85\xA5"},  // astral: 1D15E
        {"\xEF\xAC\x81", "\xEF\xAC\x81"},                          // compatibility only: unchanged
    };
    for (const Case& c : cases) EXPECT_EQ(Decompose(c.in), c.out) << c.in;
}

// A long run of marks of alternating classes is ordered in one stable sort, not mark by mark.
TEST(UnicodeDecompTest, LongRunsOfMarks) {
    std::string in = "a", want = "a";
    for (int i = 0; i < 100000; ++i) in += "\xCC\x81\xCC\xA3";  // classes 230, 220
    for (int i = 0; i < 100000; ++i) want += "\xCC\xA3";
    for (int i = 0; i < 100000; ++i) want += "\xCC\x81";
    EXPECT_EQ(Decompose(in + "b"), want + "b");
}

TEST(UnicodeDecompTest, StopsAtDecodingErrors) {
    EXPECT_EQ(Decompose("\xC3\xA9x\xFFy", false), "e\xCC\x81x");
    EXPECT_EQ(Decompose("a\xED\xA0\x80", false), "a");  // encoded surrogate
}

TEST(UnicodeDecompTest, CombiningClasses) {
    EXPECT_EQ(UnicodeDecomp::CombiningClass('a'), 0);
    EXPECT_EQ(UnicodeDecomp::CombiningClass(0x301), 230);
    EXPECT_EQ(UnicodeDecomp::CombiningClass(0x323), 220);
    EXPECT_EQ(UnicodeDecomp::CombiningClass(0x1D165), 216);
    EXPECT_STREQ(UnicodeDecomp::Version(), "14.0.0");
}

}  // namespace
