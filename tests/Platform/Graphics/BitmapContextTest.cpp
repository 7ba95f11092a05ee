#include <gtest/gtest.h>

#include <cstring>

#include "Platform/Graphics/BitmapContext.h"
#include "Platform/Graphics/BitmapImage.h"

using namespace plat;

TEST(BitmapContext, RowsArePaddedToSixteenBytes) {
    struct Case {
        PixelFormat format;
        int32_t width;
        size_t bytesPerRow;
    } cases[] = {
        {PixelFormat::kGray8, 1, 16},    {PixelFormat::kGray8, 17, 32}, {PixelFormat::kXRGB1555, 8, 16},
        {PixelFormat::kXRGB1555, 9, 32}, {PixelFormat::kARGB32, 3, 16}, {PixelFormat::kARGB32, 5, 32},
        {PixelFormat::kXRGB32, 4, 16},   {PixelFormat::kXRGB32, 0, 0},  {PixelFormat::kARGB32, -3, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PaddedBytesPerRow(c.format, c.width), c.bytesPerRow) << int(c.format) << " " << c.width;
        BitmapContext* ctx = BitmapContext::Create(c.width, 2, c.format);
        if (!c.bytesPerRow) {
            EXPECT_EQ(ctx, nullptr);
            continue;
        }
        ASSERT_NE(ctx, nullptr);
        EXPECT_EQ(ctx->BytesPerRow(), c.bytesPerRow);
        ctx->Release();
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
        BitmapContext* ctx = BitmapContext::Create(4, 2, c.format, ColorSpace::kSRGB);
        ASSERT_NE(ctx, nullptr);
        ctx->SetFillColor({1, 0, 0, 1});
        ctx->FillRect({1, 0, 1, 1});
        const uint8_t* bytes = ctx->Bytes();
        EXPECT_EQ(std::memcmp(bytes + c.nbytes, c.expect, c.nbytes), 0) << int(c.format);
        EXPECT_EQ(bytes[0], 0) << int(c.format);

        BitmapImage* image = ctx->CopyImage();
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->Format(), c.format);
        EXPECT_EQ(image->BytesPerRow(), ctx->BytesPerRow());
        // The image is a copy: later drawing does not reach it.
        ctx->SetFillColor({0, 0, 1, 1});
        ctx->FillRect({0, 0, 4, 2});
        EXPECT_EQ(std::memcmp(image->Bytes() + c.nbytes, c.expect, c.nbytes), 0);
        image->Release();
        ctx->Release();
    }
}

TEST(BitmapContext, SixteenBitPixelsRoundTrip) {
    uint8_t px[2];
    ARGBToPixel(PixelFormat::kXRGB1555, 0xFF10F808u, px);
    EXPECT_EQ(px[0] | (px[1] << 8), (2 << 10) | (31 << 5) | 1);
    EXPECT_EQ(PixelToARGB(PixelFormat::kXRGB1555, px), 0xFF10FF08u);
}
