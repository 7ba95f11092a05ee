#include "Orbilume/CSources/Engine/QuadCornerWeights.h"

#include <cmath>

namespace {

float Cross(const SQuadPoint& o, const SQuadPoint& a, const SQuadPoint& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// The quad bottom-left, bottom-right, top-right, top-left turns the same way, strictly, at every
// corner.
bool IsStrictlyConvex(const SQuadPoint c[4]) {
    const SQuadPoint ring[4] = {c[0], c[1], c[3], c[2]};
    bool positive = false, negative = false;
    for (int i = 0; i < 4; ++i) {
        const float turn = Cross(ring[i], ring[(i + 1) % 4], ring[(i + 2) % 4]);
        if (!std::isfinite(turn) || turn == 0) return false;
        (turn > 0 ? positive : negative) = true;
    }
    return positive != negative;
}

}  // namespace

bool LineIntersection(const SQuadPoint& a, const SQuadPoint& b, const SQuadPoint& c, const SQuadPoint& d,
                      SQuadPoint& out) {
    const float a1 = b.y - a.y, b1 = a.x - b.x, c1 = -(a1 * a.x + b1 * a.y);
    const float a2 = d.y - c.y, b2 = c.x - d.x, c2 = -(a2 * c.x + b2 * c.y);
    const float det = a1 * b2 - b1 * a2;
    if (det == 0) return false;
    out.x = (b1 * c2 - b2 * c1) / det;
    out.y = (c1 * a2 - c2 * a1) / det;
    return true;
}

float DistanceRatio(const SQuadPoint& x, const SQuadPoint& a, const SQuadPoint& b) {
    const float da = std::hypot(a.x - x.x, a.y - x.y);
    if (!(da > 0)) return 1.0f;
    return std::hypot(b.x - x.x, b.y - x.y) / da;
}

void QuadCornerWeights(const SQuadPoint corners[4], float weights[4]) {
    weights[0] = weights[1] = weights[2] = weights[3] = 1.0f;
    if (!IsStrictlyConvex(corners)) return;
    const SQuadPoint &bl = corners[0], &br = corners[1], &tl = corners[2], &tr = corners[3];
    float w[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    SQuadPoint v;
    if (LineIntersection(bl, br, tl, tr, v)) w[1] = DistanceRatio(v, bl, br);
    SQuadPoint s;
    if (LineIntersection(bl, tl, br, tr, s)) {
        w[2] = DistanceRatio(s, bl, tl);
        w[3] = DistanceRatio(s, br, tr) * w[1];
    } else {
        w[3] = w[1];
    }
    for (float x : w)
        if (!std::isfinite(x) || !(x > 0)) return;
    for (int i = 0; i < 4; ++i) weights[i] = w[i];
}
