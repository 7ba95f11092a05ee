#include "Platform/Graphics/PNGDecoder.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "Platform/Graphics/BitmapImage.h"

namespace plat {

namespace {

struct Source {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

// Plain data only: the decode below may be left by longjmp.
struct Raw {
    uint32_t width = 0;
    uint32_t height = 0;
    size_t bytesPerRow = 0;
    uint8_t* pixels = nullptr;
    png_bytep* rows = nullptr;
};

void ReadBytes(png_structp png, png_bytep out, png_size_t n) {
    auto* src = static_cast<Source*>(png_get_io_ptr(png));
    if (n > src->size - src->pos) png_error(png, "truncated");
    std::memcpy(out, src->data + src->pos, n);
    src->pos += n;
}

void OnError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void OnWarning(png_structp, png_const_charp) {}

uint8_t Premultiply(uint32_t c, uint32_t a) {
    return static_cast<uint8_t>((c * a + 127) / 255);
}

bool DecodeInto(png_structp png, png_infop info, Raw* raw) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    png_uint_32 w = 0, h = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png, info, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
    if (w == 0 || h == 0 || static_cast<size_t>(w) * h > PNGDecoder::kMaxPixels) return false;
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_strip_16(png);
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    if (rowBytes != static_cast<size_t>(w) * 4) return false;
    raw->width = w;
    raw->height = h;
    raw->bytesPerRow = rowBytes;
    raw->pixels = static_cast<uint8_t*>(std::malloc(rowBytes * h));
    raw->rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * h));
    if (!raw->pixels || !raw->rows) return false;
    for (png_uint_32 y = 0; y < h; ++y) raw->rows[y] = raw->pixels + y * rowBytes;
    png_read_image(png, raw->rows);
    png_read_end(png, info);
    return true;
}

}  // namespace

bool PNGDecoder::HasSignature(const uint8_t* data, size_t size) {
    return data && size >= 8 && png_sig_cmp(data, 0, 8) == 0;
}

Ref<BitmapImage> PNGDecoder::Decode(const uint8_t* data, size_t size) {
    if (!HasSignature(data, size)) return nullptr;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
    if (!png) return nullptr;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return nullptr;
    }
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_set_chunk_cache_max(png, kMaxChunks);
    png_set_chunk_malloc_max(png, kMaxChunkBytes * 4);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, nullptr, 0);
    Source src{data, size, 0};
    png_set_read_fn(png, &src, ReadBytes);

    Raw raw;
    Ref<BitmapImage> image;
    if (DecodeInto(png, info, &raw)) {
        for (uint32_t y = 0; y < raw.height; ++y) {
            uint8_t* p = raw.pixels + y * raw.bytesPerRow;
            for (uint32_t x = 0; x < raw.width; ++x, p += 4) {
                uint32_t a = p[3];
                if (a == 255) continue;
                p[0] = Premultiply(p[0], a);
                p[1] = Premultiply(p[1], a);
                p[2] = Premultiply(p[2], a);
            }
        }
        image = BitmapImage::Create(static_cast<int32_t>(raw.width), static_cast<int32_t>(raw.height),
                                    PixelFormat::kARGB32, raw.pixels, raw.bytesPerRow);
        png_unknown_chunkp chunks = nullptr;
        int n = image ? png_get_unknown_chunks(png, info, &chunks) : 0;
        for (int i = 0; i < n && static_cast<uint32_t>(i) < kMaxChunks; ++i) {
            if (chunks[i].size > kMaxChunkBytes) continue;
            PNGChunk c;
            std::memcpy(c.type, chunks[i].name, 4);
            c.data.assign(chunks[i].data, chunks[i].data + chunks[i].size);
            image->fChunks.push_back(std::move(c));
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::free(raw.rows);
    std::free(raw.pixels);
    return image;
}

}  // namespace plat
