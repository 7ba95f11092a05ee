#pragma once

#include <cstddef>
#include <cstdint>

// Steps through the chunks of a PNG image held in memory.
class CPngChunkWalker {
public:
    // Fails (no chunks) when the bytes do not start with the PNG signature.
    CPngChunkWalker(const void* data, size_t size);

    // Moves to the next chunk header; false when failed or when fewer than 8 bytes remain there.
    bool NextChunk();
    uint32_t Length() const { return fLength; }
    uint32_t Type() const { return fType; }
    // The chunk's data bytes that lie inside the image (may be fewer than Length()).
    const uint8_t* Data() const { return fData + fDataPos; }
    size_t AvailableData() const;
    bool Failed() const { return fFailed; }

    static constexpr uint32_t Code(const char (&t)[5]) {
        return uint32_t(uint8_t(t[0])) << 24 | uint32_t(uint8_t(t[1])) << 16 | uint32_t(uint8_t(t[2])) << 8 |
               uint32_t(uint8_t(t[3]));
    }

private:
    const uint8_t* fData;
    size_t fSize;
    uint64_t fNext = 8;
    uint64_t fDataPos = 0;
    uint32_t fLength = 0;
    uint32_t fType = 0;
    bool fFailed = false;
};

// The cursor hot spot of a private "hsPT" chunk (x, y as big-endian u16); 0, 0 when there is no
// such chunk or it holds fewer than 4 bytes.
void ReadPngHotSpot(const void* data, size_t size, int32_t& x, int32_t& y);
