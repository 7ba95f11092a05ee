#include <gtest/gtest.h>

#include "Platform/Composer/BufferImage.h"
#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "Platform/Composer/ImageConversion.h"
#include "Platform/GL/GLContext.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/Platform/Composer/RendererTestSupport.h"
#include "tests/support/GLFixture.h"
#include "tests/support/PinnedFonts.h"
#include "tests/support/PlugInFolder.h"

namespace composertest {
namespace {

using plat::Value;

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

// The patch inside a composition: its ports as the runtime drives them.
class MelquorGLTest : public testsupport::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        ASSERT_TRUE(kFontsPinned);
        GraphBuilder g = PatchGraph("Melquor",
                                    {{"String", "inputString"},
                                     {"Size", "inputSize"},
                                     {"Line", "inputLine"},
                                     {"Color", "inputColor"}},
                                    {{"Image", "outputImage"}, {"Lines", "outputLines"}});
        fComposition = g.Build(testsupport::PlugInFolderRegistry());
        ASSERT_TRUE(fComposition);
        fRenderer = plat::CompositionRenderer::Create(Context(), Context()->PixelFormat(),
                                                      plat::ColorSpace::kSRGB, fComposition.get());
        ASSERT_TRUE(fRenderer);
    }
    void TearDown() override {
        fRenderer.reset();
        fComposition.reset();
        GLTest::TearDown();
    }
    const plat::BufferImage* Render() {
        EXPECT_TRUE(fRenderer->RenderAtTime(fTime += 0.04));
        const plat::Image* image = fRenderer->OutputValue("Image").ImageValue();
        return image ? plat::BufferForImage(*image) : nullptr;
    }
    std::vector<double> Lines() {
        std::vector<double> out;
        for (const Value& v : fRenderer->OutputValue("Lines").ArrayValue()) out.push_back(v.NumberValue());
        return out;
    }
    // Opaque enough pixels whose strongest channel is the given one (0 blue, 1 green, 2 red).
    static int Dominant(const plat::BufferImage& image, int channel) {
        int n = 0;
        for (uint32_t y = 0; y < image.Height(); ++y)
            for (uint32_t x = 0; x < image.Width(); ++x) {
                const uint8_t* p = image.Row(y) + size_t(x) * 4;
                if (p[3] > 128 && p[channel] > 100 && p[(channel + 1) % 3] < 60 && p[(channel + 2) % 3] < 60)
                    ++n;
            }
        return n;
    }

    Ref<plat::Composition> fComposition;
    Ref<plat::CompositionRenderer> fRenderer;
    double fTime = 0;
};

TEST_F(MelquorGLTest, StringAndColourReachTheImageAndTheLineOffsets) {
    ASSERT_TRUE(fRenderer->SetInputValue("String", Value("Top\nBottom")));
    ASSERT_TRUE(fRenderer->SetInputValue("Size", Value(24.0)));
    ASSERT_TRUE(fRenderer->SetInputValue("Color", Value(plat::Color{1, 0, 0, 1})));
    const plat::BufferImage* out = Render();
    ASSERT_NE(out, nullptr);
    EXPECT_GT(out->Height(), 40u);
    EXPECT_GT(Dominant(*out, 2), 20);
    EXPECT_EQ(Dominant(*out, 0), 0);
    std::vector<double> lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], 0);
    const double single = lines[1];
    EXPECT_GT(single, 20);

    // The colour alone changes: the same layout in blue.
    ASSERT_TRUE(fRenderer->SetInputValue("Color", Value(plat::Color{0, 0, 1, 1})));
    out = Render();
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(Dominant(*out, 2), 0);
    EXPECT_GT(Dominant(*out, 0), 20);

    // Double spacing moves the second line down; a factor past 100 is held at 100.
    ASSERT_TRUE(fRenderer->SetInputValue("Line", Value(2.0)));
    Render();
    ASSERT_EQ(Lines().size(), 2u);
    EXPECT_GT(Lines()[1], single * 1.5);
    ASSERT_TRUE(fRenderer->SetInputValue("Line", Value(1000.0)));
    Render();
    const double held = Lines()[1];
    ASSERT_TRUE(fRenderer->SetInputValue("Line", Value(100.0)));
    Render();
    EXPECT_EQ(Lines()[1], held);
}

TEST_F(MelquorGLTest, EmptyStringGivesNoLinesAndATransparentPixel) {
    ASSERT_TRUE(fRenderer->SetInputValue("String", Value("")));
    const plat::BufferImage* out = Render();
    EXPECT_TRUE(Lines().empty());
    if (out) {
        EXPECT_EQ(out->Width(), 1u);
        EXPECT_EQ(out->Row(0)[3], 0);
    }
}

}  // namespace
}  // namespace composertest
