#include "Lib3/LSources/FsFile/CFileStream.h"

#include <cstring>

CFileStream::CFileStream(const LFsSpec& spec, uint32_t mode) : CMacForkStream(spec, mode, 0) {
    if (!fBlock.Data()) SetError(kErrOpen);
    Restart(mPosition);
}

CFileStream::~CFileStream() {
    if (!HasError()) Flush();
}

void CFileStream::Flush() {
    if (!fDirty || HasError()) return;
    fDirty = false;
    (void)ForkWrite(fBufferPosition, fBlock.Data(), fValid);  // a failure stays in the stream's error
}

// The block holding the position; bytes between the end of the file and the position (a gap
// left by a seek past the end) read as zeros, so no stale buffer bytes reach the file.
void CFileStream::Fill() {
    fBufferPosition = mPosition - mPosition % kBlock;
    uint64_t got = kBlock;
    if (!ForkRead(fBufferPosition, fBlock.Data(), got)) {
        Restart(mPosition);
        return;
    }
    uint32_t needed = static_cast<uint32_t>(mPosition - fBufferPosition);
    if (got < needed) std::memset(fBlock.Data() + got, 0, needed - got);
    fValid = static_cast<uint32_t>(got > needed ? got : needed);
}

void CFileStream::KeepOrRestart(uint64_t position) {
    if (position < fBufferPosition || position > fBufferPosition + fValid) Restart(position);
}

void CFileStream::DoSeek(uint64_t position) {
    Flush();
    mPosition = position;
    KeepOrRestart(position);
}

void CFileStream::DoSeekEnd() {
    Flush();
    uint64_t size;
    if (!ForkSize(size)) return;
    mPosition = size;
    KeepOrRestart(size);
}

void CFileStream::DoSetEnd() {
    Flush();
    if (ForkTruncate(mPosition)) Restart(mPosition);
}

void CFileStream::DoPut(const void* bytes, uint64_t count) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    while (count > 0 && !HasError()) {
        if (count < kBlock || mPosition % kBlock != 0) {
            if (fValid == 0) Fill();
            uint32_t offset = static_cast<uint32_t>(mPosition - fBufferPosition);
            uint32_t room = kBlock - offset;
            if (room > 0) {
                uint32_t n = count < room ? static_cast<uint32_t>(count) : room;
                std::memcpy(fBlock.Data() + offset, p, n);
                fDirty = true;
                mPosition += n;
                p += n;
                count -= n;
                if (offset + n > fValid) fValid = offset + n;
                continue;
            }
        }
        // The buffer cannot take more: write it out and restart it here. Whole blocks then go
        // directly to the file.
        Flush();
        Restart(mPosition);
        if (count >= kBlock && mPosition % kBlock == 0) {
            uint64_t direct = count - count % kBlock;
            if (!ForkWrite(mPosition, p, direct)) return;
            mPosition += direct;
            p += direct;
            count -= direct;
            Restart(mPosition);
        }
    }
}

void CFileStream::DoGet(void* bytes, uint64_t& count) {
    uint8_t* p = static_cast<uint8_t*>(bytes);
    uint64_t wanted = count;
    uint64_t delivered = 0;
    while (delivered < wanted && !HasError()) {
        uint64_t bufferEnd = fBufferPosition + fValid;
        if (mPosition >= fBufferPosition && mPosition < bufferEnd) {
            uint64_t n = bufferEnd - mPosition;
            if (n > wanted - delivered) n = wanted - delivered;
            std::memcpy(p + delivered, fBlock.Data() + (mPosition - fBufferPosition), n);
            mPosition += n;
            delivered += n;
            continue;
        }
        Flush();
        uint64_t rest = wanted - delivered;
        if (rest >= kBlock && mPosition % kBlock == 0) {
            uint64_t direct = rest - rest % kBlock;
            if (!ForkRead(mPosition, p + delivered, direct)) break;
            mPosition += direct;
            delivered += direct;
            Restart(mPosition);
            if (direct == 0) break;
            continue;
        }
        uint64_t before = mPosition;
        Fill();
        if (fBufferPosition + fValid <= before) break;  // end of file
    }
    count = HasError() ? 0 : delivered;
}
