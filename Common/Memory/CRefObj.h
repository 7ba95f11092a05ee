#pragma once

#include <atomic>
#include <cstdint>

// Base of reference-counted objects that are not handle data (GL resources, pools, players).
// A new object holds one reference for its creator (count 1, as plat::Object, so plat::Ref and
// plat::Adopt hold both alike); the last Release deletes it.
class CRefObj {
public:
    CRefObj() = default;
    CRefObj(const CRefObj&) = delete;
    CRefObj& operator=(const CRefObj&) = delete;
    virtual ~CRefObj() = default;

    void Retain() const { fCount.fetch_add(1, std::memory_order_relaxed); }
    void Release() const;
    int32_t RetainCount() const { return fCount.load(std::memory_order_relaxed); }

    // Disposes of the object whatever its count; nothing for null.
    static void Free(const CRefObj* obj) {
        if (obj) obj->Dispose();
    }

protected:
    // What the last release does: deletes by default; recycling kinds (pooled textures) override it.
    virtual void Dispose() const { delete this; }

private:
    mutable std::atomic<int32_t> fCount{1};
};
