#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plat {

// A PNG file decoded to 8-bit RGBA rows (4 bytes per pixel, no padding).
struct PngImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgba;
};

inline constexpr uint32_t kMaxPngSide = 16384;

// False for anything that is not a whole, valid PNG or is larger than kMaxPngSide on a side.
bool DecodePng(const uint8_t* bytes, size_t size, PngImage& out);

}  // namespace plat
