#include <gtest/gtest.h>

#include <string>

#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreUI/CLayoutScriptSource.h"

namespace {

// Reads n bytes, then records an error and returns the report.
std::string ReportAfter(const char* text, int n, bool ungetLast = false) {
    LCStrCharIn input(text);
    CLayoutScriptSource source(input);
    unsigned char c;
    for (int i = 0; i < n; ++i) source.Get(c);
    if (ungetLast) {
        source.Unget();
        source.Get(c);  // given again without counting
    }
    source.Error("Oops");
    source.Error("Later");
    LVariStr<64> out;
    source.Report(out);
    return out.CStr();
}

TEST(LayoutScriptSource, CountsLinesAndColumns) {
    struct Case {
        const char* text;
        int bytes;
        bool unget;
        const char* report;
    } cases[] = {
        {"abc", 0, false, "Error: Oops, Line 1, Char 0\n"},
        {"abc", 2, false, "Error: Oops, Line 1, Char 2\n"},
        {"abc", 2, true, "Error: Oops, Line 1, Char 2\n"},
        {"a\nbc", 4, false, "Error: Oops, Line 2, Char 2\n"},
        {"a\r\nbc", 5, false, "Error: Oops, Line 2, Char 2\n"},
        {"a\rbc", 4, false, "Error: Oops, Line 2, Char 2\n"},
        {"a\n\nb", 4, false, "Error: Oops, Line 3, Char 1\n"},
        {"a\n\r\n\rb", 6, false, "Error: Oops, Line 4, Char 1\n"},
        {"ab", 9, false, "Error: Oops, Line 1, Char 2\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(ReportAfter(c.text, c.bytes, c.unget), c.report) << c.text;
}

TEST(LayoutScriptSource, ReportsNothingWithoutError) {
    LCStrCharIn input("x");
    CLayoutScriptSource source(input);
    LVariStr<64> out;
    source.Report(out);
    EXPECT_EQ(out.Length(), 0u);
    EXPECT_FALSE(source.HasError());
}

}  // namespace
