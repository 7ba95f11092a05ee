#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <string>

#include "Platform/Composer/Composition.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "Platform/GL/GLContext.h"
#include "tests/Platform/Composer/RendererTestSupport.h"
#include "tests/support/GLFixture.h"

namespace {

using composertest::Ref;

class ShowCompositions : public testsupport::GLTest {};

// The fixture's first layer fills the output with a known colour.
TEST_F(ShowCompositions, FillPaintsItsColour) {
    const std::string path = std::string(ORBILUME_FIXTURE_DIR) + "/fill.qtz";
    Ref<plat::Composition> composition(plat::Composition::CreateFromFile(path));
    ASSERT_TRUE(composition);
    Ref<plat::CompositionRenderer> renderer(plat::CompositionRenderer::Create(
        Context(), Context()->PixelFormat(), plat::ColorSpace::kSRGB, composition.get()));
    ASSERT_TRUE(renderer);
    composertest::RenderTarget target = composertest::MakeRenderTarget(GL_TEXTURE_2D, 8, 8);
    ASSERT_TRUE(renderer->RenderAtTime(0));
    for (int32_t p : {0, 3, 7}) EXPECT_TRUE(composertest::PixelNear(ReadPixel(p, p), 0xFFFF8040u)) << p;
    composertest::DeleteRenderTarget(target);
}

}  // namespace
