#include <cstddef>
#include <cstdint>

#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/PNGDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    plat::Ref<plat::BitmapImage> image = plat::PNGDecoder::Decode(data, size);
    if (image) {
        (void)image->FindChunk("hsPT");
        (void)image->PixelAt(image->Width() - 1, image->Height() - 1);
        image = nullptr;
    }
    return 0;
}
