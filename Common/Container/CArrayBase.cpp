#include "Common/Container/CArrayBase.h"

#include <cstdlib>
#include <cstring>

namespace {

// Holds a private copy of a source that lies inside the array being changed.
class SourceCopy {
public:
    SourceCopy(const void* source, size_t bytes) : mBlock(std::malloc(bytes ? bytes : 1)) {
        if (mBlock) std::memcpy(mBlock, source, bytes);
    }
    ~SourceCopy() { std::free(mBlock); }
    const void* Get() const { return mBlock; }

private:
    void* mBlock;
};

}  // namespace

CArrayBase::CArrayBase(uint16_t elementSize, uint32_t initialCapacity) : mElementSize(elementSize) {
    (void)SetCapacity(initialCapacity, false);
}

CArrayBase::CArrayBase(uint16_t elementSize, void* local, uint16_t localCapacity)
    : mLocal(localCapacity ? local : nullptr),
      mElementSize(elementSize),
      mLocalCapacity(local ? localCapacity : 0) {}

CArrayBase::~CArrayBase() {
    if (!IsLocal()) std::free(mData);
}

bool CArrayBase::SetCapacity(uint32_t n, bool keep) {
    const size_t size = ElementSize();
    if (mLocal && n <= mLocalCapacity) {
        if (IsLocal()) return true;
        if (keep && mData && n) std::memcpy(mLocal, mData, size_t{n < mCapacity ? n : mCapacity} * size);
        std::free(mData);
        mData = mLocal;
        mCapacity = mLocalCapacity;
        return true;
    }
    if (n == 0) {
        if (!IsLocal()) std::free(mData);
        mData = nullptr;
        mCapacity = 0;
        return true;
    }
    const size_t bytes = size_t{n} * size;
    void* block;
    if (mData && !IsLocal() && (keep || mCapacity == n)) {
        block = std::realloc(mData, bytes);
        if (!block) return false;
    } else {
        block = std::malloc(bytes);
        if (!block) return false;
        if (keep && mData) std::memcpy(block, mData, size_t{n < mCapacity ? n : mCapacity} * size);
        if (!IsLocal()) std::free(mData);
    }
    mData = block;
    mCapacity = n;
    return true;
}

bool CArrayBase::Ready(uint32_t need, uint32_t extra) {
    if (mCapacity >= need) return true;
    const uint64_t want = uint64_t{need} + extra;
    return SetCapacity(want > UINT32_MAX ? need : static_cast<uint32_t>(want), true);
}

bool CArrayBase::Overlaps(const void* p) const {
    const auto* b = static_cast<const char*>(mData);
    const auto* q = static_cast<const char*>(p);
    return b && q >= b && q < b + size_t{mCapacity} * ElementSize();
}

bool CArrayBase::Insert(uint32_t index, const void* element) {
    const uint32_t need = mCount + 1;
    return InsertRaw(index, element, 1, need <= 32 ? 32 : need);
}

bool CArrayBase::InsertElements(uint32_t index, const void* source, uint32_t n) {
    return InsertRaw(index, source, n, 0);
}

bool CArrayBase::InsertRaw(uint32_t index, const void* source, uint32_t n, uint32_t extra) {
    if (n == 0) return true;
    if (uint64_t{mCount} + n > UINT32_MAX) return false;
    const size_t size = ElementSize();
    if (source && Overlaps(source)) {
        SourceCopy copy(source, size_t{n} * size);
        return copy.Get() && InsertRaw(index, copy.Get(), n, extra);
    }
    if (!Ready(mCount + n, extra)) return false;
    if (index > mCount) index = mCount;
    char* at = static_cast<char*>(At(index));
    std::memmove(at + n * size, at, (mCount - index) * size);
    if (source) {
        std::memcpy(at, source, n * size);
    } else {
        std::memset(at, 0, n * size);
    }
    mCount += n;
    return true;
}

bool CArrayBase::SetElements(const void* source, uint32_t n) {
    if (source && n && Overlaps(source)) {
        SourceCopy copy(source, size_t{n} * ElementSize());
        return copy.Get() && SetElements(copy.Get(), n);
    }
    if (!SetCapacity(n, false)) return false;
    mCount = n;
    if (n == 0) return true;
    if (source) {
        std::memcpy(mData, source, size_t{n} * ElementSize());
    } else {
        std::memset(mData, 0, size_t{n} * ElementSize());
    }
    return true;
}

bool CArrayBase::PutElements(uint32_t index, const void* source, uint32_t n) {
    if (uint64_t{index} + n > UINT32_MAX) return false;
    const uint32_t end = index + n;
    if (source && n && Overlaps(source)) {
        SourceCopy copy(source, size_t{n} * ElementSize());
        return copy.Get() && PutElements(index, copy.Get(), n);
    }
    if (end > mCount) {
        // Room for as much again, so that writing piece by piece at the end is linear; only
        // what is needed when that much cannot be had.
        if (mCapacity < end && !Ready(end, end) && !Ready(end, 0)) return false;
        // Only the gap before the written range is zeroed.
        const uint32_t gapEnd = source ? index : end;
        if (gapEnd > mCount) std::memset(At(mCount), 0, size_t{gapEnd - mCount} * ElementSize());
        mCount = end;
    }
    if (source && n) std::memcpy(At(index), source, size_t{n} * ElementSize());
    return true;
}

void CArrayBase::Remove(uint32_t index, uint32_t n) {
    if (index >= mCount) return;
    if (n >= mCount - index) {
        mCount = index;
        return;
    }
    char* at = static_cast<char*>(At(index));
    const size_t size = ElementSize();
    std::memmove(at, at + n * size, (mCount - index - n) * size);
    mCount -= n;
}

bool CArrayBase::Move(uint32_t from, uint32_t to, void* scratch) {
    if (from >= mCount || to >= mCount) return false;
    if (from == to) return true;
    const size_t size = ElementSize();
    std::memcpy(scratch, At(from), size);
    if (from < to) {
        std::memmove(At(from), At(from + 1), (to - from) * size);
    } else {
        std::memmove(At(to + 1), At(to), (from - to) * size);
    }
    std::memcpy(At(to), scratch, size);
    return true;
}

bool CArrayBase::Copy(const CArrayBase& other) {
    if (&other == this) return true;
    if (other.ElementSize() != ElementSize()) return false;
    return SetElements(other.mData, other.mCount);
}
