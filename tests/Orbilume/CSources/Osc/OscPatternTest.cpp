#include <gtest/gtest.h>

#include <string>

#include "Orbilume/CSources/Osc/OscPattern.h"

namespace {

TEST(OscPattern, MatchesAddresses) {
    struct Case {
        const char* pattern;
        const char* address;
        bool match;
    } cases[] = {
        {"/ping", "/ping", true},
        {"/ping", "/pin", false},
        {"/ping", "/pings", false},
        {"/a/b", "/a/b", true},
        {"/a", "/a/b", false},
        {"/fader?", "/fader1", true},
        {"/fader?", "/fader", false},
        {"/fader?", "/fader12", false},
        {"/*", "/x", true},
        {"/*", "/xyz", true},
        {"/*", "/", false},
        {"/*", "/x/y", false},
        {"/*/opacity", "/layer/opacity", true},
        {"/a*b", "/ab", false},
        {"/a*b", "/axxb", true},
        {"/a*b", "/abxb", true},
        {"/[a-c]x", "/bx", true},
        {"/[a-c]x", "/dx", false},
        {"/[!a-c]x", "/dx", true},
        {"/[!a-c]x", "/bx", false},
        {"/[!a-c]", "//", false},
        {"/[xyz]", "/y", true},
        {"/{red,green,blue}", "/red", true},
        {"/{red,green,blue}", "/green", true},
        {"/{red,green,blue}", "/blue", true},
        {"/{red,green,blue}", "/redgreen", false},
        {"/{red,green,blue}", "/yellow", false},
        {"/{a,ab}c", "/abc", true},
        {"/{a,}b", "/b", true},
        {"/{x{1,2},y}z", "/x2z", true},
        {"/a-b", "/a-b", true},
        {"/[ab", "/a", false},
        {"/{a,b", "/a", false},
        {"/[a-]", "/a", false},
        {"/a b", "/ab", true},
        {"/a#b", "/a", true},
        {"/a]b", "/a", true},
        {"", "/a", false},
        {"/a", "", false},
        {"/layer/1", "/layer/1", true},
    };
    for (const auto& c : cases) {
        OscPattern p;
        p.Compile(c.pattern);
        EXPECT_EQ(p.IsMatch(c.address), c.match) << c.pattern << " vs " << c.address;
    }
}

TEST(OscPattern, AddressEndingWhereAFurtherSlashIsExpectedResumesThere) {
    OscPattern p;
    p.Compile("/a/b");
    EXPECT_EQ(p.Match("/a"), OscPattern::kNeedsMore);
    EXPECT_EQ(p.Match("/b"), OscPattern::kMatch);
    // IsMatch always starts afresh.
    EXPECT_TRUE(p.IsMatch("/a/b"));
    EXPECT_FALSE(p.IsMatch("/b"));
}

TEST(OscPattern, OversizedPatternsMatchNothing) {
    OscPattern p;
    std::string big = "/" + std::string(OscPattern::kMaxText, 'a');
    p.Compile(big.c_str());
    EXPECT_TRUE(p.IsEmpty());
    EXPECT_FALSE(p.IsMatch(big.c_str()));

    std::string manyStates;
    for (int i = 0; i < 3000; ++i) manyStates += "/?";
    p.Compile(manyStates.c_str());
    EXPECT_TRUE(p.IsEmpty());

    std::string deep = "/";
    for (uint32_t i = 0; i <= OscPattern::kMaxNesting; ++i) deep += "{";
    deep += "a";
    for (uint32_t i = 0; i <= OscPattern::kMaxNesting; ++i) deep += "}";
    p.Compile(deep.c_str());
    EXPECT_TRUE(p.IsEmpty());

    std::string allowed = "/";
    for (uint32_t i = 0; i < OscPattern::kMaxNesting; ++i) allowed += "{";
    allowed += "a";
    for (uint32_t i = 0; i < OscPattern::kMaxNesting; ++i) allowed += "}";
    p.Compile(allowed.c_str());
    EXPECT_TRUE(p.IsMatch("/a"));
}

TEST(OscPattern, LongAddressAgainstManyStars) {
    OscPattern p;
    std::string pattern = "/";
    for (int i = 0; i < 100; ++i) pattern += "*a";
    p.Compile(pattern.c_str());
    std::string address = "/" + std::string(2000, 'a');
    EXPECT_TRUE(p.IsMatch(address.c_str()));
    address.back() = 'b';
    EXPECT_FALSE(p.IsMatch(address.c_str()));
}

}  // namespace
