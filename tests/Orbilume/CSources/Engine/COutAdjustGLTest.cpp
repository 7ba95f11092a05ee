#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Orbilume/CSources/Engine/COutAdjust.h"
#include "Orbilume/CSources/Engine/QuadCornerWeights.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"
#include "tests/Orbilume/CSources/QCx/QcTestSupport.h"

using qctest::BoundPixel;
using qctest::PixelNear;

namespace {

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

// A window stand-in: a target whose framebuffer is bound with the viewport over it while a scope
// is open.
class OutAdjustTest : public OpenGLTest {
protected:
    void SetUp() override {
        OpenGLTest::SetUp();
        window = new COpenGLFBOTarget(kSize, kSize, nullptr);
        scope = new COpenGLScope_Cca(window->context());
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, window->fbo());
        glViewport(0, 0, kSize, kSize);
    }
    void TearDown() override {
        if (mix) glDeleteTextures(1, &mix);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        delete scope;
        window->Release();
        OpenGLTest::TearDown();
    }

    void Set(const char* key, const char* value) { adjust.SetKey(LString(key), LString(value)); }

    static void Clear(uint32_t argb) {
        glClearColor(((argb >> 16) & 0xFF) / 255.0f, ((argb >> 8) & 0xFF) / 255.0f, (argb & 0xFF) / 255.0f,
                     (argb >> 24) / 255.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    // A 2-D mix texture in four quadrants: red bottom-left, green bottom-right, blue top-left,
    // white top-right (GL rows, bottom first).
    uint32_t Quadrants() {
        std::vector<uint32_t> pixels(kSize * kSize);
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                pixels[y * kSize + x] =
                    y < kSize / 2 ? (x < kSize / 2 ? kRed : kGreen) : (x < kSize / 2 ? kBlue : kWhite);
        glGenTextures(1, &mix);
        glBindTexture(GL_TEXTURE_2D, mix);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kSize, kSize, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     pixels.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return mix;
    }

    uint32_t At(float x, float y) {
        return BoundPixel(static_cast<int32_t>(x * kSize), static_cast<int32_t>(y * kSize));
    }

    static constexpr int kSize = 64;
    COpenGLFBOTarget* window = nullptr;
    COpenGLScope_Cca* scope = nullptr;
    COutAdjust adjust;
    uint32_t mix = 0;
};

TEST_F(OutAdjustTest, DefaultsDrawNothingOverTheWindow) {
    EXPECT_FALSE(adjust.IsActive());
    float g[4];
    adjust.Geometry(false, g);
    EXPECT_EQ(std::vector<float>(g, g + 4), (std::vector<float>{1, 1, 0, 0}));
    Clear(kGreen);
    adjust.Draw(window->context(), 0, false);
    EXPECT_EQ(At(0.5f, 0.5f), kGreen);
}

TEST_F(OutAdjustTest, BrightnessLaysBlackOverTheDirectDrawing) {
    Set("brt", "0.25");
    EXPECT_FALSE(adjust.IsActive());
    Clear(kWhite);
    adjust.Draw(window->context(), 0, false);
    const uint32_t p = At(0.5f, 0.5f);
    EXPECT_TRUE(PixelNear(p & 0xFFFFFF, 0x404040, 1));  // black at alpha 0.75 over white

    // The full pass draws the mix modulated by the brightness instead.
    EXPECT_TRUE(PixelNear(
        [&] {
            adjust.Draw(window->context(), Quadrants(), false);
            return At(0.75f, 0.75f);
        }(),
        0xFF404040, 1));
}

TEST_F(OutAdjustTest, WhatMakesThePassActive) {
    struct Case {
        std::vector<std::pair<const char*, const char*>> keys;
        bool active;
        float geometry[4];
    } cases[] = {
        {{{"roty", "60"}}, false, {0.5f, 1, 0, 0}},
        {{{"roty", "60"}, {"divr", "30"}}, true, {1, 1, 0, 0}},
        {{{"sizy", "0.5"}}, true, {1, 1, 0, 0}},
        {{{"sizx", "0.5"}}, false, {0.5f, 1, 0, 0}},
        {{{"sizy", "-1"}}, false, {1, -1, 0, 0}},
        {{{"rotz", "10"}}, true, {1, 1, 0, 0}},
        {{{"rotx", "1"}}, true, {1, 1, 0, 0}},
        {{{"posx", "0,5"}, {"posy", "-0.25"}}, false, {1, 1, 0, -0.25f}},  // a decimal comma is no number
        {{{"brt", "0"}, {"nope", "3"}}, false, {1, 1, 0, 0}},
        {{{"gmode", "1"}}, false, {1, 1, 0, 0}},
        {{{"gmode", "1"}, {"gcnrtrx", "0.9"}}, true, {1, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        COutAdjust a;
        for (const auto& [key, value] : c.keys) a.SetKey(LString(key), LString(value));
        EXPECT_EQ(a.IsActive(), c.active) << c.keys[0].first;
        float g[4];
        a.Geometry(false, g);
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(g[i], c.geometry[i], 1e-6) << c.keys[0].first << " " << i;
        a.Geometry(true, g);
        EXPECT_EQ(g[0], 1);
    }
}

TEST_F(OutAdjustTest, MatrixStaysFiniteForAnyValues) {
    const char* const values[] = {"90", "-90", "270", "180", "1e300", "-1e300", "nan", "inf", "89.9999"};
    for (const char* v : values) {
        for (const char* key : {"rotx", "roty", "divr", "sizx", "sizy", "posx", "rotz"}) {
            COutAdjust a;
            a.SetKey("divr", "30");
            a.SetKey("roty", "90");
            a.SetKey(LString(key), LString(v));
            for (float aspect : {1.0f, 0.0f, NAN, 1e30f}) {
                double m[16];
                a.Matrix(aspect, m);
                // Finite and bounded: an edge-on view or a frustum of 90 degrees or more would
                // otherwise give entries around 1e16 or a turned-over projection.
                for (double x : m) ASSERT_TRUE(std::isfinite(x) && std::fabs(x) < 1e9) << key << "=" << v;
            }
        }
    }
    // Seen edge-on the image is a line: the window is cleared around it.
    Set("rotx", "90");
    Set("divr", "30");
    EXPECT_TRUE(adjust.IsActive());
    adjust.Draw(window->context(), Quadrants(), false);
    EXPECT_EQ(At(0.5f, 0.9f) & 0xFFFFFF, 0u);
    EXPECT_EQ(At(0.25f, 0.1f) & 0xFFFFFF, 0u);
}

TEST_F(OutAdjustTest, FlatTransformsPlaceTheImage) {
    Set("sizy", "0.5");
    adjust.Draw(window->context(), Quadrants(), false);
    EXPECT_EQ(At(0.25f, 0.3f), kRed);
    EXPECT_EQ(At(0.75f, 0.7f), kWhite);
    EXPECT_EQ(At(0.5f, 0.9f) & 0xFFFFFF, 0u);  // outside the halved image

    // The window's own image is copied and redrawn when no mix texture is given.
    Set("sizy", "1");
    Set("rotz", "180");
    Clear(0);
    adjust.Draw(window->context(), Quadrants(), false);  // upright copy of the quadrants, turned
    EXPECT_EQ(At(0.25f, 0.25f), kWhite);
    adjust.Draw(window->context(), 0, true);  // the window turned back again, with mipmaps
    EXPECT_EQ(At(0.25f, 0.25f), kRed);
    EXPECT_EQ(At(0.75f, 0.75f), kWhite);
}

TEST_F(OutAdjustTest, CornersMapInPerspective) {
    Set("gmode", "1");
    EXPECT_FALSE(adjust.IsActive());
    Set("gcnrtlx", "0.25");
    Set("gcnrtrx", "0.75");
    EXPECT_TRUE(adjust.IsActive());
    EXPECT_FALSE(adjust.prepared());
    adjust.Draw(window->context(), Quadrants(), false);
    EXPECT_TRUE(adjust.prepared());
    const float* t = adjust.cornerTexCoords();
    EXPECT_FLOAT_EQ(t[3], 1);      // bottom-left q
    EXPECT_FLOAT_EQ(t[7], 0.5f);   // top-left q
    EXPECT_FLOAT_EQ(t[11], 1);     // bottom-right q
    EXPECT_FLOAT_EQ(t[15], 0.5f);  // top-right q
    // Along the middle the image's half-height line lies at 2/3 of the height, not at 1/2.
    EXPECT_EQ(At(0.45f, 0.6f), kRed);
    EXPECT_EQ(At(0.45f, 0.72f), kBlue);
    EXPECT_EQ(At(0.1f, 0.9f) & 0xFFFFFF, 0u);  // outside the trapezoid
    // The same value again keeps the prepared strip.
    Set("gcnrtrx", "0.75");
    EXPECT_TRUE(adjust.prepared());
    Set("gmode", "0");
    Set("gmode", "1");
    EXPECT_FALSE(adjust.prepared());
}

TEST_F(OutAdjustTest, IrregularQuadPutsTheCentreWhereTheDiagonalsCross) {
    const float c[4][2] = {{0.1f, 0.1f}, {0.9f, 0.2f}, {0.2f, 0.8f}, {0.7f, 0.95f}};
    const char* keys[4][2] = {
        {"gcnrblx", "gcnrbly"}, {"gcnrbrx", "gcnrbry"}, {"gcnrtlx", "gcnrtly"}, {"gcnrtrx", "gcnrtry"}};
    Set("gmode", "1");
    for (int i = 0; i < 4; ++i)
        for (int a = 0; a < 2; ++a) adjust.SetCorner(i, a, c[i][a]);
    (void)keys;
    adjust.Draw(window->context(), Quadrants(), false);
    SQuadPoint d;
    ASSERT_TRUE(
        LineIntersection({c[0][0], c[0][1]}, {c[3][0], c[3][1]}, {c[1][0], c[1][1]}, {c[2][0], c[2][1]}, d));
    const float e = 3.0f / kSize;
    EXPECT_EQ(At(d.x - e, d.y - e), kRed);
    EXPECT_EQ(At(d.x + e, d.y - e), kGreen);
    EXPECT_EQ(At(d.x - e, d.y + e), kBlue);
    EXPECT_EQ(At(d.x + e, d.y + e), kWhite);
    // Straight edges: the middle of the bottom edge is on the image, just below it is not.
    EXPECT_NE(At(0.5f, 0.15f + e) & 0xFFFFFF, 0u);
    EXPECT_EQ(At(0.5f, 0.15f - e) & 0xFFFFFF, 0u);
}

TEST_F(OutAdjustTest, SelfCrossingQuadDrawsAffine) {
    Set("gmode", "1");
    Set("gcnrtlx", "1");
    Set("gcnrtrx", "0");  // the top corners crossed over
    adjust.Draw(window->context(), Quadrants(), false);
    const float* t = adjust.cornerTexCoords();
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(t[i * 4 + 3], 1) << i;
    for (int i = 0; i < 16; ++i) EXPECT_TRUE(std::isfinite(t[i]));
    EXPECT_EQ(At(0.5f, 0.1f), kRed);  // near the bottom edge the image still shows
}

}  // namespace
