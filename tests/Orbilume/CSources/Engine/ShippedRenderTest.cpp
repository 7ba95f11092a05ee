#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "Orbilume/CSources/QCx/MQcComposition_.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "Platform/Composer/GLDrawing.h"
#include "Platform/GL/GLContext.h"
#include "tests/support/GLFixture.h"

namespace {

class ShippedRenderTest : public testsupport::GLTest {
protected:
    plat::Ref<plat::CompositionRenderer> Renderer(const char* file) {
        plat::Ref<MQcComposition_> c =
            plat::Adopt(MQcComposition_::FromFile(std::string(SHARED_SUPPORT_DIR) + "/animators/" + file));
        if (!c) return nullptr;
        return plat::CompositionRenderer::Create(Context(), Context()->PixelFormat(), plat::ColorSpace::kSRGB,
                                                 c->compo());
    }
};

TEST_F(ShippedRenderTest, NumberAnimatorChangesWithTime) {
    auto r = Renderer("Wave.qtz");
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->IsTimeDependent());
    const double times[] = {0, 0.25, 0.5, 0.75};
    const double want[] = {0, 1, 0, -1};  // a sine of period 1 and amplitude 1
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(r->RenderAtTime(times[i]));
        EXPECT_NEAR(r->OutputValue("Value").NumberValue(), want[i], 1e-9) << times[i];
    }
}

TEST_F(ShippedRenderTest, ColourAnimatorChangesWithTime) {
    auto r = Renderer("ColorCycle.qtz");
    ASSERT_TRUE(r);
    ASSERT_TRUE(r->RenderAtTime(0));
    const plat::Color first = r->OutputValue("Color").ColorValue();
    ASSERT_TRUE(r->RenderAtTime(10.0 / 3));  // a third of the hue circle further
    const plat::Color later = r->OutputValue("Color").ColorValue();
    EXPECT_FALSE(first == later);
    EXPECT_NEAR(first.alpha, 1, 1e-6);
}

// Shaders that do not compile would leave their nodes silently out of the render.
TEST_F(ShippedRenderTest, EveryShippedShaderCompiles) {
    int shaders = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(SHARED_SUPPORT_DIR)) {
        if (e.path().extension() != ".qtz") continue;
        plat::Ref<MQcComposition_> c = plat::Adopt(MQcComposition_::FromFile(e.path()));
        ASSERT_TRUE(c) << e.path();
        for (const plat::Value& node : c->prop()["rootPatch"]["state"]["nodes"].ArrayValue()) {
            const std::string& cls = node["class"].StringValue();
            if (cls != "glsl" && cls != "imageShader") continue;
            std::string log;
            const uint32_t program =
                plat::gldraw::CompileProgram(nullptr, node["state"]["fragment"].StringValue().c_str(), &log);
            EXPECT_NE(program, 0u) << e.path() << ": " << log;
            if (program) glDeleteProgram(program);
            ++shaders;
        }
    }
    EXPECT_GE(shaders, 7);
}

}  // namespace
