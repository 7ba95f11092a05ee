#pragma once

// Projective weights for drawing an image onto a quadrilateral through its four corners without a
// seam along the diagonal. Single precision throughout.
struct SQuadPoint {
    float x = 0, y = 0;
};

// The corners in the order bottom-left, bottom-right, top-left, top-right give the weights in that
// order; bottom-left's is 1. A quad that is not strictly convex (three corners in line, corners
// crossed over) gets weights of 1, an affine mapping, as does a pair of parallel opposite edges
// for its corners; weights are never 0 or non-finite.
void QuadCornerWeights(const SQuadPoint corners[4], float weights[4]);

// The intersection of the line through a and b with the line through c and d; false when they are
// parallel.
bool LineIntersection(const SQuadPoint& a, const SQuadPoint& b, const SQuadPoint& c, const SQuadPoint& d,
                      SQuadPoint& out);

// |b - x| / |a - x|, or 1 when |a - x| is not above 0.
float DistanceRatio(const SQuadPoint& x, const SQuadPoint& a, const SQuadPoint& b);
