#include <gtest/gtest.h>

#include <vector>

#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/ImageScaling.h"
#include "Platform/Graphics/PNGDecoder.h"
#include "Platform/Graphics/PNGEncoder.h"

using namespace plat;

namespace {

// Premultiplied 0xAARRGGBB words as bytes of either order.
std::vector<uint8_t> Bytes(const std::vector<uint32_t>& argb, PixelOrder order) {
    std::vector<uint8_t> out;
    for (uint32_t w : argb) {
        uint8_t a = w >> 24, r = (w >> 16) & 0xFF, g = (w >> 8) & 0xFF, b = w & 0xFF;
        if (order == PixelOrder::kARGB)
            out.insert(out.end(), {a, r, g, b});
        else
            out.insert(out.end(), {b, g, r, a});
    }
    return out;
}

uint8_t ColourType(const std::vector<uint8_t>& png) {
    return png.size() > 25 ? png[25] : 0xFF;
}

}  // namespace

// Both byte orders give the same file; translucent pixels round-trip through straight alpha.
TEST(PNGEncoder, EncodesEitherByteOrderAndRoundTrips) {
    const std::vector<uint32_t> pixels = {0xFFFF0000u, 0x80808080u, 0x00000000u,
                                          0xFF0000FFu, 0x40201008u, 0xFF123456u};
    std::vector<uint8_t> files[2];
    int i = 0;
    for (PixelOrder order : {PixelOrder::kARGB, PixelOrder::kBGRA}) {
        std::vector<uint8_t> bytes = Bytes(pixels, order);
        ASSERT_TRUE(PNGEncoder::Encode(bytes.data(), 3, 2, 12, order, files[i]));
        EXPECT_EQ(ColourType(files[i]), 6) << "translucent pixels keep an alpha channel";
        ++i;
    }
    EXPECT_EQ(files[0], files[1]);
    Ref<BitmapImage> decoded = PNGDecoder::Decode(files[0].data(), files[0].size());
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->Width(), 3);
    ASSERT_EQ(decoded->Height(), 2);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(decoded->PixelAt(x, y), pixels[y * 3 + x]) << x << "," << y;
}

TEST(PNGEncoder, OpaqueFramesAreRGBAndBadGeometryFails) {
    std::vector<uint8_t> bytes = Bytes({0xFF010203u, 0xFFFFFFFFu}, PixelOrder::kBGRA);
    std::vector<uint8_t> png;
    ASSERT_TRUE(PNGEncoder::Encode(bytes.data(), 2, 1, 8, PixelOrder::kBGRA, png));
    EXPECT_EQ(ColourType(png), 2);
    std::vector<uint8_t> untouched = {1, 2, 3};
    EXPECT_FALSE(PNGEncoder::Encode(bytes.data(), 0, 1, 8, PixelOrder::kBGRA, untouched));
    EXPECT_FALSE(PNGEncoder::Encode(bytes.data(), 2, 1, 4, PixelOrder::kBGRA, untouched)) << "rows too short";
    EXPECT_FALSE(PNGEncoder::Encode(nullptr, 2, 1, 8, PixelOrder::kBGRA, untouched));
    EXPECT_FALSE(
        PNGEncoder::Encode(bytes.data(), PNGDecoder::kMaxSide + 1, 1, 1 << 20, PixelOrder::kBGRA, untouched));
    EXPECT_EQ(untouched, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(
        PNGEncoder::WriteFile("/nonexistent-folder/x.png", bytes.data(), 2, 1, 8, PixelOrder::kBGRA));
}

TEST(PNGEncoder, UnpremultiplyInvertsPremultiply) {
    for (uint32_t a = 1; a < 256; ++a)
        for (uint32_t c = 0; c < 256; ++c) {
            auto p = static_cast<uint8_t>((c * a + 127) / 255);
            uint8_t back = PNGEncoder::Unpremultiply(p, static_cast<uint8_t>(a));
            // Premultiplying the straight value gives the premultiplied one again.
            ASSERT_EQ((back * a + 127) / 255, p) << "a=" << a << " c=" << c;
        }
    EXPECT_EQ(PNGEncoder::Unpremultiply(200, 0), 0);
}

TEST(ImageScaling, ScalesBilinearlyAndFlips) {
    // 2 x 2 to 4 x 4 and back; a vertical ramp flipped.
    const uint8_t src[] = {0, 0, 0, 255, 100, 100, 100, 255, 200, 200, 200, 255, 40, 40, 40, 255};
    uint8_t big[4 * 4 * 4];
    DrawPixelsScaled(src, 2, 2, 8, big, 4, 4, 16);
    EXPECT_EQ(big[0], 0) << "corner sample stays on the corner pixel";
    EXPECT_EQ(big[4], 25) << "quarter way between 0 and 100";
    EXPECT_EQ(big[3], 255);
    uint8_t back[16];
    DrawPixelsScaled(big, 4, 4, 16, back, 2, 2, 8);
    EXPECT_NEAR(back[0], 33, 1) << "mean of the four samples around the new centre";

    uint8_t flipped[16];
    DrawPixelsScaled(src, 2, 2, 8, flipped, 2, 2, 8, true);
    EXPECT_EQ(flipped[0], 200);
    EXPECT_EQ(flipped[8], 0);

    Ref<BitmapImage> image = BitmapImage::Create(2, 2, PixelFormat::kARGB32, src, 8);
    Ref<BitmapImage> scaled = ScaleImage(*image, 5, 3);
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->Width(), 5);
    EXPECT_EQ(scaled->Height(), 3);
    EXPECT_FALSE(ScaleImage(*image, 0, 3));
    uint8_t out[4];
    EXPECT_FALSE(DrawImageScaled(*image, out, 1, 1, 3)) << "row too short";
}
