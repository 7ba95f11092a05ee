#include "Common/Stream/CMemStream.h"

#include <algorithm>
#include <cstring>

#include "Common/Container/CBytes.h"

CMemStream::CMemStream(void* data, uint32_t size)
    : mCapacity(size), mEnd(data ? size : 0), mData(static_cast<uint8_t*>(data)) {
    if (!data) mCapacity = 0;
}

CMemStream::CMemStream(LVariBuffer<uint8_t>& buffer) : mBuffer(&buffer) {
    FollowBuffer();
}

CMemStream::CMemStream(CBytes& bytes) : mBytes(&bytes) {}

CMemStream::~CMemStream() {
    if ((mBuffer || mBytes) && !HasError()) {
        Seek(mEnd);
        SetEnd();
    }
}

const uint8_t* CMemStream::Data() const {
    return mBytes ? mBytes->Data() : mData;
}

void CMemStream::FollowBuffer() {
    mData = mBuffer->Data();
    mCapacity = mBuffer->Capacity();
}

// Room for need bytes plus as much again, halving the extra room until the allocation succeeds.
bool CMemStream::GrowFor(uint64_t need) {
    if (need > UINT32_MAX) return false;
    const auto need32 = static_cast<uint32_t>(need);
    uint32_t extra = std::min<uint64_t>(need32, UINT32_MAX - need32);
    for (;;) {
        if (mBuffer->Ready(need32, extra, true)) break;
        if (extra == 0) break;
        extra /= 2;
    }
    FollowBuffer();
    return need <= mCapacity;
}

void CMemStream::DoPut(const void* bytes, uint64_t count) {
    const uint64_t stop = mPosition + count;
    if (stop < mPosition) return SetError(kErrFull);
    if (mBytes) {
        if (stop > UINT32_MAX) return SetError(kErrFull);
        if (!mBytes->PutElements(static_cast<uint32_t>(mPosition), bytes, static_cast<uint32_t>(count)))
            return SetError(kErrFull);
    } else {
        if (mBuffer) GrowFor(stop);
        if (stop > mCapacity) return SetError(kErrFull);
        std::memcpy(mData + mPosition, bytes, count);
    }
    mPosition = stop;
    mEnd = std::max(mEnd, mPosition);
}

void CMemStream::DoGet(void* bytes, uint64_t& count) {
    const uint64_t available = mPosition < mEnd ? mEnd - mPosition : 0;
    count = std::min(count, available);
    if (count == 0) return;
    std::memcpy(bytes, Data() + mPosition, count);
    mPosition += count;
}

void CMemStream::DoSetEnd() {
    if (mBuffer) {
        if (mPosition > UINT32_MAX || !mBuffer->SetSize(static_cast<uint32_t>(mPosition), true))
            return SetError(kErrFull);
        FollowBuffer();
    } else if (mBytes) {
        if (mPosition > UINT32_MAX || !mBytes->SetSize(static_cast<uint32_t>(mPosition)))
            return SetError(kErrFull);
    } else if (mPosition > mCapacity) {
        // Fixed memory cannot end beyond its size.
        return SetError(kErrFull);
    }
    mEnd = mPosition;
}
