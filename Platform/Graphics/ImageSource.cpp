#include "Platform/Graphics/ImageSource.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "Platform/Foundation/FileIO.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/JPEGDecoder.h"
#include "Platform/Graphics/LibavImageDecoder.h"
#include "Platform/Graphics/PNGDecoder.h"
#include "Platform/Graphics/PixelFormat.h"

namespace plat {

namespace {

bool StartsWith(const uint8_t* data, size_t size, const char* magic, size_t n) {
    return size >= n && std::memcmp(data, magic, n) == 0;
}

bool HasTGAName(const char* name) {
    if (!name) return false;
    size_t n = std::strlen(name);
    return n >= 4 && strcasecmp(name + n - 4, ".tga") == 0;
}

}  // namespace

ImageFileType ImageSource::Sniff(const uint8_t* data, size_t size, const char* name) {
    if (!data) return ImageFileType::kUnknown;
    if (PNGDecoder::HasSignature(data, size)) return ImageFileType::kPNG;
    if (JPEGDecoder::HasSignature(data, size)) return ImageFileType::kJPEG;
    if (StartsWith(data, size, "GIF87a", 6) || StartsWith(data, size, "GIF89a", 6))
        return ImageFileType::kGIF;
    if (StartsWith(data, size, "II*\0", 4) || StartsWith(data, size, "MM\0*", 4)) return ImageFileType::kTIFF;
    if (size >= 12 && StartsWith(data, size, "RIFF", 4) && std::memcmp(data + 8, "WEBP", 4) == 0)
        return ImageFileType::kWebP;
    if (size >= 26 && StartsWith(data, size, "BM", 2)) return ImageFileType::kBMP;
    if (HasTGAName(name) && size >= 18) return ImageFileType::kTGA;
    return ImageFileType::kUnknown;
}

Ref<ImageSource> ImageSource::CreateWithData(const uint8_t* data, size_t size, const char* name) {
    ImageFileType type = Sniff(data, size, name);
    if (type == ImageFileType::kUnknown || size > kMaxFileBytes) return nullptr;
    return Adopt(new ImageSource(type, std::vector<uint8_t>(data, data + size)));
}

Ref<ImageSource> ImageSource::CreateWithFile(const std::string& path) {
    std::string bytes;
    if (ReadWholeFile(path, kMaxFileBytes, bytes) != ReadFileResult::kOk) return nullptr;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    ImageFileType type = Sniff(data, bytes.size(), path.c_str());
    if (type == ImageFileType::kUnknown) return nullptr;
    return Adopt(new ImageSource(type, std::vector<uint8_t>(data, data + bytes.size())));
}

Ref<BitmapImage> ImageSource::CreateImage(const ImageDecodeOptions& options) const {
    const uint8_t* data = fBytes.data();
    size_t size = fBytes.size();
    switch (fType) {
        case ImageFileType::kPNG:
            return PNGDecoder::Decode(data, size);
        case ImageFileType::kJPEG: {
            Ref<BitmapImage> image = JPEGDecoder::Decode(data, size);
            if (!image || !options.applyOrientation) return image;
            int32_t orientation = JPEGDecoder::Orientation(data, size);
            return orientation == 1 ? image : OrientImage(*image, orientation);
        }
        case ImageFileType::kUnknown:
            return nullptr;
        default:
            return LibavImageDecoder::Decode(fType, data, size);
    }
}

Ref<BitmapImage> OrientImage(const BitmapImage& image, int32_t orientation) {
    int32_t w = image.Width(), h = image.Height();
    if (orientation < 2 || orientation > 8 || BytesPerPixel(image.Format()) != 4)
        return RetainRef(const_cast<BitmapImage*>(&image));
    bool swap = orientation >= 5;
    int32_t ow = swap ? h : w, oh = swap ? w : h;
    size_t rowBytes = PaddedBytesPerRow(image.Format(), ow);
    auto* out = static_cast<uint8_t*>(std::malloc(rowBytes * static_cast<size_t>(oh)));
    if (!out) return nullptr;
    const uint8_t* in = image.Bytes();
    size_t inRow = image.BytesPerRow();
    for (int32_t y = 0; y < oh; ++y) {
        auto* dst = reinterpret_cast<uint32_t*>(out + y * rowBytes);
        for (int32_t x = 0; x < ow; ++x) {
            int32_t sx = x, sy = y;
            switch (orientation) {
                case 2:
                    sx = w - 1 - x;
                    break;
                case 3:
                    sx = w - 1 - x, sy = h - 1 - y;
                    break;
                case 4:
                    sy = h - 1 - y;
                    break;
                case 5:
                    sx = y, sy = x;
                    break;
                case 6:
                    sx = y, sy = h - 1 - x;
                    break;
                case 7:
                    sx = w - 1 - y, sy = h - 1 - x;
                    break;
                case 8:
                    sx = w - 1 - y, sy = x;
                    break;
            }
            std::memcpy(&dst[x], in + sy * inRow + sx * 4, 4);
        }
    }
    return BitmapImage::CreateOwning(ow, oh, image.Format(), out, rowBytes, image.Space());
}

}  // namespace plat
