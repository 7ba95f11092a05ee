#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "Lib3/LSources/CoreData/LHandleBase.h"

namespace {

struct Block : LHandleData {
    explicit Block(int* deleted) : fDeleted(deleted) {}
    ~Block() override { ++*fDeleted; }
    int* fDeleted;
};

TEST(LHandleBaseTest, SharingCountsAndLastDropDeletesOnce) {
    int deleted = 0;
    auto* block = new Block(&deleted);
    {
        LHandleBase a(block);
        EXPECT_EQ(block->Count(), 1);
        LHandleBase b(a);
        LHandleBase c;
        c = b;
        EXPECT_EQ(block->Count(), 3);
        EXPECT_TRUE(a.IsSame(c));
        b.SetData(nullptr);
        c = LHandleBase();
        EXPECT_EQ(block->Count(), 1);
        EXPECT_EQ(deleted, 0);
    }
    EXPECT_EQ(deleted, 1);
}

TEST(LHandleBaseTest, SelfAssignmentKeepsTheBlock) {
    int deleted = 0;
    LHandleBase a(new Block(&deleted));
    LHandleBase& alias = a;
    a = alias;
    a.SetData(a.Data());
    a = std::move(alias);
    EXPECT_EQ(a.Data()->Count(), 1);
    EXPECT_EQ(deleted, 0);
}

TEST(LHandleBaseTest, MoveTransfersWithoutCounting) {
    int deleted = 0;
    LHandleBase a(new Block(&deleted));
    LHandleBase b(std::move(a));
    EXPECT_EQ(a.Data(), nullptr);
    EXPECT_EQ(b.Data()->Count(), 1);
    LHandleBase c(new Block(&deleted));
    c = std::move(b);  // drops c's old block
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(c.Data()->Count(), 1);
}

TEST(LHandleBaseTest, IsSameIsIdentityNotContent) {
    int deleted = 0;
    LHandleBase a(new Block(&deleted));
    LHandleBase b(new Block(&deleted));
    EXPECT_FALSE(a.IsSame(b));
    EXPECT_TRUE(LHandleBase().IsSame(LHandleBase()));
}

TEST(LHandleBaseTest, CopiesOnManyThreadsDeleteOnce) {
    int deleted = 0;
    LHandleBase shared(new Block(&deleted));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&shared] {
            for (int i = 0; i < 10000; ++i) LHandleBase copy(shared);
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(shared.Data()->Count(), 1);
    shared = LHandleBase();
    EXPECT_EQ(deleted, 1);
}

TEST(LHandleBaseTest, PermanentBlockIsNeitherCountedNorDeleted) {
    int deleted = 0;
    Block block(&deleted);
    block.MakePermanent();
    const int32_t count = block.Count();
    {
        LHandleBase a(&block);
        LHandleBase b(a);
        LHandleBase c;
        c = b;
        b.SetData(nullptr);
        EXPECT_TRUE(a.IsSame(c));
        EXPECT_EQ(block.Count(), count);
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&block] {
            for (int i = 0; i < 1000; ++i) LHandleBase h(&block);
        });
    for (auto& t : threads) t.join();
    EXPECT_TRUE(block.IsPermanent());
    EXPECT_EQ(block.Count(), count);
    EXPECT_EQ(deleted, 0);
}

}  // namespace
