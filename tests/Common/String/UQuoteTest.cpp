#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/String/UCsv.h"
#include "Common/String/UQuote.h"
#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LVariStr.h"

namespace {

TEST(UQuoteTest, QuotesOnlyWhenNeeded) {
    struct Case {
        const char* text;
        bool force;
        const char* expected;
    };
    const Case cases[] = {
        {"plain", false, "plain"},
        {"a,b", false, "a,b"},
        {"a b", false, "\"a b\""},
        {"a\"b", false, "\"a\"\"b\""},
        {"tab\there", false, "\"tab\there\""},
        {"plain", true, "\"plain\""},
        {nullptr, false, ""},
        {nullptr, true, "\"\""},
    };
    for (const Case& c : cases) {
        LVariStr<64> out;
        UQuote::Append(out, c.text, c.force);
        EXPECT_STREQ(out.CStr(), c.expected) << (c.text ? c.text : "(null)");
    }
}

std::vector<std::pair<std::string, bool>> Fields(const char* text, int n) {
    LCStrCharIn in(text);
    std::vector<std::pair<std::string, bool>> out;
    for (int i = 0; i < n; ++i) {
        LVariStr<64> f;
        const bool ok = UCsv::ReadField(in, f);
        out.emplace_back(f.CStr(), ok);
    }
    return out;
}

TEST(UCsvTest, ReadsFields) {
    using F = std::vector<std::pair<std::string, bool>>;
    EXPECT_EQ(Fields("x,y", 3), (F{{"x", true}, {"y", true}, {"", false}}));
    EXPECT_EQ(Fields("\"a,b\",\"say \"\"hi\"\"\"", 2), (F{{"a,b", true}, {"say \"hi\"", true}}));
    EXPECT_EQ(Fields(",,", 3), (F{{"", true}, {"", true}, {"", false}}));
    EXPECT_EQ(Fields("\"two\nlines\"\nnext", 2), (F{{"two\nlines", true}, {"", false}}));
}

// What quoting writes, the field reader gives back.
TEST(UCsvTest, ReadsWhatQuotingWrites) {
    for (const char* text : {"a b", "q\"q", "\"\"", "comma, inside", "x"}) {
        LVariStr<64> line;
        UQuote::Append(line, text, false);
        line.Append(",");
        LCStrCharIn in(line.CStr());
        LVariStr<64> field;
        EXPECT_TRUE(UCsv::ReadField(in, field));
        EXPECT_STREQ(field.CStr(), text);
    }
}

}  // namespace
