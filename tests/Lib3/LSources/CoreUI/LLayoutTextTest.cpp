#include <gtest/gtest.h>

#include <string>

#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
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
}

// The build compiles each source into a 'TLYO' resource holding the same parts.
TEST(LayoutText, LoadsCompiledLayoutResources) {
    LLayoutParts source;
    ASSERT_TRUE(ReadLayoutFile(ORBILUME_LAYOUT_DIR, "STDLAYOUT", source));
    LLayoutParts parts;
    EXPECT_FALSE(LoadLayout("STDLAYOUT", parts));  // no resource chain yet
    {
        BundleResources resources;
        ASSERT_TRUE(resources.Ok());
        ASSERT_TRUE(LoadLayout("STDLAYOUT", parts));
        ASSERT_EQ(parts.Count(), source.Count());
        for (uint32_t i = 0; i < parts.Count(); ++i)
            EXPECT_STREQ(parts.Part(i).CStr(), source.Part(i).CStr()) << i;
        EXPECT_FALSE(LoadLayout("NOSUCHLAYOUT", parts));
        EXPECT_EQ(parts.Count(), 0u);
        EXPECT_FALSE(LoadLayout("CUNDOQ", parts));  // a string list, not a layout
        EXPECT_TRUE(LoadLayout("STDLAYOUT", parts, resources.Provider()));
    }
    EXPECT_FALSE(LoadLayout("STDLAYOUT", parts));
}

}  // namespace
