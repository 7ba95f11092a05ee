// Resource files are read from the bundle, which a user can edit.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/PNGDecoder.h"
#include "Platform/Resources/ResourceFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<plat::ResourceEntry> entries;
    if (plat::ParseResourceFile(data, size, entries)) {
        for (const plat::ResourceEntry& e : entries) {
            plat::Ref<plat::BitmapImage> image = plat::PNGDecoder::Decode(e.data.data(), e.data.size());
        }
    }
    return 0;
}
