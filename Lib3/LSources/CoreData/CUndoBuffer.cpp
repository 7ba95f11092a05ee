#include "Lib3/LSources/CoreData/CUndoBuffer.h"

#include "Common/Stream/CStream.h"

namespace {

constexpr uint32_t kMinEntry = CUndoBuffer::kHeaderSize + 2 + CUndoBuffer::kTrailerSize;

}  // namespace

void CUndoBuffer::Clear() {
    mCurrent = mOldest = mEnd = mWrap = 0;
    mNoMerge = 0;
    mBusy = 0;
}

bool CUndoBuffer::ReadAt(uint64_t p, void* bytes, uint64_t n) const {
    if (!mStream) return false;
    mStream->Seek(p);
    return mStream->GetExactly(bytes, n);
}

void CUndoBuffer::DropOldest() {
    uint32_t length = 0;
    if (!ReadU32(mOldest, length) || length < kMinEntry) {
        // Unreadable log: keep nothing before the write position.
        mOldest = mCurrent;
        return;
    }
    mOldest += length;
    if (mOldest >= mWrap) mOldest = 0;
}

bool CUndoBuffer::WriteAt(uint64_t p, const void* bytes, uint64_t n) {
    if (!mStream) return false;
    while (mOldest > p && mOldest <= p + n && mOldest < mWrap) DropOldest();
    mStream->Seek(p);
    mStream->Put(bytes, n);
    return !mStream->HasError();
}

void CUndoBuffer::PrepareTopLevel() {
    if (mCurrent < mLimit) return;
    mWrap = mCurrent;
    mCurrent = 0;
    if (mOldest == 0) DropOldest();
}

bool CUndoBuffer::EntryBefore(uint64_t position, uint64_t& start, uint32_t& length) const {
    if (position == 0 && mOldest != 0) position = mWrap;
    if (position < kMinEntry || !ReadU32(position - kTrailerSize, length)) return false;
    if (length < kMinEntry || length > position) return false;
    start = position - length;
    return true;
}

bool CUndoBuffer::EntryAt(uint64_t position, uint64_t& start, uint32_t& length) const {
    if (position >= mLimit) position = 0;
    if (!ReadU32(position, length) || length < kMinEntry) return false;
    start = position;
    return true;
}
