#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <thread>

#include "Common/OpenGL/COpenGLTexture.h"
#include "Common/OpenGL/COpenGLTexturePool.h"
#include "Orbilume/CSources/Media/MCIImageTex.h"
#include "Platform/Composer/GLTextureImage.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"

namespace {

class MCIImageTexTest : public OpenGLTest {};

// The image keeps the texture; released on another thread, the texture goes back to its pool.
TEST_F(MCIImageTexTest, ReleasedOnAnotherThreadReturnsTheTextureToItsPool) {
    auto* pool = new COpenGLTexturePool(GL_TEXTURE_2D);
    pool->magic(8, 4);
    plat::Ref<COpenGLTexture> texture = pool->AllocTexture(Common());
    ASSERT_NE(texture, nullptr);
    plat::Ref<plat::GLTextureImage> image = MCIImageTex::Create(texture.get(), 8, 4);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Name(), texture->name());
    EXPECT_FALSE(image->IsFlipped());
    EXPECT_EQ(image->Width(), 8u);
    texture = nullptr;
    EXPECT_EQ(pool->freeCount(), 0u) << "the image still holds the texture";
    std::thread([image = std::move(image)]() mutable { image = nullptr; }).join();
    EXPECT_EQ(pool->freeCount(), 1u);
    pool->Relinquish();
    pool->Release();
}

TEST_F(MCIImageTexTest, RefusesMissingTexturesAndSizes) {
    EXPECT_FALSE(MCIImageTex::Create(nullptr, 8, 8));
    auto* pool = new COpenGLTexturePool(GL_TEXTURE_2D);
    pool->magic(8, 8);
    plat::Ref<COpenGLTexture> texture = pool->AllocTexture(Common());
    EXPECT_FALSE(MCIImageTex::Create(texture.get(), 0, 8));
    EXPECT_EQ(texture->RetainCount(), 1) << "a refused image takes no reference";
    texture = nullptr;
    pool->Relinquish();
    pool->Release();
}

}  // namespace
