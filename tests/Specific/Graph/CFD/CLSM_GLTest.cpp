#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "Specific/Graph/CFD/CLSM_GL.h"
#include "Specific/Graph/CFD/CNS_GL.h"
#include "tests/Specific/Graph/CFD/CFDTestHost.h"
#include "tests/support/GLFixture.h"

namespace cfdtest {
namespace {

using cfd::CCFD_GL;
using cfd::CLSM_GL;

constexpr float kPi = 3.14159265f;

class CLSM_GLTest : public testsupport::GLTest {
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
    // A disk of phase 1 (red 1) over the calculation cells, centre in grid coordinates.
    std::unique_ptr<TestImage> Disk(float cx, float cy, float radius) {
        const uint32_t w = fSolver.W() - 2, h = fSolver.H() - 2;
        std::vector<float> rgba;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                const float inside =
                    std::hypot(float(x) + 1.5f - cx, float(y) + 1.5f - cy) < radius ? 1.0f : 0.0f;
                rgba.insert(rgba.end(), {inside, 0, 0, 1});
            }
        return std::make_unique<TestImage>(w, h, rgba, GL_TEXTURE_2D);
    }
    Field D() {
        EXPECT_TRUE(Context()->MakeCurrent());
        return ReadField(fSolver.DName());
    }
    // Zero crossings between neighbouring calculation cells: largest distance from the circle.
    static float ZeroLevelError(const Field& d, float cx, float cy, float radius) {
        float worst = 0;
        int crossings = 0;
        for (uint32_t y = 1; y + 1 < d.height; ++y)
            for (uint32_t x = 1; x + 1 < d.width; ++x)
                for (auto [dx, dy] : {std::pair{1u, 0u}, std::pair{0u, 1u}}) {
                    if (x + dx + 1 >= d.width || y + dy + 1 >= d.height) continue;
                    const float a = d.At(x, y)[0], b = d.At(x + dx, y + dy)[0];
                    if ((a > 0) == (b > 0)) continue;
                    const float t = a / (a - b);
                    const float px = float(x) + 0.5f + t * float(dx), py = float(y) + 0.5f + t * float(dy);
                    worst = std::max(worst, std::fabs(std::hypot(px - cx, py - cy) - radius));
                    ++crossings;
                }
        EXPECT_GT(crossings, 20);
        return worst;
    }
    // Cells inside the zero level, each counted by the fraction D + 0.5.
    static float Area(const Field& d) {
        float a = 0;
        for (uint32_t y = 1; y + 1 < d.height; ++y)
            for (uint32_t x = 1; x + 1 < d.width; ++x) a += std::clamp(d.At(x, y)[0] + 0.5f, 0.0f, 1.0f);
        return a;
    }
    // Phase-1 volume as the volume correction counts it.
    float Volume() {
        EXPECT_TRUE(Context()->MakeCurrent());
        const Field s = ReadField(fSolver.SrvName()), w = ReadField(fSolver.WtName());
        float v = 0;
        for (uint32_t y = 1; y + 1 < s.height; ++y)
            for (uint32_t x = 1; x + 1 < s.width; ++x) v += w.At(x, y)[0] * std::max(s.At(x, y)[0], 0.0f);
        return v;
    }
    void Channel() {
        fSolver.fSide[CCFD_GL::kLeft] = {CCFD_GL::kVelocity, 1, 0, false};
        fSolver.fSide[CCFD_GL::kRight] = {CCFD_GL::kFree, 0, 0, true};
        fSolver.fSide[CCFD_GL::kBottom].type = fSolver.fSide[CCFD_GL::kTop].type = CCFD_GL::kSlip;
    }

