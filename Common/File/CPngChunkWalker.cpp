#include "Common/File/CPngChunkWalker.h"

#include <cstring>

#include "Common/Stream/CMemStream.h"
#include "Common/Stream/CStream.h"
#include "Platform/Foundation/Bytes.h"

namespace {

const uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

}  // namespace

CPngChunkWalker::CPngChunkWalker(CStream& stream) : fStream(stream) {
    uint8_t signature[8];
    fFailed = !fStream.GetExactly(signature, 8) || std::memcmp(signature, kSignature, 8) != 0;
    fNext = fStream.Position();
}

bool CPngChunkWalker::NextChunk() {
    if (fFailed) return false;
    uint8_t header[8];
    fStream.Seek(fNext);
    if (!fStream.GetExactly(header, 8)) {
        fFailed = true;
        return false;
    }
    fLength = plat::LoadBE32(header);
    fType = plat::LoadFourCC(header + 4);
    fDataPos = fStream.Position();
    fNext = fDataPos + uint64_t{fLength} + 4;  // data and CRC
    return true;
}

uint32_t CPngChunkWalker::ReadData(void* bytes, uint32_t count) {
    if (fFailed) return 0;
    uint64_t n = count < fLength ? count : fLength;
    fStream.Seek(fDataPos);
    fStream.Get(bytes, n);
    return static_cast<uint32_t>(n);
}

void ReadPngHotSpot(CStream& stream, int32_t& x, int32_t& y) {
    x = 0;
    y = 0;
    CPngChunkWalker walker(stream);
    while (walker.NextChunk()) {
        if (walker.Type() != CPngChunkWalker::Code("hsPT")) continue;
        uint8_t p[4];
        if (walker.Length() < 4 || walker.ReadData(p, 4) < 4) return;
        x = plat::LoadBE16(p);
        y = plat::LoadBE16(p + 2);
        return;
    }
}

void ReadPngHotSpot(const void* data, size_t size, int32_t& x, int32_t& y) {
    x = 0;
    y = 0;
    if (!data || size > UINT32_MAX) return;
    // Read only: the memory stream is never written here.
    CMemStream stream(const_cast<void*>(data), static_cast<uint32_t>(size));
    ReadPngHotSpot(stream, x, y);
}
