#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Common/OpenGL/CGLTexTarget.h"
#include "Common/OpenGL/COffscreenFBO.h"
#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/OpenGL/CPixBufTarget.h"
#include "Platform/Video/GLTextureCache.h"
#include "Platform/Video/PixelBuffer.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"

namespace {

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

class RenderTargetTest : public OpenGLTest {
protected:
    // The pixel buffer behind a texture, rows top first.
    static std::vector<uint32_t> Image(plat::GLTexture* texture) {
        plat::PixelBuffer* buffer = texture->Image();
        std::vector<uint32_t> pixels;
        EXPECT_TRUE(buffer->Lock(plat::kPixelBufferLockReadOnly));
        for (int32_t y = 0; y < buffer->Height(); ++y) {
            for (int32_t x = 0; x < buffer->Width(); ++x) {
                uint32_t value;
                std::memcpy(&value, buffer->BaseAddress() + buffer->BytesPerRow() * y + 4 * x, 4);
                pixels.push_back(value);
            }
        }
        buffer->Unlock(plat::kPixelBufferLockReadOnly);
        return pixels;
    }

    // Clears to `bottom` and fills the GL rows from `fromRow` up with `top`.
    static void PaintBands(int32_t width, int32_t height, int32_t fromRow, uint32_t bottom, uint32_t top) {
        auto clear = [](uint32_t argb) {
            glClearColor(((argb >> 16) & 0xFF) / 255.0f, ((argb >> 8) & 0xFF) / 255.0f,
                         (argb & 0xFF) / 255.0f, 1);
            glClear(GL_COLOR_BUFFER_BIT);
        };
        clear(bottom);
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, fromRow, width, height - fromRow);
        clear(top);
        glDisable(GL_SCISSOR_TEST);
    }
};

TEST_F(RenderTargetTest, FBOTargetReadsBackAndResizesOnlyOnChange) {
    const SOpenGLOp op{24, 0, 0};
    auto* target = new COpenGLFBOTarget(8, 4, &op);
    ASSERT_TRUE(target->context().valid());
    ASSERT_NE(target->texture(), nullptr);
    EXPECT_TRUE(target->depthWanted());
    EXPECT_EQ(target->depthFormat(), static_cast<uint32_t>(GL_DEPTH_STENCIL_EXT));
    COpenGLTexture* texture = target->texture();
    target->SetSize(8, 4);
    EXPECT_EQ(target->texture(), texture);
    {
        COpenGLScope_Cca scope(target->context());
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target->fbo());
        EXPECT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT),
                  static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_EXT));
        glViewport(0, 0, 8, 4);
        PaintBands(8, 4, 3, kGreen, kRed);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    }
    std::vector<uint32_t> pixels = ReadTexture(GL_TEXTURE_RECTANGLE_ARB, texture->name(), 8, 4);
    EXPECT_EQ(pixels[0], kGreen);
    EXPECT_EQ(pixels[8 * 3 + 7], kRed);

    target->SetSize(16, 2);
    EXPECT_NE(target->texture(), texture);
    EXPECT_EQ(target->width(), 16u);
    EXPECT_EQ(target->height(), 2u);
    target->Release();
}

TEST_F(RenderTargetTest, MixCopyPutsTheTopRowFirst) {
    CGLTexTarget mix;
    mix.Prepare(6, 4, true);
    ASSERT_NE(mix.texture(), nullptr);
    {
        COpenGLScope_Cca scope(mix.context());
        GLint binding = 0;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &binding);
        EXPECT_EQ(static_cast<uint32_t>(binding), mix.fbo());
        PaintBands(6, 4, 2, kGreen, kRed);  // red on top
    }
    mix.End();
    {
        COpenGLScope_Cca scope(mix.context());
        GLint binding = -1;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &binding);
        EXPECT_EQ(binding, 0);
    }
    std::vector<uint32_t> mixPixels = ReadTexture(GL_TEXTURE_2D, mix.texture()->name(), 6, 4);
    EXPECT_EQ(mixPixels[0], kGreen);  // GL row 0 is the bottom

    mix.CopyToPixelBuffer();
    plat::Ref<plat::GLTexture> copy = mix.CopyPixelBufferTexture();
    ASSERT_NE(copy, nullptr);
    std::vector<uint32_t> image = Image(copy.get());
    EXPECT_EQ(image.front(), kRed);
    EXPECT_EQ(image[6 * 1 + 5], kRed);
    EXPECT_EQ(image[6 * 2], kGreen);
    EXPECT_EQ(image.back(), kGreen);
    copy = nullptr;

    mix.Prepare(6, 4, false);
    EXPECT_EQ(mix.texture(), nullptr);
    EXPECT_EQ(mix.CopyPixelBufferTexture(), nullptr);
}

