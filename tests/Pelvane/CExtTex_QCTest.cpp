#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "Pelvane/CExtTex_QC.h"
#include "Pelvane/CQcTexAcs.h"
#include "Platform/GL/GLContext.h"
#include "tests/Specific/Graph/CFD/CFDTestHost.h"
#include "tests/support/GLFixture.h"

namespace {

using cfdtest::GLHost;

// An image source as the runtime gives one: a texture of a size, bound with an identity matrix
// pushed on the unit; it notes which context was current when it was locked.
class FakeSource final : public plat::PlugInImageSource {
public:
    FakeSource(const GLHost& host, uint32_t w, uint32_t h) : fHost(host), fWidth(w), fHeight(h) {}
    plat::PlugInRect Bounds() const override { return {0, 0, double(fWidth), double(fHeight)}; }
    bool LockTexture(plat::PlugInTextureInfo& out) override {
        lockedIn = fHost.CurrentContext();
        ++locks;
        out = {77, GL_TEXTURE_2D, fWidth, fHeight, false};
        return true;
    }
    void UnlockTexture() override { ++unlocks; }
    bool BindTexture(plat::PlugInGLContext*, uint32_t unit, bool normalized) override {
        EXPECT_EQ(unit, 0u);
        EXPECT_TRUE(normalized);
        glActiveTexture(GL_TEXTURE0);
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        return true;
    }
    void UnbindTexture(plat::PlugInGLContext*, uint32_t) override {
        glActiveTexture(GL_TEXTURE0);
        glMatrixMode(GL_TEXTURE);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
    }
    bool LockBuffer(plat::PlugInBufferInfo&) override { return false; }
    void UnlockBuffer() override {}

    plat::PlugInGLContext* lockedIn = nullptr;
    int locks = 0, unlocks = 0;

private:
    const GLHost& fHost;
    uint32_t fWidth, fHeight;
};

// Where texture matrix 0 takes a grid coordinate.
void Map(float x, float y, float out[2]) {
    float m[16];
    glGetFloatv(GL_TEXTURE_MATRIX, m);
    out[0] = m[0] * x + m[4] * y + m[12];
    out[1] = m[1] * x + m[5] * y + m[13];
}

class CExtTex_QCTest : public testsupport::GLTest {};

TEST_F(CExtTex_QCTest, FitsTheImageCentredKeepingItsProportions) {
    GLHost host(Context());
    plat::Ref<plat::GLContext> solver = plat::GLContext::Create(Context()->PixelFormat(), Context());
    ASSERT_TRUE(solver && solver->MakeCurrent());
    struct Case {
        uint32_t w, h;
        float aspect;
        float gridLow[2], gridHigh[2];  // grid points that land on the image's corners (0,0) and (1,1)
    };
    const Case cases[] = {
        {64, 32, 1, {0, 0.25f}, {1, 0.75f}},  // wide image in a square grid: bands above and below
        {32, 64, 1, {0.25f, 0}, {0.75f, 1}},  // tall image: bands left and right
        {64, 32, 2, {0, 0}, {1, 1}},          // same proportions: the whole grid
        {60, 10, 3, {0, 0.25f}, {1, 0.75f}},  // 6:1 into 3:1
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        FakeSource source(host, c.w, c.h);
        CExtTex_QC image(host, &source, c.aspect);
        ASSERT_TRUE(image.Bind(GLHost::Handle(solver.get())));
        EXPECT_TRUE(image.valid());
        EXPECT_EQ(image.target(), uint32_t(GL_TEXTURE_2D));
        // Locked with the host's own context current, and the solver's put back afterwards.
        EXPECT_EQ(source.lockedIn, host.GLContext());
        EXPECT_TRUE(solver->IsCurrent());
        float p[2];
        Map(c.gridLow[0], c.gridLow[1], p);
        EXPECT_NEAR(p[0], 0, 1e-6);
        EXPECT_NEAR(p[1], 0, 1e-6);
        Map(c.gridHigh[0], c.gridHigh[1], p);
        EXPECT_NEAR(p[0], 1, 1e-6);
        EXPECT_NEAR(p[1], 1, 1e-6);
        image.Unbind(GLHost::Handle(solver.get()));
        EXPECT_FALSE(image.valid());
        EXPECT_EQ(source.unlocks, 1);
        Map(1, 1, p);  // the source's pop took the fit with it
        EXPECT_NEAR(p[0], 1, 1e-6);
        EXPECT_NEAR(p[1], 1, 1e-6);
    }
    CExtTex_QC none(host, nullptr, 1);
    EXPECT_FALSE(none.Bind(GLHost::Handle(solver.get())));
    EXPECT_FALSE(none.valid());
    ASSERT_TRUE(Context()->MakeCurrent());
}

TEST_F(CExtTex_QCTest, ScopedAccessorBindsAndReleases) {
    GLHost host(Context());
    FakeSource source(host, 8, 4);
    {
        CQcTexAcs access(host.GLContext(), &source);
        EXPECT_EQ(access.Name(), 77u);
        EXPECT_EQ(access.Target(), uint32_t(GL_TEXTURE_2D));
        EXPECT_FALSE(access.Flipped());
        EXPECT_EQ(source.unlocks, 0);
    }
    EXPECT_EQ(source.locks, 1);
    EXPECT_EQ(source.unlocks, 1);
    CQcTexAcs nothing(host.GLContext(), nullptr);
    EXPECT_EQ(nothing.Name(), 0u);
}

}  // namespace
