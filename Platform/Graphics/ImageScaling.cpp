#include "Platform/Graphics/ImageScaling.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/PixelFormat.h"

namespace plat {

namespace {

// Source index pair and weight (16.16 fixed point) of one destination coordinate.
struct Tap {
    int32_t i0;
    int32_t i1;
    uint32_t w1;  // weight of i1, 0..65536
};

std::vector<Tap> Taps(int32_t srcSize, int32_t dstSize) {
    std::vector<Tap> taps(static_cast<size_t>(dstSize));
    double scale = static_cast<double>(srcSize) / dstSize;
    for (int32_t d = 0; d < dstSize; ++d) {
        double s = (d + 0.5) * scale - 0.5;
        if (s < 0) s = 0;
        if (s > srcSize - 1) s = srcSize - 1;
        auto i0 = static_cast<int32_t>(s);
        int32_t i1 = i0 + 1 < srcSize ? i0 + 1 : i0;
        auto w1 = static_cast<uint32_t>((s - i0) * 65536.0 + 0.5);
        taps[static_cast<size_t>(d)] = {i0, i1, w1};
    }
    return taps;
}

}  // namespace

void DrawPixelsScaled(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, size_t srcBytesPerRow,
                      uint8_t* dst, int32_t dstWidth, int32_t dstHeight, size_t dstBytesPerRow,
                      bool flipped) {
    if (!src || !dst || srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return;
    if (srcWidth == dstWidth && srcHeight == dstHeight) {
        for (int32_t y = 0; y < dstHeight; ++y) {
            int32_t sy = flipped ? dstHeight - 1 - y : y;
            std::memcpy(dst + y * dstBytesPerRow, src + sy * srcBytesPerRow,
                        static_cast<size_t>(dstWidth) * 4);
        }
        return;
    }
    std::vector<Tap> xs = Taps(srcWidth, dstWidth);
    std::vector<Tap> ys = Taps(srcHeight, dstHeight);
    for (int32_t y = 0; y < dstHeight; ++y) {
        const Tap& ty = ys[static_cast<size_t>(y)];
        const uint8_t* r0 = src + ty.i0 * srcBytesPerRow;
        const uint8_t* r1 = src + ty.i1 * srcBytesPerRow;
        uint8_t* out = dst + (flipped ? dstHeight - 1 - y : y) * dstBytesPerRow;
        uint64_t wy1 = ty.w1, wy0 = 65536 - wy1;
        for (int32_t x = 0; x < dstWidth; ++x) {
            const Tap& tx = xs[static_cast<size_t>(x)];
            uint64_t wx1 = tx.w1, wx0 = 65536 - wx1;
            const uint8_t* a = r0 + tx.i0 * 4;
            const uint8_t* b = r0 + tx.i1 * 4;
            const uint8_t* c = r1 + tx.i0 * 4;
            const uint8_t* d = r1 + tx.i1 * 4;
            for (int k = 0; k < 4; ++k) {
                uint64_t top = a[k] * wx0 + b[k] * wx1;
                uint64_t bottom = c[k] * wx0 + d[k] * wx1;
                uint64_t v = (top * wy0 + bottom * wy1 + (uint64_t{1} << 31)) >> 32;
                out[x * 4 + k] = static_cast<uint8_t>(v > 255 ? 255 : v);
            }
        }
    }
}

bool DrawImageScaled(const BitmapImage& image, uint8_t* dst, int32_t dstWidth, int32_t dstHeight,
                     size_t dstBytesPerRow, bool flipped) {
    if (!dst || dstWidth <= 0 || dstHeight <= 0 || BytesPerPixel(image.Format()) != 4) return false;
    if (dstBytesPerRow < static_cast<size_t>(dstWidth) * 4) return false;
    DrawPixelsScaled(image.Bytes(), image.Width(), image.Height(), image.BytesPerRow(), dst, dstWidth,
                     dstHeight, dstBytesPerRow, flipped);
    return true;
}

Ref<BitmapImage> ScaleImage(const BitmapImage& image, int32_t width, int32_t height) {
    size_t rowBytes = PaddedBytesPerRow(PixelFormat::kARGB32, width);
    if (rowBytes == 0 || height <= 0 || height > 32768 || BytesPerPixel(image.Format()) != 4) return nullptr;
    auto* bytes = static_cast<uint8_t*>(std::malloc(rowBytes * static_cast<size_t>(height)));
    if (!bytes) return nullptr;
    DrawPixelsScaled(image.Bytes(), image.Width(), image.Height(), image.BytesPerRow(), bytes, width, height,
                     rowBytes);
    return BitmapImage::CreateOwning(width, height, image.Format(), bytes, rowBytes, image.Space());
}

}  // namespace plat
