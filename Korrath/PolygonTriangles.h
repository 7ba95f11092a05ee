#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Triangles of a polygon of n vertices by halving, as vertex indices, three per triangle. Each
// level with vertex list L draws (L[2k], L[2k+1], L[(2k+2) mod |L|]) for every k with 2k+1 < |L|
// and hands its even positions on, until fewer than three remain: n - 2 triangles, covering a
// convex polygon whole for any n (n < 3 gives none).
std::vector<uint32_t> PolygonTriangles(size_t n);
