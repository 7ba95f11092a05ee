#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/String/UUtf8.h"
#include "Lib3/LSources/String/UnicodeDecomp.h"
#include "tests/support/CommandOutput.h"

namespace {

using testsupport::CommandOutput;

// Every code point but surrogates, decomposed by Python, one line each; compared with ours.
TEST(UnicodeDecompPeerTest, AgreesWithPythonForEveryCodePoint) {
    std::string version =
        CommandOutput("python3 -c \"import unicodedata; print(unicodedata.unidata_version, end='')\"");
    if (version != UnicodeDecomp::Version()) {
        GTEST_SKIP() << "python3 has Unicode " << version << ", the tables " << UnicodeDecomp::Version();
    }
    std::string expected = CommandOutput(
        "python3 -c \"import sys, unicodedata\n"
        "out = []\n"
        "for cp in range(1, 0x110000):\n"
        "    if 0xD800 <= cp <= 0xDFFF or cp == 10: continue\n"
        "    out.append(unicodedata.normalize('NFD', chr(cp)))\n"
        "sys.stdout.buffer.write('\\n'.join(out).encode('utf-8'))\"");
    ASSERT_FALSE(expected.empty());

    LVariStr<64> ours;
    for (uint32_t cp = 1; cp < 0x110000; ++cp) {
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp == 10) continue;
        if (ours.Length()) ours.Append('\n');
        LVariStr<64> one;
        ASSERT_TRUE(UUtf8::Append(one, cp)) << cp;
        ASSERT_TRUE(UnicodeDecomp::DecomposeUtf8(one.Text(), one.Length(), ours)) << cp;
    }
    ASSERT_FALSE(ours.HasFailed());
    // Compare line by line to name the first code point that differs.
    std::string mine(ours.CStr(), ours.Length());
    if (mine != expected) {
        size_t a = 0, b = 0;
        for (uint32_t cp = 1; cp < 0x110000; ++cp) {
            if ((cp >= 0xD800 && cp <= 0xDFFF) || cp == 10) continue;
            size_t ea = mine.find('\n', a), eb = expected.find('\n', b);
            ASSERT_EQ(mine.substr(a, ea - a), expected.substr(b, eb - b)) << "code point " << std::hex << cp;
            a = ea + 1;
            b = eb + 1;
        }
    }
}

// Random mixes of plain text, marks of several classes in and out of order, and characters whose
// decompositions start or end with marks, decomposed by Python and by us.
TEST(UnicodeDecompPeerTest, AgreesWithPythonOnMixedText) {
    std::string version =
        CommandOutput("python3 -c \"import unicodedata; print(unicodedata.unidata_version, end='')\"");
    if (version != UnicodeDecomp::Version()) {
        GTEST_SKIP() << "python3 has Unicode " << version << ", the tables " << UnicodeDecomp::Version();
    }
    const uint32_t pool[] = {
        'a',   'Z',    ' ',    0xE9,   0x1D6, 0x1EA5, 0x3B1,  0x4E2D, 0xAC01, 0x2126, 0x1D15E,
        0x301, 0x323,  0x316,  0x31B,  0x327, 0x345,  0x5B0,  0x3099, 0x0F71, 0x0F72, 0x1D165,
        0x344, 0x0F73, 0x0F75, 0x1E69, 0x958, 0x1FB7, 0x1E08, 0x226,  0x1F82, 0x30AC, 0x10FFFD,
    };
    std::mt19937 rng(11);
    std::vector<std::string> lines;
    for (int i = 0; i < 2000; ++i) {
        LVariStr<64> line;
        const int n = 1 + static_cast<int>(rng() % 12);
        for (int k = 0; k < n; ++k) ASSERT_TRUE(UUtf8::Append(line, pool[rng() % std::size(pool)]));
        lines.emplace_back(line.CStr(), line.Length());
    }
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    char path[] = "/tmp/unicode-decomp-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    FILE* file = fdopen(fd, "wb");
    ASSERT_NE(file, nullptr);
    fwrite(all.data(), 1, all.size(), file);
    fclose(file);
    const std::string expected = CommandOutput(
        std::string("python3 -c \"import sys, unicodedata\n"
                    "text = open(sys.argv[1], encoding='utf-8').read()\n"
                    "sys.stdout.buffer.write(unicodedata.normalize('NFD', text).encode('utf-8'))\" ") +
        path);
    std::remove(path);
    ASSERT_FALSE(expected.empty());

    // Line by line names the first input that differs; the whole text at once crosses the runs.
    size_t at = 0;
    for (const std::string& line : lines) {
        const size_t end = expected.find('\n', at);
        ASSERT_NE(end, std::string::npos);
        LVariStr<64> ours;
        ASSERT_TRUE(UnicodeDecomp::DecomposeUtf8(reinterpret_cast<const unsigned char*>(line.data()),
                                                 static_cast<uint32_t>(line.size()), ours));
        ASSERT_EQ(std::string(ours.CStr(), ours.Length()), expected.substr(at, end - at)) << line;
        at = end + 1;
    }
    LVariStr<64> whole;
    ASSERT_TRUE(UnicodeDecomp::DecomposeUtf8(reinterpret_cast<const unsigned char*>(all.data()),
                                             static_cast<uint32_t>(all.size()), whole));
    EXPECT_EQ(std::string(whole.CStr(), whole.Length()), expected);
}

}  // namespace
