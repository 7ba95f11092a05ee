#include "tests/Orbilume/CSources/QCx/QcTestSupport.h"

#include <epoxy/gl.h>

#include <cstdio>
#include <cstdlib>

#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"
#include "tests/Platform/Composer/GraphBuilder.h"

namespace qctest {

void QcGLTest::SetUp() {
    OpenGLTest::SetUp();
    MQcRenderer_::SetInternalFolder(std::string(SHARED_SUPPORT_DIR) + "/privatecompo");
}

plat::Ref<MQcComposition_> Compo(const composertest::GraphBuilder& builder) {
    plat::Ref<plat::Composition> c = builder.Build();
    return plat::Adopt(MQcComposition_::FromComposition(c.get()));
}

uint32_t BoundPixel(int32_t x, int32_t y) {
    uint32_t pixel = 0;
    glReadPixels(x, y, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &pixel);
    return pixel;
}

uint32_t TargetPixel(MQcRenderer_& renderer, int32_t x, int32_t y) {
    COpenGLFBOTarget* target = renderer.Target();
    COpenGLScope_Cca scope(target->context());
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target->fbo());
    const uint32_t pixel = BoundPixel(x, y);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    return pixel;
}

testing::AssertionResult PixelNear(uint32_t actual, uint32_t expected, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFF),
                  e = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance) {
            char text[64];
            std::snprintf(text, sizeof text, "%08X, expected %08X", actual, expected);
            return testing::AssertionFailure() << text;
        }
    }
    return testing::AssertionSuccess();
}

}  // namespace qctest
