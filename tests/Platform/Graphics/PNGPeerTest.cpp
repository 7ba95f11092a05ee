#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/PNGDecoder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestPNG.h"

using namespace plat;
using testsupport::EncodeTestPNG;

// pngcheck accepts the private-chunk files the decoder is tested with, and the files a context
// writes decode to the pixels that were drawn.
TEST(PNGPeer, PrivateChunkFilesAreValidAndDrawnFilesDecode) {
    testsupport::TempDir dir;
    std::string path = dir.Path() + "/cursor.png";
    std::vector<uint8_t> png = EncodeTestPNG(1, 1, {10, 20, 30, 255}, {{"hsPT", {0, 1, 0, 2}}});
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
    EXPECT_EQ(std::system(("pngcheck -q " + path + " >/dev/null").c_str()), 0);

    plat::Ref<DrawContext> ctx = DrawContext::CreateImage(3, 3);
    ctx->SetFillColor({0, 1, 0, 1});
    ctx->FillRect({1, 1, 1, 1});
    std::string drawn = dir.Path() + "/drawn.png";
    ASSERT_TRUE(ctx->WritePNG(drawn.c_str()));
    ctx = nullptr;
    EXPECT_EQ(std::system(("pngcheck -q " + drawn + " >/dev/null").c_str()), 0);
    std::ifstream in(drawn, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    plat::Ref<BitmapImage> image = PNGDecoder::Decode(bytes.data(), bytes.size());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->PixelAt(1, 1), 0xFF00FF00u);
    EXPECT_EQ(image->PixelAt(0, 0), 0u);
    image = nullptr;
}
