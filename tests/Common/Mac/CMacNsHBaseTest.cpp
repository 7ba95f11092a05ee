#include <gtest/gtest.h>

#include "Common/Mac/CMacNsHBase.h"
#include "Common/Mach/CMachObjCLocalPool.h"
#include "Platform/Foundation/Object.h"

namespace {

struct Thing : plat::Object {
    explicit Thing(int* deleted) : fDeleted(deleted) {}
    ~Thing() override { ++*fDeleted; }
    int* fDeleted;
};

TEST(CMacNsHBaseTest, HoldersShareOneObject) {
    int deleted = 0;
    {
        CMacNsHBase a;
        a.HoldNew(new Thing(&deleted));
        CMacNsHBase b;
        b = a;
        EXPECT_EQ(a.Get(), b.Get());
        EXPECT_EQ(a.Get()->RetainCount(), 2);
        CMacNsHBase moved(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(moved.Get()->RetainCount(), 2);
        *b.Prepare() = nullptr;
        EXPECT_EQ(moved.Get()->RetainCount(), 1);
    }
    EXPECT_EQ(deleted, 1);
}

TEST(CMacNsHBaseTest, AutoreleasedObjectOutlivesThePoolOnlyWhenHeld) {
    int deleted = 0;
    CMacNsHBase h;
    {
        CMachObjCLocalPool pool;
        auto* kept = new Thing(&deleted);
        kept->Autorelease();
        h.Hold(kept);
        (new Thing(&deleted))->Autorelease();
        EXPECT_EQ(deleted, 0);
    }
    EXPECT_EQ(deleted, 1);
    h.Hold(nullptr);
    EXPECT_EQ(deleted, 2);
}

}  // namespace
