#include <gtest/gtest.h>

#include <cstring>

#include "Lib3/LSources/Mac/LAEDesc.h"
#include "Platform/AppKit/Event.h"

namespace {

using plat::AEDesc;
using plat::AppleEvents;

constexpr plat::DescType kText = plat::FourCC("TEXT");

TEST(LAEDescTest, OwnedDescriptorsAreCreatedAndDisposed) {
    LAEDesc d;
    EXPECT_TRUE(d.IsNull());
    EXPECT_FALSE(d.IsBorrowed());
    ASSERT_EQ(d.Create(kText, "abc", 3), plat::kNoErr);
    EXPECT_EQ(d.Desc().type, kText);
    EXPECT_EQ(d.Desc().data.size(), 3u);
    EXPECT_TRUE(d.Dispose().IsNull());
    EXPECT_EQ(d.Create(kText, nullptr, 4), plat::kErrParam);  // bytes promised, none given
}

TEST(LAEDescTest, DisposingABorrowedHolderLeavesTheDescriptorIntact) {
    AEDesc other;
    ASSERT_EQ(AppleEvents::CreateDesc(kText, "keep", 4, other), plat::kNoErr);
    {
        LAEDesc d;
        d.Borrow(&other);
        EXPECT_TRUE(d.IsBorrowed());
        EXPECT_EQ(d.Desc().type, kText);
        d.Dispose();
        EXPECT_TRUE(d.IsNull());
        EXPECT_FALSE(d.IsBorrowed());
        d.Borrow(&other);
    }  // the destructor lets go too
    EXPECT_EQ(other.type, kText);
    EXPECT_EQ(std::memcmp(other.data.data(), "keep", 4), 0);
}

TEST(LAEDescTest, BorrowingNothingMakesAnOwnedEmptyListReadByZeroBasedIndex) {
    LAEDesc d;
    d.Borrow(nullptr);
    EXPECT_FALSE(d.IsBorrowed());
    EXPECT_EQ(d.Desc().type, plat::kTypeList);
    EXPECT_EQ(AppleEvents::CountItems(d.Desc()), 0u);
    ASSERT_EQ(AppleEvents::PutPtr(d.Desc(), 0, kText, "first", 5), plat::kNoErr);
    ASSERT_EQ(AppleEvents::PutPtr(d.Desc(), 0, kText, "second", 6), plat::kNoErr);

    struct Case {
        uint32_t index;
        plat::DescType type;
        uint32_t capacity;
        plat::OSErr err;
        uint32_t size;
        const char* text;
    } cases[] = {
        {0, kText, 16, plat::kNoErr, 5, "first"},  // index 0 is the first item
        {1, plat::kTypeWildCard, 16, plat::kNoErr, 6, "second"},
        {1, kText, 3, plat::kNoErr, 6, "sec"},  // a short buffer takes what fits, size says all
        {2, kText, 16, plat::kErrAEDescNotFound, 0, ""},
        {UINT32_MAX, kText, 16, plat::kErrAEDescNotFound, 0, ""},
        {0, plat::FourCC("long"), 16, plat::kErrAECoercionFail, 0, ""},
    };
    for (const Case& c : cases) {
        char buffer[16] = {};
        uint32_t size = c.capacity;
        EXPECT_EQ(d.GetNthPtr(c.index, c.type, buffer, size), c.err) << c.index;
        EXPECT_EQ(size, c.size) << c.index;
        EXPECT_EQ(std::string(buffer, std::min<uint32_t>(size, c.capacity)), c.text) << c.index;
    }
    // Not a list: nothing to read.
    LAEDesc plain;
    ASSERT_EQ(plain.Create(kText, "x", 1), plat::kNoErr);
    uint32_t size = 4;
    char buffer[4];
    EXPECT_EQ(plain.GetNthPtr(0, kText, buffer, size), plat::kErrAEWrongDataType);
    EXPECT_EQ(size, 0u);
}

TEST(LAEDescTest, TheWaitIdleRoutineSleepsOneTickAndNeverEndsTheWait) {
    uint32_t sleep = 99;
    CRgn* region = reinterpret_cast<CRgn*>(&sleep);
    EXPECT_FALSE(AEWaitIdle(nullptr, &sleep, &region));
    EXPECT_EQ(sleep, 1u);
    EXPECT_EQ(region, nullptr);
    plat::Event key;
    key.type = plat::EventType::kKeyDown;
    sleep = 99;
    EXPECT_FALSE(AEWaitIdle(&key, &sleep, &region));
    EXPECT_EQ(sleep, 99u);
}

}  // namespace
