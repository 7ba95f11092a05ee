#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Orbilume/CSources/Media/UCIImage.h"
#include "Platform/Composer/BufferImage.h"

namespace {

plat::Ref<plat::BufferImage> Filled(uint32_t w, uint32_t h, uint8_t value) {
    plat::Ref<plat::BufferImage> image = plat::BufferImage::Create(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w * 4; ++x) image->MutableData()[y * image->BytesPerRow() + x] = value;
    return image;
}

TEST(UCIImage, ExtentOfNullIsZero) {
    EXPECT_EQ(UCIImage::Extent(nullptr), plat::Rect{});
    plat::Ref<plat::BufferImage> image = Filled(7, 3, 1);
    EXPECT_EQ(UCIImage::Extent(image.get()), (plat::Rect{0, 0, 7, 3}));
}

TEST(UCIImage, ScaleMakesACPUImageOfTheScaledSize) {
    plat::Ref<plat::BufferImage> image = Filled(40, 20, 200);
    struct Case {
        float sx, sy;
        bool ok;
        uint32_t w, h;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {0.5f, 0.5f, true, 20, 10}, {2, 1, true, 80, 20},  {0.01f, 0.01f, true, 1, 1}, {0, 1, false, 0, 0},
        {-1, 1, false, 0, 0},       {1, NAN, false, 0, 0}, {inf, 1, false, 0, 0},      {1000, 1, false, 0, 0},
    };
    for (const Case& c : cases) {
        plat::Ref<plat::Image> scaled = UCIImage::Scale(image.get(), c.sx, c.sy);
        ASSERT_EQ(static_cast<bool>(scaled), c.ok) << c.sx << " " << c.sy;
        if (!scaled) continue;
        EXPECT_EQ(scaled->Width(), c.w);
        EXPECT_EQ(scaled->Height(), c.h);
        ASSERT_EQ(scaled->Kind(), plat::ImageKind::Buffer);
        EXPECT_EQ(static_cast<const plat::BufferImage*>(scaled.get())->Data()[0], 200);
    }
    EXPECT_FALSE(UCIImage::Scale(nullptr, 1, 1));
}

TEST(UCIImage, RasterizeCopiesThePixels) {
    plat::Ref<plat::BufferImage> image = Filled(3, 2, 9);
    plat::Ref<plat::Image> copy = UCIImage::Rasterize(image.get(), true);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), image.get());
    EXPECT_EQ(copy->Width(), 3u);
    EXPECT_EQ(static_cast<const plat::BufferImage*>(copy.get())->Row(1)[11], 9);
    EXPECT_FALSE(UCIImage::Rasterize(nullptr, true));
}

}  // namespace
