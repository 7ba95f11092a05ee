#include <gtest/gtest.h>

#include <cmath>

#include "Orbilume/CSources/Engine/QuadCornerWeights.h"

namespace {

struct Quad {
    const char* what;
    SQuadPoint c[4];  // bottom-left, bottom-right, top-left, top-right
    float w[4];
};

TEST(QuadCornerWeights, WeightsOfQuads) {
    const Quad quads[] = {
        {"rectangle", {{0, 0}, {2, 0}, {0, 1}, {2, 1}}, {1, 1, 1, 1}},
        {"half-length top", {{0, 0}, {1, 0}, {0.25f, 1}, {0.75f, 1}}, {1, 1, 0.5f, 0.5f}},
        {"half-height right", {{0, 0}, {1, 0.25f}, {0, 1}, {1, 0.75f}}, {1, 0.5f, 1, 0.5f}},
        {"three corners in line", {{0, 0}, {1, 0}, {2, 0}, {1, 1}}, {1, 1, 1, 1}},
        {"crossed over", {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {1, 1, 1, 1}},
        {"one corner pushed inside", {{0, 0}, {1, 0}, {0, 1}, {0.2f, 0.2f}}, {1, 1, 1, 1}},
        {"all in one point", {{0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, 0.5f}}, {1, 1, 1, 1}},
        {"not finite", {{0, 0}, {NAN, 0}, {0, 1}, {1, 1}}, {1, 1, 1, 1}},
    };
    for (const Quad& q : quads) {
        float w[4];
        QuadCornerWeights(q.c, w);
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(w[i], q.w[i], 1e-6) << q.what << " " << i;
    }
}

// Drawn as the strip bottom-left, top-left, bottom-right, top-right, the point where the diagonals
// cross lies on the shared edge top-left to bottom-right; the weighted coordinates put the image's
// centre there.
TEST(QuadCornerWeights, IrregularQuadMapsTheCentreToTheDiagonalsCrossing) {
    const SQuadPoint c[4] = {{0.1f, 0.1f}, {0.9f, 0.2f}, {0.2f, 0.8f}, {0.7f, 0.95f}};
    float w[4];
    QuadCornerWeights(c, w);
    for (float x : w) EXPECT_GT(x, 0);
    SQuadPoint d;
    ASSERT_TRUE(LineIntersection(c[0], c[3], c[1], c[2], d));
    // d = tl + u (br - tl)
    const float u = std::hypot(d.x - c[2].x, d.y - c[2].y) / std::hypot(c[1].x - c[2].x, c[1].y - c[2].y);
    const float q = (1 - u) * w[2] + u * w[1];
    EXPECT_NEAR(u * w[1] / q, 0.5f, 1e-5);        // s
    EXPECT_NEAR((1 - u) * w[2] / q, 0.5f, 1e-5);  // t
}

TEST(QuadCornerWeights, LinesAndRatios) {
    SQuadPoint x;
    EXPECT_FALSE(LineIntersection({0, 0}, {1, 0}, {0, 1}, {1, 1}, x));
    ASSERT_TRUE(LineIntersection({0, 0}, {1, 1}, {0, 1}, {1, 0}, x));
    EXPECT_FLOAT_EQ(x.x, 0.5f);
    EXPECT_FLOAT_EQ(x.y, 0.5f);
    EXPECT_FLOAT_EQ(DistanceRatio({0, 0}, {0, 0}, {3, 4}), 1.0f);
    EXPECT_FLOAT_EQ(DistanceRatio({0, 0}, {0, 2}, {3, 4}), 2.5f);
}

}  // namespace
