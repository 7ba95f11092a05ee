#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include "Platform/Composer/BufferImage.h"
#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "Platform/Composer/ImageConversion.h"
#include "Platform/GL/GLContext.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/Platform/Composer/RendererTestSupport.h"
#include "tests/support/GLFixture.h"
#include "tests/support/PlugInFolder.h"

namespace composertest {
namespace {

using plat::Dictionary;
using plat::Value;
using plat::ValueArray;

Value Rect(double l, double r, double b, double t, double grey) {
    Dictionary d;
    d.Set("typ", Value(0));
    d.Set("l", Value(l));
    d.Set("r", Value(r));
    d.Set("b", Value(b));
    d.Set("t", Value(t));
    d.Set("brt", Value(grey));
    return Value(std::move(d));
}

Value Circle(double x, double y, double r, double grey) {
    Dictionary d;
    d.Set("typ", Value(2));
    d.Set("x", Value(x));
    d.Set("y", Value(y));
    d.Set("r", Value(r));
    d.Set("brt", Value(grey));
    return Value(std::move(d));
}

Value RegularPolygon(size_t n, double radius) {
    ValueArray vertices;
    for (size_t i = 0; i < n; ++i) {
        double a = 2 * M_PI * double(i) / double(n);
        vertices.push_back(Value(ValueArray{Value(radius * std::cos(a)), Value(radius * std::sin(a))}));
    }
    Dictionary d;
    d.Set("typ", Value(1));
    d.Set("vtc", Value(std::move(vertices)));
    return Value(std::move(d));
}

class KorrathTest : public testsupport::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        GraphBuilder g = PatchGraph("Korrath", {{"W", "inputW"}, {"H", "inputH"}, {"Command", "inputCmd"}},
                                    {{"Image", "outputImage"}});
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

    // Renders W x H with the shapes and gives the output's pixels (null without an image).
    const plat::BufferImage* Draw(uint32_t width, uint32_t height, ValueArray shapes) {
        EXPECT_TRUE(fRenderer->SetInputValue("W", Value(width)));
        EXPECT_TRUE(fRenderer->SetInputValue("H", Value(height)));
        EXPECT_TRUE(fRenderer->SetInputValue("Command", Value(std::move(shapes))));
        EXPECT_TRUE(fRenderer->RenderAtTime(0));
        const plat::Image* image = fRenderer->OutputValue("Image").ImageValue();
        return image ? plat::BufferForImage(*image) : nullptr;
    }

    Ref<plat::Composition> fComposition;
    Ref<plat::CompositionRenderer> fRenderer;
};

TEST_F(KorrathTest, PatchClassRegistersWithItsPortsAndModes) {
    const plat::Dictionary* w = fComposition->PortAttributes("W");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ((*w)["type"].StringValue(), "index");
    EXPECT_EQ((*w)["name"].StringValue(), "W");
    EXPECT_EQ(fComposition->PortAttributes("Command")->Get("type").StringValue(), "structure");
    EXPECT_EQ(fComposition->PortAttributes("Image")->Get("type").StringValue(), "image");
    EXPECT_FALSE(fComposition->HasConsumers());
    EXPECT_FALSE(fComposition->IsTimeDependent());
}

TEST_F(KorrathTest, RectangleAndCircleLandWhereTheirCoordinatesSay) {
    // 64 x 32: y spans -0.5 .. 0.5. The top half white, a grey circle at the bottom right.
    const plat::BufferImage* out = Draw(64, 32, {Rect(-1, 1, 0, 0.5, 1), Circle(0.5, -0.25, 0.2, 0.5)});
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->Width(), 64u);
    EXPECT_EQ(out->Height(), 32u);
    EXPECT_TRUE(PixelNear(BufferPixel(*out, 5, 3), 0xFFFFFFFFu));    // top left
    EXPECT_TRUE(PixelNear(BufferPixel(*out, 5, 28), 0x00000000u));   // bottom left: transparent
    EXPECT_TRUE(PixelNear(BufferPixel(*out, 48, 24), 0xFF808080u));  // the circle's centre
    EXPECT_TRUE(PixelNear(BufferPixel(*out, 60, 30), 0x00000000u));  // outside the circle

    // A rectangle given right to left and top to bottom covers the same area.
    out = Draw(64, 32, {Rect(1, -1, 0.5, 0, 1)});
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(PixelNear(BufferPixel(*out, 5, 3), 0xFFFFFFFFu));
    // A circle of radius 0 and shapes with coordinates that are not finite draw nothing.
    out = Draw(64, 32, {Circle(0, 0, 0, 1), Rect(-1, INFINITY, -1, 1, 1), Rect(NAN, 1, -1, 1, 1)});
    ASSERT_NE(out, nullptr);
    for (uint32_t y = 0; y < 32; y += 3)
        for (uint32_t x = 0; x < 64; x += 3)
            ASSERT_TRUE(PixelNear(BufferPixel(*out, x, y), 0)) << x << ", " << y;
}

TEST_F(KorrathTest, RegularPolygonsAreCoveredWithoutHoles) {
    constexpr uint32_t kSize = 96;
    for (size_t n : {4, 6, 7, 11, 13}) {
        SCOPED_TRACE(n);
        const plat::BufferImage* out = Draw(kSize, kSize, {RegularPolygon(n, 0.9)});
        ASSERT_NE(out, nullptr);
        // Every pixel well inside the inscribed circle is covered.
        double inner = 0.9 * std::cos(M_PI / double(n)) - 0.05;
        size_t holes = 0;
        for (uint32_t y = 0; y < kSize; ++y) {
            for (uint32_t x = 0; x < kSize; ++x) {
                double px = (x + 0.5) / kSize * 2 - 1, py = 1 - (y + 0.5) / kSize * 2;
                if (px * px + py * py < inner * inner && BufferPixel(*out, x, y) != 0xFFFFFFFFu) ++holes;
            }
        }
        EXPECT_EQ(holes, 0u);
    }
}

TEST_F(KorrathTest, UnchangedInputsKeepTheImageAndSizeZeroGivesNone) {
    ASSERT_NE(Draw(16, 16, {Rect(-1, 1, -1, 1, 1)}), nullptr);
    const plat::Image* first = fRenderer->OutputValue("Image").ImageValue();
    ASSERT_TRUE(fRenderer->SetInputValue("W", Value(16)));
    ASSERT_TRUE(fRenderer->RenderAtTime(1));
    EXPECT_EQ(fRenderer->OutputValue("Image").ImageValue(), first);

    // A new size redraws; 0 and sizes beyond the GL limit give no image.
    EXPECT_NE(Draw(8, 16, {Rect(-1, 1, -1, 1, 1)}), nullptr);
    EXPECT_EQ(Draw(0, 16, {}), nullptr);
    EXPECT_EQ(Draw(1u << 20, 4, {}), nullptr);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace composertest
