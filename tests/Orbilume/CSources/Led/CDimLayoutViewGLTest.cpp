#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/Rgn/CRgn.h"
#include "Orbilume/CSources/Led/CDimLayoutView.h"
#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLSurface.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace dimtest;

namespace {

constexpr int kSize = 240;  // one view unit is 100 pixels, the centre at 120
const LRGB kHighlight(255, 128, 0);

// The preview stand-in: the whole pane in dark blue.
void DrawBlue(void* calls, COpenGLContext_Cca&) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3f(0, 0, 0.4f);
    glBegin(GL_TRIANGLE_STRIP);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(-1, 1);
    glVertex2f(1, 1);
    glEnd();
    ++*static_cast<int*>(calls);
}

struct DimLayoutViewGLTest : OpenGLTest {
    Documents docs;
    std::unique_ptr<CDimLayoutView> view;
    int drawerCalls = 0;

    void Make(const std::vector<Device>& devices) {
        ASSERT_TRUE(docs.Read(DimsXml(devices)));
        view = std::make_unique<CDimLayoutView>(nullptr, &docs.dims, &docs.defs, &docs.prefs, docs.Settings());
        view->SetBounds({0, 0, kSize, kSize});
        view->SetBackgroundDrawer(&drawerCalls, &DrawBlue);
    }

    // Renders into a framebuffer of the pane's size; pixels 0xRRGGBB, row 0 at the top.
    std::vector<uint32_t> Render() {
        COpenGLScope_Cca scope(Common());
        GLuint fbo = 0, rb = 0;
        glGenFramebuffers(1, &fbo);
        glGenRenderbuffers(1, &rb);
        glBindRenderbuffer(GL_RENDERBUFFER, rb);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kSize, kSize);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb);
        EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
        view->Render(&Common(), kHighlight);
        std::vector<uint8_t> rgba(size_t(kSize) * kSize * 4);
        glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteRenderbuffers(1, &rb);
        glDeleteFramebuffers(1, &fbo);
        std::vector<uint32_t> out(size_t(kSize) * kSize);
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                const uint8_t* p = &rgba[(size_t(kSize - 1 - y) * kSize + x) * 4];
                out[size_t(y) * kSize + x] = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
            }
        return out;
    }
};

bool Near(uint32_t a, uint32_t b) {
    for (int s = 0; s <= 16; s += 8)
        if (std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)) > 2) return false;
    return true;
}

// Whether a pixel of the colour lies in the row y between x0 and x1, or in the column x between
// y0 and y1.
bool InRow(const std::vector<uint32_t>& px, int y, int x0, int x1, uint32_t colour) {
    for (int x = x0; x <= x1; ++x)
        if (Near(px[size_t(y) * kSize + x], colour)) return true;
    return false;
}
bool InColumn(const std::vector<uint32_t>& px, int x, int y0, int y1, uint32_t colour) {
    for (int y = y0; y <= y1; ++y)
        if (Near(px[size_t(y) * kSize + x], colour)) return true;
    return false;
}

constexpr uint32_t kBlue = 0x000066, kGrey = 0x808080, kWhite = 0xFFFFFF, kOrange = 0xFF8000, kDots = 0x4D4D4D;

}  // namespace

TEST_F(DimLayoutViewGLTest, OutlinesInThePassColoursOverThePreview) {
    // Left device 0.8 wide around (-0.6, 0): edges at x 20 and 100; right one at x 140 and 220.
    Make({{.x = -0.6f, .y = 0, .w = 0.8f, .h = 0.8f}, {.x = 0.6f, .y = 0, .w = 0.8f, .h = 0.8f}});
    auto px = Render();
    EXPECT_EQ(drawerCalls, 1);
    EXPECT_TRUE(Near(px[5 * kSize + 5], kBlue));
    EXPECT_TRUE(InRow(px, 120, 18, 22, kGrey));
    EXPECT_TRUE(InRow(px, 120, 138, 142, kGrey));
    EXPECT_TRUE(InRow(px, 120, 16, 24, 0x000000));  // the black border under the outline
    // Selected: the selection colour; hovered: white.
    docs.DeviceRef(0).SetByte(nullptr, T::kDidvSelected, 1);
    view->Hover(180, 120);
    ASSERT_EQ(view->CurrentHit().kind, dimlayout::Hit::kBody);
    px = Render();
    EXPECT_TRUE(InRow(px, 120, 18, 22, kOrange));
    EXPECT_FALSE(InRow(px, 120, 18, 22, kGrey));
    EXPECT_TRUE(InRow(px, 120, 138, 142, kWhite));
    // The direction tick above the hovered device: from y 80 up 10 pixels.
    EXPECT_TRUE(InColumn(px, 180, 71, 79, kWhite) || InColumn(px, 179, 71, 79, kWhite));
    // The inside stays the preview.
    EXPECT_TRUE(Near(px[100 * kSize + 60], kBlue));
}

TEST_F(DimLayoutViewGLTest, DotGridWhenTheSettingIsOn) {
    // Quad-RGB has 2 × 2 dots: one vertical and one horizontal line through the centre.
    Make({{.def = "Quad-RGB", .x = 0, .y = 0, .w = 0.8f, .h = 0.8f}});
    auto px = Render();
    EXPECT_FALSE(InRow(px, 100, 117, 123, kDots));
    UDimPrefs::SetDotBounds(docs.Settings(), true);
    px = Render();
    EXPECT_TRUE(InRow(px, 100, 117, 123, kDots));
    EXPECT_TRUE(InColumn(px, 100, 117, 123, kDots));
    EXPECT_TRUE(Near(px[100 * kSize + 100], kBlue));
}

TEST_F(DimLayoutViewGLTest, CornerSquareUnderTheResizeHandle) {
    Make({{.x = 0, .y = 0, .w = 0.8f, .h = 0.8f}});
    // Corner 2 at pixel (160, 80): a 10-pixel square around it in white.
    view->Hover(160, 80);
    ASSERT_EQ(view->CurrentHit().kind, dimlayout::Hit::kResize);
    const auto px = Render();
    EXPECT_TRUE(Near(px[83 * kSize + 157], kWhite));
    EXPECT_TRUE(Near(px[77 * kSize + 163], kWhite));
    EXPECT_TRUE(Near(px[90 * kSize + 170], kBlue));
}

// A dense display: the window's surfaces have two pixels per point.
struct DenseHost : plat::GLWindowHost {
    plat::Ref<plat::GLSurface> CreateGLSurface(plat::GLPixelFormat* format, int32_t width,
                                               int32_t height) override {
        return plat::GLSurface::CreateOffscreen(format, width, height, 2);
    }
};

TEST_F(DimLayoutViewGLTest, OnADenseDisplayThePreviewFillsEveryPixel) {
    Make({});
    DenseHost window;
    COpenGLContext_Cca context(&window, nullptr);
    ASSERT_TRUE(context.valid());
    const CLRect place{0, 0, kSize, kSize};
    context.SetPlace(place, CRgn(place));
    COpenGLScope_Cca scope(context);
    view->Render(&context, kHighlight);
    // The far corner in pixels is the preview's, not what the clear left.
    uint8_t rgba[4] = {};
    glReadPixels(2 * kSize - 2, 2 * kSize - 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    EXPECT_TRUE(Near(uint32_t(rgba[0]) << 16 | uint32_t(rgba[1]) << 8 | rgba[2], kBlue));
}
