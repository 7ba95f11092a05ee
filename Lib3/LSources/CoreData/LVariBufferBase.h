#pragma once

#include <cstddef>
#include <cstdint>

// Growth engine for a malloc'd buffer whose data pointer and capacity (in elements) live in the owner.
// The owner declares both fields before the engine, which binds to them.
class LVariBufferBase {
public:
    LVariBufferBase(void*& data, uint32_t& capacity, uint16_t elementSize, uint32_t initialCapacity = 0);
    ~LVariBufferBase();

    LVariBufferBase(const LVariBufferBase&) = delete;
    LVariBufferBase& operator=(const LVariBufferBase&) = delete;

    // n == 0 frees. Contents survive when keep is set or the size does not change.
    // On failure returns false with data and capacity untouched.
    [[nodiscard]] bool SetSize(uint32_t n, bool keep);
    // Grows to need + extra only when capacity < need.
    bool Ready(uint32_t need, uint32_t extra, bool keep);
    // Resizes to exactly n (contents dropped) and copies n elements from source.
    bool Copy(const void* source, uint32_t n);
    // Hands the buffer (malloc'd; free it with free) to the caller and leaves this one empty.
    void* Detach();

    uint16_t ElementSize() const { return mElementSize; }

private:
    void*& mData;
    uint32_t& mCapacity;
    uint16_t mElementSize;
};

// Typed buffer: capacity, data and the engine bound to them. T must be trivially copyable.
template <class T>
class LVariBuffer {
    static_assert(sizeof(T) <= 0xFFFF && alignof(T) <= alignof(std::max_align_t));

public:
    explicit LVariBuffer(uint32_t initialCapacity = 0)
        : mEngine(mData, mCapacity, sizeof(T), initialCapacity) {}

    [[nodiscard]] bool SetSize(uint32_t n, bool keep) { return mEngine.SetSize(n, keep); }
    bool Ready(uint32_t need, uint32_t extra = 0, bool keep = true) {
        return mEngine.Ready(need, extra, keep);
    }
    bool Copy(const T* source, uint32_t n) { return mEngine.Copy(source, n); }
    T* Detach() { return static_cast<T*>(mEngine.Detach()); }

    T* Data() { return static_cast<T*>(mData); }
    const T* Data() const { return static_cast<const T*>(mData); }
    uint32_t Capacity() const { return mCapacity; }
    T& operator[](uint32_t i) { return Data()[i]; }
    const T& operator[](uint32_t i) const { return Data()[i]; }

private:
    uint32_t mCapacity = 0;
    void* mData = nullptr;
    LVariBufferBase mEngine;
};
