#include <gtest/gtest.h>
#include <unistd.h>

#include "Common/File/CAliasResolver.h"
#include "tests/support/SpecTempDir.h"

namespace {

TEST(CAliasResolverTest, FollowsLinkChains) {
    testsupport::SpecTempDir dir;
    dir.Write("target", "x");
    ASSERT_EQ(symlink(dir.File("target").c_str(), dir.File("link1").c_str()), 0);
    ASSERT_EQ(symlink(dir.File("link1").c_str(), dir.File("link2").c_str()), 0);
    ASSERT_EQ(symlink(dir.File("nowhere").c_str(), dir.File("dangling").c_str()), 0);

    CAliasResolver chain(dir.Child("link2"));
    EXPECT_EQ(chain.Status(), 0u);
    EXPECT_TRUE(chain.WasAlias());
    EXPECT_EQ(chain.Spec(), dir.Child("target"));

    CAliasResolver plain(dir.Child("target"));
    EXPECT_EQ(plain.Status(), 0u);
    EXPECT_FALSE(plain.WasAlias());
    EXPECT_EQ(CAliasResolver(dir.Child("dangling")).Status(), 3u);
    EXPECT_EQ(CAliasResolver(dir.Child("missing")).Status(), 3u);
    EXPECT_EQ(CAliasResolver(LFsDescendS(dir.Child("none"), "x").Spec()).Status(), 2u);

    CAliasResolver::SetEnabled(false);
    CAliasResolver off(dir.Child("link2"));
    EXPECT_EQ(off.Status(), 0u);
    EXPECT_FALSE(off.WasAlias());
    EXPECT_EQ(off.Spec(), dir.Child("link2"));
    CAliasResolver::SetEnabled(true);
}

}  // namespace
