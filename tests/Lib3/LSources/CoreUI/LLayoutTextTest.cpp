#include <gtest/gtest.h>

#include <string>

#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "tests/support/TempDir.h"

namespace {

bool Parse(const std::string& text, LLayoutParts& parts) {
    return ParseLayoutText(text.data(), uint32_t(text.size()), parts);
}

TEST(LayoutText, SplitsPartsAtMarkers) {
    LLayoutParts parts;
    ASSERT_TRUE(Parse("%% comment\n\n%%part 0\na=1\n%%part 2\r\nb\r\n%% note\nc", parts));
    ASSERT_EQ(parts.Count(), 3u);
    EXPECT_STREQ(parts.Part(0).CStr(), "a=1\n");
    EXPECT_STREQ(parts.Part(1).CStr(), "");
    EXPECT_STREQ(parts.Part(2).CStr(), "b\nc\n");
    EXPECT_STREQ(parts.Part(3).CStr(), "");
}

TEST(LayoutText, RefusesMalformedTexts) {
    const std::string cases[] = {
        "x\n%%part 0\n",
        "%%part 1\n%%part 0\n",
        "%%part 0\n%%part 0\n",
        "%%part 99\n",
        std::string("%%part 0\na\0b\n", 13),
    };
    for (const std::string& text : cases) {
        LLayoutParts parts;
        EXPECT_FALSE(Parse(text, parts)) << text;
        EXPECT_EQ(parts.Count(), 0u);
    }
    LLayoutParts empty;
    EXPECT_TRUE(Parse("", empty));
    EXPECT_EQ(empty.Count(), 0u);
}

TEST(LayoutText, ReadsNamedLayoutsFromAFolder) {
    testsupport::TempDir dir;
    dir.Write("WIN.tlyo", "%%part 0\n%%part 1\npp(0,0,0,5,5)\n%%part 2\n");
    dir.Write("BAD.tlyo", "text before the parts\n");
    LLayoutParts parts;
    EXPECT_TRUE(ReadLayoutFile(dir.Path().c_str(), "WIN", parts));
    EXPECT_EQ(parts.Count(), 3u);
    EXPECT_STREQ(parts.Part(1).CStr(), "pp(0,0,0,5,5)\n");
    EXPECT_FALSE(ReadLayoutFile(dir.Path().c_str(), "BAD", parts));
    EXPECT_EQ(parts.Count(), 0u);
    EXPECT_FALSE(ReadLayoutFile(dir.Path().c_str(), "MISSING", parts));
    EXPECT_FALSE(ReadLayoutFile(dir.Path().c_str(), "../WIN", parts));

    SetLayoutFolder(dir.Path().c_str());
    EXPECT_TRUE(LoadLayout("WIN", parts));
    SetLayoutFolder(nullptr);
    EXPECT_FALSE(LoadLayout("WIN", parts));
}

}  // namespace
