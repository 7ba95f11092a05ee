#include <gtest/gtest.h>

#include <cstring>

#include "Platform/Graphics/BitmapContext.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/PixelFormat.h"

using namespace plat;

TEST(BitmapContext, RowsArePaddedToSixteenBytes) {
    struct Case {
        PixelFormat format;
        int32_t width;
        size_t bytesPerRow;
    } cases[] = {
        {PixelFormat::kGray8, 1, 16},    {PixelFormat::kGray8, 17, 32},  {PixelFormat::kXRGB1555, 8, 16},
        {PixelFormat::kXRGB1555, 9, 32}, {PixelFormat::kARGB32, 3, 16},  {PixelFormat::kARGB32, 5, 32},
        {PixelFormat::kXRGB32, 4, 16},   {PixelFormat::kXRGB32, 0, 0},   {PixelFormat::kARGB32, -3, 0},
        {PixelFormat::kGray1, 128, 16},  {PixelFormat::kGray1, 129, 32}, {PixelFormat::kGray2, 64, 16},
        {PixelFormat::kGray2, 65, 32},   {PixelFormat::kGray4, 33, 32},  {PixelFormat::kGray4, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PaddedBytesPerRow(c.format, c.width), c.bytesPerRow) << int(c.format) << " " << c.width;
        plat::Ref<BitmapContext> ctx = BitmapContext::Create(c.width, 2, c.format);
        if (!c.bytesPerRow) {
            EXPECT_EQ(ctx, nullptr);
            continue;
        }
        ASSERT_NE(ctx, nullptr);
        EXPECT_EQ(ctx->BytesPerRow(), c.bytesPerRow);
        ctx = nullptr;
    }
}

TEST(BitmapContext, DrawingReachesTheBufferInEachFormat) {
    struct Case {
        PixelFormat format;
        uint8_t expect[4];  // bytes of pixel (1, 0) after filling it red
        uint32_t nbytes;
    } cases[] = {
        {PixelFormat::kGray8, {76}, 1},
        {PixelFormat::kXRGB1555, {0x00, 0x7C}, 2},
        {PixelFormat::kARGB32, {0, 0, 255, 255}, 4},
        {PixelFormat::kXRGB32, {0, 0, 255, 255}, 4},
    };
    for (const Case& c : cases) {
        plat::Ref<BitmapContext> ctx = BitmapContext::Create(4, 2, c.format, ColorSpace::kSRGB);
        ASSERT_NE(ctx, nullptr);
        ctx->SetFillColor({1, 0, 0, 1});
        ctx->FillRect({1, 0, 1, 1});
        const uint8_t* bytes = ctx->Bytes();
        EXPECT_EQ(std::memcmp(bytes + c.nbytes, c.expect, c.nbytes), 0) << int(c.format);
        EXPECT_EQ(bytes[0], 0) << int(c.format);

        plat::Ref<BitmapImage> image = ctx->CopyImage();
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->Format(), c.format);
        EXPECT_EQ(image->BytesPerRow(), ctx->BytesPerRow());
        // The image is a copy: later drawing does not reach it.
        ctx->SetFillColor({0, 0, 1, 1});
        ctx->FillRect({0, 0, 4, 2});
        EXPECT_EQ(std::memcmp(image->Bytes() + c.nbytes, c.expect, c.nbytes), 0);
        image = nullptr;
        ctx = nullptr;
    }
}

TEST(BitmapContext, SixteenBitPixelsRoundTrip) {
    uint8_t px[2];
    ARGBToPixel(PixelFormat::kXRGB1555, 0xFF10F808u, px);
    EXPECT_EQ(px[0] | (px[1] << 8), (2 << 10) | (31 << 5) | 1);
    EXPECT_EQ(PixelToARGB(PixelFormat::kXRGB1555, px), 0xFF10FF08u);
}

