#pragma once

#include <cstdint>

// Integer point; y grows downwards.
struct CLPoint {
    int32_t x = 0;
    int32_t y = 0;

    friend bool operator==(const CLPoint&, const CLPoint&) = default;
};

// Half-open integer rectangle: left <= x < right, top <= y < bottom.
struct CLRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    friend bool operator==(const CLRect&, const CLRect&) = default;

    bool IsEmpty() const { return left >= right || top >= bottom; }
    // Negative values grow the rectangle.
    void Inset(int32_t dx, int32_t dy);
    // Maps the rectangle from frame `from` into frame `to`, rounding to nearest.
    void Map(const CLRect& from, const CLRect& to);
};
