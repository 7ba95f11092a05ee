#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include "Specific/Graph/CFD/CNS_GL.h"
#include "tests/Specific/Graph/CFD/CFDTestHost.h"
#include "tests/support/GLFixture.h"

namespace cfdtest {
namespace {

using cfd::CCFD_GL;
using cfd::CNS_GL;

class CNS_GLTest : public testsupport::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        fHost = std::make_unique<GLHost>(Context());
        ASSERT_TRUE(fSolver.Init(*fHost));
        fSolver.SetCall(fHost.get());
    }
    void TearDown() override {
        fSolver.Release(*fHost);
        fHost.reset();
        GLTest::TearDown();
    }
    void Walls(int32_t l, int32_t r, int32_t b, int32_t t) {
        const int32_t types[4] = {l, r, b, t};
        for (int s = 0; s < 4; ++s) fSolver.fSide[s].type = types[s];
    }
    uint32_t SolverError() { return ErrorIn(*fHost, fSolver.GLContext()); }

    std::unique_ptr<GLHost> fHost;
    CNS_GL fSolver;
};

// Largest |divergence| over the calculation cells.
float MaxDivergence(const Field& u) {
    float m = 0;
    for (uint32_t y = 1; y + 1 < u.height; ++y)
        for (uint32_t x = 1; x + 1 < u.width; ++x) {
            const float d = u.At(x + 1, y)[0] - u.At(x, y)[0] + u.At(x, y + 1)[1] - u.At(x, y)[1];
            m = std::max(m, std::fabs(d));
        }
    return m;
}

