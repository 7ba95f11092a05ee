#include "Common/Stream/CBomTextStream.h"

#include "Common/Stream/CStream.h"

CBomTextStream::CBomTextStream(CStream& stream) : fStream(stream) {
    uint64_t start = fStream.Position();
    unsigned char bom[3];
    uint64_t n = sizeof bom;
    fStream.Get(bom, n);
    if (!(n == 3 && bom[0] == 0xEF && bom[1] == 0xBB && bom[2] == 0xBF)) fStream.Seek(start);
}

bool CBomTextStream::Get(unsigned char& c) {
    uint64_t n = 1;
    fStream.Get(&c, n);
    if (n == 1) return true;
    c = 0;
    return false;
}

void CBomTextStream::Unget() {
    if (fStream.Position() > 0) fStream.Seek(fStream.Position() - 1);
}

uint32_t CBomTextStream::Get(unsigned char* bytes, uint32_t n) {
    uint64_t count = n;
    fStream.Get(bytes, count);
    return static_cast<uint32_t>(count);
}
