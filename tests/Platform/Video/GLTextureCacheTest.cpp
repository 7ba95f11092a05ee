#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "Platform/GL/GLContext.h"
#include "Platform/Video/GLTextureCache.h"
#include "Platform/Video/PixelBuffer.h"
#include "tests/support/GLFixture.h"

namespace {

class GLTextureCacheTest : public testsupport::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        fCache = plat::GLTextureCache::Create(Context(), Context()->PixelFormat());
        ASSERT_NE(fCache, nullptr);
    }
    void TearDown() override {
        fCache = nullptr;
        GLTest::TearDown();
    }

    static void FillRow(plat::PixelBuffer* buffer, int32_t row, uint32_t bgra) {
        auto* line = reinterpret_cast<uint32_t*>(buffer->BaseAddress() + buffer->BytesPerRow() * row);
        for (int32_t x = 0; x < buffer->Width(); ++x) line[x] = bgra;
    }
    static uint32_t Pixel(plat::PixelBuffer* buffer, int32_t x, int32_t row) {
        uint32_t value;
        std::memcpy(&value, buffer->BaseAddress() + buffer->BytesPerRow() * row + 4 * x, 4);
        return value;
    }
    static GLuint Attach(plat::GLTexture* texture) {
        GLuint fbo = 0;
        glGenFramebuffersEXT(1, &fbo);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo);
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, texture->Target(),
                                  texture->Name(), 0);
        return fbo;
    }

    plat::Ref<plat::GLTextureCache> fCache;
};

TEST_F(GLTextureCacheTest, TextureStartsWithBufferRowsTopFirst) {
    plat::Ref<plat::PixelBuffer> buffer = plat::PixelBuffer::Create(5, 2);
    ASSERT_TRUE(buffer->Lock(0));
    FillRow(buffer.get(), 0, 0xFFFF0000);
    FillRow(buffer.get(), 1, 0xFF00FF00);
    buffer->Unlock(0);
    plat::Ref<plat::GLTexture> texture = fCache->CreateTexture(buffer.get());
    buffer = nullptr;
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->Target(), static_cast<uint32_t>(GL_TEXTURE_RECTANGLE_ARB));
    EXPECT_TRUE(texture->IsFlipped());
    GLuint fbo = Attach(texture.get());
    EXPECT_EQ(ReadPixel(4, 0), 0xFFFF0000u);
    EXPECT_EQ(ReadPixel(0, 1), 0xFF00FF00u);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &fbo);
    texture = nullptr;
}

TEST_F(GLTextureCacheTest, DownloadBringsDrawingIntoTheBuffer) {
    plat::Ref<plat::PixelBuffer> buffer = plat::PixelBuffer::Create(4, 4);
    plat::Ref<plat::GLTexture> texture = fCache->CreateTexture(buffer.get());
    ASSERT_NE(texture, nullptr);
    GLuint fbo = Attach(texture.get());
    glViewport(0, 0, 4, 4);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 4, 1);
    glClearColor(1, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &fbo);
    ASSERT_TRUE(fCache->Download(texture.get()));
    ASSERT_TRUE(buffer->Lock(plat::kPixelBufferLockReadOnly));
    EXPECT_EQ(Pixel(buffer.get(), 3, 0), 0xFFFFFF00u);
    EXPECT_EQ(Pixel(buffer.get(), 0, 3), 0xFF0000FFu);
    buffer->Unlock(plat::kPixelBufferLockReadOnly);
    texture = nullptr;
    buffer = nullptr;
}

TEST_F(GLTextureCacheTest, ReleaseOnAnotherThreadDefersDeletionToFlush) {
    plat::Ref<plat::PixelBuffer> buffer = plat::PixelBuffer::Create(2, 2);
    plat::Ref<plat::GLTexture> texture = fCache->CreateTexture(buffer.get());
    buffer = nullptr;
    ASSERT_NE(texture, nullptr);
    GLuint name = texture->Name();
    std::thread([last = std::move(texture)]() mutable { last = nullptr; }).join();
    EXPECT_EQ(fCache->PendingDeletes(), 1u);
    EXPECT_TRUE(glIsTexture(name));
    fCache->Flush();
    EXPECT_EQ(fCache->PendingDeletes(), 0u);
    EXPECT_FALSE(glIsTexture(name));
}

TEST_F(GLTextureCacheTest, NeedsACurrentContext) {
    plat::Ref<plat::PixelBuffer> buffer = plat::PixelBuffer::Create(2, 2);
    EXPECT_TRUE(plat::GLContext::ClearCurrent());
    EXPECT_EQ(fCache->CreateTexture(buffer.get()), nullptr);
    EXPECT_EQ(fCache->CreateTexture(nullptr), nullptr);
    buffer = nullptr;
    ASSERT_TRUE(Context()->MakeCurrent());
}

// A texture released before lends its name and storage to the next one of its size; the new one
// still starts with its own buffer's rows, and a texture of another size gets a name of its own.
TEST_F(GLTextureCacheTest, AReleasedTextureOfTheSameSizeIsReusedWithTheNewContents) {
    auto filled = [](int32_t width, int32_t height, uint32_t top, uint32_t bottom) {
        plat::Ref<plat::PixelBuffer> buffer = plat::PixelBuffer::Create(width, height);
        EXPECT_TRUE(buffer->Lock(0));
        FillRow(buffer.get(), 0, top);
        FillRow(buffer.get(), height - 1, bottom);
        buffer->Unlock(0);
        return buffer;
    };
    plat::Ref<plat::GLTexture> first = fCache->CreateTexture(filled(5, 2, 0xFFFF0000, 0xFF00FF00).get());
    ASSERT_NE(first, nullptr);
    const GLuint firstName = first->Name();
    first = nullptr;
    plat::Ref<plat::GLTexture> second = fCache->CreateTexture(filled(5, 2, 0xFF0000FF, 0xFFFFFFFF).get());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Name(), firstName);
    GLuint fbo = Attach(second.get());
    EXPECT_EQ(ReadPixel(4, 0), 0xFF0000FFu);
    EXPECT_EQ(ReadPixel(0, 1), 0xFFFFFFFFu);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &fbo);

    second = nullptr;
    plat::Ref<plat::GLTexture> other = fCache->CreateTexture(filled(3, 3, 0xFF00FF00, 0xFF00FF00).get());
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other->Name(), firstName);
    EXPECT_FALSE(glIsTexture(firstName));  // the released one of another size was deleted
    EXPECT_EQ(fCache->PendingDeletes(), 0u);
    other = nullptr;
}

// Upload brings a changed buffer into the texture's existing storage.
TEST_F(GLTextureCacheTest, UploadReplacesTheContents) {
    plat::Ref<plat::PixelBuffer> buffer = plat::PixelBuffer::Create(4, 2);
    plat::Ref<plat::GLTexture> texture = fCache->CreateTexture(buffer.get());
    ASSERT_NE(texture, nullptr);
    ASSERT_TRUE(buffer->Lock(0));
    FillRow(buffer.get(), 0, 0xFF112233);
    FillRow(buffer.get(), 1, 0xFF445566);
    buffer->Unlock(0);
    ASSERT_TRUE(fCache->Upload(texture.get()));
    GLuint fbo = Attach(texture.get());
    EXPECT_EQ(ReadPixel(0, 0), 0xFF112233u);
    EXPECT_EQ(ReadPixel(3, 1), 0xFF445566u);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &fbo);
    texture = nullptr;
    buffer = nullptr;
}

}  // namespace
