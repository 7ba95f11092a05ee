#include <gtest/gtest.h>

#include "Lib3/LSources/CoreData/CHeapBuffer.h"

namespace {

TEST(CHeapBuffer, ZeroSizeHasNoBlock) {
    CHeapBuffer none(0);
    EXPECT_EQ(none.Data(), nullptr);
    EXPECT_EQ(none.Size(), 0u);

    CHeapBuffer block(512);
    ASSERT_NE(block.Data(), nullptr);
    EXPECT_EQ(block.Size(), 512u);
    block.Data()[511] = 1;  // the whole block is usable (checked by the address sanitizer)
}

}  // namespace
