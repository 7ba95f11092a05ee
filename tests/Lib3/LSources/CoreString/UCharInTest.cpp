#include <gtest/gtest.h>

#include <string>

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreString/UCharIn.h"

namespace {

std::string Rest(LCStrCharIn& in) {
    return std::string(reinterpret_cast<const char*>(in.Cursor()), in.Remaining());
}

TEST(UCharInTest, ReadInteger) {
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
        const char* rest;
    } cases[] = {
        {"  42 x", true, 42, " x"}, {"\n\t-17,", true, -17, ","},
        {"+8", true, 8, ""},        {"--5", true, -5, ""},        // every '-' marks negative, none toggles
        {"3-4", true, 3, "-4"},                                   // signs only before the digits
        {"-x", false, 0, "x"},                                    // a lone sign is consumed
        {"", false, 0, ""},         {"4294967297", true, 1, ""},  // wraps modulo 2^32
    };
    for (const Case& c : cases) {
        LCStrCharIn in(c.text);
        int32_t value = 99;
        EXPECT_EQ(UCharIn::Read(in, value), c.ok) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(Rest(in), c.rest) << c.text;
    }
}

TEST(UCharInTest, LineReadDoesNotCrossALineEnd) {
    LCStrCharIn in("  \n 12");
    int32_t value = 99;
    EXPECT_FALSE(UCharIn::LineRead(in, value));
    EXPECT_EQ(Rest(in), "\n 12");
    LVariStr<64> word;
    EXPECT_FALSE(UCharIn::LineRead(in, word));
}

TEST(UCharInTest, ReadWords) {
    LCStrCharIn in("  one\ttwo\n\nthree");
    LString s;
    const char* expect[] = {"one", "two", "three"};
    for (const char* e : expect) {
        EXPECT_TRUE(UCharIn::Read(in, s));
        EXPECT_STREQ(s.CStr(), e);
    }
    EXPECT_FALSE(UCharIn::Read(in, s));
    EXPECT_TRUE(s.IsEmpty());
}

TEST(UCharInTest, StripSpaceDropsOnlyOuterWhiteSpace) {
    LCStrCharIn in(" \t a  b\tc \n ");
    LVariStr<64> out;
    UCharIn::StripSpace(in, out);
    EXPECT_STREQ(out.CStr(), "a  b\tc");
}

TEST(UCharInTest, LineReadUntil) {
    struct Case {
        const char* text;
        unsigned char delim;
        bool consume;
        bool ok;
        const char* out;
        const char* rest;
    } cases[] = {
        {"  key = v", '=', true, true, "key", " v"},
        {"key = v", '=', false, true, "key", "= v"},
        {"a b  \r\nc", '=', true, true, "a b", "\r\nc"},
        {"   ;x", ';', true, false, "", "x"},
        {"", ';', true, false, "", ""},
    };
    for (const Case& c : cases) {
        LCStrCharIn in(c.text);
        LVariStr<64> out;
        EXPECT_EQ(UCharIn::LineReadUntil(in, out, c.delim, c.consume), c.ok) << c.text;
        EXPECT_STREQ(out.CStr(), c.out) << c.text;
        EXPECT_EQ(Rest(in), c.rest) << c.text;
    }
}

TEST(UCharInTest, LineNext) {
    struct Case {
        const char* text;
        bool passed;
        const char* rest;
    } cases[] = {
        {"x\r\ny", true, "y"}, {"x\n\ry", true, "y"}, {"\n\ny", true, "\ny"}, {"\r\ry", true, "\ry"},
        {"abc\nd", true, "d"}, {"abc", false, ""},    {"\n", true, ""},       {"\r\n\r\n", true, "\r\n"},
    };
    for (const Case& c : cases) {
        LCStrCharIn in(c.text);
        EXPECT_EQ(UCharIn::LineNext(in), c.passed) << c.text;
        EXPECT_EQ(Rest(in), c.rest) << c.text;
    }
}

TEST(UCharInTest, ReadNumberAndAlpha) {
    struct Case {
        const char* text;
        const char* number;
        const char* rest;
    } cases[] = {
        {" -12.5e3", "-12.5", "e3"},
        {"+-3", "+-3", ""},
        {"1.2.3", "1.2", ".3"},
        {".5", ".5", ""},
        {"4-", "4", "-"},
        {"\n5", "", "\n5"},
    };
    for (const Case& c : cases) {
        LCStrCharIn in(c.text);
        LVariStr<64> out;
        UCharIn::ReadNumber(in, out);
        EXPECT_STREQ(out.CStr(), c.number) << c.text;
        EXPECT_EQ(Rest(in), c.rest) << c.text;
    }

    LCStrCharIn in("  abcDE9f");
    LVariStr<64> alpha;
    UCharIn::ReadAlpha(in, alpha);
    EXPECT_STREQ(alpha.CStr(), "abcDE");
    EXPECT_EQ(UCharIn::ReadChar(in), '9');
    EXPECT_EQ(UCharIn::ReadChar(in), 'f');
    EXPECT_EQ(UCharIn::ReadChar(in), 0);
}

