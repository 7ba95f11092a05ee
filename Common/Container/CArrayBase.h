#pragma once

#include <cstddef>
#include <cstdint>

// Growable array of fixed-size elements on malloc'd storage. Indices are 0-based; operations that
// take an index clamp it to the count where that makes sense. A source may lie inside the array.
class CArrayBase {
public:
    CArrayBase(uint16_t elementSize, uint32_t initialCapacity = 0);
    // Keeps up to localCapacity elements in the owner's room at local (which outlives the array,
    // aligned for the elements) and allocates only beyond that.
    CArrayBase(uint16_t elementSize, void* local, uint16_t localCapacity);
    virtual ~CArrayBase();

    CArrayBase(const CArrayBase&) = delete;
    CArrayBase& operator=(const CArrayBase&) = delete;

    uint32_t Count() const { return mCount; }
    uint32_t Capacity() const { return mCapacity; }
    uint16_t ElementSize() const { return mElementSize; }
    bool IsEmpty() const { return mCount == 0; }
    void* Data() { return mData; }
    const void* Data() const { return mData; }
    // Address of element `index` (unchecked).
    void* At(uint32_t index) { return static_cast<char*>(mData) + size_t{index} * ElementSize(); }
    const void* At(uint32_t index) const {
        return static_cast<const char*>(mData) + size_t{index} * ElementSize();
    }

    // Inserts one element; single inserts grow by 32 while small and by doubling beyond.
    [[nodiscard]] bool Insert(uint32_t index, const void* element);
    // Inserts n elements (zeroed when source is null), growing to exactly the new count.
    [[nodiscard]] bool InsertElements(uint32_t index, const void* source, uint32_t n);
    // Makes the array exactly n elements long (zeroed when source is null); old contents are dropped.
    [[nodiscard]] bool SetElements(const void* source, uint32_t n);
    // Writes n elements at index, extending the array to max(count, index + n); gaps are zeroed
    // (and so are the n elements when source is null). Growth doubles the needed size, so
    // repeated writes at the end take amortised constant time.
    [[nodiscard]] bool PutElements(uint32_t index, const void* source, uint32_t n);
    // Removes n elements at index; cuts the tail when the range reaches past the end. Never shrinks.
    void Remove(uint32_t index, uint32_t n = 1);
    void RemoveAll() { mCount = 0; }
    // Moves one element from `from` to `to`, shifting those in between; scratch holds one element.
    [[nodiscard]] bool Move(uint32_t from, uint32_t to, void* scratch);
    // Copies the elements of an array with the same element size.
    [[nodiscard]] bool Copy(const CArrayBase& other);

private:
    bool Overlaps(const void* p) const;
    [[nodiscard]] bool InsertRaw(uint32_t index, const void* source, uint32_t n, uint32_t extra);
    // Capacity exactly n (the local room when n fits in it; n == 0 without room frees); the
    // elements survive when keep is set. On failure nothing changes.
    [[nodiscard]] bool SetCapacity(uint32_t n, bool keep);
    // Grows to need + extra only when the capacity is below need.
    [[nodiscard]] bool Ready(uint32_t need, uint32_t extra);
    bool IsLocal() const { return mData && mData == mLocal; }

    uint32_t mCount = 0;
    uint32_t mCapacity = 0;
    void* mData = nullptr;
    void* mLocal = nullptr;
    uint16_t mElementSize;
    uint16_t mLocalCapacity = 0;
};
