#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreString/ReadNameValuePair.h"
#include "Lib3/LSources/CoreString/ReadQuoted.h"

namespace {

// What is left of the input.
std::string Rest(LCStrCharIn& in) {
    return std::string(reinterpret_cast<const char*>(in.Cursor()), in.Remaining());
}

TEST(ReadNameValuePair, Cases) {
    struct Case {
        const char* input;
        bool result;
        const char* name;
        const char* value;
        const char* rest;
    } cases[] = {
        {"  charset = utf-8 ;next", true, "charset", "utf-8", "next"},
        {"name=\"a b\"; x=1", true, "name", "a b", " x=1"},
        {"name = \"a \\\"q\\\" b\" trailing ; x", true, "name", "a \"q\" b", " x"},
        {"name='it''s'", true, "name", "it", ""},
        {"na me=va  lue  ", true, "na me", "va  lue", ""},
        {"empty=;x", true, "empty", "", "x"},
        {"last=value", true, "last", "value", ""},
        {"value=ends\r\nnext", true, "value", "ends", "\r\nnext"},
        {"q=\"open\nnext", true, "q", "open", "\nnext"},
        {"no pair here\r\nx=1", false, "", "untouched", "\r\nx=1"},
        {"=value;", false, "", "untouched", "value;"},
        {"", false, "", "untouched", ""},
        {"  partial name", false, "", "untouched", ""},
    };
    for (const Case& c : cases) {
        LCStrCharIn in(c.input);
        LString name("stale"), value("untouched");
        EXPECT_EQ(ReadNameValuePair(in, name, value), c.result) << c.input;
        // A failed read leaves no name behind, not even the part before the line end.
        EXPECT_EQ(name, c.name) << c.input;
        EXPECT_EQ(value, c.value) << c.input;
        EXPECT_EQ(Rest(in), c.rest) << c.input;
    }
}

TEST(ReadQuotedValue, EscapesOnlyWhenAsked) {
    LVariStr<64> out;
    LCStrCharIn escaped(R"("a\"b";)");
    EXPECT_TRUE(ReadQuotedValue(escaped, out, ';', true));
    EXPECT_STREQ(out.CStr(), "a\"b");

    LCStrCharIn plain(R"("a\"b";)");
    EXPECT_TRUE(ReadQuotedValue(plain, out, ';', false));
    EXPECT_STREQ(out.CStr(), "a\\");  // the quote after the backslash closes the value

    LCStrCharIn quotedEmpty("  '' ;");
    EXPECT_TRUE(ReadQuotedValue(quotedEmpty, out, ';', true));
    EXPECT_EQ(out.Length(), 0u);
}

TEST(ReadQuotedToken, Tokens) {
    struct Case {
        const char* input;
        bool keepLineEnds;
        std::vector<std::string> tokens;
    } cases[] = {
        {"\"a b\" '' x", true, {"a b", "", "x"}},
        {"  plain\twords\n here ", true, {"plain", "words", "here"}},
        {"\"say \"\"hi\"\"\" 'it''s'", true, {"say \"hi\"", "it's"}},
        {"\"two\r\nlines\" next", true, {"two\r\nlines", "next"}},
        {"\"two\r\nlines\" next", false, {"twolines", "next"}},
        {"\"unterminated", true, {"unterminated"}},
        {"a\"b c", true, {"a\"b", "c"}},
        {"\"x\"y", true, {"x", "y"}},
        {"   ", true, {}},
    };
    for (const Case& c : cases) {
        LCStrCharIn in(c.input);
        LVariStr<64> out;
        std::vector<std::string> tokens;
        while (ReadQuotedToken(in, out, c.keepLineEnds)) tokens.emplace_back(out.CStr(), out.Length());
        EXPECT_EQ(tokens, c.tokens) << c.input;
    }
}

}  // namespace
