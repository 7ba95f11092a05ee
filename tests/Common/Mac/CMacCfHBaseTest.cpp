#include <gtest/gtest.h>

#include "Common/Mac/CMacCfHBase.h"
#include "Platform/Foundation/Object.h"

namespace {

struct Thing : plat::Object {
    explicit Thing(int* deleted) : fDeleted(deleted) {}
    ~Thing() override { ++*fDeleted; }
    int* fDeleted;
};

TEST(CMacCfHBaseTest, HoldNewTakesOverTheCreatedReference) {
    int deleted = 0;
    auto* t = new Thing(&deleted);  // count 1, as a Create call returns it
    t->Retain();                    // a second owner, to watch the count
    {
        CMacCfHBase h;
        h.HoldNew(t);
        EXPECT_EQ(t->RetainCount(), 2);
    }
    EXPECT_EQ(t->RetainCount(), 1);
    t->Release();
    EXPECT_EQ(deleted, 1);
}

TEST(CMacCfHBaseTest, HoldRetainsAndReplaces) {
    int deleted = 0;
    auto* a = new Thing(&deleted);
    auto* b = new Thing(&deleted);
    {
        CMacCfHBase h;
        h.Hold(a);
        EXPECT_EQ(a->RetainCount(), 2);
        h.Hold(a);  // holding the same object again keeps one retain
        EXPECT_EQ(a->RetainCount(), 2);
        CMacCfHBase copy(h);
        EXPECT_EQ(a->RetainCount(), 3);
        copy = copy;
        EXPECT_EQ(a->RetainCount(), 3);
        h.Hold(b);
        EXPECT_EQ(a->RetainCount(), 2);
        EXPECT_EQ(b->RetainCount(), 2);
        h.Hold(nullptr);
        EXPECT_EQ(b->RetainCount(), 1);
        EXPECT_FALSE(h);
    }
    EXPECT_EQ(a->RetainCount(), 1);
    a->Release();
    b->Release();
    EXPECT_EQ(deleted, 2);
}

TEST(CMacCfHBaseTest, PrepareReleasesAndReturnsTheSlot) {
    int deleted = 0;
    CMacCfHBase h;
    h.HoldNew(new Thing(&deleted));
    const plat::Object** slot = h.Prepare();
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(*slot, nullptr);
    *slot = new Thing(&deleted);  // as an out-parameter delivering a new reference
    EXPECT_TRUE(h);
    h = CMacCfHBase();
    EXPECT_EQ(deleted, 2);
}

}  // namespace
