#include <gtest/gtest.h>

#include <cstring>

#include "Orbilume/CSources/Models/UMat4.h"

namespace {

bool BitEqual(const float* a, const float* b) {
    return std::memcmp(a, b, 16 * sizeof(float)) == 0;
}

TEST(UMat4, RotateWithZeroAngleOrAxisLeavesTheMatrixBitForBit) {
    const float start[16] = {1.5f, -0.0f, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    float m[16];
    std::memcpy(m, start, sizeof(m));
    UMat4::Rotate(m, 0.0f, 1, 2, 3);
    EXPECT_TRUE(BitEqual(m, start));
    UMat4::Rotate(m, 30.0f, 0, 0, 0);
    EXPECT_TRUE(BitEqual(m, start));
    UMat4::Rotate(m, -0.0f, 0, 0, 1);
    EXPECT_TRUE(BitEqual(m, start));
}

TEST(UMat4, RotateAboutZMapsXToY) {
    float m[16];
    UMat4::Identity(m);
    UMat4::Rotate(m, 90, 0, 0, 1);
    const float v[4] = {1, 0, 0, 1};
    auto r = UMat4::Transform4(v, m);
    EXPECT_NEAR(r[0], 0.0f, 1e-7f);
    EXPECT_FLOAT_EQ(r[1], 1.0f);
    EXPECT_FLOAT_EQ(r[2], 0.0f);
    EXPECT_FLOAT_EQ(r[3], 1.0f);
}

TEST(UMat4, LookAtPutsTheEyeAtTheOrigin) {
    float m[16];
    UMat4::Identity(m);
    UMat4::LookAt(m, 0, 0, 5, 0, 0, 0, 0, 1, 0);
    const float origin[4] = {0, 0, 0, 1};
    auto r = UMat4::Transform4(origin, m);
    EXPECT_FLOAT_EQ(r[0], 0);
    EXPECT_FLOAT_EQ(r[1], 0);
    EXPECT_FLOAT_EQ(r[2], -5);
    EXPECT_FLOAT_EQ(r[3], 1);
}

TEST(UMat4, LookAtWithUpAlongTheViewKeepsADegenerateMatrix) {
    float m[16];
    UMat4::Identity(m);
    UMat4::LookAt(m, 0, 0, 5, 0, 0, 0, 0, 0, 1);
    // s = f x up = 0 stays unnormalised, and u = s x f with it.
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(m[c * 4 + 0], 0.0f);
        EXPECT_EQ(m[c * 4 + 1], 0.0f);
    }
    EXPECT_EQ(m[10], 1.0f);
    float inv[16];
    EXPECT_FALSE(UMat4::Invert(m, inv));
}

TEST(UMat4, SkewWithParallelAxesChangesNothing) {
    float m[16];
    UMat4::Identity(m);
    float id[16];
    UMat4::Identity(id);
    UMat4::Skew(m, 30, 0, 1, 0, 0, 2, 0);
    EXPECT_TRUE(BitEqual(m, id));
    // A real skew moves points along e0 by d times their e1 component: 45 degrees gives d = 1.
    UMat4::Skew(m, 45, 0, 1, 0, 1, 0, 0);
    const float p[4] = {0, 1, 0, 1};
    auto r = UMat4::Transform3(p, m);
    EXPECT_NEAR(r[0], 1.0f, 1e-6f);
    EXPECT_FLOAT_EQ(r[1], 1.0f);
}

TEST(UMat4, InvertPermutationAndSingular) {
    // Columns: x -> z, y -> x, z -> y.
    const float perm[16] = {0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1};
    float inv[16];
    ASSERT_TRUE(UMat4::Invert(perm, inv));
    float prod[16];
    std::memcpy(prod, perm, sizeof(prod));
    UMat4::Multiply(prod, inv);
    float id[16];
    UMat4::Identity(id);
    EXPECT_TRUE(BitEqual(prod, id));

    float zeroColumn[16];
    UMat4::Identity(zeroColumn);
    zeroColumn[4] = zeroColumn[5] = zeroColumn[6] = zeroColumn[7] = 0;
    EXPECT_FALSE(UMat4::Invert(zeroColumn, inv));

    float m[16];
    UMat4::Identity(m);
    UMat4::Translate(m, 1, 2, 3);
    UMat4::Rotate(m, 33, 1, 2, 3);
    UMat4::Scale(m, 2, 3, 4);
    ASSERT_TRUE(UMat4::Invert(m, inv));
    UMat4::Multiply(m, inv);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m[i], id[i], 1e-5f) << i;
}

TEST(UMat4, TransformsDoNotDivideByW) {
    float m[16];
    UMat4::Identity(m);
    m[15] = 2;
    m[12] = 3;
    const float v[4] = {1, 1, 1, 1};
    auto r = UMat4::Transform4(v, m);
    EXPECT_EQ(r[0], 4.0f);
    EXPECT_EQ(r[3], 2.0f);
    auto p = UMat4::TransformPoint2(1, 1, m);
    EXPECT_EQ(p[0], 4.0f);
    auto d = UMat4::TransformVector2(1, 1, m);
    EXPECT_EQ(d[0], 1.0f);
}

TEST(UBox3, EmptyMergeTransformRadius) {
    float box[6];
    UBox3::SetEmpty(box);
    EXPECT_EQ(box[0], 3.4028235e38f);
    EXPECT_EQ(box[1], -3.4028235e38f);
    EXPECT_FALSE(UBox3::IsFilled(box));
    const float unit[6] = {-1, 1, -2, 2, 0, 1};
    UBox3::Merge(box, unit);
    EXPECT_TRUE(UBox3::IsFilled(box));
    EXPECT_EQ(UBox3::Radius(box), 2.0f);
    float m[16];
    UMat4::Identity(m);
    UMat4::Rotate(m, 90, 0, 0, 1);
    UMat4::Translate(m, 10, 0, 0);
    UBox3::Transform(box, m);
    // x in [9, 11] becomes y; y in [-2, 2] becomes -x.
    EXPECT_NEAR(box[0], -2, 1e-5);
    EXPECT_NEAR(box[1], 2, 1e-5);
    EXPECT_NEAR(box[2], 9, 1e-5);
    EXPECT_NEAR(box[3], 11, 1e-5);
}

}  // namespace