TEST_F(RenderTargetTest, PixelBufferTargetKeepsItsPoolForTheSameSize) {
    CPixBufTarget target;
    EXPECT_EQ(target.GetTexture(0, 5), nullptr);
    EXPECT_EQ(target.GetTexture(5, 0), nullptr);
    EXPECT_EQ(target.pool(), nullptr);

    plat::Ref<plat::GLTexture> a = target.GetTexture(4, 3);
    ASSERT_NE(a, nullptr);
    plat::PixelBufferPool* pool = target.pool();
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(a->Image()->Width(), 4);
    EXPECT_EQ(a->Image()->Height(), 3);
    a = nullptr;
    EXPECT_EQ(pool->FreeCount(), 1u);
    target.SetSize(4, 3);
    plat::Ref<plat::GLTexture> b = target.Get();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(target.pool(), pool);
    EXPECT_EQ(pool->FreeCount(), 0u) << "the released buffer's storage was reused";

    plat::Ref<plat::GLTexture> c = target.GetTexture(8, 2);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(target.width(), 8u);
    EXPECT_EQ(c->Image()->Width(), 8);
    b = nullptr;
    c = nullptr;
}

// Left half red in front, the rest blue behind it, the top right green in front of all.
void DrawDepthScene() {
    glClearColor(0, 0, 0, 1);
    glClearDepth(1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    auto quad = [](float x0, float y0, float x1, float y1, float z, float r, float g, float b) {
        glColor3f(r, g, b);
        glBegin(GL_QUADS);
        glVertex3f(x0, y0, z);
        glVertex3f(x1, y0, z);
        glVertex3f(x1, y1, z);
        glVertex3f(x0, y1, z);
        glEnd();
    };
    quad(-1, -1, 0, 1, -0.5f, 1, 0, 0);
    quad(-1, -1, 1, 1, 0.0f, 0, 0, 1);
    quad(0, 0, 1, 1, -0.9f, 0, 1, 0);
    glDisable(GL_DEPTH_TEST);
}

TEST_F(RenderTargetTest, MultisampleAndPlainOffscreenPathsAgree) {
    struct Case {
        SOpenGLOp op;
        bool multisampling;
    };
    const Case cases[] = {{{0, 0, 0}, false}, {{24, 2, 0}, true}};
    std::vector<std::vector<uint32_t>> images;
    for (const Case& c : cases) {
        COffscreenFBO target(&c.op);
        ASSERT_TRUE(target.context().valid());
        target.SetSize(8, 8);
        EXPECT_EQ(target.multisampling(), c.multisampling);
        ASSERT_TRUE(target.Begin());
        {
            COpenGLScope_Cca scope(target.context());
            EXPECT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT),
                      static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_EXT));
            glViewport(0, 0, 8, 8);
            DrawDepthScene();
        }
        target.Resolve();
        plat::Ref<plat::GLTexture> first = target.GetTexture();
        ASSERT_NE(first, nullptr);
        plat::Ref<plat::GLTexture> again = target.GetTexture();
        EXPECT_EQ(again, first);
        images.push_back(Image(first.get()));
        first = nullptr;
        again = nullptr;

        // The next frame hands out a fresh copy.
        ASSERT_TRUE(target.Begin());
        target.Resolve();
        plat::Ref<plat::GLTexture> next = target.GetTexture();
        EXPECT_NE(next, nullptr);
    }
    ASSERT_EQ(images.size(), 2u);
    const std::vector<uint32_t>& plain = images[0];
    EXPECT_EQ(plain[0], kRed);           // top left
    EXPECT_EQ(plain[7], kGreen);         // top right
    EXPECT_EQ(plain[8 * 7 + 0], kRed);   // bottom left
    EXPECT_EQ(plain[8 * 7 + 7], kBlue);  // bottom right
    EXPECT_EQ(images[1], plain);
}

}  // namespace

namespace {

// Storage of a size GL refuses is a failure, not a target of that size.
TEST_F(RenderTargetTest, SizesGLRefusesAreFailures) {
    constexpr uint32_t kHuge = 1u << 20;
    auto* target = new COpenGLFBOTarget(8, 4, nullptr);
    COpenGLTexture* texture = target->texture();
    target->SetSize(kHuge, 4);
    EXPECT_EQ(target->texture(), texture);
    EXPECT_EQ(target->width(), 8u);
    target->Release();

    CGLTexTarget mix;
    mix.Prepare(kHuge, 4, true);
    EXPECT_EQ(mix.texture(), nullptr);
    mix.Prepare(4, 4, true);
    EXPECT_NE(mix.texture(), nullptr);
    mix.End();

    COffscreenFBO offscreen(nullptr);
    offscreen.SetSize(kHuge, 4);
    EXPECT_FALSE(offscreen.Begin());
    EXPECT_EQ(offscreen.GetTexture(), nullptr);
    offscreen.SetSize(4, 4);
    EXPECT_TRUE(offscreen.Begin());
    offscreen.Resolve();
}

}  // namespace
