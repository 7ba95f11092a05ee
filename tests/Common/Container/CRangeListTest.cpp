#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Common/Container/CRangeList.h"
#include "Common/Container/ParseRangeList.h"

namespace {

std::string Dump(const CRangeList& list) {
    std::string s;
    for (const CRangeList::Entry& e : list.Entries())
        s +=
            "[" + std::to_string(e.start) + "," + std::to_string(e.end) + ")" + std::to_string(e.value) + " ";
    return s;
}

TEST(CRangeListTest, KeepsExistingValuesAndMergesNeighbours) {
    CRangeList list;
    EXPECT_TRUE(list.Add(10, 20, 1));
    EXPECT_TRUE(list.Add(0, 30, 2));
    EXPECT_EQ(Dump(list), "[0,10)2 [10,20)1 [20,30)2 ");
    EXPECT_TRUE(list.Add(25, 40, 2));
    EXPECT_EQ(Dump(list), "[0,10)2 [10,20)1 [20,40)2 ");

    CRangeList touch;
    EXPECT_TRUE(touch.Add(10, 20, 1));
    EXPECT_TRUE(touch.Add(20, 25, 1));
    EXPECT_TRUE(touch.Add(0, 10, 1));
    EXPECT_EQ(Dump(touch), "[0,25)1 ");
    EXPECT_TRUE(touch.Add(5, 5, 3));
    EXPECT_TRUE(touch.Add(30, 40, 0));
    EXPECT_EQ(Dump(touch), "[0,25)1 ");
}

TEST(CRangeListTest, LookupEndsAreExclusive) {
    CRangeList list;
    EXPECT_TRUE(list.Add(10, 20, 1));
    EXPECT_EQ(list.Lookup(9), 0u);
    EXPECT_EQ(list.Lookup(10), 1u);
    EXPECT_EQ(list.Lookup(19), 1u);
    EXPECT_EQ(list.Lookup(20), 0u);
}

// Against a plain array: first writer wins, every key.
TEST(CRangeListTest, AgreesWithAnArrayOracle) {
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        CRangeList list;
        std::vector<uint32_t> oracle(64, 0);
        for (int i = 0; i < 8; ++i) {
            const uint32_t a = rng() % 64, b = rng() % 65, v = rng() % 3;
            EXPECT_TRUE(list.Add(a, b, v));
            if (v)
                for (uint32_t k = a; k < b; ++k)
                    if (!oracle[k]) oracle[k] = v;
        }
        for (uint32_t k = 0; k < 64; ++k) ASSERT_EQ(list.Lookup(k), oracle[k]) << Dump(list) << " key " << k;
        const auto& e = list.Entries();
        for (uint32_t i = 1; i < e.Count(); ++i) {
            ASSERT_LE(e[i - 1].end, e[i].start);
            ASSERT_FALSE(e[i - 1].end == e[i].start && e[i - 1].value == e[i].value) << Dump(list);
        }
    }
}

TEST(ParseRangeListTest, NumbersAndRanges) {
    struct Case {
        const char* text;
        std::string expected;
    };
    const Case cases[] = {
        {"1,3-5 8", "1-1 3-5 8-8 "},
        {"1-5,7", "1-5 7-7 "},
        {"7-2;4", "7-7 4-4 "},  // a reversed range keeps its opening number
        {"5-3", "5-5 "},
        {"1-2-3", "1-3 "},
        {"5-3-7", "5-7 "},
        {"3-", "3-3 "},
        {"-3", "3-3 "},  // a "-" after no number is ignored
        {"007", "7-7 "},
        {"9-17", "9-17 "},
        {"3 - 5", "3-3 5-5 "},  // blanks separate
        {"2 - 6|9", "2-2 6-6 9-9 "},
        {"22-23|0-5", "22-23 0-5 "},
        {"1|", "1-1 "},
        {"", ""},
        {"abc", ""},
        {nullptr, ""},
        {"99999999999-1", "4294967295-4294967295 "},
        {"1-99999999999999999999999", "1-4294967295 "},
        {"5-", "5-5 "},
    };
    for (const Case& c : cases) {
        CArray<SRangePair> ranges;
        ranges.Append({42, 42});
        ParseRangeList(ranges, c.text);
        std::string s;
        for (const SRangePair& r : ranges) s += std::to_string(r.first) + "-" + std::to_string(r.last) + " ";
        EXPECT_EQ(s, c.expected) << (c.text ? c.text : "(null)");
    }
}

TEST(ParseRangeListTest, PairsSplitAtTheFirstBar) {
    struct Case {
        const char* text;
        std::string first, second;
    };
    const Case cases[] = {
        {"22-23|0-5", "22-23 ", "0-5 "},
        {"1-5,7", "1-5 7-7 ", ""},
        {"|3", "", "3-3 "},
        {"4|", "4-4 ", ""},
        {"1|2|3", "1-1 ", "2-2 3-3 "},  // a later bar only separates
        {"3-|5", "3-3 ", "5-5 "},       // a range does not run across the bar
        {"9 -|- 2", "9-9 ", "2-2 "},
        {"", "", ""},
        {nullptr, "", ""},
    };
    auto dump = [](const CArray<SRangePair>& ranges) {
        std::string s;
        for (const SRangePair& r : ranges) s += std::to_string(r.first) + "-" + std::to_string(r.last) + " ";
        return s;
    };
    for (const Case& c : cases) {
        SRangeListPair pair;
        pair.first.Append({42, 42});
        pair.second.Append({42, 42});
        ParseRangeListPair(pair, c.text);
        EXPECT_EQ(dump(pair.first), c.first) << (c.text ? c.text : "(null)");
        EXPECT_EQ(dump(pair.second), c.second) << (c.text ? c.text : "(null)");
    }
}

// Any text reads in one pass and yields at most one pair per number in it.
TEST(ParseRangeListTest, ArbitraryTextStaysBounded) {
    std::mt19937 rng(5);
    const char alphabet[] = "0123456789--, |x";
    for (int round = 0; round < 500; ++round) {
        std::string text(rng() % 200, ' ');
        for (char& ch : text) ch = alphabet[rng() % (sizeof alphabet - 1)];
        CArray<SRangePair> ranges;
        ParseRangeList(ranges, text.c_str());
        ASSERT_LE(ranges.Count(), text.size() / 2 + 1) << text;
        for (const SRangePair& r : ranges) ASSERT_LE(r.first, r.last) << text;
    }
}

}  // namespace