TEST_F(CNS_GLTest, KnownFlows) {
    struct Case {
        const char* name;
        uint32_t w, h;
        std::function<void(CNS_GL&)> setup;
        int steps;
        std::function<void(CNS_GL&, int steps)> check;
    };
    const float g = 1.0f;
    const Case cases[] = {
        {"closed no-slip box at rest under gravity", 12, 12,
         [&](CNS_GL& s) {
             Walls(CCFD_GL::kNoSlip, CCFD_GL::kNoSlip, CCFD_GL::kNoSlip, CCFD_GL::kNoSlip);
             s.fFg[1] = -g;
             s.fDt = 0.05f;
             s.fIterations = 400;
         },
         20,
         [&](CNS_GL& s, int) {
             const Field u = ReadField(s.UName()), p = ReadField(s.PName());
             for (uint32_t y = 1; y < 11; ++y)
                 for (uint32_t x = 1; x < 11; ++x) {
                     EXPECT_LT(std::hypot(u.At(x, y)[0], u.At(x, y)[1]), 1e-4) << x << "," << y;
                     // Pressure rises by g dt per cell downwards.
                     if (y < 10) {
                         EXPECT_NEAR(p.At(x, y)[0] - p.At(x, y + 1)[0], g * 0.05f, 1e-4) << x << "," << y;
                     }
                 }
         }},
        {"slip channel under a body force", 16, 10,
         [&](CNS_GL& s) {
             Walls(CCFD_GL::kFree, CCFD_GL::kFree, CCFD_GL::kSlip, CCFD_GL::kSlip);
             s.fFg[0] = g;
             s.fDt = 0.05f;
             s.fIterations = 50;
         },
         10,
         [&](CNS_GL& s, int steps) {
             const Field u = ReadField(s.UName());
             for (uint32_t y = 1; y < 9; ++y)
                 for (uint32_t x = 1; x < 15; ++x) {
                     EXPECT_NEAR(u.At(x, y)[0], g * 0.05f * float(steps), 1e-4) << x << "," << y;
                     if (y > 1) {
                         EXPECT_NEAR(u.At(x, y)[1], 0, 1e-5) << x << "," << y;
                     }
                 }
         }},
        {"velocity inflow and free outflow", 20, 10,
         [&](CNS_GL& s) {
             Walls(CCFD_GL::kVelocity, CCFD_GL::kFree, CCFD_GL::kSlip, CCFD_GL::kSlip);
             s.fSide[CCFD_GL::kLeft].velocity = 1;
             s.fSide[CCFD_GL::kRight].fixPressure = true;
             s.fDt = 0.1f;
             s.fIterations = 20;
         },
         300,
         [&](CNS_GL& s, int) {
             const Field u = ReadField(s.UName());
             for (uint32_t y = 1; y < 9; ++y)
                 for (uint32_t x = 1; x < 20; ++x) {
                     EXPECT_NEAR(u.At(x, y)[0], 1, 1e-3) << x << "," << y;
                     if (y > 1 && x < 19) {
                         EXPECT_NEAR(u.At(x, y)[1], 0, 1e-3) << x << "," << y;
                     }
                 }
         }},
        {"channel between no-slip walls", 8, 12,
         [&](CNS_GL& s) {
             Walls(CCFD_GL::kFree, CCFD_GL::kFree, CCFD_GL::kNoSlip, CCFD_GL::kNoSlip);
             s.fFg[0] = 0.01f;
             s.fViscosity = 2;
             s.fDt = 0.1f;
             s.fIterations = 10;
         },
         400,
         [&](CNS_GL& s, int) {
             // u = g / (2 nu) y (h - y), the walls on the faces of rows 1 and H - 1.
             const Field u = ReadField(s.UName());
             const float h = 10, peak = 0.01f / (2 * 2) * (h / 2) * (h / 2);
             for (uint32_t y = 1; y < 11; ++y) {
                 const float yc = float(y) - 0.5f;
                 EXPECT_NEAR(u.At(4, y)[0], 0.01f / (2 * 2) * yc * (h - yc), 0.02f * peak) << y;
                 // Floor and ceiling hold the flow alike.
                 EXPECT_NEAR(u.At(4, y)[0], u.At(4, 11 - y)[0], 1e-6) << y;
             }
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (auto& side : fSolver.fSide) side = {};
        fSolver.fFg[0] = fSolver.fFg[1] = 0;
        fSolver.fViscosity = 0;
        ASSERT_TRUE(fSolver.SetSize(c.w, c.h));
        c.setup(fSolver);
        for (int i = 0; i < c.steps; ++i) fSolver.Step();
        ASSERT_TRUE(Context()->MakeCurrent());
        c.check(fSolver, c.steps);
        EXPECT_EQ(SolverError(), uint32_t(GL_NO_ERROR));
    }
}

TEST_F(CNS_GLTest, ProjectionRemovesTheDivergenceOfAForceField) {
    // Open on the left and at the bottom (pressure held at 0 there), walls on the right and at the
    // top. A box closed all round leaves Jacobi a pressure mode it never damps (the checkerboard
    // partner of the constant), so that is no case for this check.
    Walls(CCFD_GL::kFree, CCFD_GL::kNoSlip, CCFD_GL::kFree, CCFD_GL::kNoSlip);
    fSolver.fSide[CCFD_GL::kLeft].fixPressure = fSolver.fSide[CCFD_GL::kBottom].fixPressure = true;
    ASSERT_TRUE(fSolver.SetSize(8, 8));
    // A swirling, compressing force over the calculation cells (red x, green y).
    std::vector<float> rgba;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            rgba.insert(rgba.end(), {0.5f + 0.4f * std::sin(x * 0.7f + y * 0.3f),
                                     0.5f + 0.4f * std::cos(x * 0.4f - y), 0, 1});
    TestImage force(6, 6, rgba, GL_TEXTURE_2D);
    fSolver.SetForce(force, 1);
    fSolver.fFo[0] = fSolver.fFo[1] = 0.5f;
    fSolver.fFm[0] = fSolver.fFm[1] = 2;
    fSolver.fIterations = 400;
    fSolver.Step();
    ASSERT_TRUE(Context()->MakeCurrent());
    const float before = MaxDivergence(ReadField(fSolver.PreliminaryUName()));
    const float after = MaxDivergence(ReadField(fSolver.UName()));
    EXPECT_GT(before, 0.01f);
    EXPECT_LT(after, 1e-3f * before);
    EXPECT_EQ(force.binds, 1u);
}

TEST_F(CNS_GLTest, AllWhiteObstacleStillsEveryCalculationCell) {
    for (uint32_t target : {uint32_t(GL_TEXTURE_2D), uint32_t(GL_TEXTURE_RECTANGLE)}) {
        SCOPED_TRACE(target);
        ASSERT_TRUE(fSolver.SetSize(12, 10));
        TestImage white(5, 3, std::vector<float>(5 * 3 * 4, 1.0f), target);
        fSolver.SetObstacle(white);
        fSolver.fFg[0] = 1;
        fSolver.fSide[CCFD_GL::kLeft] = {CCFD_GL::kVelocity, 1, 0, false};
        fSolver.fSide[CCFD_GL::kRight].fixPressure = true;
        fSolver.fSide[CCFD_GL::kRight].pressure = 5;
        fSolver.Step();
        ASSERT_TRUE(Context()->MakeCurrent());
        const Field u = ReadField(fSolver.UName()), rr = ReadField(fSolver.RrName());
        const Field p = ReadField(fSolver.PName()), wt = ReadField(fSolver.WtName());
        for (uint32_t y = 1; y < 9; ++y)
            for (uint32_t x = 1; x < 11; ++x) {
                EXPECT_EQ(wt.At(x, y)[0], 0);
                EXPECT_EQ(rr.At(x, y)[0], 0);
                EXPECT_EQ(rr.At(x, y)[1], 0);
                EXPECT_EQ(p.At(x, y)[0], 0);
                // The inflow face of column 1 keeps its boundary value; every other face stops.
                if (x > 1) {
                    EXPECT_EQ(u.At(x, y)[0], 0) << x << "," << y;
                }
                if (y > 1) {
                    EXPECT_EQ(u.At(x, y)[1], 0) << x << "," << y;
                }
            }
        // The ring keeps weight 1.
        EXPECT_EQ(wt.At(0, 4)[0], 1);
        EXPECT_EQ(wt.At(11, 9)[0], 1);
        // Dr.y is 0 in every calculation cell (the scratch passes only touch the ring's neighbours).
        const Field dr = ReadField(fSolver.DrName());
        for (uint32_t y = 3; y < 8; ++y)
            for (uint32_t x = 3; x < 9; ++x) EXPECT_EQ(dr.At(x, y)[1], 0);
        // An image that does not bind reads as black: every cell is fluid again.
        NoImage none;
        fSolver.SetObstacle(none);
        ASSERT_TRUE(Context()->MakeCurrent());
        const Field open = ReadField(fSolver.WtName());
        for (uint32_t y = 0; y < 10; ++y)
            for (uint32_t x = 0; x < 12; ++x) EXPECT_EQ(open.At(x, y)[0], 1) << x << "," << y;
        for (auto& side : fSolver.fSide) side = {};
        fSolver.fFg[0] = 0;
    }
}

TEST_F(CNS_GLTest, NoIterationsLeavePressureAlone) {
    ASSERT_TRUE(fSolver.SetSize(10, 10));
    TestImage red(2, 2, {0.5f, 0, 0, 1, 0.5f, 0, 0, 1, 0.5f, 0, 0, 1, 0.5f, 0, 0, 1}, GL_TEXTURE_2D);
    fSolver.Pressure(red, 4);  // adds 0.5 * 4 * 0.5
    NoImage none;
    fSolver.Pressure(none, 100);  // does nothing
    fSolver.fIterations = 0;
    fSolver.fFg[1] = -1;
    const uint32_t name = fSolver.PName();
    fSolver.Step();
    EXPECT_EQ(fSolver.PName(), name);
    ASSERT_TRUE(Context()->MakeCurrent());
    const Field p = ReadField(fSolver.PName());
    for (uint32_t y = 1; y < 9; ++y)
        for (uint32_t x = 1; x < 9; ++x) EXPECT_FLOAT_EQ(p.At(x, y)[0], 1.0f) << x << "," << y;
    // An odd iteration count alternates the pressure texture.
    fSolver.fIterations = 3;
    fSolver.Step();
    EXPECT_NE(fSolver.PName(), name);
}

TEST_F(CNS_GLTest, EverySizeStepsWithoutAGLError) {
    const uint32_t sides[] = {0, 1, 2, 3, 5, 6, 7, 13};
    for (uint32_t w : sides)
        for (uint32_t h : sides) {
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
            ASSERT_TRUE(fSolver.SetSize(w, h));
            EXPECT_EQ(fSolver.W(), w == 0 || h == 0 ? 0 : std::max(w, CCFD_GL::kMinSide));
            EXPECT_EQ(fSolver.H(), w == 0 || h == 0 ? 0 : std::max(h, CCFD_GL::kMinSide));
            for (int32_t type = CCFD_GL::kFree; type <= CCFD_GL::kVelocity + 1; ++type) {
                for (auto& side : fSolver.fSide) side = {type, 0.5f, 1, type == CCFD_GL::kFree};
                fSolver.Step();
            }
            NoImage none;
            fSolver.SetObstacle(none);
            fSolver.SetForce(none, 0);
            EXPECT_EQ(SolverError(), uint32_t(GL_NO_ERROR));
        }
}

TEST_F(CNS_GLTest, PickPixReadsOneTexel) {
    ASSERT_TRUE(fSolver.SetSize(8, 8));
    fSolver.fSide[CCFD_GL::kLeft] = {CCFD_GL::kVelocity, 2, 0, false};
    fSolver.Step();
    float texel[4] = {9, 9, 9, 9};
    fSolver.PickPix(fSolver.UName(), 1, 4, texel);
    EXPECT_FLOAT_EQ(texel[0], 2);
    fSolver.PickPix(fSolver.UName(), 8, 4, texel);  // outside: zeros
    EXPECT_EQ(texel[0], 0);
    float u[8], v[8];
    fSolver.txcu(u);
    fSolver.txcv(v);
    EXPECT_FLOAT_EQ(u[0], 1.5f / 8);
    EXPECT_FLOAT_EQ(u[7], 1 - 1.0f / 8);
    EXPECT_FLOAT_EQ(v[1], 1.5f / 8);
    EXPECT_FLOAT_EQ(v[4], 1 - 1.0f / 8);
}

}  // namespace
}  // namespace cfdtest
