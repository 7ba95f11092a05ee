#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/ImageSource.h"
#include "Platform/Graphics/JPEGDecoder.h"
#include "Platform/Graphics/PNGEncoder.h"
#include "tests/support/TempDir.h"

using namespace plat;

namespace {

bool HaveProgram(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

bool Shell(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::vector<uint8_t> out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return out;
}

uint32_t Premultiplied(const uint8_t* bgra) {
    uint32_t a = bgra[3];
    auto p = [a](uint32_t c) { return (c * a + 127) / 255; };
    return a << 24 | p(bgra[2]) << 16 | p(bgra[1]) << 8 | p(bgra[0]);
}

int MaxDifference(uint32_t x, uint32_t y) {
    int worst = 0;
    for (int s = 0; s < 32; s += 8) {
        int d = std::abs(static_cast<int>((x >> s) & 0xFF) - static_cast<int>((y >> s) & 0xFF));
        if (d > worst) worst = d;
    }
    return worst;
}

constexpr int kWidth = 67;
constexpr int kHeight = 45;
const char* const kSource = "-f lavfi -i testsrc=size=67x45:rate=1 -frames:v 1";
// A colour pattern with an alpha ramp that reaches 0 and 255.
const char* const kAlpha = "-vf \"format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='mod(X*7+Y*3,256)'\"";

class ImageFilePeer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    }

    // Makes a fixture and ffmpeg's own decoding of it to BGRA.
    bool MakeFixture(const std::string& name, const std::string& options, std::vector<uint8_t>& reference) {
        std::string path = fDir.File(name);
        if (!Shell("ffmpeg -nostdin -v error -y " + std::string(kSource) + " " + options + " " + path))
            return false;
        std::string raw = fDir.File(name + ".raw");
        if (!Shell("ffmpeg -nostdin -v error -y -i " + path + " -f rawvideo -pix_fmt bgra " + raw))
            return false;
        reference = ReadBytes(raw);
        return reference.size() == size_t{kWidth} * kHeight * 4;
    }

    testsupport::TempDir fDir;
};

}  // namespace

TEST_F(ImageFilePeer, FixturesOfEachFormatDecodeToFFmpegsPixels) {
    struct Case {
        const char* file;
        std::string options;
        ImageFileType type;
        int tolerance;
    };
    const Case cases[] = {
        {"a.png", kAlpha, ImageFileType::kPNG, 0},
        {"a.jpg", "-pix_fmt yuvj444p -q:v 2", ImageFileType::kJPEG, 8},
        {"a.tga", kAlpha + std::string(" -c:v targa"), ImageFileType::kTGA, 0},
        {"a.tif", kAlpha, ImageFileType::kTIFF, 0},
        {"a.bmp", "-pix_fmt bgr24", ImageFileType::kBMP, 0},
        {"a.gif", "", ImageFileType::kGIF, 0},
        {"a.webp", kAlpha + std::string(" -c:v libwebp -lossless 1"), ImageFileType::kWebP, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<uint8_t> reference;
        ASSERT_TRUE(MakeFixture(c.file, c.options, reference));
        Ref<ImageSource> source = ImageSource::CreateWithFile(fDir.File(c.file));
        ASSERT_TRUE(source);
        EXPECT_EQ(source->Type(), c.type);
        Ref<BitmapImage> image = source->CreateImage();
        ASSERT_TRUE(image);
        ASSERT_EQ(image->Width(), kWidth);
        ASSERT_EQ(image->Height(), kHeight);
        int worst = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                int d = MaxDifference(image->PixelAt(x, y),
                                      Premultiplied(&reference[(static_cast<size_t>(y) * kWidth + x) * 4]));
                if (d > worst) worst = d;
            }
        EXPECT_LE(worst, c.tolerance);

        // Our PNG of the decoded image passes pngcheck and decodes with ffmpeg to the same pixels.
        std::string out = fDir.File(std::string(c.file) + ".out.png");
        std::vector<uint8_t> png;
        ASSERT_TRUE(PNGEncoder::EncodeImage(*image, png));
        FILE* f = std::fopen(out.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(png.data(), 1, png.size(), f);
        std::fclose(f);
        if (HaveProgram("pngcheck")) {
            EXPECT_TRUE(Shell("pngcheck -q " + out + " >/dev/null"));
        }
        std::string raw = out + ".raw";
        ASSERT_TRUE(Shell("ffmpeg -nostdin -v error -y -i " + out + " -f rawvideo -pix_fmt bgra " + raw));
        std::vector<uint8_t> back = ReadBytes(raw);
        ASSERT_EQ(back.size(), size_t{kWidth} * kHeight * 4);
        int mismatches = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (image->PixelAt(x, y) != Premultiplied(&back[(static_cast<size_t>(y) * kWidth + x) * 4]))
                    ++mismatches;
        EXPECT_EQ(mismatches, 0);
    }
}

// An APP1 segment with Orientation 6 put into an ffmpeg-made JPEG swaps the extent when applied.
TEST_F(ImageFilePeer, ExifOrientationSixSwapsTheExtent) {
    std::vector<uint8_t> reference;
    ASSERT_TRUE(MakeFixture("o.jpg", "-pix_fmt yuvj420p", reference));
    std::vector<uint8_t> jpeg = ReadBytes(fDir.File("o.jpg"));
    // "Exif\0\0", big-endian TIFF header, IFD0 with one entry: Orientation (SHORT) = 6.
    const uint8_t payload[] = {'E',  'x',  'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
                               0x01, 0x12, 0,   3,   0, 0, 0,   1,   0, 6,  0, 0, 0, 0, 0, 0};
    std::vector<uint8_t> withExif(jpeg.begin(), jpeg.begin() + 2);
    withExif.insert(withExif.end(), {0xFF, 0xE1, 0, static_cast<uint8_t>(sizeof payload + 2)});
    withExif.insert(withExif.end(), payload, payload + sizeof payload);
    withExif.insert(withExif.end(), jpeg.begin() + 2, jpeg.end());
    Ref<ImageSource> source = ImageSource::CreateWithData(withExif.data(), withExif.size());
    ASSERT_TRUE(source);
    Ref<BitmapImage> stored = source->CreateImage();
    Ref<BitmapImage> upright = source->CreateImage({.applyOrientation = true});
    ASSERT_TRUE(stored && upright);
    EXPECT_EQ(stored->Width(), kWidth);
    EXPECT_EQ(stored->Height(), kHeight);
    EXPECT_EQ(upright->Width(), kHeight);
    EXPECT_EQ(upright->Height(), kWidth);
}
