#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <thread>

#include "Specific/PlugInSupport/PlugInTexturePool.h"
#include "tests/support/GLFixture.h"

namespace {

using plugin::PlugInTexturePool;
using plugin::PlugInTextureRef;

using PlugInTexturePoolTest = testsupport::GLTest;

TEST_F(PlugInTexturePoolTest, TexturesReleasedOnAnotherThreadComeBackBySize) {
    PlugInTexturePool pool(GL_TEXTURE_RECTANGLE);
    PlugInTextureRef a = pool.Acquire(16, 8);
    ASSERT_TRUE(a);
    uint32_t name = a.Get()->Name();
    EXPECT_TRUE(glIsTexture(name));
    // The host drops its reference without a GL context.
    PlugInTextureRef held;
    held.Hold(a.Get());
    a.Prepare();
    std::thread([&] { held.Prepare(); }).join();
    PlugInTextureRef again = pool.Acquire(16, 8);
    ASSERT_TRUE(again);
    EXPECT_EQ(again.Get()->Name(), name);
    // Another size makes a new texture; the free ones of the old size are deleted then.
    PlugInTextureRef other = pool.Acquire(4, 4);
    ASSERT_TRUE(other);
    EXPECT_NE(other.Get()->Name(), name);
    again.Prepare();
    PlugInTextureRef third = pool.Acquire(4, 4);
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    other.Prepare();
    third.Prepare();
    pool.Purge();
}

TEST_F(PlugInTexturePoolTest, EmptyAndOversizedRequestsGiveNothing) {
    PlugInTexturePool pool(GL_TEXTURE_2D);
    uint32_t limit = PlugInTexturePool::MaxSize(GL_TEXTURE_2D);
    ASSERT_GT(limit, 0u);
    EXPECT_FALSE(pool.Acquire(0, 4));
    EXPECT_FALSE(pool.Acquire(4, 0));
    EXPECT_FALSE(pool.Acquire(limit + 1, 4));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(PlugInTexturePoolTest, ATextureMayOutliveItsPool) {
    PlugInTextureRef kept;
    {
        PlugInTexturePool pool(GL_TEXTURE_2D);
        kept = pool.Acquire(2, 2);
        ASSERT_TRUE(kept);
        pool.Purge();
    }
    uint32_t name = kept.Get()->Name();
    kept.Prepare();  // no pool to return to: left to the share group, no GL call
    glDeleteTextures(1, &name);
}

}  // namespace
