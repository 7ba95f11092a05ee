#pragma once

#include <cstdint>
#include <vector>

// The geometry of the dimmer layout view: pane pixels to view units, hit testing, the rubber band
// and the resize and rotate steps. View units: the pane shows -1.2 .. 1.2 on both axes, y upwards.
// No records, no GL: the view feeds the device placements in `devs` order.
namespace dimlayout {

struct Point {
    double x = 0, y = 0;
};

// A device's place: centre, size and rotation (degrees, counter-clockwise).
struct Place {
    float x = 0, y = 0, w = 0, h = 0, rot = 0;
};

// A rotation and translation of the plane: p' = (a p.x + b p.y + tx, c p.x + d p.y + ty).
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    Point Apply(const Point& p) const { return {a * p.x + b * p.y + tx, c * p.x + d * p.y + ty}; }
    Affine Then(const Affine& next) const;  // next after this
    Affine Inverse() const;
    static Affine Translate(double x, double y);
    static Affine Rotate(double degrees);
};

// The pane's size in pixels; a side of 0 counts as 1 for the arithmetic, and such a pane hits
// nothing.
struct Pane {
    int32_t width = 0, height = 0;
    double W() const { return width < 1 ? 1.0 : double(width); }
    double H() const { return height < 1 ? 1.0 : double(height); }
    bool Empty() const { return width < 1 || height < 1; }
    Point ToView(double px, double py) const { return {(px / W() - 0.5) * 2.4, (0.5 - py / H()) * 2.4}; }
    Point ToPixels(const Point& v) const { return {(v.x / 2.4 + 0.5) * W(), (0.5 - v.y / 2.4) * H()}; }
    // Screen lengths in view units: the rotate handle (10 pixels) and the handle half size (5).
    double HandleLength() const { return 24.0 / W(); }
    double HalfHandle() const { return 12.0 / W(); }
};

// Corner i (0 (-hw,-hh), 1 (hw,-hh), 2 (hw,hh), 3 (-hw,hh)) of a device in view units.
Point Corner(const Place& p, int i);
// View units into the device's own frame (translate then rotate, inverted).
Affine ToLocal(const Place& p);

struct Hit {
    enum : int { kNone = 0, kResize = 1, kRotate = 2, kBody = 3 };
    int kind = kNone;
    int32_t device = -1;
    int corner = 0;
    bool operator==(const Hit& o) const { return kind == o.kind && device == o.device && corner == o.corner; }
};

// Two passes: selected devices first, then the others; the first pass that finds anything wins.
Hit HitTest(const Pane& pane, const std::vector<Place>& places, const std::vector<uint8_t>& selected,
            const Point& p);

// The band spanned by two points; whether a device touches it (a corner inside, or an edge
// crossing one of the band's edges).
bool TouchesBand(const Place& device, const Point& a, const Point& b);

// The frame of a drag: M maps view units into the clicked device's frame; the box over every
// selected device's corners (in that frame); the quadrant of the start point.
struct Frame {
    Affine m;
    Affine inverse;
    Point centre;
    Point size;
    int quadrant = 0;
};
Frame MakeFrame(const Place& clicked, const std::vector<Place>& selected, const Point& start);

// One resize step of a selected device from its snapshot (negative scales become 0; a box of zero
// extent on an axis moves by half the pointer offset).
Place ResizeStep(const Frame& f, const Place& snapshot, const Point& start, const Point& pointer);
// One rotate step about the box centre; the angle is stored in [-180, 180).
Place RotateStep(const Frame& f, const Place& snapshot, const Point& start, const Point& pointer);
float WrapDegrees(double degrees);

}  // namespace dimlayout
