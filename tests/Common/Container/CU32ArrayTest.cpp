#include <gtest/gtest.h>

#include <vector>

#include "Common/Container/CU32Array.h"

namespace {

TEST(CU32ArrayTest, InsertClampsAndGrowsToTwiceCountPlusTwoZeroed) {
    CU32Array a;
    struct Step {
        uint32_t index, value;
        std::vector<uint32_t> contents;
        uint32_t capacity;
    } steps[] = {
        {5, 10, {10}, 2},
        {0, 20, {20, 10}, 2},
        {1, 30, {20, 30, 10}, 6},
        {3, 40, {20, 30, 10, 40}, 6},
        {0, 50, {50, 20, 30, 10, 40}, 6},
        {2, 60, {50, 20, 60, 30, 10, 40}, 6},
        {99, 70, {50, 20, 60, 30, 10, 40, 70}, 14},
    };
    for (const Step& s : steps) {
        ASSERT_TRUE(a.Insert(s.index, s.value));
        EXPECT_EQ(std::vector<uint32_t>(a.Data(), a.Data() + a.Count()), s.contents);
        ASSERT_EQ(a.Capacity(), s.capacity);
        for (uint32_t i = a.Count(); i < a.Capacity(); ++i) EXPECT_EQ(a.Data()[i], 0u);
    }
}

TEST(CU32ArrayTest, ZeroedLocalsByRepeatedInsertion) {
    CU32Array locals;
    for (int i = 0; i < 9; ++i) ASSERT_TRUE(locals.Insert(locals.Count(), 0));
    EXPECT_EQ(locals.Count(), 9u);
    for (uint32_t i = 0; i < locals.Capacity(); ++i) EXPECT_EQ(locals[i], 0u);
}

}  // namespace
