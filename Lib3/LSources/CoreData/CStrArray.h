#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"

// Storage of a string array field: every allocated slot holds a valid (possibly empty) string.
class CStrArray {
public:
    explicit CStrArray(uint32_t capacity = 0);
    // Keeps up to localCapacity strings in the owner's room at local (which outlives the array,
    // aligned for LString) and allocates a block only beyond that.
    CStrArray(void* local, uint16_t localCapacity);
    ~CStrArray();

    CStrArray(const CStrArray&) = delete;
    CStrArray& operator=(const CStrArray&) = delete;

    uint32_t Count() const { return mCount; }
    uint32_t Capacity() const { return mCapacity; }
    const LString* Data() const { return mData; }
    LString* Data() { return mData; }
    const LString& operator[](uint32_t i) const { return mData[i]; }
    LString& operator[](uint32_t i) { return mData[i]; }

    // Index clamped to the count; a full array grows to count * 2 + 2 slots.
    bool Insert(uint32_t index, const LString& text);
    bool Append(const LString& text) { return Insert(mCount, text); }
    void Remove(uint32_t index);
    // Removes from the end.
    void RemoveAll();
    // Grows the count to n (never shrinks); a new block gets n + extra slots.
    bool SetCount(uint32_t n, uint32_t extra = 0);
    // Makes this array equal to the other; false when an insertion failed.
    [[nodiscard]] bool Assign(const CStrArray& other);
    // Makes this array hold exactly the n given strings.
    bool Assign(const LString* texts, uint32_t n);
    // Releases every slot and the block.
    void DestroyAll();

private:
    bool Reallocate(uint32_t capacity);
    // A block of at least capacity empty slots (the local room when it fits and is free).
    LString* NewBlock(uint32_t capacity, uint32_t& made);
    // Empties the local room or deletes an allocated block.
    void FreeBlock(LString* block);

    uint32_t mCount = 0;
    uint32_t mCapacity = 0;
    LString* mData = nullptr;
    LString* mLocal = nullptr;
    uint32_t mLocalCapacity = 0;
};
