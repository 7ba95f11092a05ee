#include "Korrath/PolygonTriangles.h"

std::vector<uint32_t> PolygonTriangles(size_t n) {
    std::vector<uint32_t> triangles;
    if (n < 3) return triangles;
    triangles.reserve(3 * (n - 2));
    std::vector<uint32_t> level(n);
    for (size_t i = 0; i < n; ++i) level[i] = static_cast<uint32_t>(i);
    while (level.size() >= 3) {
        size_t size = level.size();
        std::vector<uint32_t> next;
        next.reserve(size / 2 + 1);
        for (size_t k = 0; 2 * k < size; ++k) {
            next.push_back(level[2 * k]);
            if (2 * k + 1 < size) {
                triangles.push_back(level[2 * k]);
                triangles.push_back(level[2 * k + 1]);
                triangles.push_back(level[(2 * k + 2) % size]);
            }
        }
        level.swap(next);
    }
    return triangles;
}
