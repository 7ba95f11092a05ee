#include "Platform/Foundation/Object.h"

#include <gtest/gtest.h>

namespace {

struct Counted : plat::Object {
    explicit Counted(int* deleted) : fDeleted(deleted) {}
    ~Counted() override { ++*fDeleted; }
    int* fDeleted;
};

TEST(ObjectTest, LastReleaseDeletesOnce) {
    int deleted = 0;
    auto* o = new Counted(&deleted);
    o->Retain();
    EXPECT_EQ(o->RetainCount(), 2);
    o->Release();
    EXPECT_EQ(deleted, 0);
    o->Release();
    EXPECT_EQ(deleted, 1);
}

TEST(ObjectTest, PoolReleasesAtEndOfInnermostScope) {
    int deleted = 0;
    {
        plat::AutoreleasePool outer;
        auto* a = new Counted(&deleted);
        a->Autorelease();
        {
            plat::AutoreleasePool inner;
            for (int i = 0; i < 40; ++i) (new Counted(&deleted))->Autorelease();
        }
        EXPECT_EQ(deleted, 40);
    }
    EXPECT_EQ(deleted, 41);
}

TEST(ObjectTest, AutoreleaseWithoutPoolKeepsTheObjectUsable) {
    int deleted = 0;
    Counted* c = new Counted(&deleted);
    const plat::Object* back = c->Autorelease();
    EXPECT_EQ(deleted, 0);
    EXPECT_EQ(back->RetainCount(), 1);
    c->Release();
    EXPECT_EQ(deleted, 1);
}

}  // namespace
