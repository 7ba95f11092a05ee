#include <gtest/gtest.h>

// jpeglib.h needs size_t and FILE first.
#include <jpeglib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Platform/Foundation/Bytes.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/ImageSource.h"
#include "Platform/Graphics/JPEGDecoder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestPNG.h"

using namespace plat;

namespace {

struct JPEGSpec {
    int width = 16;
    int height = 8;
    J_COLOR_SPACE space = JCS_RGB;
    int components = 3;
    bool progressive = false;
    int lumaBits = 0;  // progressive: refinement scans per luma coefficient
};

// A JPEG of a smooth pattern made with libjpeg (the test's own encoder, not the decoder under test).
std::vector<uint8_t> MakeJPEG(const JPEGSpec& spec) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = spec.width;
    c.image_height = spec.height;
    c.input_components = spec.components;
    c.in_color_space = spec.space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    std::vector<jpeg_scan_info> script;
    if (spec.progressive) {
        // DC of all components, each chroma AC band whole, then every luma AC coefficient in its own
        // band, first at lumaBits of precision and then refined bit by bit: a valid file of many scans.
        jpeg_scan_info dc{};
        dc.comps_in_scan = c.num_components;
        for (int i = 0; i < c.num_components; ++i) dc.component_index[i] = i;
        script.push_back(dc);
        for (int i = 1; i < c.num_components; ++i) {
            jpeg_scan_info ac{};
            ac.comps_in_scan = 1;
            ac.component_index[0] = i;
            ac.Ss = 1;
            ac.Se = 63;
            script.push_back(ac);
        }
        for (int band = 1; band <= 63; ++band) {
            jpeg_scan_info first{};
            first.comps_in_scan = 1;
            first.Ss = first.Se = band;
            first.Al = spec.lumaBits;
            script.push_back(first);
            for (int bit = spec.lumaBits; bit > 0; --bit) {
                jpeg_scan_info refine = first;
                refine.Ah = bit;
                refine.Al = bit - 1;
                script.push_back(refine);
            }
        }
        c.scan_info = script.data();
        c.num_scans = static_cast<int>(script.size());
    }
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(spec.width) * spec.components);
    while (c.next_scanline < c.image_height) {
        for (int x = 0; x < spec.width; ++x)
            for (int k = 0; k < spec.components; ++k)
                row[x * spec.components + k] = static_cast<uint8_t>(x * 8 + c.next_scanline * 20 + k * 40);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> file(out, out + size);
    free(out);
    return file;
}

// An APP1 "Exif" segment holding IFD0 with the orientation tag.
std::vector<uint8_t> ExifPayload(bool little, uint16_t orientation) {
    std::vector<uint8_t> p = {'E', 'x', 'i', 'f', 0, 0};
    std::vector<uint8_t> t(8 + 2 + 12 + 4);
    t[0] = t[1] = little ? 'I' : 'M';
    auto put16 = [&](size_t at, uint16_t v) { little ? StoreLE16(&t[at], v) : StoreBE16(&t[at], v); };
    auto put32 = [&](size_t at, uint32_t v) { little ? StoreLE32(&t[at], v) : StoreBE32(&t[at], v); };
    put16(2, 42);
    put32(4, 8);
    put16(8, 1);
    put16(10, 0x0112);
    put16(12, 3);
    put32(14, 1);
    put16(18, orientation);
    p.insert(p.end(), t.begin(), t.end());
    return p;
}

std::vector<uint8_t> InsertAPP1(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    uint16_t len = static_cast<uint16_t>(payload.size() + 2);
    out.insert(out.end(), {0xFF, 0xE1, static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len)});
    out.insert(out.end(), payload.begin(), payload.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

// An uncompressed 24-bit TGA, bottom row first, pixels B, G, R.
std::vector<uint8_t> MakeTGA(uint16_t w, uint16_t h, const std::vector<uint8_t>& bgr) {
    std::vector<uint8_t> f(18, 0);
    f[2] = 2;
    StoreLE16(&f[12], w);
    StoreLE16(&f[14], h);
    f[16] = 24;
    f.insert(f.end(), bgr.begin(), bgr.end());
    return f;
}

// A 24-bit BMP, bottom row first, rows padded to 4 bytes.
std::vector<uint8_t> MakeBMP(int32_t w, int32_t h, const std::vector<uint8_t>& bgrRows) {
    std::vector<uint8_t> f(54, 0);
    f[0] = 'B';
    f[1] = 'M';
    StoreLE32(&f[2], static_cast<uint32_t>(54 + bgrRows.size()));
    StoreLE32(&f[10], 54);
    StoreLE32(&f[14], 40);
    StoreLE32(&f[18], static_cast<uint32_t>(w));
    StoreLE32(&f[22], static_cast<uint32_t>(h));
    StoreLE16(&f[26], 1);
    StoreLE16(&f[28], 24);
    StoreLE32(&f[34], static_cast<uint32_t>(bgrRows.size()));
    f.insert(f.end(), bgrRows.begin(), bgrRows.end());
    return f;
}

Ref<BitmapImage> Decode(const std::vector<uint8_t>& bytes, const char* name = nullptr, bool orient = false) {
    Ref<ImageSource> source = ImageSource::CreateWithData(bytes.data(), bytes.size(), name);
    if (!source) return nullptr;
    ImageDecodeOptions options;
    options.applyOrientation = orient;
    return source->CreateImage(options);
}

}  // namespace

