#include "Common/Stream/CStream.h"

void CStream::Seek(uint64_t position) {
    if (!HasError()) DoSeek(position);
}

void CStream::SeekEnd() {
    if (!HasError()) DoSeekEnd();
}

void CStream::SetEnd() {
    if (HasError()) return;
    if (!IsWritable()) return SetError(kErrNotWritable);
    DoSetEnd();
}

void CStream::Put(const void* bytes, uint64_t count) {
    if (HasError()) return;
    if (!IsWritable()) return SetError(kErrNotWritable);
    if (count == 0) return;
    DoPut(bytes, count);
}

void CStream::Get(void* bytes, uint64_t& count) {
    if (HasError() || count == 0) {
        count = 0;
        return;
    }
    DoGet(bytes, count);
}

bool CStream::GetExactly(void* bytes, uint64_t count) {
    uint64_t got = count;
    Get(bytes, got);
    return got == count;
}
