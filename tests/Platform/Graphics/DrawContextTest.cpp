#include <gtest/gtest.h>

#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Layer.h"

using namespace plat;

namespace {

struct Ctx {
    explicit Ctx(int w = 40, int h = 40) : c(DrawContext::CreateImage(w, h)) {}
    DrawContext* operator->() { return c.get(); }
    DrawContext& operator*() { return *c; }
    Ref<DrawContext> c;
};

constexpr GfxColor kRed{1, 0, 0, 1};
constexpr GfxColor kGrey{0.5, 0.5, 0.5, 1};

uint32_t Rgb(uint32_t argb) {
    return argb & 0xFFFFFF;
}

}  // namespace

TEST(DrawContext, BadSizesMakeNoContext) {
    EXPECT_EQ(DrawContext::CreateImage(0, 10), nullptr);
    EXPECT_EQ(DrawContext::CreateImage(10, -1), nullptr);
    EXPECT_EQ(DrawContext::CreateImage(1 << 20, 1), nullptr);
}

TEST(DrawContext, BlendModesOverAGreyBackground) {
    struct Case {
        BlendMode mode;
        GfxColor colour;
        uint32_t expect;  // RGB after drawing the colour over grey 0x808080
    } cases[] = {
        {BlendMode::kNormal, {0.25, 0.5, 1, 1}, 0x4080FF},
        {BlendMode::kDifference, {1, 1, 0, 1}, 0x7F7F80},
        {BlendMode::kMultiply, {1, 0.5, 0, 1}, 0x804000},
        {BlendMode::kScreen, {1, 0.5, 0, 1}, 0xFFC080},
    };
    for (const Case& c : cases) {
        Ctx ctx(4, 4);
        ctx->SetFillColor(kGrey);
        ctx->FillRect({0, 0, 4, 4});
        ctx->SetBlendMode(c.mode);
        ctx->SetFillColor(c.colour);
        ctx->FillRect({0, 0, 2, 4});
        uint32_t got = Rgb(ctx->PixelAt(1, 1));
        for (int shift = 0; shift < 24; shift += 8)
            EXPECT_NEAR((got >> shift) & 255, (c.expect >> shift) & 255, 1)
                << int(c.mode) << " " << std::hex << got;
        EXPECT_EQ(Rgb(ctx->PixelAt(3, 1)), 0x808080u);
    }
}

TEST(DrawContext, ClipToRectsAndEmptySet) {
    Ctx ctx(20, 20);
    ctx->SaveGState();
    Rect clips[] = {{0, 0, 5, 5}, {10, 10, 5, 5}};
    ctx->ClipToRects(clips, 2);
    ctx->SetFillColor(kRed);
    ctx->FillRect({0, 0, 20, 20});
    ctx->RestoreGState();
    EXPECT_EQ(ctx->PixelAt(2, 2), 0xFFFF0000u);
    EXPECT_EQ(ctx->PixelAt(12, 12), 0xFFFF0000u);
    EXPECT_EQ(ctx->PixelAt(7, 7), 0u);

    ctx->SaveGState();
    ctx->ClipToRects(nullptr, 0);
    ctx->SetFillColor({0, 0, 1, 1});
    ctx->FillRect({0, 0, 20, 20});
    ctx->RestoreGState();
    EXPECT_EQ(ctx->PixelAt(2, 2), 0xFFFF0000u);
    EXPECT_EQ(ctx->PixelAt(7, 7), 0u);
}

TEST(DrawContext, TransformsAndStateStack) {
    Ctx ctx(20, 20);
    ctx->SaveGState();
    ctx->TranslateCTM(10, 0);
    ctx->ScaleCTM(2, 2);
    ctx->SetFillColor(kRed);
    ctx->FillRect({0, 0, 2, 2});  // lands on 10..14 x 0..4
    ctx->RestoreGState();
    ctx->RestoreGState();  // unbalanced: ignored
    EXPECT_EQ(ctx->GStateDepth(), 0);
    ctx->SetFillColor({0, 0, 1, 1});
    ctx->FillRect({0, 0, 2, 2});
    EXPECT_EQ(ctx->PixelAt(13, 3), 0xFFFF0000u);
    EXPECT_EQ(ctx->PixelAt(15, 3), 0u);
    EXPECT_EQ(ctx->PixelAt(1, 1), 0xFF0000FFu);
}

TEST(DrawContext, QuadraticPathFillAndStroke) {
    Ctx ctx(40, 40);
    // A shape bulging to the right: the curve's control point pulls the edge out to x = 25.
    ctx->BeginPath();
    ctx->MoveTo(5, 5);
    ctx->QuadTo(45, 20, 5, 35);
    ctx->ClosePath();
    ctx->SetFillColor(kRed);
    ctx->FillPath();
    EXPECT_EQ(ctx->PixelAt(20, 20), 0xFFFF0000u);
    EXPECT_EQ(ctx->PixelAt(28, 20), 0u);  // the curve peaks at x = 25, not at the control point
    EXPECT_EQ(ctx->PixelAt(20, 8), 0u);

    ctx->BeginPath();
    ctx->MoveTo(0, 38.5);
    ctx->LineTo(40, 38.5);
    ctx->SetLineWidth(3);
    ctx->SetStrokeColor({0, 0, 1, 1});
    ctx->StrokePath();
    EXPECT_EQ(ctx->PixelAt(20, 37), 0xFF0000FFu);
    EXPECT_EQ(ctx->PixelAt(20, 39), 0xFF0000FFu);
    EXPECT_EQ(ctx->PixelAt(20, 35), 0u);
}

TEST(DrawContext, ImagesAndLayersScaleIntoRect) {
    uint32_t px[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};  // 2 x 2
    plat::Ref<BitmapImage> image =
        BitmapImage::Create(2, 2, PixelFormat::kARGB32, reinterpret_cast<uint8_t*>(px), 8);
    ASSERT_NE(image, nullptr);
    Ctx ctx(20, 20);
    ctx->DrawImage({0, 0, 20, 20}, image.get());
    EXPECT_EQ(ctx->PixelAt(2, 2), 0xFFFF0000u);
    EXPECT_EQ(ctx->PixelAt(17, 2), 0xFF00FF00u);
    EXPECT_EQ(ctx->PixelAt(2, 17), 0xFF0000FFu);  // upright: the first row stays on top
    image = nullptr;

    plat::Ref<Layer> layer = Layer::Create(ctx.c.get(), 4, 4);
    ASSERT_NE(layer, nullptr);
    layer->Context()->SetFillColor({0, 0, 1, 1});
    layer->Context()->FillRect({0, 0, 4, 4});
    ctx->DrawLayer({10, 10, 2, 2}, layer.get());
    EXPECT_EQ(ctx->PixelAt(11, 11), 0xFF0000FFu);
    EXPECT_EQ(ctx->PixelAt(17, 17), 0xFFFFFFFFu);
    EXPECT_EQ(ctx->PixelAt(12, 11), ctx->PixelAt(12, 11) | 0xFF000000u);  // the image beside it, untouched
    layer = nullptr;
    EXPECT_EQ(Layer::Create(nullptr, 0, 4), nullptr);
}