TEST(ImageSource, SniffsTypesFromContentAndTGAFromItsName) {
    struct Case {
        std::string bytes;
        const char* name;
        ImageFileType type;
    };
    const Case cases[] = {
        {std::string("\x89PNG\r\n\x1a\n", 8) + std::string(8, '\0'), nullptr, ImageFileType::kPNG},
        {"\xFF\xD8\xFF\xE0", nullptr, ImageFileType::kJPEG},
        {"GIF89a......", nullptr, ImageFileType::kGIF},
        {"GIF87a......", nullptr, ImageFileType::kGIF},
        {std::string("II*\0", 4) + "....", nullptr, ImageFileType::kTIFF},
        {std::string("MM\0*", 4) + "....", nullptr, ImageFileType::kTIFF},
        {std::string("RIFF\x10\0\0\0WEBPVP8L", 16), nullptr, ImageFileType::kWebP},
        {std::string("RIFF\x10\0\0\0AVI LIST", 16), nullptr, ImageFileType::kUnknown},
        {"BM" + std::string(30, '\0'), nullptr, ImageFileType::kBMP},
        {std::string(18, '\0'), "/x/picture.TGA", ImageFileType::kTGA},
        {std::string(18, '\0'), "/x/picture.tga.txt", ImageFileType::kUnknown},
        {"GIF8", nullptr, ImageFileType::kUnknown},
        {"", "a.tga", ImageFileType::kUnknown},
    };
    for (const Case& c : cases)
        EXPECT_EQ(
            ImageSource::Sniff(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), c.name),
            c.type)
            << c.bytes << " " << (c.name ? c.name : "");
    EXPECT_FALSE(ImageSource::CreateWithData(reinterpret_cast<const uint8_t*>("text"), 4));
}

