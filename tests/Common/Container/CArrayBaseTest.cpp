#include <gtest/gtest.h>

#include <vector>

#include "Common/Container/CArray.h"
#include "Common/Container/CArrayBase.h"

// Let impossible allocations fail with null, as they do outside the sanitizer.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}

namespace {

std::vector<int> Values(const CArray<int>& a) {
    return std::vector<int>(a.begin(), a.end());
}

CArray<int>& Fill(CArray<int>& a, int n) {
    for (int i = 0; i < n; ++i) EXPECT_TRUE(a.Append(i));
    return a;
}

std::vector<int> Ints(const CArrayBase& a) {
    const int* p = static_cast<const int*>(a.Data());
    return std::vector<int>(p, p + a.Count());
}

TEST(CArrayBaseTest, LocalRoomHoldsShortArraysAndSpillsOver) {
    alignas(int) unsigned char room[4 * sizeof(int)];
    CArrayBase a(sizeof(int), room, 4);
    EXPECT_EQ(a.Capacity(), 0u);
    const int three[] = {1, 2, 3};
    ASSERT_TRUE(a.SetElements(three, 3));
    EXPECT_EQ(a.Data(), room);
    EXPECT_EQ(a.Capacity(), 4u);
    ASSERT_TRUE(a.Insert(3, a.At(0)));  // fills the room
    EXPECT_EQ(a.Data(), room);
    ASSERT_TRUE(a.Insert(0, a.At(3)));  // its own element, moved out of the room
    EXPECT_NE(a.Data(), room);
    EXPECT_EQ(Ints(a), (std::vector<int>{1, 1, 2, 3, 1}));
    const int more[] = {7, 8, 9, 10, 11, 12};
    ASSERT_TRUE(a.PutElements(5, more, 6));
    EXPECT_EQ(Ints(a), (std::vector<int>{1, 1, 2, 3, 1, 7, 8, 9, 10, 11, 12}));
    ASSERT_TRUE(a.SetElements(more, 2));  // short again: back in the room
    EXPECT_EQ(a.Data(), room);
    EXPECT_EQ(Ints(a), (std::vector<int>{7, 8}));
    ASSERT_TRUE(a.SetElements(nullptr, 0));
    EXPECT_TRUE(a.IsEmpty());
    ASSERT_TRUE(a.InsertElements(0, more, 6));
    EXPECT_EQ(Ints(a), (std::vector<int>{7, 8, 9, 10, 11, 12}));
}

TEST(CArrayBaseTest, SingleInsertsGrowBy32ThenDouble) {
    CArray<int> a;
    EXPECT_EQ(a.Capacity(), 0u);
    struct Step {
        int count;  // elements after the insert
        uint32_t capacity;
    } steps[] = {{1, 33}, {33, 33}, {34, 68}, {68, 68}, {69, 138}};
    int n = 0;
    for (const Step& s : steps) {
        while (n < s.count) ASSERT_TRUE(a.Append(n++));
        EXPECT_EQ(a.Capacity(), s.capacity) << "after " << s.count << " inserts";
    }
    for (int i = 0; i < n; ++i) ASSERT_EQ(a[i], i);
}

TEST(CArrayBaseTest, InsertClampsIndexAndShiftsTail) {
    CArray<int> a;
    a.Insert(0, 2);
    a.Insert(0, 0);
    a.Insert(1, 1);
    a.Insert(1000, 3);
    EXPECT_EQ(Values(a), (std::vector<int>{0, 1, 2, 3}));
}

TEST(CArrayBaseTest, InsertOfItsOwnElementAcrossGrowth) {
    CArray<int> a;
    Fill(a, 33);
    ASSERT_EQ(a.Capacity(), a.Count());
    ASSERT_TRUE(a.Insert(0, a[32]));  // the source moves when the buffer grows
    EXPECT_EQ(a[0], 32);
    EXPECT_EQ(a[1], 0);
    ASSERT_TRUE(a.InsertElements(1, a.Data() + 30, 4));  // and when the tail shifts
    EXPECT_EQ(Values(a).size(), 38u);
    EXPECT_EQ((std::vector<int>(a.begin(), a.begin() + 6)), (std::vector<int>{32, 29, 30, 31, 32, 0}));
}

TEST(CArrayBaseTest, RemoveCases) {
    struct Case {
        uint32_t index, n;
        std::vector<int> left;
    } cases[] = {
        {2, 10, {0, 1}}, {5, 1, {0, 1, 2, 3, 4}}, {9, 1, {0, 1, 2, 3, 4}}, {1, 2, {0, 3, 4}},
        {0, 5, {}},      {4, 1, {0, 1, 2, 3}},    {0, 1, {1, 2, 3, 4}},    {3, UINT32_MAX, {0, 1, 2}},
    };
    for (const Case& c : cases) {
        CArray<int> a;
        Fill(a, 5);
        a.Remove(c.index, c.n);
        EXPECT_EQ(Values(a), c.left) << "Remove(" << c.index << ", " << c.n << ")";
        EXPECT_EQ(a.Capacity(), 33u);
    }
}

TEST(CArrayBaseTest, BulkInsertGrowsExactlyAndZeroesWithoutSource) {
    CArray<int> a;
    const int src[3] = {7, 8, 9};
    ASSERT_TRUE(a.InsertElements(0, src, 3));
    EXPECT_EQ(a.Capacity(), 3u);
    ASSERT_TRUE(a.InsertElements(1, nullptr, 2));
    EXPECT_EQ(a.Capacity(), 5u);
    EXPECT_EQ(Values(a), (std::vector<int>{7, 0, 0, 8, 9}));
    ASSERT_TRUE(a.InsertElements(99, src, 1));
    EXPECT_EQ(a[5], 7);
}

TEST(CArrayBaseTest, SetElementsMakesExactlyN) {
    CArray<int> a;
    Fill(a, 10);
    const int src[2] = {4, 5};
    ASSERT_TRUE(a.SetElements(src, 2));
    EXPECT_EQ(Values(a), (std::vector<int>{4, 5}));
    EXPECT_EQ(a.Capacity(), 2u);
    ASSERT_TRUE(a.SetElements(nullptr, 3));
    EXPECT_EQ(Values(a), (std::vector<int>{0, 0, 0}));
    ASSERT_TRUE(a.SetElements(a.Data() + 1, 1));
    EXPECT_EQ(a.Count(), 1u);
    ASSERT_TRUE(a.SetElements(nullptr, 0));
    EXPECT_EQ(a.Data(), nullptr);
}

TEST(CArrayBaseTest, PutElementsWritesAndExtends) {
    const int src[2] = {7, 8};
    struct Case {
        uint32_t index;
        const int* source;
        std::vector<int> result;
    } cases[] = {
        {1, src, {0, 7, 8}},
        {2, src, {0, 1, 7, 8}},
        {5, src, {0, 1, 2, 0, 0, 7, 8}},
        {2, nullptr, {0, 1, 2, 0}},
    };
    for (const Case& c : cases) {
        CArray<int> a;
        Fill(a, 3);
        ASSERT_TRUE(a.PutElements(c.index, c.source, 2));
        EXPECT_EQ(Values(a), c.result) << "index " << c.index;
    }
}

TEST(CArrayBaseTest, MoveShiftsTheElementsBetween) {
    struct Case {
        uint32_t from, to;
        bool ok;
        std::vector<int> result;
    } cases[] = {
        {0, 3, true, {1, 2, 3, 0, 4}},  {4, 1, true, {0, 4, 1, 2, 3}},  {2, 2, true, {0, 1, 2, 3, 4}},
        {5, 0, false, {0, 1, 2, 3, 4}}, {0, 5, false, {0, 1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        CArray<int> a;
        Fill(a, 5);
        EXPECT_EQ(a.Move(c.from, c.to), c.ok);
        EXPECT_EQ(Values(a), c.result) << c.from << " -> " << c.to;
    }
}

TEST(CArrayBaseTest, CopyNeedsTheSameElementSize) {
    CArray<int> a, b;
    Fill(a, 40);
    ASSERT_TRUE(b.Copy(a));
    EXPECT_EQ(Values(b), Values(a));
    CArray<double> d;
    EXPECT_FALSE(d.Copy(a));
    EXPECT_EQ(d.Count(), 0u);
}

TEST(CArrayBaseTest, FailedGrowthLeavesTheArrayAlone) {
    struct Big {
        char bytes[0xFFFF];
    };
    CArray<Big> a;
    ASSERT_TRUE(a.Append(Big{{1}}));
    EXPECT_FALSE(a.InsertElements(0, nullptr, UINT32_MAX - 1));
    EXPECT_FALSE(a.PutElements(UINT32_MAX - 5, nullptr, 3));
    EXPECT_FALSE(a.PutElements(UINT32_MAX, nullptr, 3));  // index + n overflows
    EXPECT_FALSE(a.SetElements(nullptr, UINT32_MAX));
    EXPECT_EQ(a.Count(), 1u);
    EXPECT_EQ(a.Capacity(), 33u);
    EXPECT_EQ(a[0].bytes[0], 1);
}

}  // namespace
