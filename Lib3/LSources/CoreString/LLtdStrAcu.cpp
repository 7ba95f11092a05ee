#include "Lib3/LSources/CoreString/LLtdStrAcu.h"

#include <cstring>

namespace {
// Stands in for an array with no room at all, which must never be written.
unsigned char sNoRoom[1] = {0};
}  // namespace

LLtdStrAcu::LLtdStrAcu(unsigned char* array, uint32_t capacity)
    : fCapacity(array ? capacity : 0), fArray(array && capacity ? array : sNoRoom) {
    Reset();
}

void LLtdStrAcu::Reset() {
    fFailed = false;
    fLength = 0;
    if (fCapacity) fArray[0] = 0;
}

void LLtdStrAcu::Append(const unsigned char* bytes, uint32_t n) {
    if (!bytes || n == 0) return;
    const uint64_t room = fCapacity > fLength ? fCapacity - fLength - 1 : 0;
    const uint32_t copied = static_cast<uint32_t>(n < room ? n : room);
    if (copied > 0) {
        std::memcpy(fArray + fLength, bytes, copied);
        fLength += copied;
        fArray[fLength] = 0;
    }
    if (copied < n) fFailed = true;
}
