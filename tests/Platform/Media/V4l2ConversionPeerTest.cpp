#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <cstdlib>
#include <string>

#include "Platform/Media/v4l2/V4l2FrameConverter.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"

namespace {

constexpr uint32_t kW = 64, kH = 48;

// One frame of ffmpeg's test pattern in a raw format (or MJPEG), and ffmpeg's own BGRA of it.
struct Frame {
    std::string raw, bgra;
};

Frame Make(const testsupport::TempDir& dir, const char* pixFmt) {
    const std::string src = "-f lavfi -i testsrc2=size=64x48:rate=1 -frames:v 1";
    const std::string raw = dir.File("frame.raw"), bgra = dir.File("frame.bgra");
    std::string make = std::string("ffmpeg -v error -y ") + src + " ";
    make += std::string(pixFmt) == "mjpeg" ? "-f mjpeg -q:v 3 " + raw
                                           : std::string("-pix_fmt ") + pixFmt + " -f rawvideo " + raw;
    // The reference: ffmpeg's conversion of those very bytes.
    std::string ref = std::string("ffmpeg -v error -y ");
    ref += std::string(pixFmt) == "mjpeg"
               ? "-f mjpeg -i " + raw
               : std::string("-f rawvideo -pix_fmt ") + pixFmt + " -s 64x48 -i " + raw;
    ref += " -pix_fmt bgra -f rawvideo " + bgra;
    if (std::system(make.c_str()) != 0 || std::system(ref.c_str()) != 0) return {};
    return {dir.Read("frame.raw"), dir.Read("frame.bgra")};
}

int MaxDifference(const plat::PixelBuffer& image, const std::string& bgra) {
    int worst = 0;
    for (uint32_t y = 0; y < kH; ++y)
        for (uint32_t x = 0; x < kW * 4; ++x) {
            const int a = image.BaseAddress()[y * image.BytesPerRow() + x];
            const int b = static_cast<unsigned char>(bgra[y * kW * 4 + x]);
            worst = std::max(worst, std::abs(a - b));
        }
    return worst;
}

TEST(V4l2ConversionPeerTest, YuyvNv12AndMjpegMatchFfmpeg) {
    if (testsupport::CommandOutput("command -v ffmpeg").empty()) GTEST_SKIP() << "ffmpeg is not installed";
    testsupport::TempDir dir;
    struct Case {
        const char* pixFmt;
        uint32_t fourcc;
        uint32_t bytesPerLine;
    };
    for (const Case& c : {Case{"yuyv422", V4L2_PIX_FMT_YUYV, kW * 2}, Case{"nv12", V4L2_PIX_FMT_NV12, kW},
                          Case{"mjpeg", V4L2_PIX_FMT_MJPEG, 0}}) {
        SCOPED_TRACE(c.pixFmt);
        Frame f = Make(dir, c.pixFmt);
        ASSERT_EQ(f.bgra.size(), size_t(kW) * kH * 4);
        plat::V4l2FrameConverter converter;
        const auto* bytes = reinterpret_cast<const uint8_t*>(f.raw.data());
        plat::Ref<plat::PixelBuffer> image =
            converter.Convert(c.fourcc, kW, kH, c.bytesPerLine, bytes, f.raw.size());
        ASSERT_TRUE(image);
        ASSERT_TRUE(image->Lock(plat::kPixelBufferLockReadOnly));
        EXPECT_LE(MaxDifference(*image, f.bgra), 3);
        image->Unlock(plat::kPixelBufferLockReadOnly);

        // A frame short of its format, or a corrupt JPEG, is dropped.
        if (c.fourcc == V4L2_PIX_FMT_MJPEG) {
            std::string corrupt = f.raw.substr(0, f.raw.size() / 3);
            EXPECT_FALSE(converter.Convert(c.fourcc, kW, kH, 0,
                                           reinterpret_cast<const uint8_t*>(corrupt.data()), corrupt.size()));
            // A frame of another size than the format says is dropped too.
            EXPECT_FALSE(converter.Convert(c.fourcc, kW * 2, kH, 0, bytes, f.raw.size()));
            // And the decoder still works afterwards.
            EXPECT_TRUE(converter.Convert(c.fourcc, kW, kH, 0, bytes, f.raw.size()));
        } else {
            EXPECT_FALSE(converter.Convert(c.fourcc, kW, kH, c.bytesPerLine, bytes, f.raw.size() - 1));
        }
    }
}

}  // namespace
