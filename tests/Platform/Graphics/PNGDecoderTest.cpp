#include <gtest/gtest.h>

#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/PNGDecoder.h"
#include "tests/support/TestPNG.h"

using namespace plat;
using testsupport::EncodeTestPNG;

namespace {
std::vector<uint8_t> Pixels() {
    // 2 x 2: opaque red, half-transparent white, transparent, opaque blue.
    return {255, 0, 0, 255, 255, 255, 255, 128, 0, 0, 0, 0, 0, 0, 255, 255};
}
}  // namespace

TEST(PNGDecoder, DecodesPremultipliedPixelsAndKeepsPrivateChunks) {
    for (bool interlaced : {false, true}) {
        std::vector<uint8_t> png = EncodeTestPNG(2, 2, Pixels(), {{"hsPT", {0, 5, 0, 9}}}, interlaced);
        plat::Ref<BitmapImage> image = PNGDecoder::Decode(png.data(), png.size());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->Width(), 2);
        EXPECT_EQ(image->Height(), 2);
        EXPECT_EQ(image->PixelAt(0, 0), 0xFFFF0000u);
        EXPECT_EQ(image->PixelAt(1, 0), 0x80808080u);
        EXPECT_EQ(image->PixelAt(0, 1), 0u);
        EXPECT_EQ(image->PixelAt(1, 1), 0xFF0000FFu);
        const PNGChunk* hot = image->FindChunk("hsPT");
        ASSERT_NE(hot, nullptr);
        EXPECT_EQ(hot->data, (std::vector<uint8_t>{0, 5, 0, 9}));
        EXPECT_EQ(image->FindChunk("abCD"), nullptr);
        image = nullptr;
    }
}

TEST(PNGDecoder, RejectsDamagedAndOversizedInput) {
    std::vector<uint8_t> png = EncodeTestPNG(2, 2, Pixels());
    EXPECT_TRUE(PNGDecoder::HasSignature(png.data(), png.size()));
    EXPECT_EQ(PNGDecoder::Decode(nullptr, 0), nullptr);
    EXPECT_EQ(PNGDecoder::Decode(png.data(), 7), nullptr);
    for (size_t cut : {size_t{20}, size_t{40}, png.size() - 13})
        EXPECT_EQ(PNGDecoder::Decode(png.data(), cut), nullptr);
    std::vector<uint8_t> bad = png;
    bad[bad.size() - 20] ^= 0xFF;  // inside the image data: CRC fails
    EXPECT_EQ(PNGDecoder::Decode(bad.data(), bad.size()), nullptr);

    // A header claiming 100000 x 1 pixels is refused before any pixel memory is taken.
    std::vector<uint8_t> wide = EncodeTestPNG(1, 1, {0, 0, 0, 255});
    wide[16] = 0;
    wide[17] = 1;
    wide[18] = 0x86;
    wide[19] = 0xA0;
    EXPECT_EQ(PNGDecoder::Decode(wide.data(), wide.size()), nullptr);
}
