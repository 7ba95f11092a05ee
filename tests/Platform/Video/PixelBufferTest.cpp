#include <gtest/gtest.h>

#include <thread>

#include "Platform/Video/PixelBuffer.h"

namespace {

TEST(PixelBufferTest, RowsAreAlignedAndLockGatesTheAddress) {
    plat::Ref<plat::PixelBuffer> buffer = plat::PixelBuffer::Create(3, 2);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->PixelFormatType(), plat::kPixelFormat32BGRA);
    EXPECT_GE(buffer->BytesPerRow(), 12u);
    EXPECT_EQ(buffer->BytesPerRow() % 16, 0u);
    EXPECT_EQ(buffer->BaseAddress(), nullptr);
    EXPECT_FALSE(buffer->HasContents());
    ASSERT_TRUE(buffer->Lock(plat::kPixelBufferLockReadOnly));
    ASSERT_NE(buffer->BaseAddress(), nullptr);
    EXPECT_EQ(buffer->BaseAddress()[0], 0);
    buffer->Unlock(plat::kPixelBufferLockReadOnly);
    EXPECT_FALSE(buffer->HasContents());
    ASSERT_TRUE(buffer->Lock(0));
    buffer->BaseAddress()[buffer->DataSize() - 1] = 7;
    buffer->Unlock(0);
    buffer->Unlock(0);  // an unbalanced unlock is ignored
    EXPECT_TRUE(buffer->HasContents());
    EXPECT_EQ(buffer->BaseAddress(), nullptr);
    buffer = nullptr;
}

TEST(PixelBufferTest, RefusesBadSizesAndFormats) {
    struct Case {
        int32_t width, height;
        uint32_t format;
    };
    const Case cases[] = {{0, 1, plat::kPixelFormat32BGRA},
                          {1, -5, plat::kPixelFormat32BGRA},
                          {100000, 100000, plat::kPixelFormat32BGRA},
                          {4, 4, 0x32767579}};
    for (const Case& c : cases) {
        EXPECT_EQ(plat::PixelBuffer::Create(c.width, c.height, c.format), nullptr);
        EXPECT_EQ(plat::PixelBufferPool::Create(c.width, c.height, c.format), nullptr);
    }
}

TEST(PixelBufferTest, PoolReusesStorageAndOutlivesItsOwner) {
    plat::Ref<plat::PixelBufferPool> pool = plat::PixelBufferPool::Create(16, 8);
    ASSERT_NE(pool, nullptr);
    plat::Ref<plat::PixelBuffer> first = pool->CreatePixelBuffer();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->Lock(0));
    uint8_t* storage = first->BaseAddress();
    first->Unlock(0);
    // Released on another thread: the storage goes back to the pool.
    std::thread([last = std::move(first)]() mutable { last = nullptr; }).join();
    EXPECT_EQ(pool->FreeCount(), 1u);
    plat::Ref<plat::PixelBuffer> second = pool->CreatePixelBuffer();
    EXPECT_TRUE(second->Lock(plat::kPixelBufferLockReadOnly));
    EXPECT_EQ(second->BaseAddress(), storage);
    second->Unlock(plat::kPixelBufferLockReadOnly);
    EXPECT_EQ(second->Width(), 16);
    EXPECT_EQ(second->Height(), 8);
    // The buffer keeps its pool alive after the owner lets go.
    pool = nullptr;
    second = nullptr;
}

}  // namespace
