#pragma once

#include <algorithm>

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

}  // namespace plat
