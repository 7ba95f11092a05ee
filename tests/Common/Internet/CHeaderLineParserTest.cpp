#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/Internet/CHeaderLineParser.h"

namespace {

struct Report {
    std::string name;
    std::string value;
    int result;
    size_t at;  // index of the byte that completed the line
    bool operator==(const Report&) const = default;
};

std::vector<Report> Parse(const std::string& bytes) {
    CHeaderLineParser parser;
    std::vector<Report> out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int r = parser.Feed(static_cast<uint8_t>(bytes[i]));
        if (r) out.push_back({parser.Name().CStr(), parser.Value().CStr(), r, i});
    }
    return out;
}

using L = CHeaderLineParser;

TEST(CHeaderLineParserTest, ReportsEachLineOnce) {
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<Report> expected;
    };
    const Case cases[] = {
        {"LF line is reported when the next line begins", "Host: x\nA", {{"Host", "x", L::kLine, 8}}},
        {"CRLF lines and the empty line, each once",
         "Host: x\r\nAccept: y\r\n\r\n",
         {{"Host", "x", L::kLine, 9}, {"Accept", "y", L::kLine, 20}, {"", "", L::kLine, 21}}},
        {"fold after CRLF joins with one blank",
         "A: one\r\n\t two\r\nB: c\r\n\r\n",
         {{"A", "one two", L::kLine, 15}, {"B", "c", L::kLine, 21}, {"", "", L::kLine, 22}}},
        {"fold after LF", "A: one\n two\nB: c\n", {{"A", "one two", L::kLine, 12}}},
        {"bare LF block end is reported at once", "A: b\n\n", {{"A", "b", L::kLineAndEnd, 5}}},
        {"two LFs at the start are two empty lines", "\n\n", {{"", "", L::kLine, 0}, {"", "", L::kLine, 1}}},
        {"CRLF header then bare LF end", "A: b\r\n\n", {{"A", "b", L::kLineAndEnd, 6}}},
        {"LF header then CRLF end", "A: b\n\r\n", {{"A", "b", L::kLine, 5}, {"", "", L::kLine, 6}}},
        {"blank after the name ends it like a colon",
         "Name value\r\n\r\n",
         {{"Name", "value", L::kLine, 12}, {"", "", L::kLine, 13}}},
        {"a value may start with a colon",
         "X-Addr: ::1\r\n\r\n",
         {{"X-Addr", "::1", L::kLine, 13}, {"", "", L::kLine, 14}}},
        {"a colon after blanks following the name is the separator",
         "Name : value\r\nB\t:\t: c\r\n\r\n",
         {{"Name", "value", L::kLine, 14}, {"B", ": c", L::kLine, 23}, {"", "", L::kLine, 24}}},
        {"colons inside the value are kept",
         "Host: a:80\r\n\r\n",
         {{"Host", "a:80", L::kLine, 12}, {"", "", L::kLine, 13}}},
    };
    for (const Case& c : cases) EXPECT_EQ(Parse(c.bytes), c.expected) << c.what;
}

TEST(CHeaderLineParserTest, PendingByteBeginsNextName) {
    const auto r = Parse("Host: x\nAb: c\n\n");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].name, "Ab");
    EXPECT_EQ(r[1].value, "c");
    EXPECT_EQ(r[1].result, L::kLineAndEnd);
}

TEST(CHeaderLineParserTest, ResetStartsANewBlock) {
    CHeaderLineParser parser;
    for (char c : std::string("A: b\r\n\r\n")) parser.Feed(static_cast<uint8_t>(c));
    parser.Reset();
    std::vector<std::string> names;
    for (char c : std::string("C: d\r\n\r\n"))
        if (parser.Feed(static_cast<uint8_t>(c))) names.push_back(parser.Name().CStr());
    EXPECT_EQ(names, (std::vector<std::string>{"C", ""}));
}

TEST(CHeaderLineParserTest, LongFieldsAreCutAndFlagged) {
    CHeaderLineParser parser;
    std::string line = "X: " + std::string(CHeaderLineParser::kMaxField + 100, 'v') + "\r\n\r";
    int reports = 0;
    for (char c : line) reports += parser.Feed(static_cast<uint8_t>(c)) != 0;
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(parser.Value().Length(), CHeaderLineParser::kMaxField);
    EXPECT_TRUE(parser.Overflowed());
}

}  // namespace
