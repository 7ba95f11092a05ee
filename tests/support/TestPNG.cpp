#include "tests/support/TestPNG.h"

#include <png.h>

namespace {
void Write(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
void Flush(png_structp) {}
}  // namespace

namespace testsupport {

std::vector<uint8_t> EncodeTestPNG(int width, int height, const std::vector<uint8_t>& rgba,
                                   const std::vector<TestChunk>& chunks, bool interlaced) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, Write, Flush);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (const TestChunk& c : chunks)
        png_write_chunk(png, reinterpret_cast<png_const_bytep>(c.type.c_str()), c.data.data(), c.data.size());
    std::vector<png_bytep> rows(height);
    for (int y = 0; y < height; ++y) rows[y] = const_cast<png_bytep>(rgba.data() + y * width * 4);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace testsupport
