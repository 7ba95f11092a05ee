#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/CLRect.h"

class CRgn;
class LDrawContext;

// The focus border of a pane: a ring of `width` pixels around its bounds. Also the shape object
// whose width the frame-ring helpers read.
class LPaneBorder {
public:
    explicit LPaneBorder(uint32_t width) : width(width) {}
    virtual uint32_t Width() const { return width; }
    virtual ~LPaneBorder() = default;
    // With state bits 0, 1 and 2 all set, adds the ring to both regions.
    virtual void AddFrameRgn(const CLRect& bounds, uint32_t state, CRgn& first, CRgn& second) const;
    // With state bits 0, 1 and 2 all set, fills the ring with the focus colour.
    virtual void Draw(LDrawContext& ctx, const CLRect& bounds, uint32_t state) const;

    // The rectangle grown by w on every side, less the rectangle.
    static CRgn Ring(const CLRect& r, uint32_t w);

    uint32_t width;
};

// A band from 1 pixel inside the rectangle to the shape's width outside it.
CRgn FrameRingRegion(const LPaneBorder& shape, const CLRect& rect);
// True when the region meets the rectangle grown by the shape's width.
bool FrameRingContains(const LPaneBorder& shape, const CRgn& region, const CLRect& rect);
