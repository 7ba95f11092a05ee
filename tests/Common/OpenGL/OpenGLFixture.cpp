#include "tests/Common/OpenGL/OpenGLFixture.h"

#include <epoxy/gl.h>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Platform/GL/GLContext.h"
#include "tests/support/GLFixture.h"

void OpenGLTest::SetUp() {
    testsupport::UseSoftwareGL();
    fCommon = COpenGLCommonCtx::Use();
    ASSERT_TRUE(fCommon->valid());
    COpenGLContext_Cca::SetShared(fCommon);
}

void OpenGLTest::TearDown() {
    COpenGLContext_Cca::SetShared(nullptr);
    EXPECT_EQ(plat::GLContext::Current(), nullptr) << "a scope left a context current";
}

std::vector<uint32_t> OpenGLTest::ReadTexture(unsigned target, unsigned name, int32_t width, int32_t height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    COpenGLScope_Cca scope(*COpenGLCommonCtx::Use());
    glFinish();
    glBindTexture(target, name);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(target, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data());
    glBindTexture(target, 0);
    return pixels;
}
