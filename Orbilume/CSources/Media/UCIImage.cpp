#include "Orbilume/CSources/Media/UCIImage.h"

#include <cmath>
#include <cstring>

#include "Platform/Composer/BufferImage.h"
#include "Platform/Composer/ImageConversion.h"
#include "Platform/Graphics/ImageScaling.h"

namespace {

constexpr double kMaxSide = 16384;

}  // namespace

plat::Rect UCIImage::Extent(const plat::Image* image) {
    if (!image) return {};
    return {0, 0, static_cast<double>(image->Width()), static_cast<double>(image->Height())};
}

plat::Ref<plat::Image> UCIImage::Scale(const plat::Image* image, float sx, float sy) {
    if (!image || !std::isfinite(sx) || !std::isfinite(sy) || sx <= 0 || sy <= 0) return nullptr;
    double w = std::round(image->Width() * static_cast<double>(sx));
    double h = std::round(image->Height() * static_cast<double>(sy));
    if (w < 1) w = 1;
    if (h < 1) h = 1;
    if (w > kMaxSide || h > kMaxSide) return nullptr;
    const plat::BufferImage* source = plat::BufferForImage(*image);
    if (!source) return nullptr;
    plat::Ref<plat::BufferImage> scaled =
        plat::BufferImage::Create(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
    if (!scaled) return nullptr;
    plat::DrawPixelsScaled(source->Data(), static_cast<int32_t>(source->Width()),
                           static_cast<int32_t>(source->Height()), source->BytesPerRow(),
                           scaled->MutableData(), static_cast<int32_t>(w), static_cast<int32_t>(h),
                           scaled->BytesPerRow());
    return scaled;
}

plat::Ref<plat::Image> UCIImage::Rasterize(const plat::Image* image, bool needData) {
    (void)needData;  // without pixels there is nothing to make either way
    if (!image) return nullptr;
    const plat::BufferImage* source = plat::BufferForImage(*image);
    if (!source) return nullptr;
    plat::Ref<plat::BufferImage> copy = plat::BufferImage::Create(source->Width(), source->Height());
    if (!copy) return nullptr;
    for (uint32_t y = 0; y < source->Height(); ++y)
        std::memcpy(copy->MutableData() + y * copy->BytesPerRow(), source->Row(y),
                    size_t{source->Width()} * 4);
    return copy;
}
