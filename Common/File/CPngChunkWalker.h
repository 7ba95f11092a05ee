#pragma once

#include <cstddef>
#include <cstdint>

#include "Platform/Foundation/Bytes.h"

class CStream;

// Steps through the chunks of a PNG image held in a stream.
class CPngChunkWalker {
public:
    // Reads the signature at the stream's position; without it the walker yields no chunks.
    explicit CPngChunkWalker(CStream& stream);

    // Moves to the next chunk header; false when failed or when the header cannot be read whole.
    bool NextChunk();
    uint32_t Length() const { return fLength; }
    uint32_t Type() const { return fType; }
    // Stream position of the current chunk's data.
    uint64_t DataPosition() const { return fDataPos; }
    // Reads up to count bytes of the current chunk's data (never past its length); returns how
    // many were read.
    uint32_t ReadData(void* bytes, uint32_t count);
    bool Failed() const { return fFailed; }

    static constexpr uint32_t Code(const char (&t)[5]) { return plat::FourCC(t); }

private:
    CStream& fStream;
    uint64_t fNext = 0;
    uint64_t fDataPos = 0;
    uint32_t fLength = 0;
    uint32_t fType = 0;
    bool fFailed = false;
};

// The cursor hot spot of a private "hsPT" chunk (x, y as big-endian u16); 0, 0 when there is no
// such chunk or it holds fewer than 4 bytes.
void ReadPngHotSpot(CStream& stream, int32_t& x, int32_t& y);
void ReadPngHotSpot(const void* data, size_t size, int32_t& x, int32_t& y);
