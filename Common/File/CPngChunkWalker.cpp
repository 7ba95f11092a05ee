#include "Common/File/CPngChunkWalker.h"

#include <cstring>

namespace {

const uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

uint32_t ReadBE32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

}  // namespace

CPngChunkWalker::CPngChunkWalker(const void* data, size_t size)
    : fData(static_cast<const uint8_t*>(data)), fSize(size) {
    fFailed = !fData || size < 8 || std::memcmp(fData, kSignature, 8) != 0;
}

bool CPngChunkWalker::NextChunk() {
    if (fFailed) return false;
    if (fNext > fSize || fSize - fNext < 8) {
        fFailed = true;
        return false;
    }
    fLength = ReadBE32(fData + fNext);
    fType = ReadBE32(fData + fNext + 4);
    fDataPos = fNext + 8;
    fNext = fDataPos + uint64_t{fLength} + 4;
    return true;
}

size_t CPngChunkWalker::AvailableData() const {
    if (fDataPos >= fSize) return 0;
    const uint64_t left = fSize - fDataPos;
    return static_cast<size_t>(left < fLength ? left : fLength);
}

void ReadPngHotSpot(const void* data, size_t size, int32_t& x, int32_t& y) {
    x = 0;
    y = 0;
    CPngChunkWalker walker(data, size);
    while (walker.NextChunk()) {
        if (walker.Type() != CPngChunkWalker::Code("hsPT")) continue;
        if (walker.Length() < 4 || walker.AvailableData() < 4) return;
        const uint8_t* p = walker.Data();
        x = p[0] << 8 | p[1];
        y = p[2] << 8 | p[3];
        return;
    }
}
