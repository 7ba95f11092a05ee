#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/Stream/CCodeCounter.h"
#include "Common/Stream/CMultiMatcher.h"
#include "Common/Stream/CSubstringMatcher.h"

namespace {

// Feeds text and returns the released data with each match shown as {index}.
std::string Matches(CMultiMatcher& m, const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        int r = m.Feed(c);
        uint32_t n;
        const unsigned char* bytes = m.Released(n);
        out.append(reinterpret_cast<const char*>(bytes), n);
        if (r == CMultiMatcher::kMatched) out += "{" + std::to_string(m.Matched()) + "}";
    }
    m.Flush();
    uint32_t n;
    const unsigned char* bytes = m.Released(n);
    out.append(reinterpret_cast<const char*>(bytes), n);
    return out;
}

TEST(CMultiMatcher, ReleasesDataAndFindsOverlappingMatches) {
    const char* const patterns[] = {"<!--", "-->", "<?", "?>", "<![CDATA[", "]]>"};
    struct Case {
        const char* text;
        const char* want;
    } cases[] = {
        {"plain", "plain"}, {"a<!--b-->c", "a{0}b{1}c"},
        {"x]]]>", "x]{5}"}, {"<<?", "<{2}"},
        {"<!-x", "<!-x"},   {"<![CDAT", "<![CDAT"},  // held to the end, then flushed
        {"?<?>", "?{2}>"},  {"abc", "abc"},
    };
    for (const Case& c : cases) {
        CMultiMatcher m(patterns, 6);
        EXPECT_EQ(Matches(m, c.text), c.want) << c.text;
    }
}

// Feed results byte by byte: a whole pattern, a start that fails at its second byte (both bytes
// released as data), and a failed start whose breaking byte begins the pattern again.
TEST(CMultiMatcher, FeedResultsByteByByte) {
    const char* const patterns[] = {"<!--", "-->"};
    struct Case {
        const char* text;
        std::vector<int> results;
        const char* released;  // over the whole feed
    } cases[] = {
        {"<!--", {-2, -2, -2, -4}, ""},
        {"<a", {-2, -1}, "<a"},
        {"<<!--", {-2, -2, -2, -2, -4}, "<"},
    };
    for (const Case& c : cases) {
        CMultiMatcher m(patterns, 2);
        std::vector<int> results;
        std::string released;
        for (const char* p = c.text; *p; ++p) {
            results.push_back(m.Feed(static_cast<unsigned char>(*p)));
            uint32_t n;
            const unsigned char* bytes = m.Released(n);
            released.append(reinterpret_cast<const char*>(bytes), n);
        }
        EXPECT_EQ(results, c.results) << c.text;
        EXPECT_EQ(released, c.released) << c.text;
        if (c.results.back() == CMultiMatcher::kMatched) {
            EXPECT_EQ(m.MatchedText(), std::string("<!--")) << c.text;
        }
    }
}

TEST(CMultiMatcher, ReleasesBeforeAMatchInTheSameFeed) {
    const char* const patterns[] = {"abc", "bd"};
    CMultiMatcher m(patterns, 2);
    EXPECT_EQ(Matches(m, "abd"), "a{1}");
}

TEST(CMultiMatcher, MaskSelectsPatterns) {
    const char* const patterns[] = {"<!--", "-->"};
    CMultiMatcher m(patterns, 2);
    m.SetActive(1u << 1);
    EXPECT_EQ(Matches(m, "<!-- -->"), "<!-- {1}");
    EXPECT_EQ(m.MatchedText(), std::string("-->"));
}

TEST(CSubstringMatcher, FindsThePatternAndStaysComplete) {
    CSubstringMatcher m(LString("]]>"));
    EXPECT_FALSE(m.Feed(']'));
    EXPECT_FALSE(m.Feed(']'));
    EXPECT_FALSE(m.Feed(']'));
    EXPECT_TRUE(m.Feed('>'));
    EXPECT_TRUE(m.Feed('x'));

    CSubstringMatcher k(LString("abab"));
    bool seen = false;
    for (char c : std::string("abaabab")) seen = k.Feed(static_cast<unsigned char>(c));
    EXPECT_TRUE(seen);

    CSubstringMatcher empty{LString()};
    EXPECT_TRUE(empty.Feed('a'));
}

TEST(CCodeCounter, CountsAndKeepsCodesSorted) {
    CCodeCounter c;
    EXPECT_EQ(c.Count(5), 0);
    EXPECT_EQ(c.Count(3), 0);
    EXPECT_EQ(c.Count(5), 1);
    ASSERT_EQ(c.Size(), 2u);
    EXPECT_EQ(c.At(0).code, 3);
    EXPECT_EQ(c.At(0).count, 1);
    EXPECT_EQ(c.At(1).code, 5);
    EXPECT_EQ(c.At(1).count, 2);
    for (int i = 0; i < 70000; ++i) c.Count(9);
    EXPECT_EQ(c.Count(9), 65535);  // saturates
}

}  // namespace