TEST(ImageSource, ExifOrientationReaderStaysInsideTheSegment) {
    struct Case {
        const char* what;
        std::vector<uint8_t> payload;
        int32_t orientation;
    };
    std::vector<uint8_t> good = ExifPayload(false, 6);
    std::vector<uint8_t> ifdOutside = good;
    StoreBE32(&ifdOutside[6 + 4], 0xFFFFFFF0u);
    std::vector<uint8_t> ifdInHeader = good;
    StoreBE32(&ifdInHeader[6 + 4], 2);
    std::vector<uint8_t> tooManyEntries = good;
    StoreBE16(&tooManyEntries[6 + 8], 0xFFFF);
    std::vector<uint8_t> wrongType = good;
    StoreBE16(&wrongType[6 + 12], 4);
    std::vector<uint8_t> badMagic = good;
    badMagic[6 + 3] = 43;
    const Case cases[] = {
        {"big-endian", good, 6},
        {"little-endian", ExifPayload(true, 8), 8},
        {"value out of range", ExifPayload(true, 9), 1},
        {"value zero", ExifPayload(true, 0), 1},
        {"IFD offset outside", ifdOutside, 1},
        {"IFD offset inside the header", ifdInHeader, 1},
        {"entry count beyond the segment", tooManyEntries, 1},
        {"wrong type", wrongType, 1},
        {"not 42", badMagic, 1},
        {"truncated", std::vector<uint8_t>(good.begin(), good.begin() + 20), 1},
        {"no Exif", {'J', 'F', 'I', 'F', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0}, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JPEGDecoder::ExifOrientation(c.payload.data(), c.payload.size()), c.orientation) << c.what;
}

TEST(ImageSource, OrientationsTurnAndMirror) {
    // 3 x 2: pixel value = index + 1, so the new top-left and top-right pixels tell the transform.
    uint32_t px[6] = {1, 2, 3, 4, 5, 6};
    Ref<BitmapImage> image =
        BitmapImage::Create(3, 2, PixelFormat::kARGB32, reinterpret_cast<uint8_t*>(px), 12);
    struct Case {
        int32_t orientation;
        int32_t w, h;
        uint32_t topLeft, topRight;
    };
    const Case cases[] = {{1, 3, 2, 1, 3}, {2, 3, 2, 3, 1}, {3, 3, 2, 6, 4}, {4, 3, 2, 4, 6},
                          {5, 2, 3, 1, 4}, {6, 2, 3, 4, 1}, {7, 2, 3, 6, 3}, {8, 2, 3, 3, 6}};
    for (const Case& c : cases) {
        Ref<BitmapImage> out = OrientImage(*image, c.orientation);
        ASSERT_TRUE(out);
        EXPECT_EQ(out->Width(), c.w) << c.orientation;
        EXPECT_EQ(out->Height(), c.h) << c.orientation;
        EXPECT_EQ(out->PixelAt(0, 0), c.topLeft) << c.orientation;
        EXPECT_EQ(out->PixelAt(c.w - 1, 0), c.topRight) << c.orientation;
    }
}

TEST(ImageSource, JPEGColourGreyAndCMYKDecode) {
    Ref<BitmapImage> rgb = Decode(MakeJPEG({}));
    ASSERT_TRUE(rgb);
    EXPECT_EQ(rgb->Width(), 16);
    EXPECT_EQ(rgb->Height(), 8);
    uint32_t p = rgb->PixelAt(4, 2);
    EXPECT_EQ(p >> 24, 255u);
    EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 4 * 8 + 2 * 20, 6);
    EXPECT_NEAR(static_cast<int>(p & 0xFF), 4 * 8 + 2 * 20 + 80, 6);

    Ref<BitmapImage> grey = Decode(MakeJPEG({.space = JCS_GRAYSCALE, .components = 1}));
    ASSERT_TRUE(grey);
    uint32_t g = grey->PixelAt(4, 2);
    EXPECT_EQ(g >> 24, 255u);
    EXPECT_EQ((g >> 16) & 0xFF, g & 0xFF);
    EXPECT_NEAR(static_cast<int>(g & 0xFF), 72, 6);

    // Plain (not Adobe-inverted) CMYK: c = 0, m = 40, y = 80 at x = 0, y = 0 with k = 120.
    Ref<BitmapImage> cmyk = Decode(MakeJPEG({.space = JCS_CMYK, .components = 4}));
    ASSERT_TRUE(cmyk);
    EXPECT_EQ(cmyk->PixelAt(0, 0) >> 24, 255u);

    Ref<BitmapImage> progressive = Decode(MakeJPEG({.progressive = true}));
    ASSERT_TRUE(progressive);
    EXPECT_EQ(progressive->Width(), 16);
}

// Orientation 6 turns the extent only when asked for.
TEST(ImageSource, ExifOrientationAppliesOnlyWhenAsked) {
    std::vector<uint8_t> jpeg = InsertAPP1(MakeJPEG({}), ExifPayload(false, 6));
    EXPECT_EQ(JPEGDecoder::Orientation(jpeg.data(), jpeg.size()), 6);
    Ref<BitmapImage> stored = Decode(jpeg);
    Ref<BitmapImage> upright = Decode(jpeg, nullptr, true);
    ASSERT_TRUE(stored && upright);
    EXPECT_EQ(stored->Width(), 16);
    EXPECT_EQ(stored->Height(), 8);
    EXPECT_EQ(upright->Width(), 8);
    EXPECT_EQ(upright->Height(), 16);
    // Turned clockwise: the stored bottom-left pixel is now the top-left one.
    EXPECT_EQ(upright->PixelAt(0, 0), stored->PixelAt(0, 7));
}

TEST(ImageSource, HandMadeTGAAndBMPDecodeExactly) {
    // 2 x 2, bottom row first in both files: bottom = red, green; top = blue, white.
    std::vector<uint8_t> bottomUp = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};
    Ref<BitmapImage> tga = Decode(MakeTGA(2, 2, bottomUp), "x.tga");
    ASSERT_TRUE(tga);
    EXPECT_EQ(tga->PixelAt(0, 0), 0xFF0000FFu);
    EXPECT_EQ(tga->PixelAt(1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(tga->PixelAt(0, 1), 0xFFFF0000u);
    EXPECT_EQ(tga->PixelAt(1, 1), 0xFF00FF00u);

    std::vector<uint8_t> rows = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
    Ref<BitmapImage> bmp = Decode(MakeBMP(2, 2, rows));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->PixelAt(0, 0), 0xFF0000FFu);
    EXPECT_EQ(bmp->PixelAt(1, 1), 0xFF00FF00u);
}

