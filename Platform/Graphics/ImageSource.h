#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Platform/Foundation/Object.h"

namespace plat {

class BitmapImage;

enum class ImageFileType : uint8_t { kUnknown, kPNG, kJPEG, kGIF, kBMP, kTIFF, kWebP, kTGA };

struct ImageDecodeOptions {
    // Turns JPEG images upright by their EXIF orientation (1..8); off: image 0 as stored.
    bool applyOrientation = false;
};

// An image file in memory, read once: its type sniffed from the content (TGA, which has no
// signature, by a ".tga" name), and image 0 decoded into a premultiplied kARGB32 image. PNG goes
// through PNGDecoder, JPEG through JPEGDecoder, the others through libavcodec's single-image
// decoders and libswscale. One set of limits for all (PNGDecoder::kMaxSide, kMaxPixels), checked
// before pixel memory is taken. Immutable once made; any thread.
class ImageSource : public Object {
public:
    static constexpr size_t kMaxFileBytes = size_t{256} << 20;

    // Null when the file cannot be read, is larger than kMaxFileBytes, or is of no known type.
    static Ref<ImageSource> CreateWithFile(const std::string& path);
    // Copies the bytes; name (may be null) only serves the TGA guess.
    static Ref<ImageSource> CreateWithData(const uint8_t* data, size_t size, const char* name = nullptr);

    static ImageFileType Sniff(const uint8_t* data, size_t size, const char* name);

    ImageFileType Type() const { return fType; }
    // Image 0, decoded anew on every call; null for damaged or oversized files.
    Ref<BitmapImage> CreateImage(const ImageDecodeOptions& options = {}) const;

private:
    ImageSource(ImageFileType type, std::vector<uint8_t> bytes) : fType(type), fBytes(std::move(bytes)) {}
    ~ImageSource() override = default;

    ImageFileType fType;
    std::vector<uint8_t> fBytes;
};

// The image turned by an EXIF orientation (2..8 mirror and/or rotate; 1 or others: the image itself).
Ref<BitmapImage> OrientImage(const BitmapImage& image, int32_t orientation);

}  // namespace plat
