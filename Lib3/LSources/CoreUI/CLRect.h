#pragma once

#include <cstdint>

// Integer point; y grows downwards.
struct CLPoint {
    int32_t x = 0;
    int32_t y = 0;

    friend bool operator==(const CLPoint&, const CLPoint&) = default;
};

// Half-open integer rectangle: contains left <= x < right, top <= y < bottom. Empty when
// left >= right or top >= bottom; (0, 0, 0, 0) is the canonical empty rectangle.
struct CLRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    friend bool operator==(const CLRect&, const CLRect&) = default;

    // Wrap instead of overflowing on extreme coordinates.
    int32_t Width() const {
        return static_cast<int32_t>(static_cast<uint32_t>(right) - static_cast<uint32_t>(left));
    }
    int32_t Height() const {
        return static_cast<int32_t>(static_cast<uint32_t>(bottom) - static_cast<uint32_t>(top));
    }
    bool IsEmpty() const { return left >= right || top >= bottom; }

    bool Contain(const CLPoint& p) const { return left <= p.x && p.x < right && top <= p.y && p.y < bottom; }
    // Same width and height, wherever they are.
    bool congruent(const CLRect& o) const { return Width() == o.Width() && Height() == o.Height(); }
    // Both non-empty and sharing a point; rectangles that only touch do not overlap.
    bool overlap(const CLRect& o) const;

    void Shift(int32_t dx, int32_t dy);
    // Negative values grow the rectangle.
    void Inset(int32_t dx, int32_t dy);
    void Union(const CLRect& o);
    // Intersection; an empty result becomes (0, 0, 0, 0).
    CLRect& operator&=(const CLRect& o);
    // Moves the rectangle, keeping its size, so that its centre is the other's.
    void CenterOf(const CLRect& o);
    // Largest size of this aspect ratio that fits into o, centred there.
    void MaxFit(const CLRect& o);
    // Maps the rectangle from frame `from` into frame `to`, rounding to nearest.
    void Map(const CLRect& from, const CLRect& to);
};
