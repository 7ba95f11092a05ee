#pragma once

#include <cstdint>

#include "Platform/AppKit/Dragging.h"
#include "Platform/Foundation/Object.h"

// The source object of a drag the application starts: offers copy, link, generic and move inside
// the application; outside it copy, or nothing when the data is private to it.
class MDragSrc : public plat::Object, public plat::DraggingSource {
public:
    static plat::Ref<MDragSrc> Create(bool localOnly) { return plat::Adopt(new MDragSrc(localOnly)); }

    uint32_t SourceOperationMask(bool local) override;
    void DraggedImageEnded(plat::Point screen, uint32_t operation) override;
    bool IsLocalOnly() const { return fLocalOnly; }
    uint32_t EndOperation() const { return fEnd; }

private:
    explicit MDragSrc(bool localOnly) : fLocalOnly(localOnly) {}

    bool fLocalOnly;
    uint32_t fEnd = 0;
};
