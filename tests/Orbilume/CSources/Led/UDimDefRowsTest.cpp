#include "Orbilume/CSources/Led/UDimDefRows.h"

#include <gtest/gtest.h>

#include <cmath>
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

TEST(DimDefEdits, TypedChannelValues) {
    CDimDefStore store;
    Def(store, "A", 1, 1, 0, 0, {5, 5, 5});
    CRecordRef ref = store.RefOf("A");
    EXPECT_TRUE(UDimDefEdits::SetChannelText(nullptr, ref, 0, "g"));
    EXPECT_EQ(CDimDefStore::ChannelCode(ref.Get(), 0), -2);
    EXPECT_EQ(UDimDefRows::ValueText(ref.Get(), 0), "G");
    EXPECT_TRUE(UDimDefEdits::SetChannelText(nullptr, ref, 1, "300"));
    EXPECT_EQ(CDimDefStore::ChannelCode(ref.Get(), 1), 255);
    EXPECT_FALSE(UDimDefEdits::SetChannelText(nullptr, ref, 2, "X"));
    EXPECT_EQ(CDimDefStore::ChannelCode(ref.Get(), 2), 5);
    // No row past the list.
    EXPECT_FALSE(UDimDefEdits::SetChannelText(nullptr, ref, 3, "7"));
    EXPECT_EQ(UDimDefRows::Count(ref.Get()), 3u);
}

TEST(DimDefEdits, AnotherCompositionLocksTheCountsAndKeepsThem) {
    CDimDefStore store;
    Def(store, "A", 2, 1, 1, 2, {9, -1, -2, 7, 8});
    CRecordRef ref = store.RefOf("A");
    UDimDefEdits::Panes p = UDimDefEdits::Describe(ref.Get());
    EXPECT_TRUE(p.countsEditable);
    EXPECT_TRUE(p.listAttached);
    EXPECT_EQ(p.counts[UDimDefEdits::kPrefix], 1u);
    EXPECT_EQ(p.counts[UDimDefEdits::kPerDot], 2u);
    EXPECT_EQ(p.counts[UDimDefEdits::kSuffix], 2u);
    ASSERT_TRUE(UDimDefEdits::SetComposition(nullptr, ref, 1));
    const UDimDefEdits::Panes locked = UDimDefEdits::Describe(ref.Get());
    EXPECT_FALSE(locked.countsEditable);
    EXPECT_FALSE(locked.listAttached);
    for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(locked.counts[i], p.counts[i]) << i;
    // Locked counts take no edit.
    UDimDefEdits::SetCount(nullptr, ref, UDimDefEdits::kPrefix, 5);
    EXPECT_EQ(ref->GetByte(T::kDidfPrefixCount), 1);
}

TEST(DimDefEdits, KnobValuesAreClamped) {
    CDimDefStore store;
    Def(store, "A", 2, 2, 0, 0, {});
    CRecordRef ref = store.RefOf("A");
    const struct {
        double value;
        uint32_t stored;
    } grid[] = {{500, 170}, {0, 1}, {-3, 1}, {std::nan(""), 1}, {4.4, 4}, {170, 170}};
    for (const auto& c : grid) {
        (void)UDimDefEdits::SetGrid(nullptr, ref, T::kDidfColumns, c.value, false);
        EXPECT_EQ(ref->GetUInt(T::kDidfColumns), c.stored) << c.value;
    }
    EXPECT_FALSE(UDimDefEdits::SetGrid(nullptr, ref, T::kDidfComposition, 2, false));
    (void)UDimDefEdits::SetComposition(nullptr, ref, 9);
    EXPECT_EQ(ref->GetByte(T::kDidfComposition), 3);
    (void)UDimDefEdits::SetComposition(nullptr, ref, 0);
    UDimDefEdits::SetCount(nullptr, ref, UDimDefEdits::kPerDot, 99);
    EXPECT_EQ(CDimDefStore::CodeChannels(ref.Get()), 40u);
    UDimDefEdits::SetCount(nullptr, ref, UDimDefEdits::kSuffix, -1);
    EXPECT_EQ(ref->GetByte(T::kDidfSuffixCount), 0);
}

TEST(DimDefEdits, DotCellsMapRowMajor) {
    CDimDefStore store;
    Def(store, "A", 3, 2, 0, 0, {});
    CRecordRef ref = store.RefOf("A");
    EXPECT_EQ(UDimDefEdits::DotCell(ref.Get(), 2, 1), 6);  // identity: index + 1
    ASSERT_TRUE(UDimDefEdits::SetDotCell(nullptr, ref, 1, 1, 200));
    EXPECT_EQ(CDimDefStore::DotOrder(ref.Get(), 4), 170);
    EXPECT_EQ(UDimDefEdits::DotCell(ref.Get(), 1, 1), 170);
    EXPECT_FALSE(UDimDefEdits::SetDotCell(nullptr, ref, 3, 0, 1));
    EXPECT_FALSE(UDimDefEdits::SetDotCell(nullptr, ref, 0, 2, 1));
}

}  // namespace
