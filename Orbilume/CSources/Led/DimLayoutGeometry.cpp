#include "Orbilume/CSources/Led/DimLayoutGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace dimlayout {

namespace {

constexpr double kPi = 3.14159265358979323846;

int Orientation(const Point& a, const Point& b, const Point& c) {
    const double v = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    return v > 0 ? 1 : (v < 0 ? -1 : 0);
}

bool OnSegment(const Point& a, const Point& b, const Point& p) {
    return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
           p.y <= std::max(a.y, b.y);
}

// Crossing by orientation signs; collinear overlapping points count.
bool SegmentsCross(const Point& p1, const Point& p2, const Point& q1, const Point& q2) {
    const int o1 = Orientation(p1, p2, q1), o2 = Orientation(p1, p2, q2);
    const int o3 = Orientation(q1, q2, p1), o4 = Orientation(q1, q2, p2);
    if (o1 != o2 && o3 != o4) return true;
    if (o1 == 0 && OnSegment(p1, p2, q1)) return true;
    if (o2 == 0 && OnSegment(p1, p2, q2)) return true;
    if (o3 == 0 && OnSegment(q1, q2, p1)) return true;
    if (o4 == 0 && OnSegment(q1, q2, p2)) return true;
    return false;
}

double AngleOf(const Point& p, const Point& c) {
    return std::atan2(-(p.x - c.x), p.y - c.y) * 180.0 / kPi;
}

}  // namespace

Affine Affine::Then(const Affine& n) const {
    Affine r;
    r.a = n.a * a + n.b * c;
    r.b = n.a * b + n.b * d;
    r.c = n.c * a + n.d * c;
    r.d = n.c * b + n.d * d;
    r.tx = n.a * tx + n.b * ty + n.tx;
    r.ty = n.c * tx + n.d * ty + n.ty;
    return r;
}

Affine Affine::Inverse() const {
    const double det = a * d - b * c;
    Affine r;
    if (det == 0 || !std::isfinite(det)) return r;
    r.a = d / det;
    r.b = -b / det;
    r.c = -c / det;
    r.d = a / det;
    r.tx = -(r.a * tx + r.b * ty);
    r.ty = -(r.c * tx + r.d * ty);
    return r;
}

Affine Affine::Translate(double x, double y) {
    Affine r;
    r.tx = x;
    r.ty = y;
    return r;
}

Affine Affine::Rotate(double degrees) {
    const double t = degrees * kPi / 180.0;
    Affine r;
    r.a = std::cos(t);
    r.b = -std::sin(t);
    r.c = std::sin(t);
    r.d = std::cos(t);
    return r;
}

Point Corner(const Place& p, int i) {
    static const int sx[4] = {-1, 1, 1, -1};
    static const int sy[4] = {-1, -1, 1, 1};
    const Point local{sx[i & 3] * double(p.w) * 0.5, sy[i & 3] * double(p.h) * 0.5};
    return Affine::Rotate(p.rot).Then(Affine::Translate(p.x, p.y)).Apply(local);
}

Affine ToLocal(const Place& p) {
    return Affine::Translate(-double(p.x), -double(p.y)).Then(Affine::Rotate(-double(p.rot)));
}

Hit HitTest(const Pane& pane, const std::vector<Place>& places, const std::vector<uint8_t>& selected,
            const Point& p) {
    Hit hit;
    if (pane.Empty()) return hit;
    const double tol = pane.HalfHandle();
    const double bodyTol = tol * tol;  // the squared tolerance, kept as the layout has always had it
    const double handle = pane.HandleLength();
    const double inf = std::numeric_limits<double>::infinity();
    for (int pass = 0; pass < 2; ++pass) {
        const uint8_t wantSelected = pass == 0 ? 1 : 0;
        int32_t body = -1, rotate = -1, corner = -1;
        double bodyArea = inf, rotateDx = inf, cornerD = inf;
        int cornerG = -1, cornerIndex = 0;
        for (size_t i = 0; i < places.size(); ++i) {
            const uint8_t sel = i < selected.size() && selected[i] ? 1 : 0;
            if (sel != wantSelected) continue;
            const Place& d = places[i];
            const Point l = ToLocal(d).Apply(p);
            const double hw = std::fabs(double(d.w)) * 0.5, hh = std::fabs(double(d.h)) * 0.5;
            if (!std::isfinite(l.x) || !std::isfinite(l.y)) continue;
            if (std::fabs(l.x) <= hw + bodyTol && std::fabs(l.y) <= hh + bodyTol && hw * hh < bodyArea) {
                bodyArea = hw * hh;
                body = int32_t(i);
            }
            if (hh <= l.y && l.y <= hh + handle && std::fabs(l.x) < rotateDx) {
                rotateDx = std::fabs(l.x);
                rotate = int32_t(i);
            }
            static const int sx[4] = {-1, 1, 1, -1};
            static const int sy[4] = {-1, -1, 1, 1};
            double dmin = inf;
            int near = 0;
            for (int c = 0; c < 4; ++c) {
                const double dc = std::max(std::fabs(l.x - sx[c] * hw), std::fabs(l.y - sy[c] * hh));
                if (dc < dmin) {
                    dmin = dc;
                    near = c;
                }
            }
            const int g = (hw > std::fabs(l.x) ? 1 : 0) + (hh > std::fabs(l.y) ? 1 : 0);
            if (dmin <= cornerD && g >= cornerG) {
                cornerD = dmin;
                cornerG = g;
                cornerIndex = near;
                corner = int32_t(i);
            }
        }
        if (corner >= 0 && cornerD <= tol) return {Hit::kResize, corner, cornerIndex};
        if (rotate >= 0 && rotateDx <= tol) return {Hit::kRotate, rotate, 0};
        if (body >= 0) return {Hit::kBody, body, 0};
    }
    return hit;
}

