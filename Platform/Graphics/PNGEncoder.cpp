#include "Platform/Graphics/PNGEncoder.h"

#include <png.h>

#include <array>
#include <csetjmp>
#include <cstdlib>

#include "Platform/Foundation/FileIO.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/PNGDecoder.h"

namespace plat {

namespace {

// kUnpremultiply[a][c]: straight value of premultiplied c at alpha a.
struct UnpremultiplyTable {
    std::array<std::array<uint8_t, 256>, 256> v{};
    UnpremultiplyTable() {
        for (uint32_t a = 1; a < 256; ++a)
            for (uint32_t c = 0; c < 256; ++c) {
                uint32_t s = (c * 255 + a / 2) / a;
                v[a][c] = static_cast<uint8_t>(s > 255 ? 255 : s);
            }
    }
};

const UnpremultiplyTable& Table() {
    static const UnpremultiplyTable table;
    return table;
}

struct Offsets {
    int a, r, g, b;
};

Offsets OffsetsFor(PixelOrder order) {
    return order == PixelOrder::kARGB ? Offsets{0, 1, 2, 3} : Offsets{3, 2, 1, 0};
}

bool AllOpaque(const uint8_t* pixels, int32_t width, int32_t height, size_t bytesPerRow, int alphaOffset) {
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* p = pixels + y * bytesPerRow + alphaOffset;
        for (int32_t x = 0; x < width; ++x, p += 4)
            if (*p != 255) return false;
    }
    return true;
}

void ConvertRow(const uint8_t* in, int32_t width, const Offsets& o, bool alpha, uint8_t* out) {
    const auto& t = Table().v;
    for (int32_t x = 0; x < width; ++x, in += 4) {
        uint8_t a = in[o.a];
        if (a == 255 || a == 0) {
            out[0] = a ? in[o.r] : 0;
            out[1] = a ? in[o.g] : 0;
            out[2] = a ? in[o.b] : 0;
        } else {
            out[0] = t[a][in[o.r]];
            out[1] = t[a][in[o.g]];
            out[2] = t[a][in[o.b]];
        }
        if (alpha) {
            out[3] = a;
            out += 4;
        } else {
            out += 3;
        }
    }
}

void WriteData(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void Flush(png_structp) {}

void Warn(png_structp, png_const_charp) {}

void Fail(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

// Kept apart from the callers so that longjmp never skips a destructor.
bool EncodeRows(png_structp png, png_infop info, const uint8_t* pixels, int32_t width, int32_t height,
                size_t bytesPerRow, const Offsets& o, bool alpha, uint8_t* row, std::vector<uint8_t>* out) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, out, WriteData, Flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_set_compression_level(png, PNGEncoder::kZlibLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNGEncoder::kFilter);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; ++y) {
        ConvertRow(pixels + y * bytesPerRow, width, o, alpha, row);
        png_write_row(png, row);
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

uint8_t PNGEncoder::Unpremultiply(uint8_t component, uint8_t alpha) {
    return alpha ? Table().v[alpha][component] : 0;
}

bool PNGEncoder::Encode(const uint8_t* pixels, int32_t width, int32_t height, size_t bytesPerRow,
                        PixelOrder order, std::vector<uint8_t>& out) {
    if (!pixels || width <= 0 || height <= 0 || width > PNGDecoder::kMaxSide || height > PNGDecoder::kMaxSide)
        return false;
    if (bytesPerRow < static_cast<size_t>(width) * 4) return false;
    Offsets o = OffsetsFor(order);
    bool alpha = !AllOpaque(pixels, width, height, bytesPerRow, o.a);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Warn);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    auto* row = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(width) * 4));
    std::vector<uint8_t> file;
    bool ok = info && row && EncodeRows(png, info, pixels, width, height, bytesPerRow, o, alpha, row, &file);
    png_destroy_write_struct(&png, info ? &info : nullptr);
    std::free(row);
    if (!ok) return false;
    out.swap(file);
    return true;
}

bool PNGEncoder::EncodeImage(const BitmapImage& image, std::vector<uint8_t>& out) {
    if (image.Format() != PixelFormat::kARGB32 && image.Format() != PixelFormat::kXRGB32) return false;
    if (image.Format() == PixelFormat::kXRGB32) {
        // The unused top byte may hold anything: make it opaque on the way.
        std::vector<uint8_t> opaque(static_cast<size_t>(image.Width()) * 4 *
                                    static_cast<size_t>(image.Height()));
        for (int32_t y = 0; y < image.Height(); ++y)
            for (int32_t x = 0; x < image.Width(); ++x) {
                uint32_t w = image.PixelAt(x, y) | 0xFF000000u;
                uint8_t* p = &opaque[(static_cast<size_t>(y) * image.Width() + x) * 4];
                p[0] = w & 0xFF;
                p[1] = (w >> 8) & 0xFF;
                p[2] = (w >> 16) & 0xFF;
                p[3] = 0xFF;
            }
        return Encode(opaque.data(), image.Width(), image.Height(), static_cast<size_t>(image.Width()) * 4,
                      PixelOrder::kBGRA, out);
    }
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "native 0xAARRGGBB words are B, G, R, A bytes");
    return Encode(image.Bytes(), image.Width(), image.Height(), image.BytesPerRow(), PixelOrder::kBGRA, out);
}

bool PNGEncoder::WriteFile(const std::string& path, const uint8_t* pixels, int32_t width, int32_t height,
                           size_t bytesPerRow, PixelOrder order) {
    std::vector<uint8_t> file;
    if (!Encode(pixels, width, height, bytesPerRow, order, file)) return false;
    return WriteFileAtomically(path, file.data(), file.size());
}

}  // namespace plat
