#include <gtest/gtest.h>

#include "Common/Memory/CRefObj.h"

namespace {

struct Counted : CRefObj {
    explicit Counted(int* deleted) : fDeleted(deleted) {}
    ~Counted() override { ++*fDeleted; }
    int* fDeleted;
};

TEST(CRefObjTest, LastReleaseDeletesOnce) {
    int deleted = 0;
    auto* o = new Counted(&deleted);
    o->Retain();
    o->Release();
    EXPECT_EQ(deleted, 0);
    o->Release();
    EXPECT_EQ(deleted, 1);
}

TEST(CRefObjTest, FreeDeletesThroughTheDerivedDestructorAndIgnoresNull) {
    int deleted = 0;
    CRefObj* o = new Counted(&deleted);
    o->Retain();
    CRefObj::Free(o);
    EXPECT_EQ(deleted, 1);
    CRefObj::Free(nullptr);
}

}  // namespace

namespace {

struct Recycled : CRefObj {
    explicit Recycled(int* recycled) : fRecycled(recycled) {}
    void Dispose() const override { ++*fRecycled; }
    int* fRecycled;
};

TEST(CRefObjTest, LastReleaseAndFreeGoThroughDispose) {
    int recycled = 0;
    Recycled r(&recycled);
    r.Retain();
    r.Release();
    EXPECT_EQ(recycled, 0);
    r.Release();
    EXPECT_EQ(recycled, 1);
    CRefObj::Free(&r);
    EXPECT_EQ(recycled, 2);
}

}  // namespace
