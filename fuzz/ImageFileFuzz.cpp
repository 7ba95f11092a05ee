// Input: one option byte (bit 0: the file is named ".tga", bit 1: apply the EXIF orientation), then
// the file's bytes.
#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavutil/log.h>
}

#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/ImageSource.h"
#include "Platform/Graphics/JPEGDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    (void)quiet;
    if (size < 1) return 0;
    uint8_t options = data[0];
    ++data;
    --size;
    plat::Ref<plat::ImageSource> source =
        plat::ImageSource::CreateWithData(data, size, (options & 1) ? "fuzz.tga" : "fuzz");
    (void)plat::JPEGDecoder::ExifOrientation(data, size);
    if (!source) return 0;
    plat::ImageDecodeOptions decode;
    decode.applyOrientation = (options & 2) != 0;
    plat::Ref<plat::BitmapImage> image = source->CreateImage(decode);
    if (image) (void)image->PixelAt(image->Width() - 1, image->Height() - 1);
    return 0;
}