bool TouchesBand(const Place& device, const Point& a, const Point& b) {
    const double x0 = std::min(a.x, b.x), x1 = std::max(a.x, b.x);
    const double y0 = std::min(a.y, b.y), y1 = std::max(a.y, b.y);
    Point c[4];
    for (int i = 0; i < 4; ++i) {
        c[i] = Corner(device, i);
        if (x0 <= c[i].x && c[i].x <= x1 && y0 <= c[i].y && c[i].y <= y1) return true;
    }
    const Point band[4] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (SegmentsCross(c[i], c[(i + 1) & 3], band[j], band[(j + 1) & 3])) return true;
    return false;
}

Frame MakeFrame(const Place& clicked, const std::vector<Place>& selected, const Point& start) {
    Frame f;
    f.m = ToLocal(clicked);
    f.inverse = f.m.Inverse();
    const double inf = std::numeric_limits<double>::infinity();
    Point lo{inf, inf}, hi{-inf, -inf};
    for (const Place& d : selected)
        for (int i = 0; i < 4; ++i) {
            const Point q = f.m.Apply(Corner(d, i));
            lo.x = std::min(lo.x, q.x);
            lo.y = std::min(lo.y, q.y);
            hi.x = std::max(hi.x, q.x);
            hi.y = std::max(hi.y, q.y);
        }
    if (selected.empty()) lo = hi = Point{};
    f.centre = {(lo.x + hi.x) / 2, (lo.y + hi.y) / 2};
    f.size = {hi.x - lo.x, hi.y - lo.y};
    const Point s = f.m.Apply(start);
    if (s.x >= f.centre.x)
        f.quadrant = s.y >= f.centre.y ? 2 : 1;
    else
        f.quadrant = s.y >= f.centre.y ? 3 : 0;
    return f;
}

Place ResizeStep(const Frame& f, const Place& snap, const Point& start, const Point& pointer) {
    static const double fx[4] = {-0.5, 0.5, 0.5, -0.5};
    static const double fy[4] = {-0.5, -0.5, 0.5, 0.5};
    const Point anchor{f.centre.x - f.size.x * fx[f.quadrant & 3], f.centre.y - f.size.y * fy[f.quadrant & 3]};
    const Point p0 = f.m.Apply(start), p1 = f.m.Apply(pointer);
    auto axis = [](double d0, double d1, double& k, double& o) {
        if (d0 != 0) {
            k = d1 / d0;
            if (!(k >= 0)) k = 0;
            o = 0;
        } else {
            k = 0;
            o = d1 / 2;
        }
    };
    double kx, ox, ky, oy;
    axis(p0.x - anchor.x, p1.x - anchor.x, kx, ox);
    axis(p0.y - anchor.y, p1.y - anchor.y, ky, oy);
    const Point c = f.m.Apply({snap.x, snap.y});
    const Point moved = f.inverse.Apply({(c.x - anchor.x) * kx + anchor.x + ox, (c.y - anchor.y) * ky + anchor.y + oy});
    Place out = snap;
    out.x = float(moved.x);
    out.y = float(moved.y);
    out.w = float(std::fabs(double(snap.w) * kx + 2 * ox));
    out.h = float(std::fabs(double(snap.h) * ky + 2 * oy));
    return out;
}

float WrapDegrees(double x) {
    return float(x - 360.0 * std::floor(x / 360.0 + 0.5));
}

Place RotateStep(const Frame& f, const Place& snap, const Point& start, const Point& pointer) {
    const double delta = AngleOf(f.m.Apply(pointer), f.centre) - AngleOf(f.m.Apply(start), f.centre);
    const Affine r = f.m.Then(Affine::Translate(-f.centre.x, -f.centre.y))
                         .Then(Affine::Rotate(delta))
                         .Then(Affine::Translate(f.centre.x, f.centre.y))
                         .Then(f.inverse);
    const Point moved = r.Apply({snap.x, snap.y});
    Place out = snap;
    out.x = float(moved.x);
    out.y = float(moved.y);
    out.rot = WrapDegrees(double(snap.rot) + delta);
    return out;
}

}  // namespace dimlayout
