#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Platform/Composer/BufferImage.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "Platform/GL/GLContext.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/support/GLFixture.h"
#include "tests/support/PlugInFolder.h"

namespace composertest {
namespace {

using plat::Ref;
using plat::Value;

// A BGRA image whose red is 255 where red(x, y) says so (y from the top).
template <class F>
Ref<plat::BufferImage> Image(uint32_t w, uint32_t h, F red) {
    Ref<plat::BufferImage> image = plat::BufferImage::Create(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* p = image->MutableData() + size_t(y) * image->BytesPerRow() + size_t(x) * 4;
            p[0] = p[1] = 0;
            p[2] = red(x, y) ? 255 : 0;
            p[3] = 255;
        }
    return image;
}

struct Texels {
    int32_t width = 0, height = 0;
    std::vector<float> data;
    const float* At(int32_t x, int32_t y) const { return &data[(size_t(y) * size_t(width) + size_t(x)) * 4]; }
};

// A field published by name, read in the host's context.
Texels Read(uint32_t name) {
    Texels t;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &t.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &t.height);
    t.data.resize(size_t(t.width) * size_t(t.height) * 4);
    if (!t.data.empty()) glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, t.data.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return t;
}

class FluidPatchGLTest : public testsupport::GLTest {
protected:
    void TearDown() override {
        fRenderer.reset();
        fComposition.reset();
        GLTest::TearDown();
    }
    void Make(const char* patch, PortKeys inputs, PortKeys outputs) {
        fComposition = PatchGraph(patch, inputs, outputs).Build(testsupport::PlugInFolderRegistry());
        ASSERT_TRUE(fComposition);
        fRenderer = plat::CompositionRenderer::Create(Context(), Context()->PixelFormat(),
                                                      plat::ColorSpace::kSRGB, fComposition.get());
        ASSERT_TRUE(fRenderer);
    }
    void Set(const char* key, const Value& value) {
        ASSERT_TRUE(fRenderer->SetInputValue(key, value)) << key;
    }
    uint32_t Name(const char* key) { return uint32_t(fRenderer->OutputValue(key).ToIndex()); }

