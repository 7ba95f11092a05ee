#include <gtest/gtest.h>

#include "Platform/Foundation/Object.h"

namespace {

struct Counted : plat::Object {
    explicit Counted(int* deleted) : fDeleted(deleted) {}
    ~Counted() override { ++*fDeleted; }
    int* fDeleted;
};
struct Derived : Counted {
    using Counted::Counted;
};

TEST(Ref, AdoptCopyMoveAndReset) {
    int deleted = 0;
    {
        plat::Ref<Counted> a = plat::Adopt(new Counted(&deleted));
        EXPECT_EQ(1, a->RetainCount());
        plat::Ref<Counted> b = a;
        EXPECT_EQ(2, a->RetainCount());
        plat::Ref<Counted> c = std::move(b);
        EXPECT_FALSE(b);
        EXPECT_EQ(2, c->RetainCount());
        c = nullptr;
        EXPECT_EQ(1, a->RetainCount());
        a = a;  // self-assignment keeps the object
        EXPECT_EQ(1, a->RetainCount());
        EXPECT_EQ(0, deleted);
    }
    EXPECT_EQ(1, deleted);
}

TEST(Ref, BorrowedPointersAreRetainedAndReleaseHandsOwnershipBack) {
    int deleted = 0;
    auto* raw = new Counted(&deleted);
    {
        plat::Ref<Counted> r(raw);
        EXPECT_EQ(2, raw->RetainCount());
        plat::Ref<Counted> s = plat::RetainRef(raw);
        EXPECT_EQ(3, raw->RetainCount());
        Counted* owned = s.release();
        EXPECT_EQ(owned, raw);
        EXPECT_EQ(3, raw->RetainCount());
        owned->Release();
    }
    EXPECT_EQ(1, raw->RetainCount());
    raw->Release();
    EXPECT_EQ(1, deleted);
}

TEST(Ref, ConvertsToBaseAndResetsToAnother) {
    int deleted = 0;
    plat::Ref<Counted> base = plat::Adopt(new Derived(&deleted));
    plat::Ref<Derived> other = plat::Adopt(new Derived(&deleted));
    base.reset(other.get());
    EXPECT_EQ(1, deleted);
    EXPECT_EQ(2, other->RetainCount());
    EXPECT_TRUE(base == other.get());
    base.reset();
    other.reset();
    EXPECT_EQ(2, deleted);
}

}  // namespace
