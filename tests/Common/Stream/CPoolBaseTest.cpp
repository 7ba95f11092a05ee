#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Common/Stream/CPoolBase.h"

namespace {

std::atomic<int> gLiveObjects{0};
std::atomic<int> gLivePools{0};

class Item : public CPooled {
public:
    Item() { ++gLiveObjects; }
    ~Item() override { --gLiveObjects; }
};

class ItemPool : public CPoolBase {
public:
    ItemPool() { ++gLivePools; }
    ~ItemPool() override { --gLivePools; }
    std::atomic<int> made{0};

protected:
    CPooled* MakeNew() override {
        ++made;
        return new Item;
    }
};

TEST(CPoolBase, ReturnedObjectsAreHandedOutAgain) {
    auto* pool = new ItemPool;
    CPooled* a = pool->Prep();
    EXPECT_EQ(a->RefCount(), 1);
    EXPECT_EQ(a->Pool(), pool);
    EXPECT_EQ(pool->Uses(), 2);

    a->Retain();
    a->Release();
    EXPECT_EQ(pool->FreeCount(), 0u);
    a->Release();  // last holder: back to the pool, not deleted
    EXPECT_EQ(pool->FreeCount(), 1u);
    EXPECT_EQ(pool->Uses(), 1);
    EXPECT_EQ(gLiveObjects, 1);

    CPooled* b = pool->Prep();
    EXPECT_EQ(b, a);
    EXPECT_EQ(b->RefCount(), 1);
    EXPECT_EQ(pool->made, 1);
    b->Release();

    pool->Release();  // owner lets go with nothing outstanding: pool and free list go
    EXPECT_EQ(gLivePools, 0);
    EXPECT_EQ(gLiveObjects, 0);
}

TEST(CPoolBase, LastReturnedObjectFreesReleasedPool) {
    auto* pool = new ItemPool;
    CPooled* a = pool->Prep();
    CPooled* b = pool->Prep();
    pool->Release();
    EXPECT_EQ(gLivePools, 1);
    a->Release();
    EXPECT_EQ(gLivePools, 1);
    b->Release();
    EXPECT_EQ(gLivePools, 0);
    EXPECT_EQ(gLiveObjects, 0);
}

TEST(CPoolBase, ObjectWithoutPoolIsDeleted) {
    auto* item = new Item;
    EXPECT_EQ(gLiveObjects, 1);
    item->Release();
    EXPECT_EQ(gLiveObjects, 0);
}

TEST(CPoolBase, ThreadsShareOnePool) {
    auto* pool = new ItemPool;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([pool] {
            for (int i = 0; i < 500; ++i) {
                CPooled* a = pool->Prep();
                CPooled* b = pool->Prep();
                a->Release();
                b->Release();
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(pool->Uses(), 1);
    EXPECT_LE(pool->made, 8);
    EXPECT_EQ(pool->FreeCount(), static_cast<uint32_t>(pool->made.load()));
    pool->Release();
    EXPECT_EQ(gLivePools, 0);
    EXPECT_EQ(gLiveObjects, 0);
}

}  // namespace
