#include "Orbilume/CSources/Led/UDimDefRows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"

namespace {

using T = CDimTypes;

// A code definition of the grid with the channel table and counts.
CRecord* Def(CDimDefStore& store, const char* name, uint32_t columns, uint32_t rows, uint8_t pre, uint8_t post,
             const std::vector<int32_t>& codes, uint8_t comp = 0) {
    EXPECT_TRUE(store.AddNew(name, true));
    CRecordRef ref = store.RefOf(name);
    EXPECT_TRUE(ref.SetUInt(nullptr, T::kDidfColumns, columns));
    EXPECT_TRUE(ref.SetUInt(nullptr, T::kDidfRows, rows));
    EXPECT_TRUE(ref.SetByte(nullptr, T::kDidfPrefixCount, pre));
    EXPECT_TRUE(ref.SetByte(nullptr, T::kDidfSuffixCount, post));
    for (uint32_t i = 0; i < codes.size(); ++i)
        EXPECT_TRUE(CDimDefStore::SetChannelCode(nullptr, store.RefOf(name), i, codes[i]));
    EXPECT_TRUE(store.RefOf(name).SetByte(nullptr, T::kDidfComposition, comp));
    return store.Find(name);
}

TEST(DimDefRows, TypedTexts) {
    const struct {
        const char* text;
        std::optional<int32_t> code;
    } cases[] = {
        {"g", -2},     {"G", -2},     {"r", -1},   {"B", -3},          {"w", -4},      {"300", 255},
        {"255", 255},  {"0", 0},      {"17", 17},  {" 12 ", 12},       {"-5", 0},      {"X", std::nullopt},
        {"", std::nullopt}, {"RG", std::nullopt}, {"1.5", std::nullopt}, {"12a", std::nullopt},
        {"99999999999999999999999", 255}, {"-", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(UDimDefRows::ParseCode(c.text), c.code) << c.text;
    EXPECT_EQ(UDimDefRows::ParseCode(std::string(100000, '7')), 255);
}

TEST(DimDefRows, ShownTexts) {
    CDimDefStore store;
    CRecord* def = Def(store, "A", 1, 1, 0, 0, {-1, -2, -3, -4, 0, 300, 7});
    const std::vector<std::string> want = {"R", "G", "B", "W", "0", "255", "7", "0"};
    for (uint32_t i = 0; i < want.size(); ++i) EXPECT_EQ(UDimDefRows::ValueText(def, i), want[i]) << i;
}

TEST(DimDefRows, SuffixRowsAreNumberedAfterEveryDot) {
    CDimDefStore store;
    // 4 × 2 dots, 3 per dot, one suffix channel, no prefix.
    CRecord* def = Def(store, "A", 4, 2, 0, 1, {-1, -2, -3, 9});
    ASSERT_EQ(UDimDefRows::Count(def), 4u);
    EXPECT_EQ(UDimDefRows::ChannelNumber(def, 0), 1u);
    EXPECT_EQ(UDimDefRows::ChannelNumber(def, 2), 3u);
    EXPECT_EQ(UDimDefRows::ChannelNumber(def, 3), 25u);
    // With a prefix of 2: rows 0-1 prefix, 2-4 per dot, 5 suffix = 2 + 8 × 3 + 1.
    CRecord* pre = Def(store, "B", 4, 2, 2, 1, {5, 6, -1, -2, -3, 9});
    EXPECT_EQ(UDimDefRows::ChannelNumber(pre, 4), 5u);
    EXPECT_EQ(UDimDefRows::ChannelNumber(pre, 5), 27u);
}

TEST(DimDefRows, HandlesHideAtTheSectionEnds) {
    CDimDefStore store;
    CRecord* both = Def(store, "A", 2, 1, 2, 1, {5, 6, -1, -2, -3, 9});
    std::vector<uint32_t> ops;
    for (uint32_t i = 0; i < UDimDefRows::Count(both); ++i) ops.push_back(UDimDefRows::HandleOperation(both, i));
    EXPECT_EQ(ops, (std::vector<uint32_t>{1, 0, 1, 1, 0, 1}));
    // Without suffix channels the last per-dot row keeps its handle.
    CRecord* none = Def(store, "B", 2, 1, 0, 0, {-1, -2});
    EXPECT_EQ(UDimDefRows::HandleOperation(none, 1), 1u);
}

TEST(DimDefRows, CountsBeyondTheTableGiveRows) {
    CDimDefStore store;
    // 'prcs' + 'pscs' larger than the table: the rows follow the counts, past the end shows "0".
    CRecord* def = Def(store, "A", 1, 1, 3, 2, {});
    EXPECT_EQ(UDimDefRows::Count(def), 5u);
    EXPECT_EQ(UDimDefRows::ValueText(def, 4), "0");
    EXPECT_EQ(UDimDefRows::Count(nullptr), 0u);
}

}  // namespace
