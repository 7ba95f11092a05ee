#include "tests/support/GLFixture.h"

#include <epoxy/gl.h>

#include <cstdlib>

#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLPixelFormat.h"

namespace testsupport {

void UseSoftwareGL() {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("EGL_PLATFORM", "surfaceless", 0);
}

void GLTest::SetUp() {
    UseSoftwareGL();
    fFormat = plat::GLPixelFormat::Create({});
    ASSERT_NE(fFormat, nullptr) << "no EGL configuration";
    fContext = plat::GLContext::Create(fFormat.get(), nullptr);
    ASSERT_NE(fContext, nullptr) << "no GL context";
    ASSERT_TRUE(fContext->MakeCurrent());
}

void GLTest::TearDown() {
    EXPECT_TRUE(plat::GLContext::ClearCurrent());
    fContext = nullptr;
    fFormat = nullptr;
}

uint32_t GLTest::ReadPixel(int32_t x, int32_t y) {
    uint32_t pixel = 0;
    glReadPixels(x, y, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &pixel);
    return pixel;
}

uint32_t GLTest::MakeBoundFramebuffer(int32_t width, int32_t height, uint32_t* texture) {
    glGenTextures(1, texture);
    glBindTexture(GL_TEXTURE_2D, *texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    GLuint fbo = 0;
    glGenFramebuffersEXT(1, &fbo);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, *texture, 0);
    glViewport(0, 0, width, height);
    return fbo;
}

}  // namespace testsupport