// Damaged and oversized files give no image at once.
TEST(ImageSource, DamagedAndOversizedFilesFailQuickly) {
    auto start = std::chrono::steady_clock::now();
    std::vector<uint8_t> jpeg = MakeJPEG({.width = 64, .height = 64});
    std::vector<uint8_t> hugeJpeg = jpeg;
    // The SOF0 frame header: FF C0, length, precision, height, width.
    for (size_t i = 2; i + 9 < hugeJpeg.size(); ++i)
        if (hugeJpeg[i] == 0xFF && hugeJpeg[i + 1] == 0xC0) {
            StoreBE16(&hugeJpeg[i + 5], 60000);
            StoreBE16(&hugeJpeg[i + 7], 60000);
            break;
        }
    std::vector<uint8_t> hugeTGA = MakeTGA(65535, 65535, std::vector<uint8_t>(300, 7));
    // Within the pixel count but beyond the side limit.
    std::vector<uint8_t> wideTGA = MakeTGA(20000, 2, std::vector<uint8_t>(20000 * 2 * 3, 7));
    std::vector<uint8_t> hugeBMP = MakeBMP(100000, 100000, std::vector<uint8_t>(300, 7));
    std::vector<uint8_t> bogusTGA = MakeTGA(4, 4, std::vector<uint8_t>(10, 7));
    std::vector<uint8_t> hugeGIF = {'G',  'I',  'F', '8', '9', 'a',  0xFF, 0xFF, 0xFF, 0xFF,
                                    0,    0,    0,   ',', 0,   0,    0,    0,    0xFF, 0xFF,
                                    0xFF, 0xFF, 0,   2,   2,   0x44, 0x01, 0,    ';'};
    std::vector<uint8_t> bmp = MakeBMP(2, 2, std::vector<uint8_t>(16, 9));
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* name;
    };
    const Case cases[] = {
        {"truncated JPEG", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + jpeg.size() / 2), nullptr},
        {"JPEG header only", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 20), nullptr},
        {"JPEG of 60000 x 60000", hugeJpeg, nullptr},
        {"TGA of 65535 x 65535", hugeTGA, "big.tga"},
        {"TGA with too few pixels", bogusTGA, "short.tga"},
        {"TGA of 20000 x 2", wideTGA, "wide.tga"},
        {"BMP of 100000 x 100000", hugeBMP, nullptr},
        {"truncated BMP", std::vector<uint8_t>(bmp.begin(), bmp.begin() + 60), nullptr},
        {"GIF of 65535 x 65535", hugeGIF, nullptr},
        {"GIF of 7967 x 7967 without an image",
         {'G', 'I', 'F', '8', '7', 'a', 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F,
          0x1F, 0x1F},
         nullptr},
        {"corrupt JPEG",
         [&] {
             std::vector<uint8_t> b = jpeg;
             for (size_t i = b.size() / 2; i < b.size() - 2; i += 7) b[i] ^= 0x5A;
             return b;
         }(),
         nullptr},
    };
    for (const Case& c : cases) EXPECT_FALSE(Decode(c.bytes, c.name)) << c.what;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// A progressive JPEG with more scans than the cap gives no image; one just under it decodes.
TEST(ImageSource, ProgressiveScansAreCapped) {
    // 3 + 63 * 3 = 192 scans decode; 3 + 63 * 5 = 318 are more than allowed.
    ASSERT_TRUE(Decode(MakeJPEG({.progressive = true, .lumaBits = 2})));
    EXPECT_FALSE(Decode(MakeJPEG({.progressive = true, .lumaBits = 4})));
}

TEST(ImageSource, ReadsFilesAndRefusesMissingOnes) {
    testsupport::TempDir dir;
    std::vector<uint8_t> png = testsupport::EncodeTestPNG(1, 1, {1, 2, 3, 255});
    dir.Write("a.png", std::string(png.begin(), png.end()));
    Ref<ImageSource> source = ImageSource::CreateWithFile(dir.File("a.png"));
    ASSERT_TRUE(source);
    EXPECT_EQ(source->Type(), ImageFileType::kPNG);
    Ref<BitmapImage> image = source->CreateImage();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->PixelAt(0, 0), 0xFF010203u);
    EXPECT_FALSE(ImageSource::CreateWithFile(dir.File("missing.png")));
}