TEST(BitmapContext, PackedGreyPixelsShareBytesMostSignificantFirst) {
    // Levels 0, 51, 140, 200, 255 repeat along each row; the depth keeps the nearest level.
    const double kLevels[5] = {0, 51, 140, 200, 255};
    struct Case {
        PixelFormat format;
        uint8_t expect[5];
        uint8_t firstBytes[2];
    } cases[] = {
        {PixelFormat::kGray1, {0, 0, 255, 255, 255}, {0x39, 0xCE}},
        {PixelFormat::kGray2, {0, 85, 170, 170, 255}, {0x1A, 0xC6}},
        {PixelFormat::kGray4, {0, 51, 136, 204, 255}, {0x03, 0x8C}},
        {PixelFormat::kGray8, {0, 51, 140, 200, 255}, {0, 51}},
    };
    constexpr int32_t kWidth = 21;
    for (const Case& c : cases) {
        plat::Ref<BitmapContext> ctx = BitmapContext::Create(kWidth, 2, c.format, ColorSpace::kGenericGray);
        ASSERT_NE(ctx, nullptr);
        for (int32_t x = 0; x < kWidth; ++x) {
            double v = kLevels[x % 5] / 255;
            ctx->SetFillColor({v, v, v, 1});
            ctx->FillRect({double(x), 0, 1, 2});
        }
        const uint8_t* bytes = ctx->Bytes();
        EXPECT_EQ(bytes[0], c.firstBytes[0]) << int(c.format);
        EXPECT_EQ(bytes[1], c.firstBytes[1]) << int(c.format);
        // Bits past the last pixel stay clear.
        size_t used = RowBytes(c.format, kWidth);
        EXPECT_EQ(bytes[used], 0) << int(c.format);

        plat::Ref<BitmapImage> image = ctx->CopyImage();
        ASSERT_NE(image, nullptr);
        for (int32_t y = 0; y < 2; ++y)
            for (int32_t x = 0; x < kWidth; ++x) {
                uint32_t g = c.expect[x % 5];
                ASSERT_EQ(image->PixelAt(x, y), 0xFF000000u | g << 16 | g << 8 | g)
                    << int(c.format) << " at " << x << "," << y;
            }
        // Drawn elsewhere, the image shows the same levels.
        plat::Ref<DrawContext> out = DrawContext::CreateImage(kWidth, 2);
        out->DrawImage({0, 0, kWidth, 2}, image.get());
        EXPECT_EQ(out->PixelAt(3, 1) & 0xFF, c.expect[3]) << int(c.format);
        EXPECT_EQ(out->PixelAt(kWidth - 1, 1) & 0xFF, c.expect[(kWidth - 1) % 5]) << int(c.format);
        out = nullptr;
        image = nullptr;
        ctx = nullptr;
    }
}

TEST(BitmapContext, PackedGreyWritesLeaveNeighboursAlone) {
    uint8_t row[2] = {0xFF, 0x00};
    ARGBToPixel(PixelFormat::kGray2, 0xFF000000u, row, 1);  // black into bits 5..4
    ARGBToPixel(PixelFormat::kGray2, 0xFFFFFFFFu, row, 6);  // white into bits 3..2 of byte 1
    EXPECT_EQ(row[0], 0xCF);
    EXPECT_EQ(row[1], 0x0C);
    EXPECT_EQ(PixelToARGB(PixelFormat::kGray2, row, 6), 0xFFFFFFFFu);
    EXPECT_EQ(PixelToARGB(PixelFormat::kGray2, row, 5), 0xFF000000u);
    // The byte-addressed form reads a packed byte's leftmost pixel.
    EXPECT_EQ(PixelToARGB(PixelFormat::kGray2, row), PixelToARGB(PixelFormat::kGray2, row, 0));
    EXPECT_EQ(BytesPerPixel(PixelFormat::kGray4), 0u);
    EXPECT_EQ(BitsPerPixel(PixelFormat::kGray4), 4u);
}
