#pragma once

#include <algorithm>
#include <cstdint>

namespace plat {

// Screen coordinates have their origin at the top-left corner of the first screen and y grows
// downwards; view coordinates have their origin at the view's top-left corner.
struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    friend bool operator==(const Rect&, const Rect&) = default;

    double MaxX() const { return x + width; }
    double MaxY() const { return y + height; }
    Point Origin() const { return {x, y}; }
    Size GetSize() const { return {width, height}; }
    bool IsEmpty() const { return !(width > 0) || !(height > 0); }
    // Half-open: the right and bottom edges are outside.
    bool Contains(Point p) const { return p.x >= x && p.x < MaxX() && p.y >= y && p.y < MaxY(); }
    bool Intersects(const Rect& o) const { return !Intersection(o).IsEmpty(); }
    Rect Intersection(const Rect& o) const {
        double l = std::max(x, o.x), t = std::max(y, o.y);
        double r = std::min(MaxX(), o.MaxX()), b = std::min(MaxY(), o.MaxY());
        if (r <= l || b <= t) return {};
        return {l, t, r - l, b - t};
    }
    // An empty rectangle adds nothing.
    Rect Union(const Rect& o) const {
        if (o.IsEmpty()) return *this;
        if (IsEmpty()) return o;
        double l = std::min(x, o.x), t = std::min(y, o.y);
        return {l, t, std::max(MaxX(), o.MaxX()) - l, std::max(MaxY(), o.MaxY()) - t};
    }
    Rect Offset(double dx, double dy) const { return {x + dx, y + dy, width, height}; }
};

// Integer point and rectangle (half-open: right and bottom are outside), for the framework's
// integer coordinates.
struct IntPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const IntPoint&, const IntPoint&) = default;
};

struct IntRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    friend bool operator==(const IntRect&, const IntRect&) = default;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool IsEmpty() const { return left >= right || top >= bottom; }
    bool Overlaps(const IntRect& o) const {
        return !IsEmpty() && !o.IsEmpty() && left < o.right && o.left < right && top < o.bottom &&
               o.top < bottom;
    }
    // Area of the overlap, 0 when none.
    int64_t OverlapArea(const IntRect& o) const {
        if (!Overlaps(o)) return 0;
        int64_t w = int64_t(std::min(right, o.right)) - std::max(left, o.left);
        int64_t h = int64_t(std::min(bottom, o.bottom)) - std::max(top, o.top);
        return w * h;
    }
    void Shift(int32_t dx, int32_t dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    // An empty rectangle adds nothing.
    void Union(const IntRect& o) {
        if (o.IsEmpty()) return;
        if (IsEmpty()) {
            *this = o;
            return;
        }
        left = std::min(left, o.left);
        top = std::min(top, o.top);
        right = std::max(right, o.right);
        bottom = std::max(bottom, o.bottom);
    }
};

}  // namespace plat
