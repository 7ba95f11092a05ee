#include <gtest/gtest.h>

#include <string>

#include "Common/String/PropertyTree.h"
#include "Lib3/LSources/CoreString/LCharIn.h"

namespace {

int Parse(const std::string& text, PropertyTreeObject& root) {
    LCStrCharIn in(reinterpret_cast<const unsigned char*>(text.data()), static_cast<uint32_t>(text.size()));
    return PropertyTreeReader::Parse(in, root);
}

TEST(PropertyTreeTest, ReadsMembersValuesAndObjects) {
    PropertyTreeObject root;
    ASSERT_EQ(Parse("# settings\n"
                    "name: Main Stage  ;\n"
                    "sizes: 640, 1280, 'x;y}\\'z';\n"
                    "# between members\n"
                    "layers: { id: 1; kind: movie }, { id: 2; inner: { deep: yes } }",
                    root),
              0);
    EXPECT_EQ(root.MemberCount(), 3u);
    EXPECT_EQ(root.GetMemberValue("name"), "Main Stage");
    PropertyTreeMember* sizes = root.FindMember("sizes");
    ASSERT_NE(sizes, nullptr);
    ASSERT_EQ(sizes->Values().size(), 3u);
    EXPECT_EQ(sizes->Values()[2], "x;y}'z");
    EXPECT_EQ(sizes->FirstValue(), "640");
    EXPECT_EQ(sizes->Value(), "x;y}'z");  // the last word the legacy encoding holds

    PropertyTreeMember* layers = root.FindMember("layers");
    ASSERT_NE(layers, nullptr);
    EXPECT_EQ(layers->ObjectCount(), 2u);
    EXPECT_EQ(layers->ObjectAt(0)->GetMemberValue("kind"), "movie");
    EXPECT_EQ(layers->ObjectAt(1)->FindMemberObject("inner")->GetMemberValue("deep"), "yes");
    EXPECT_EQ(layers->ObjectAt(2), nullptr);
    EXPECT_EQ(root.FindMemberObject("layers"), layers->ObjectAt(0));
    EXPECT_EQ(root.GetMemberValue("missing"), "");

    PropertyTreeObject copy(root);
    EXPECT_EQ(copy.FindMember("layers")->ObjectAt(1)->FindMemberObject("inner")->GetMemberValue("deep"),
              "yes");
    EXPECT_NE(copy.FindMember("layers"), layers);
}

TEST(PropertyTreeTest, WordsJoinInnerBlanksAndLineEnds) {
    PropertyTreeObject root;
    ASSERT_EQ(Parse("a: one  two\n  three \t;b:\xC3\xA9t\xC3\xA9", root), 0);
    EXPECT_EQ(root.GetMemberValue("a"), "one  two  three");
    EXPECT_EQ(root.GetMemberValue("b"), "\xC3\xA9t\xC3\xA9");
}

TEST(PropertyTreeTest, ChoosesTheLastValueTheLegacyEncodingHolds) {
    PropertyTreeObject root;
    ASSERT_EQ(
        Parse("t: Caf\xC3\xA9, \xE4\xB8\xAD\xE6\x96\x87;u: \xE4\xB8\xAD\xE6\x96\x87, Caf\xC3\xA9", root), 0);
    EXPECT_EQ(root.GetMemberValue("t"), "Caf\xC3\xA9");
    EXPECT_EQ(root.GetMemberValue("u"), "Caf\xC3\xA9");
    EXPECT_EQ(root.FindMember("u")->FirstValue(), "\xE4\xB8\xAD\xE6\x96\x87");
}

TEST(PropertyTreeTest, Errors) {
    struct Case {
        const char* text;
        int result;
        uint32_t members;  // built before the error
    } cases[] = {
        {"", 0, 0},         {"a: b.", 2, 1},   {"a b", 3, 0},        {"a: { b: c", 3, 1},
        {"a: 'open", 3, 0}, {"a: b, ;", 3, 1}, {"a: b; c: @", 2, 1}, {"a: {x: 1} extra", 0, 1},
    };
    for (const Case& c : cases) {
        PropertyTreeObject root;
        EXPECT_EQ(Parse(c.text, root), c.result) << c.text;
        EXPECT_EQ(root.MemberCount(), c.members) << c.text;
    }
}

TEST(PropertyTreeTest, NestingIsBounded) {
    std::string deep;
    for (int i = 0; i < PropertyTreeReader::kMaxDepth; ++i) deep += "a: {";
    std::string closing(PropertyTreeReader::kMaxDepth, '}');
    PropertyTreeObject ok;
    EXPECT_EQ(Parse(deep + closing, ok), 0);

    std::string tooDeep;
    for (int i = 0; i < 100000; ++i) tooDeep += "a:{";
    PropertyTreeObject root;
    EXPECT_EQ(Parse(tooDeep, root), 3);
}

}  // namespace
