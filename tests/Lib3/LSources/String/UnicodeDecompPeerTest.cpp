#include <gtest/gtest.h>

#include <string>

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
        UUtf8::Append(one, cp);
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

}  // namespace
