#include "Lib3/LSources/CoreString/LVariStr.h"

#include <algorithm>
#include <cstring>

LVariStrBase::operator const unsigned char*() const {
    if (fLength == 0) return reinterpret_cast<const unsigned char*>("");
    return IsInline() ? fInline : fHeap.Data();
}

void LVariStrBase::Reset() {
    fFailed = false;
    fLength = 0;
}

void LVariStrBase::Free() {
    Reset();
    (void)fHeap.SetSize(0, false);  // size 0 only frees
}

void LVariStrBase::Append(const unsigned char* bytes, uint32_t n) {
    if (!bytes || n == 0) return;
    const uint64_t need = uint64_t{fLength} + n + 1;
    if (need <= fInlineCapacity) {
        std::memcpy(fInline + fLength, bytes, n);
        fLength += n;
        fInline[fLength] = 0;
        return;
    }
    if (need > UINT32_MAX) {
        fFailed = true;
        return;
    }
    const uint32_t need32 = static_cast<uint32_t>(need);
    const uint32_t extra = std::min<uint32_t>(need32 <= 32 ? 32 : need32, UINT32_MAX - need32);
    if (IsInline()) {
        if (!fHeap.Ready(need32, extra, false)) {
            fFailed = true;
            return;
        }
        std::memcpy(fHeap.Data(), fInline, fLength);
    } else {
        // Appending our own text: find it again after the buffer moves.
        const unsigned char* heap = fHeap.Data();
        const bool own = heap && bytes >= heap && bytes < heap + fHeap.Capacity();
        const size_t offset = own ? static_cast<size_t>(bytes - heap) : 0;
        if (!fHeap.Ready(need32, extra, true)) {
            fFailed = true;
            return;
        }
        if (own) bytes = fHeap.Data() + offset;
    }
    std::memcpy(fHeap.Data() + fLength, bytes, n);
    fLength += n;
    fHeap[fLength] = 0;
}
