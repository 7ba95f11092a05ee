#pragma once

#include <atomic>
#include <cstdint>

// A shared data block with an atomic use count. Blocks start at count 0, unlike plat::Object and
// CRefObj (1, the creator's reference): a block is only ever owned through handles, and the
// handle that adopts it counts it up. Derived blocks add their payload and are treated as
// immutable once shared.
class LHandleData {
public:
    LHandleData() = default;
    LHandleData(const LHandleData&) = delete;
    LHandleData& operator=(const LHandleData&) = delete;
    virtual ~LHandleData() = default;

    void Retain() const {
        if (!IsPermanent()) fCount.fetch_add(1, std::memory_order_relaxed);
    }
    // Counts down; true when this was the last use (the count reached zero or less).
    bool ReleaseIsLast() const {
        return !IsPermanent() && fCount.fetch_sub(1, std::memory_order_acq_rel) <= 1;
    }
    int32_t Count() const { return fCount.load(std::memory_order_relaxed); }

    // For a block that lives as long as the program (a shared constant such as the empty string):
    // handles leave its count alone from then on, so that the many handles to it never write one
    // shared counter, and it is never deleted. Make it so before any other thread can see it.
    void MakePermanent() { fCount.store(kPermanent, std::memory_order_relaxed); }
    bool IsPermanent() const { return fCount.load(std::memory_order_relaxed) == kPermanent; }

private:
    static constexpr int32_t kPermanent = INT32_MAX;

    mutable std::atomic<int32_t> fCount{0};
};

// One pointer to a shared LHandleData (or null), copied by value. The last handle to drop a
// block deletes it. Typed handles derive from this and downcast Data().
class LHandleBase {
public:
    LHandleBase() = default;
    explicit LHandleBase(LHandleData* data) : fData(data) {
        if (fData) fData->Retain();
    }
    LHandleBase(const LHandleBase& other) : LHandleBase(other.fData) {}
    LHandleBase(LHandleBase&& other) noexcept : fData(other.fData) { other.fData = nullptr; }
    ~LHandleBase() { SetData(nullptr); }

    LHandleBase& operator=(const LHandleBase& other) {
        SetData(other.fData);
        return *this;
    }
    LHandleBase& operator=(LHandleBase&& other) noexcept;

    // Counts the new block up before counting the old one down, so self-assignment is safe.
    void SetData(LHandleData* data) {
        if (data) data->Retain();
        LHandleData* old = fData;
        fData = data;
        if (old && old->ReleaseIsLast()) delete old;
    }
    LHandleData* Data() const { return fData; }
    // Identity of the blocks, not equality of their contents.
    bool IsSame(const LHandleBase& other) const { return fData == other.fData; }

private:
    LHandleData* fData = nullptr;
};