    Ref<plat::Composition> fComposition;
    Ref<plat::CompositionRenderer> fRenderer;
};

TEST_F(FluidPatchGLTest, SmallestGridRunsWithoutAGLError) {
    Make("Pelvane", {{"W", "inputW"}, {"H", "inputH"}, {"FgY", "inputFgY"}},
         {{"U", "outputU"}, {"P", "outputP"}});
    Set("W", Value(3.0));
    Set("H", Value(3.0));
    Set("FgY", Value(-1.0));
    for (double t : {0.0, 0.02, 0.04}) ASSERT_TRUE(fRenderer->RenderAtTime(t));
    ASSERT_NE(Name("U"), 0u);
    const Texels u = Read(Name("U"));
    EXPECT_EQ(u.width, 6);
    EXPECT_EQ(u.height, 6);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(FluidPatchGLTest, PublishedNamesGiveTheSolversFieldsInTheHostContext) {
    Make("Pelvane",
         {{"W", "inputW"},
          {"H", "inputH"},
          {"Jr", "inputJr"},
          {"FgX", "inputFgX"},
          {"BcB", "inputBcB"},
          {"BcT", "inputBcT"},
          {"Prs", "inputPrs"},
          {"PrsM", "inputPrsM"}},
         {{"U", "outputU"}, {"P", "outputP"}});
    Set("W", Value(10.0));
    Set("H", Value(8.0));
    Set("Jr", Value(0.0));
    Set("FgX", Value(2.0));
    Set("BcB", Value(1.0));
    Set("BcT", Value(1.0));
    auto red = Image(16, 12, [](uint32_t, uint32_t) { return true; });
    Set("Prs", Value(red.get()));
    Set("PrsM", Value(3.0));
    ASSERT_TRUE(fRenderer->RenderAtTime(0));  // one step of 0.017 s, then the pressure image
    const Texels u = Read(Name("U")), p = Read(Name("P"));
    ASSERT_EQ(u.width, 10);
    for (int32_t y = 1; y < 7; ++y)
        for (int32_t x = 1; x < 9; ++x) {
            EXPECT_NEAR(u.At(x, y)[0], 2 * 0.017f, 1e-6) << x << "," << y;
            EXPECT_NEAR(p.At(x, y)[0], 3, 1e-5) << x << "," << y;
        }
}

TEST_F(FluidPatchGLTest, ResizeReappliesObstacleAndForceInTheSameExecution) {
    Make("Pelvane",
         {{"W", "inputW"},
          {"H", "inputH"},
          {"BcL", "inputBcL"},
          {"BcR", "inputBcR"},
          {"PxB", "inputPxB"},
          {"PxT", "inputPxT"},
          {"FmY", "inputFmY"},
          {"Frc", "inputFrc"},
          {"Obs", "inputObs"}},
         {{"U", "outputU"}});
    Set("W", Value(12.0));
    Set("H", Value(12.0));
    Set("BcL", Value(1.0));
    Set("BcR", Value(1.0));
    Set("PxB", Value(true));
    Set("PxT", Value(true));
    Set("FmY", Value(1.0));
    auto force = Image(64, 64, [](uint32_t, uint32_t) { return true; });
    auto leftWall = Image(64, 64, [](uint32_t x, uint32_t) { return x < 32; });
    Set("Frc", Value(force.get()));
    Set("Obs", Value(leftWall.get()));
    ASSERT_TRUE(fRenderer->RenderAtTime(0));
    Set("W", Value(16.0));
    ASSERT_TRUE(fRenderer->RenderAtTime(0.01));  // one step on the cleared fields
    const Texels u = Read(Name("U"));
    ASSERT_EQ(u.width, 16);
    for (int32_t y = 2; y < 10; ++y) {
        EXPECT_EQ(u.At(5, y)[1], 0) << y;                // behind the obstacle
        EXPECT_NEAR(u.At(11, y)[1], 0.017f, 1e-5) << y;  // pushed up by the force
    }
}

TEST_F(FluidPatchGLTest, TwoPhasesWithZeroDensityStayFinite) {
    Make("VORed",
         {{"W", "inputW"},
          {"H", "inputH"},
          {"R0", "inputR0"},
          {"R1", "inputR1"},
          {"FgY", "inputFgY"},
          {"BcL", "inputBcL"},
          {"BcR", "inputBcR"},
          {"BcB", "inputBcB"},
          {"BcT", "inputBcT"},
          {"SetPh", "inputSetPh"},
          {"Vc", "inputVc"},
          {"Phase", "inputPhs"},
          {"Frz", "inputFrz"}},
         {{"U", "outputU"}, {"P", "outputP"}, {"D", "outputD"}});
    Set("W", Value(16.0));
    Set("H", Value(16.0));
    Set("R0", Value(0.0));
    Set("R1", Value(1.0));
    Set("FgY", Value(-1.0));
    for (const char* side : {"BcL", "BcR", "BcB", "BcT"}) Set(side, Value(2.0));
    auto lower = Image(32, 32, [](uint32_t, uint32_t y) { return y >= 16; });
    Set("Phase", Value(lower.get()));
    Set("SetPh", Value(true));
    Set("Vc", Value(true));
    ASSERT_TRUE(fRenderer->RenderAtTime(0));
    Set("SetPh", Value(false));
    for (int i = 1; i <= 20; ++i) ASSERT_TRUE(fRenderer->RenderAtTime(i * 0.017));
    for (const char* key : {"U", "P", "D"}) {
        const Texels t = Read(Name(key));
        ASSERT_EQ(t.width, 16) << key;
        for (float v : t.data) ASSERT_TRUE(std::isfinite(v)) << key;
    }
    // The lower half is phase 1 (the image's rows run from the top).
    const Texels d = Read(Name("D"));
    EXPECT_GT(d.At(8, 3)[0], 0);
    EXPECT_LT(d.At(8, 12)[0], 0);

    // Frozen, an execution leaves the fields and the outputs as they are.
    const uint32_t name = Name("D");
    Set("Frz", Value(true));
    ASSERT_TRUE(fRenderer->RenderAtTime(0.5));
    EXPECT_EQ(Name("D"), name);
    EXPECT_EQ(Read(name).data, d.data);
}

}  // namespace
}  // namespace composertest
