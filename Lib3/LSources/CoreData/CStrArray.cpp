#include "Lib3/LSources/CoreData/CStrArray.h"

#include <new>

CStrArray::CStrArray(uint32_t capacity) {
    Reallocate(capacity);
}

CStrArray::CStrArray(void* local, uint16_t localCapacity) {
    if (!local || !localCapacity) return;
    mLocal = static_cast<LString*>(local);
    for (uint32_t i = 0; i < localCapacity; ++i) new (&mLocal[i]) LString;
    mLocalCapacity = localCapacity;
}

CStrArray::~CStrArray() {
    DestroyAll();
    for (uint32_t i = 0; i < mLocalCapacity; ++i) mLocal[i].~LString();
}

LString* CStrArray::NewBlock(uint32_t capacity, uint32_t& made) {
    if (mLocal && mData != mLocal && capacity <= mLocalCapacity) {
        made = mLocalCapacity;
        return mLocal;
    }
    made = capacity;
    return new (std::nothrow) LString[capacity];
}

void CStrArray::FreeBlock(LString* block) {
    if (block && block == mLocal) {
        for (uint32_t i = 0; i < mLocalCapacity; ++i) mLocal[i] = LString();
        return;
    }
    delete[] block;
}

// A new block of the given capacity holding the current elements (capacity >= count).
bool CStrArray::Reallocate(uint32_t capacity) {
    if (mData && mData == mLocal && capacity <= mLocalCapacity) return true;
    LString* block = nullptr;
    uint32_t made = 0;
    if (capacity > 0) {
        block = NewBlock(capacity, made);
        if (!block) return false;
        for (uint32_t i = 0; i < mCount; ++i) block[i] = mData[i];
    }
    FreeBlock(mData);
    mData = block;
    mCapacity = made;
    return true;
}

bool CStrArray::Insert(uint32_t index, const LString& text) {
    if (index > mCount) index = mCount;
    if (mCapacity <= mCount) {
        const uint64_t capacity = uint64_t{mCount} * 2 + 2;
        if (capacity > UINT32_MAX) return false;
        uint32_t made = 0;
        LString* block = NewBlock(static_cast<uint32_t>(capacity), made);
        if (!block) return false;
        for (uint32_t i = 0; i < index; ++i) block[i] = mData[i];
        block[index] = text;
        for (uint32_t i = index; i < mCount; ++i) block[i + 1] = mData[i];
        FreeBlock(mData);
        mData = block;
        mCapacity = made;
    } else {
        for (uint32_t i = mCount; i > index; --i) mData[i] = mData[i - 1];
        mData[index] = text;
    }
    ++mCount;
    return true;
}

void CStrArray::Remove(uint32_t index) {
    if (index >= mCount) return;
    --mCount;
    for (uint32_t i = index; i < mCount; ++i) mData[i] = mData[i + 1];
    mData[mCount] = LString();
}

void CStrArray::RemoveAll() {
    while (mCount > 0) Remove(mCount - 1);
}

bool CStrArray::SetCount(uint32_t n, uint32_t extra) {
    if (n <= mCount) return true;
    if (mCapacity < n) {
        const uint64_t capacity = uint64_t{n} + extra;
        if (capacity > UINT32_MAX || !Reallocate(static_cast<uint32_t>(capacity))) return false;
    }
    mCount = n;
    return true;
}

bool CStrArray::Assign(const CStrArray& other) {
    if (&other == this) return true;
    return Assign(other.mData, other.mCount);
}

bool CStrArray::Assign(const LString* texts, uint32_t n) {
    if (texts == mData) {
        // Our own first n elements: only the surplus goes.
        while (mCount > n) Remove(mCount - 1);
        return n <= mCount;
    }
    if (n > mCount && mCapacity < n && !Reallocate(n)) return false;
    while (mCount > n) Remove(mCount - 1);
    uint32_t i = 0;
    for (; i < mCount; ++i) mData[i] = texts[i];
    for (; i < n; ++i) {
        if (!Insert(i, texts[i])) return false;
    }
    return true;
}

void CStrArray::DestroyAll() {
    FreeBlock(mData);
    mData = nullptr;
    mCount = 0;
    mCapacity = 0;
}
