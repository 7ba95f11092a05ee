#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreData/LHandleBase.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Platform/Foundation/Geometry.h"

template <class T>
class CArray;

// Scan data of a region: one malloc'ed array of i32 words. Word 0 is the word count; then lines
// {y, n, n ranges {x1, x2}}. A line holds down to the next line's y; the last line has no ranges
// and its y is the bottom. Ranges are sorted, non-empty and never touch; consecutive lines
// differ. The form is canonical: equal areas have identical words.
struct SRgnData {
    struct SRange {
        int32_t x1;
        int32_t x2;
        bool operator==(const SRange&) const = default;
    };
};

class CRgnData : public LHandleData {
public:
    // Null for an empty rectangle.
    static CRgnData* Make(const CLRect& r);
    // Takes the scan words (may be null for a plain rectangle).
    CRgnData(const CLRect& bounds, int32_t* scan) : fBounds(bounds), fScan(scan) {}
    ~CRgnData() override;

    CLRect fBounds;
    int32_t* fScan;  // null when the region is exactly its bounds
};

// An area of the integer plane made of rectangles; copies share their data. Null data is the
// empty region. Memory exhaustion during an operation leaves the empty region.
class CRgn : public LHandleBase {
public:
    CRgn() = default;
    explicit CRgn(const CLRect& r) : LHandleBase(CRgnData::Make(r)) {}

    bool IsEmpty() const { return Data() == nullptr; }
    // (0, 0, 0, 0) for the empty region.
    CLRect bounds() const;
    // The scan words, or null for a plain rectangle or the empty region.
    const int32_t* ScanData() const { return RgnData() ? RgnData()->fScan : nullptr; }

    bool Contain(const CLPoint& p) const;
    // True when the rectangle and the region share at least one point.
    bool Contain(const CLRect& r) const;
    bool operator==(const CRgn& other) const;

    CRgn& operator&=(const CRgn& other);
    CRgn& operator|=(const CRgn& other);
    CRgn& operator-=(const CRgn& other);
    CRgn& operator^=(const CRgn& other);

    // Translation; coordinates saturate at the i32 limits.
    void Shift(int32_t dx, int32_t dy);
    // Shrinks (positive) or grows (negative) by dx, dy.
    void Inset(int32_t dx, int32_t dy);
    // Maps from one frame to another.
    void Map(const CLRect& from, const CLRect& to);
    // Appends one rectangle per range of each line; a plain rectangle appends its bounds.
    void GetRects(CArray<CLRect>& rects) const;
    // The same rectangles in the drawing layer's geometry.
    void GetCGRects(std::vector<plat::Rect>& rects) const;

private:
    friend class CRgnOp;
    const CRgnData* RgnData() const { return static_cast<const CRgnData*>(Data()); }
    void Adopt(CRgnData* data) { SetData(data); }
    void SetRect(const CLRect& r);
};
