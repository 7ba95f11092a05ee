#include "Platform/Resources/PngImage.h"

#include <png.h>

#include <cstring>

namespace plat {

bool DecodePng(const uint8_t* bytes, size_t size, PngImage& out) {
    out = PngImage();
    if (!bytes || size < 8 || png_sig_cmp(bytes, 0, 8) != 0) return false;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes, size)) return false;
    if (image.width == 0 || image.height == 0 || image.width > kMaxPngSide || image.height > kMaxPngSide) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(size_t{image.width} * image.height * 4);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    out.width = image.width;
    out.height = image.height;
    out.rgba = std::move(pixels);
    return true;
}

}  // namespace plat
