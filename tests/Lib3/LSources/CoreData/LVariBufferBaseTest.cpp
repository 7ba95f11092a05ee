#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "Lib3/LSources/CoreData/LVariBufferBase.h"

// Let impossible allocations fail with null, as they do outside the sanitizer.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}

namespace {

// An owner laid out as the framework's owners are: capacity and data first, then the engine.
struct Owner {
    explicit Owner(uint16_t size, uint32_t initial = 0) : engine(data, capacity, size, initial) {}
    uint32_t capacity = 0;
    void* data = nullptr;
    LVariBufferBase engine;
};

TEST(LVariBufferBaseTest, SetSizeKeepsContentsWhenAskedAndSizesExactly) {
    LVariBuffer<int> buf(4);
    ASSERT_EQ(buf.Capacity(), 4u);
    for (int i = 0; i < 4; ++i) buf[i] = i * 10;
    ASSERT_TRUE(buf.SetSize(100, true));
    EXPECT_EQ(buf.Capacity(), 100u);
    EXPECT_EQ(buf[3], 30);
    ASSERT_TRUE(buf.SetSize(2, true));
    EXPECT_EQ(buf.Capacity(), 2u);
    EXPECT_EQ(buf[1], 10);
    // Same size without keep reallocates in place of dropping the contents.
    ASSERT_TRUE(buf.SetSize(2, false));
    EXPECT_EQ(buf[1], 10);
    ASSERT_TRUE(buf.SetSize(0, true));
    EXPECT_EQ(buf.Capacity(), 0u);
    EXPECT_EQ(buf.Data(), nullptr);
}

TEST(LVariBufferBaseTest, ReadyGrowsOnlyWhenShort) {
    Owner o(8, 10);
    void* before = o.data;
    ASSERT_TRUE(o.engine.Ready(10, 50, true));
    EXPECT_EQ(o.data, before);
    EXPECT_EQ(o.capacity, 10u);
    ASSERT_TRUE(o.engine.Ready(11, 5, true));
    EXPECT_EQ(o.capacity, 16u);
}

TEST(LVariBufferBaseTest, FailedGrowthKeepsOldBufferAndCapacity) {
    Owner o(0xFFFF, 3);
    std::memset(o.data, 0xAB, 3 * 0xFFFF);
    void* before = o.data;
    EXPECT_FALSE(o.engine.SetSize(UINT32_MAX, true));
    EXPECT_FALSE(o.engine.SetSize(UINT32_MAX, false));
    EXPECT_FALSE(o.engine.Ready(UINT32_MAX - 1, UINT32_MAX, true));
    EXPECT_EQ(o.data, before);
    EXPECT_EQ(o.capacity, 3u);
    EXPECT_EQ(static_cast<unsigned char*>(o.data)[3 * 0xFFFF - 1], 0xAB);
}

TEST(LVariBufferBaseTest, CopyAndDetach) {
    const double src[3] = {1.5, 2.5, 3.5};
    LVariBuffer<double> buf(10);
    ASSERT_TRUE(buf.Copy(src, 3));
    EXPECT_EQ(buf.Capacity(), 3u);
    EXPECT_EQ(buf[2], 3.5);

    // A source inside the buffer itself survives the resize.
    ASSERT_TRUE(buf.Copy(buf.Data() + 1, 2));
    EXPECT_EQ(buf.Capacity(), 2u);
    EXPECT_EQ(buf[0], 2.5);
    EXPECT_EQ(buf[1], 3.5);

    double* block = buf.Detach();
    EXPECT_EQ(buf.Capacity(), 0u);
    EXPECT_EQ(buf.Data(), nullptr);
    EXPECT_EQ(block[1], 3.5);
    std::free(block);
}

}  // namespace
