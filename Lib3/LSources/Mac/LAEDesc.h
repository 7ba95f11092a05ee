#pragma once

#include <cstdint>

#include "Platform/Scripting/AppleEvent.h"

class CRgn;
namespace plat {
struct Event;
}

// Holds an Apple-event descriptor: owned (created here, disposed of with the holder) or borrowed
// (a copy of another owner's descriptor, never disposed of here). Starts as the null descriptor.
class LAEDesc {
public:
    LAEDesc() = default;
    ~LAEDesc();
    LAEDesc(const LAEDesc&) = delete;
    LAEDesc& operator=(const LAEDesc&) = delete;

    [[nodiscard]] plat::OSErr Create(plat::DescType type, const void* data, uint32_t size);
    // Owned: disposed of; borrowed: the holder just lets go. Either way the holder is null after.
    LAEDesc& Dispose();
    // Refers to another owner's descriptor; without one, the holder owns a new empty list.
    void Borrow(const plat::AEDesc* desc);
    // The item at the zero-based index; size becomes the item's size, 0 on error.
    [[nodiscard]] plat::OSErr GetNthPtr(uint32_t index, plat::DescType desiredType, void* buffer,
                                        uint32_t& size) const;

    plat::AEDesc& Desc() { return fDesc; }
    const plat::AEDesc& Desc() const { return fDesc; }
    bool IsBorrowed() const { return fBorrowed; }
    bool IsNull() const { return fDesc.type == plat::kTypeNull; }

private:
    plat::AEDesc fDesc;
    bool fBorrowed = false;
};

// The idle routine of a send that waits for its reply: for a null event (none) it asks for a sleep
// of one tick and no mouse region. It never ends the wait.
bool AEWaitIdle(const plat::Event* event, uint32_t* sleepTicks, CRgn** mouseRegion);
