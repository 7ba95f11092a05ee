#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Orbilume/CSources/DmxIn/CUvAdTable.h"
#include "Orbilume/CSources/Led/CDimOutput.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using namespace dimtest;

uint32_t gClock = 0;
uint32_t Clock() {
    return gClock;
}

// Paints the canvas in four colours: red bottom left, green bottom right, blue top left, white top
// right.
void DrawQuadrants(void* self, COpenGLContext_Cca&, bool) {
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    const int w = vp[2] / 2, h = vp[3] / 2;
    const float colours[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
    glEnable(GL_SCISSOR_TEST);
    for (int i = 0; i < 4; ++i) {
        glScissor((i % 2) * w, (i / 2) * h, w, h);
        glClearColor(colours[i][0], colours[i][1], colours[i][2], 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
    ++*static_cast<int*>(self);
}

struct DimOutputGLTest : OpenGLTest {
    nettest::MainLoop main;
    Documents docs;
    std::unique_ptr<CDimOutput> output;
    FakeUdp* udp = nullptr;
    int draws = 0;

    void SetUp() override {
        OpenGLTest::SetUp();
        // One pixel device in each quadrant, slots 1, 4, 7, 10.
        ASSERT_TRUE(docs.Read(DimsXml({{.x = -0.5f, .y = -0.25f, .dxch = 1},
                                       {.x = 0.5f, .y = -0.25f, .dxch = 4},
                                       {.x = -0.5f, .y = 0.25f, .dxch = 7},
                                       {.x = 0.5f, .y = 0.25f, .dxch = 10}})));
        UDimPrefs::SetUse(docs.Settings(), true);
        output = std::make_unique<CDimOutput>(main.Loop(), nullptr, &docs.prefs, &docs.dims, &docs.defs);
        auto port = std::make_unique<FakeUdp>(output.get(), main.Loop());
        udp = port.get();
        output->SetUdpPort(std::move(port));
        (void)output->Table()->RebuildFromRecord();
        gClock = 5000;
        output->SetClock(&Clock);
        output->Resize(16, 16);
    }
    void TearDown() override {
        output.reset();
        OpenGLTest::TearDown();
    }
    // A capture 25 ms on, then its sampling pass; the datagrams sent by it.
    size_t Frame() {
        gClock += 25;
        const size_t before = udp->sent.size();
        EXPECT_TRUE(output->Capture(&draws, &DrawQuadrants));
        EXPECT_TRUE(main.RunUntil([&] { return !output->IsBusy(); }));
        return udp->sent.size() - before;
    }
    std::vector<uint8_t> Slots() const {
        const auto& b = udp->sent.back().bytes;
        return std::vector<uint8_t>(b.begin() + 18, b.begin() + 30);
    }
};

const std::vector<uint8_t> kQuadrants = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};

TEST_F(DimOutputGLTest, FirstPassSendsNothingThenTheColours) {
    EXPECT_EQ(Frame(), 0u);  // only starts the read: the unread buffer is never sent
    EXPECT_EQ(Frame(), 1u);
    EXPECT_EQ(Slots(), kQuadrants);
    EXPECT_EQ(draws, 2);
}

TEST_F(DimOutputGLTest, CapturesAtMostEvery25MsAndNotWhileUnread) {
    gClock += 25;
    EXPECT_TRUE(output->Capture(&draws, &DrawQuadrants));
    gClock += 100;
    EXPECT_FALSE(output->Capture(&draws, &DrawQuadrants));  // the frame is not read yet
    ASSERT_TRUE(main.RunUntil([&] { return !output->IsBusy(); }));
    const uint32_t last = gClock;
    gClock = last;  // the refused capture did not move the gate
    gClock += 0;
    EXPECT_TRUE(output->Capture(&draws, &DrawQuadrants));
    ASSERT_TRUE(main.RunUntil([&] { return !output->IsBusy(); }));
    gClock += 24;
    EXPECT_FALSE(output->Capture(&draws, &DrawQuadrants));
    gClock += 1;
    EXPECT_TRUE(output->Capture(&draws, &DrawQuadrants));
    ASSERT_TRUE(main.RunUntil([&] { return !output->IsBusy(); }));
    // The clock wrapping past 2^32 is a difference like any other.
    gClock = 0xFFFFFFF0u;
    output->SetClock(&Clock);
    gClock += 25;
    EXPECT_TRUE(output->Capture(&draws, &DrawQuadrants));
    ASSERT_TRUE(main.RunUntil([&] { return !output->IsBusy(); }));
    EXPECT_EQ(draws, 4);
}

TEST_F(DimOutputGLTest, AfterResizeNothingStaleIsSent) {
    EXPECT_EQ(Frame(), 0u);
    EXPECT_EQ(Frame(), 1u);
    // A wide canvas: the first pass after the resize sends nothing, the next the same colours
    // at the devices' new places.
    output->Resize(32, 16);
    EXPECT_EQ(Frame(), 0u);
    EXPECT_EQ(Frame(), 1u);
    EXPECT_EQ(Slots(), kQuadrants);
    // Sides of 0 are taken as 1.
    output->Resize(0, 0);
    EXPECT_EQ(output->CanvasWidth(), 1u);
    EXPECT_EQ(Frame(), 0u);
}

TEST_F(DimOutputGLTest, PreviewKeepsTheCanvasAspect) {
    output->Resize(32, 16);
    EXPECT_EQ(Frame(), 0u);
    COpenGLContext_Cca view(nullptr, nullptr);
    ASSERT_TRUE(view.valid());
    COpenGLScope_Cca scope(view);
    uint32_t texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 32, 32, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    uint32_t fbo = 0;
    glGenFramebuffersEXT(1, &fbo);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, texture, 0);
    glViewport(0, 0, 32, 32);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    output->DrawPreview();
    glFinish();
    auto pixel = [](int x, int y) {
        uint32_t p = 0;
        glReadPixels(x, y, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &p);
        return p & 0xFFFFFF;
    };
    EXPECT_EQ(pixel(16, 2), 0u);   // below the canvas: untouched
    EXPECT_EQ(pixel(16, 29), 0u);  // above it
    EXPECT_EQ(pixel(4, 10), 0xFF0000u);
    EXPECT_EQ(pixel(28, 10), 0x00FF00u);
    EXPECT_EQ(pixel(4, 22), 0x0000FFu);
    EXPECT_EQ(pixel(28, 22), 0xFFFFFFu);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &fbo);
    glDeleteTextures(1, &texture);
}

std::atomic<uint32_t> gTicking{0};
uint32_t Ticking() {
    return gTicking.fetch_add(25);
}

// A render thread capturing as fast as it may while the main thread resizes and samples: run once
// under ThreadSanitizer (the tsan preset).
TEST_F(DimOutputGLTest, CaptureAndResizeStress) {
    output->SetClock(&Ticking);
    std::atomic<bool> stop{false};
    std::atomic<int> taken{0};
    std::thread render([&] {
        int count = 0;
        while (!stop.load()) {
            if (output->Capture(&count, &DrawQuadrants)) ++taken;
            std::this_thread::yield();
        }
    });
    for (uint32_t i = 0; i < 60; ++i) {
        output->Resize(8 + (i % 5) * 8, 8 + (i % 3) * 8);
        main.Spin(0.005);
    }
    stop = true;
    render.join();
    EXPECT_GT(taken.load(), 0);
    EXPECT_TRUE(main.RunUntil([&] { return !output->IsBusy(); }));
}

}  // namespace
