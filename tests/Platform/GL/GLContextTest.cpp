#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <thread>

#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLPixelFormat.h"
#include "Platform/GL/GLSurface.h"
#include "tests/support/GLFixture.h"

namespace {

using testsupport::GLTest;

class GLContextTest : public GLTest {};

TEST_F(GLContextTest, CompatibilityContextOnSoftwareRenderer) {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    ASSERT_NE(version, nullptr);
    EXPECT_NE(std::string(version).find("Compatibility"), std::string::npos) << version;
    // Fixed-function state exists only in the compatibility profile.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GLContextTest, CurrentContextIsPerThread) {
    EXPECT_EQ(plat::GLContext::Current(), Context());
    plat::GLContext* seen = Context();
    std::thread([&] { seen = plat::GLContext::Current(); }).join();
    EXPECT_EQ(seen, nullptr);
    EXPECT_TRUE(plat::GLContext::ClearCurrent());
    EXPECT_EQ(plat::GLContext::Current(), nullptr);
    EXPECT_TRUE(Context()->MakeCurrent());
}

TEST_F(GLContextTest, PixelFormatAnswers) {
    struct Case {
        plat::GLPixelFormatAttributes asked;
        int32_t minDepth;
        int32_t sampleBuffers;
        int32_t samples;
    };
    const Case cases[] = {
        {{0, 0, false}, 0, 0, 0}, {{24, 0, false}, 24, 0, 0}, {{16, 1, true}, 16, 0, 0},
        {{0, 2, false}, 0, 1, 2}, {{24, 4, true}, 24, 1, 4},
    };
    for (const Case& c : cases) {
        plat::Ref<plat::GLPixelFormat> format = plat::GLPixelFormat::Create(c.asked);
        ASSERT_NE(format, nullptr);
        if (c.minDepth == 0) {
            EXPECT_EQ(format->DepthBits(), 0);
        } else {
            EXPECT_GE(format->DepthBits(), c.minDepth);
        }
        EXPECT_EQ(format->SampleBuffers(), c.sampleBuffers);
        EXPECT_EQ(format->Samples(), c.samples);
        EXPECT_EQ(format->DoubleBuffer(), c.asked.doubleBuffer);
        format = nullptr;
    }
}

// Textures and EXT framebuffer objects made in one context are usable in another of its share group.
TEST_F(GLContextTest, ShareGroupSharesTexturesAndFramebuffers) {
    plat::Ref<plat::GLContext> other = plat::GLContext::Create(Context()->PixelFormat(), Context());
    ASSERT_NE(other, nullptr);
    GLuint texture = 0;
    GLuint fbo = MakeBoundFramebuffer(8, 8, &texture);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glFinish();

    ASSERT_TRUE(other->MakeCurrent());
    EXPECT_TRUE(glIsTexture(texture));
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo);
    EXPECT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT),
              static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_EXT));
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(ReadPixel(3, 3), 0xFF0000FFu);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glFinish();

    ASSERT_TRUE(Context()->MakeCurrent());
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo);
    EXPECT_EQ(ReadPixel(0, 0), 0xFF0000FFu);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &fbo);
    glDeleteTextures(1, &texture);
    other = nullptr;
}

TEST_F(GLContextTest, OffscreenSurfaceDrawsResizesAndSwaps) {
    plat::Ref<plat::GLPixelFormat> format = plat::GLPixelFormat::Create({0, 0, true});
    ASSERT_NE(format, nullptr);
    plat::Ref<plat::GLContext> context = plat::GLContext::Create(format.get(), Context());
    ASSERT_NE(context, nullptr);
    plat::OffscreenGLWindowHost host;
    plat::Ref<plat::GLSurface> surface = host.CreateGLSurface(format.get(), 32, 16);
    ASSERT_NE(surface, nullptr);
    EXPECT_TRUE(context->SetSwapInterval(1));
    ASSERT_TRUE(context->SetSurface(surface.get()));
    ASSERT_TRUE(context->MakeCurrent());

    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(ReadPixel(31, 15), 0xFFFF0000u);
    EXPECT_TRUE(context->Swap());

    ASSERT_TRUE(surface->Resize(64, 40));
    EXPECT_EQ(plat::GLContext::Current(), context);
    glViewport(0, 0, 64, 40);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(ReadPixel(63, 39), 0xFF00FF00u);
    EXPECT_EQ(context->SwapInterval(), 1);

    EXPECT_TRUE(context->SetSurface(nullptr));
    EXPECT_EQ(context->Surface(), nullptr);
    EXPECT_TRUE(context->Swap());
    surface = nullptr;
    context = nullptr;
    format = nullptr;
    EXPECT_EQ(plat::GLContext::Current(), nullptr);  // destroying the current context cleared it
    ASSERT_TRUE(Context()->MakeCurrent());
}

TEST(GLSurfaceTest, RefusesBadSizes) {
    testsupport::UseSoftwareGL();
    plat::Ref<plat::GLPixelFormat> format = plat::GLPixelFormat::Create({});
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(plat::GLSurface::CreateOffscreen(format.get(), 0, 10), nullptr);
    EXPECT_EQ(plat::GLSurface::CreateOffscreen(format.get(), 10, -1), nullptr);
    EXPECT_EQ(plat::GLSurface::CreateOffscreen(nullptr, 10, 10), nullptr);
    EXPECT_EQ(plat::GLSurface::CreateOffscreen(format.get(), 1 << 20, 10), nullptr);
    format = nullptr;
}

}  // namespace