TEST(UCharInTest, ReadRestOfLineWalksLines) {
    LCStrCharIn in("first line\r\n\nthird");
    LString line;
    EXPECT_TRUE(UCharIn::ReadRestOfLine(in, line));
    EXPECT_STREQ(line.CStr(), "first line");
    EXPECT_TRUE(UCharIn::ReadRestOfLine(in, line));
    EXPECT_STREQ(line.CStr(), "");
    EXPECT_TRUE(UCharIn::ReadRestOfLine(in, line));
    EXPECT_STREQ(line.CStr(), "third");
    EXPECT_FALSE(UCharIn::ReadRestOfLine(in, line));
}

}  // namespace

namespace {

TEST(UCharInTest, QuotedFields) {
    struct Case {
        const char* text;
        bool multiLine;
        bool ok;
        const char* out;
        const char* rest;
    } cases[] = {
        {"  plain text ,next", false, true, "plain text", "next"},
        {"'it''s',next", false, true, "it's", "next"},          // doubled closing quote is one
        {"'say \"hi\"' , b", false, true, "say \"hi\"", " b"},  // the other kind is ordinary
        {"\"a\"\"\"x, b", false, true, "a\"", " b"},            // rest after the quote skipped
        {"'',b", false, true, "", "b"},                         // empty quoted field is read
        {"'ab\ncd',x", false, true, "ab", "\ncd',x"},           // line end ends the field
        {"'ab\ncd',x", true, true, "ab\ncd", "x"},              // kept when multi-line
        {"'ab", false, true, "ab", ""},                         // unterminated
        {"'", false, false, "", ""},                            // a lone quote reads nothing
        {"'a'", false, true, "a", ""},                          // closing quote at the end
        {"   ", false, false, "", ""},
        {",x", false, false, "", "x"},         // empty plain field
        {"\n'x'", false, false, "", "\n'x'"},  // the field lies on this line
        {"'a\rb'", false, true, "a", "\rb'"},  // a lone CR is a line end too
    };
    for (const Case& c : cases) {
        LCStrCharIn in(c.text);
        LVariStr<64> out;
        EXPECT_EQ(UCharIn::ReadQuotedField(in, out, ',', c.multiLine), c.ok) << c.text;
        EXPECT_STREQ(out.CStr(), c.out) << c.text;
        EXPECT_EQ(Rest(in), c.rest) << c.text;
    }
}

TEST(UCharInTest, QuotedBody) {
    struct Case {
        const char* text;
        bool multiLine;
        bool ok;
        const char* out;
        const char* rest;
    } cases[] = {
        {"\"a''b\" tail", false, true, "a''b", " tail"},
        {"plain rest\nnext", false, true, "plain rest", "\nnext"},  // unquoted: the rest of the line
        {"\n\n'x'y", true, true, "x", "y"},                         // multi-line skips empty lines
        {"\n'x'", false, false, "", "\n'x'"},
        {"''''", false, true, "'", ""},
    };
    for (const Case& c : cases) {
        LCStrCharIn in(c.text);
        LVariStr<64> out;
        EXPECT_EQ(UCharIn::ReadQuotedBody(in, out, c.multiLine), c.ok) << c.text;
        EXPECT_STREQ(out.CStr(), c.out) << c.text;
        EXPECT_EQ(Rest(in), c.rest) << c.text;
    }
}

TEST(UCharInTest, QuotedFieldStopsAtNulAndReadsLongFields) {
    const unsigned char text[] = {'\'', 'a', 0, 'b', '\''};
    LCStrCharIn in(text, sizeof text);
    LVariStr<64> out;
    EXPECT_TRUE(UCharIn::ReadQuotedField(in, out, ',', false));
    EXPECT_STREQ(out.CStr(), "a");

    std::string longField = "'" + std::string(100000, 'x') + "'";
    LCStrCharIn big(longField.c_str());
    LVariStr<64> bigOut;
    EXPECT_TRUE(UCharIn::ReadQuotedField(big, bigOut, ',', false));
    EXPECT_EQ(bigOut.Length(), 100000u);
}

}  // namespace
