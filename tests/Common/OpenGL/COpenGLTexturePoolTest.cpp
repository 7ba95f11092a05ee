#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "Common/OpenGL/COpenGLBuffer.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLFBO.h"
#include "Common/OpenGL/COpenGLRenderbuffer.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/OpenGL/COpenGLTexture.h"
#include "Common/OpenGL/COpenGLTexturePool.h"
#include "Common/OpenGL/CRefH.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"

namespace {

class COpenGLTexturePoolTest : public OpenGLTest {
protected:
    bool IsTexture(unsigned name) {
        COpenGLScope_Cca scope(Common());
        return glIsTexture(name);
    }
};

TEST_F(COpenGLTexturePoolTest, MostRecentlyReturnedComesBackFirst) {
    auto* pool = new COpenGLTexturePool(GL_TEXTURE_RECTANGLE_ARB);
    pool->magic(16, 16);
    plat::Ref<COpenGLTexture> a = pool->AllocTexture(Common());
    plat::Ref<COpenGLTexture> b = pool->AllocTexture(Common());
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->target(), static_cast<unsigned>(GL_TEXTURE_RECTANGLE_ARB));
    EXPECT_EQ(a->pool(), pool);
    const unsigned nameA = a->name(), nameB = b->name();
    COpenGLTexture* const returnedA = a.get();
    COpenGLTexture* const returnedB = b.get();
    a = nullptr;
    b = nullptr;
    EXPECT_EQ(pool->freeCount(), 2u);
    EXPECT_EQ(returnedB->RetainCount(), 0);  // pooled, not deleted

    plat::Ref<COpenGLTexture> first = pool->AllocTexture(Common());
    EXPECT_EQ(first, returnedB);
    EXPECT_EQ(first->name(), nameB);
    EXPECT_EQ(first->RetainCount(), 1);
    plat::Ref<COpenGLTexture> second = pool->AllocTexture(Common());
    EXPECT_EQ(second, returnedA);
    EXPECT_EQ(second->name(), nameA);
    EXPECT_EQ(pool->freeCount(), 0u);
    first = nullptr;
    second = nullptr;
    pool->Release();
    EXPECT_FALSE(IsTexture(nameA));
    EXPECT_FALSE(IsTexture(nameB));
}

TEST_F(COpenGLTexturePoolTest, TextureThePoolNeverHandedOutIsDeletedNotLost) {
    auto* pool = new COpenGLTexturePool(GL_TEXTURE_2D);
    plat::Ref<COpenGLTexture> stray = COpenGLTexture::New(Common(), GL_TEXTURE_2D, pool);
    ASSERT_NE(stray, nullptr);
    const unsigned name = stray->name();
    EXPECT_TRUE(IsTexture(name));
    stray = nullptr;
    EXPECT_FALSE(IsTexture(name));
    EXPECT_EQ(pool->count(), 0u);
    EXPECT_EQ(pool->freeCount(), 0u);
    pool->Release();
}

TEST_F(COpenGLTexturePoolTest, NewSizeDropsFreeAndDetachesHandedOut) {
    auto* pool = new COpenGLTexturePool(GL_TEXTURE_2D);
    pool->magic(8, 8);
    CRefH<COpenGLTexture> held;
    held.HoldNew(pool->AllocTexture(Common()));
    plat::Ref<COpenGLTexture> spare = pool->AllocTexture(Common());
    const unsigned spareName = spare->name(), heldName = held->name();
    spare = nullptr;

    pool->magic(8, 8);  // same size keeps the free one
    EXPECT_EQ(pool->freeCount(), 1u);
    EXPECT_TRUE(IsTexture(spareName));

    pool->magic(4, 4);
    EXPECT_EQ(pool->count(), 0u);
    EXPECT_FALSE(IsTexture(spareName));
    EXPECT_EQ(held->pool(), nullptr);
    EXPECT_TRUE(IsTexture(heldName));
    held.Clear();  // detached: deleted, not pooled
    EXPECT_FALSE(IsTexture(heldName));
    EXPECT_EQ(pool->count(), 0u);
    pool->Release();
}

// Textures released on other threads while their pool goes away must never touch the dead pool.
TEST_F(COpenGLTexturePoolTest, ReleasesRacingThePoolsDestruction) {
    for (int round = 0; round < 20; ++round) {
        auto* pool = new COpenGLTexturePool(GL_TEXTURE_2D);
        pool->magic(4, 4);
        std::vector<COpenGLTexture*> textures;
        for (int i = 0; i < 8; ++i)
            textures.push_back(pool->AllocTexture(Common()).release());  // released by hand below
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&, t] {
                for (int i = t; i < 8; i += 4) textures[i]->Release();
            });
        }
        pool->Release();
        for (auto& thread : threads) thread.join();
    }
}

TEST_F(COpenGLTexturePoolTest, PrepareForAnotherTargetMakesANewName) {
    plat::Ref<COpenGLTexture> texture = COpenGLTexture::New(Common(), GL_TEXTURE_2D, nullptr);
    ASSERT_NE(texture, nullptr);
    const unsigned first = texture->name();
    EXPECT_EQ(texture->Prepare(Common(), GL_TEXTURE_2D), first);
    const unsigned second = texture->Prepare(Common(), GL_TEXTURE_RECTANGLE_ARB);
    EXPECT_NE(second, 0u);
    EXPECT_NE(second, first);
    EXPECT_EQ(texture->target(), static_cast<unsigned>(GL_TEXTURE_RECTANGLE_ARB));
    EXPECT_FALSE(IsTexture(first));
    texture = nullptr;
    EXPECT_FALSE(IsTexture(second));
}

TEST_F(COpenGLTexturePoolTest, NamesOfOtherObjectsAreMadeOnceAndDeletedOnTheCommonContext) {
    COpenGLContext_Cca context(nullptr, nullptr);
    auto* buffer = new COpenGLBuffer;
    auto* renderbuffer = new COpenGLRenderbuffer;
    auto* fbo = new COpenGLFBO;
    const unsigned bufferName = buffer->Prepare(context);
    EXPECT_NE(bufferName, 0u);
    EXPECT_EQ(buffer->Prepare(context), bufferName);
    const unsigned renderbufferName = renderbuffer->Prepare(context);
    unsigned fboName;
    {
        COpenGLScope_Cca scope(context);
        fboName = fbo->Prepare(context);
        glBindBuffer(GL_ARRAY_BUFFER, bufferName);
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, renderbufferName);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fboName);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
    }
    EXPECT_NE(fboName, 0u);
    buffer->Release();
    renderbuffer->Release();
    fbo->Release();
    COpenGLScope_Cca scope(context);
    EXPECT_FALSE(glIsBuffer(bufferName));
    EXPECT_FALSE(glIsRenderbufferEXT(renderbufferName));
    EXPECT_FALSE(glIsFramebufferEXT(fboName));

    COpenGLBuffer deleted;
    deleted.Prepare(context);
    deleted.Delete(context);
    EXPECT_EQ(deleted.name(), 0u);
}

}  // namespace