    std::unique_ptr<GLHost> fHost;
    CLSM_GL fSolver;
};

TEST_F(CLSM_GLTest, EqualPhasesStepLikeTheSinglePhaseSolver) {
    cfd::CNS_GL single;
    ASSERT_TRUE(single.Init(*fHost));
    single.SetCall(fHost.get());
    fSolver.SetDensity(0, 1.5f);
    fSolver.SetDensity(1, 1.5f);
    fSolver.fKv[0] = fSolver.fKv[1] = 0.3f;
    fSolver.fSurfaceTension = 0;
    ASSERT_TRUE(fSolver.SetSize(16, 12));
    ASSERT_TRUE(single.SetSize(16, 12));
    auto phase = Disk(8, 6, 3);
    fSolver.SetPhase(*phase);
    fSolver.ReInitLevelSet(4);
    // The same scene: inflow from the left, no-slip floor and ceiling, gravity.
    for (CCFD_GL* s : {static_cast<CCFD_GL*>(&fSolver), static_cast<CCFD_GL*>(&single)}) {
        s->fSide[CCFD_GL::kLeft] = {CCFD_GL::kVelocity, 0.8f, 0, false};
        s->fSide[CCFD_GL::kRight] = {CCFD_GL::kFree, 0, 0, true};
        s->fSide[CCFD_GL::kBottom].type = s->fSide[CCFD_GL::kTop].type = CCFD_GL::kNoSlip;
        s->fFg[1] = -0.5f;
        s->fDt = 0.1f;
        s->fIterations = 30;
    }
    single.fViscosity = 0.3f;
    for (int i = 0; i < 10; ++i) {
        fSolver.Step(false);
        single.Step();
    }
    ASSERT_TRUE(Context()->MakeCurrent());
    const Field a = ReadField(fSolver.UName()), b = ReadField(single.UName());
    // The single-phase pressure is p/density-free: compare velocities only.
    for (uint32_t y = 0; y < 12; ++y)
        for (uint32_t x = 0; x < 16; ++x)
            for (int c = 0; c < 2; ++c)
                EXPECT_NEAR(a.At(x, y)[c], b.At(x, y)[c], 1e-5) << x << "," << y << "," << c;
    single.Release(*fHost);
}

TEST_F(CLSM_GLTest, ReinitialisedDiskIsADistanceFunction) {
    ASSERT_TRUE(fSolver.SetSize(40, 40));
    auto disk = Disk(20, 20, 8);
    fSolver.SetPhase(*disk);
    fSolver.ReInitLevelSet(20);
    const Field d = D();
    EXPECT_GT(d.At(20, 20)[0], 4);
    EXPECT_LT(d.At(3, 3)[0], -4);
    int checked = 0;
    for (uint32_t y = 2; y < 38; ++y)
        for (uint32_t x = 2; x < 38; ++x) {
            const float v = std::fabs(d.At(x, y)[0]);
            if (v < 1 || v > 4) continue;
            const float gx = (d.At(x + 1, y)[0] - d.At(x - 1, y)[0]) / 2;
            const float gy = (d.At(x, y + 1)[0] - d.At(x, y - 1)[0]) / 2;
            EXPECT_NEAR(std::hypot(gx, gy), 1, 0.15) << x << "," << y;
            ++checked;
        }
    EXPECT_GT(checked, 100);
    EXPECT_LT(ZeroLevelError(d, 20, 20, 8), 0.5f);
}

TEST_F(CLSM_GLTest, UniformFlowCarriesTheDisk) {
    ASSERT_TRUE(fSolver.SetSize(48, 32));
    fSolver.fSurfaceTension = 0;
    fSolver.fSide[CCFD_GL::kBottom].type = fSolver.fSide[CCFD_GL::kTop].type = CCFD_GL::kSlip;
    fSolver.fDt = 0.5f;
    // Two frozen steps under a body force along the channel give u = 1 everywhere; then it coasts.
    fSolver.fFg[0] = 1;
    fSolver.Step(true);
    fSolver.Step(true);
    fSolver.fFg[0] = 0;
    auto disk = Disk(16, 16, 8);
    fSolver.SetPhase(*disk);
    fSolver.ReInitLevelSet(20);
    const float area = Area(D());
    EXPECT_NEAR(area, kPi * 64, 0.05f * kPi * 64);
    // Bilinear advection smooths D by a part of a cell each step, least when the step moves D by
    // nearly a whole cell.
    fSolver.fDt = 0.8f;
    for (int i = 0; i < 10; ++i) fSolver.Step(false);
    ASSERT_TRUE(Context()->MakeCurrent());
    const Field u = ReadField(fSolver.UName());
    EXPECT_NEAR(u.At(20, 16)[0], 1, 1e-4);
    const Field d = D();
    EXPECT_LT(ZeroLevelError(d, 24, 16, 8), 0.5f);
    EXPECT_NEAR(Area(d), area, 0.03f * area);
}

TEST_F(CLSM_GLTest, VolumeCorrectionHoldsTheRecordedVolume) {
    ASSERT_TRUE(fSolver.SetSize(48, 48));
    for (auto& side : fSolver.fSide) side.type = CCFD_GL::kNoSlip;
    // A force turning about the box's centre (red x, green y, offset 0.5).
    std::vector<float> rgba;
    for (int y = 0; y < 46; ++y)
        for (int x = 0; x < 46; ++x)
            rgba.insert(rgba.end(), {0.5f - (float(y) - 22.5f) / 46, 0.5f + (float(x) - 22.5f) / 46, 0, 1});
    TestImage swirl(46, 46, rgba, GL_TEXTURE_2D);
    fSolver.SetForce(swirl, 1);
    fSolver.fFo[0] = fSolver.fFo[1] = 0.5f;
    fSolver.fFm[0] = fSolver.fFm[1] = 0.02f;
    fSolver.fKv[0] = fSolver.fKv[1] = 0.2f;
    fSolver.fDt = 0.5f;
    fSolver.fIterations = 40;
    auto disk = Disk(16, 24, 10);
    fSolver.SetPhase(*disk);
    fSolver.ReInitLevelSet(4);
    fSolver.CorrectVolume(true);
    const float target = fSolver.TargetVolume();
    EXPECT_NEAR(Volume(), target, 1e-3f * target);
    for (int i = 0; i < 200; ++i) {
        fSolver.Step(false);
        fSolver.CorrectVolume(false);
    }
    EXPECT_NEAR(Volume(), target, 0.005f * target);
    // The disk did go round: its phase left the starting place.
    EXPECT_LT(D().At(8, 24)[0], 0);
}

TEST_F(CLSM_GLTest, CorrectionWithoutARecordedVolumeChangesNothing) {
    ASSERT_TRUE(fSolver.SetSize(24, 24));
    auto disk = Disk(12, 12, 5);
    fSolver.SetPhase(*disk);
    fSolver.ReInitLevelSet(4);
    const Field before = D();
    fSolver.CorrectVolume(false);
    EXPECT_EQ(D().data, before.data);
    // A recorded volume is forgotten by a new size.
    fSolver.CorrectVolume(true);
    ASSERT_TRUE(fSolver.SetSize(24, 24));
    fSolver.SetPhase(*disk);
    const Field again = D();
    fSolver.CorrectVolume(false);
    EXPECT_EQ(D().data, again.data);
}

TEST_F(CLSM_GLTest, ZeroDensityLeavesEveryFieldFinite) {
    ASSERT_TRUE(fSolver.SetSize(16, 16));
    fSolver.SetDensity(0, 0);
    fSolver.SetDensity(1, std::nanf(""));
    EXPECT_EQ(fSolver.Density(0), CLSM_GL::kMinDensity);
    EXPECT_EQ(fSolver.Density(1), CLSM_GL::kMinDensity);
    fSolver.SetDensity(1, 1);
    for (auto& side : fSolver.fSide) side.type = CCFD_GL::kNoSlip;
    fSolver.fFg[1] = -1;
    auto disk = Disk(8, 8, 4);
    fSolver.SetPhase(*disk);
    for (int i = 0; i < 20; ++i) fSolver.Step(false);
    ASSERT_TRUE(Context()->MakeCurrent());
    for (uint32_t name :
         {fSolver.UName(), fSolver.PName(), fSolver.DName(), fSolver.SrvName(), fSolver.RrName()}) {
        const Field f = ReadField(name);
        for (float v : f.data) ASSERT_TRUE(std::isfinite(v)) << name;
    }
    EXPECT_EQ(ErrorIn(*fHost, fSolver.GLContext()), uint32_t(GL_NO_ERROR));
}

TEST_F(CLSM_GLTest, SidePhaseForcesOnlyTheWrongSign) {
    ASSERT_TRUE(fSolver.SetSize(12, 12));
    std::vector<float> values(144);
    for (uint32_t y = 0; y < 12; ++y)
        for (uint32_t x = 0; x < 12; ++x) values[y * 12 + x] = float(x) - 5.5f;  // phase 1 on the right
    fSolver.SetLevelSet(values.data());
    fSolver.fSidePhase[CCFD_GL::kLeft] = 1;
    fSolver.fSidePhase[CCFD_GL::kRight] = 1;
    fSolver.fSidePhase[CCFD_GL::kTop] = -1;
    fSolver.ReInitLevelSet(1);
    const Field d = D();
    EXPECT_FLOAT_EQ(d.At(0, 5)[0], 0.5f);             // was -4.5: forced
    EXPECT_FLOAT_EQ(d.At(11, 5)[0], d.At(10, 5)[0]);  // right sign: copied
    EXPECT_FLOAT_EQ(d.At(8, 11)[0], -0.5f);           // top wants phase 0 over a positive cell: forced
    EXPECT_FLOAT_EQ(d.At(3, 11)[0], d.At(3, 10)[0]);  // negative already: copied
}

}  // namespace
}  // namespace cfdtest
