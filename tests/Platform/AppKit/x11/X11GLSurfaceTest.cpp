#include <gtest/gtest.h>

// After gtest: Xlib defines None and Bool as macros.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <epoxy/gl.h>

#include <memory>
#include <string>
#include <utility>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/Rgn/CRgn.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/AppKit/x11/X11GLSurface.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLDisplay.h"
#include "Platform/GL/GLPixelFormat.h"
#include "Platform/GL/GLSurface.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/support/WindowShot.h"
#include "tests/support/XvfbServer.h"

namespace {

using testsupport::ScreenPixel;

using plat::Application;
using plat::Window;
using plat::x11::X11Backend;

struct Fill : plat::View {
    Fill(const plat::Rect& r, plat::GfxColor c) : plat::View(r), colour(c) {}
    void DrawRect(const plat::Rect&) override {
        plat::DrawContext* ctx = plat::CurrentDrawContext();
        ctx->SetFillColor(colour);
        ctx->FillRect(Bounds());
    }
    plat::GfxColor colour;
};

// One server for the process: the EGL display installed on it stays for the process.
testsupport::XvfbServer& Server() {
    static testsupport::XvfbServer server{"800x600x24"};
    return server;
}

// A backend with GL windows on the process's server, started; skips where EGL has no window surfaces.
class X11GLSurface : public ::testing::Test {
protected:
    // Scale 0: the desktop's.
    void Start(int32_t scale = 0) {
        ASSERT_TRUE(Server().Ok()) << "Xvfb did not start";
        X11Backend::Options options;
        options.glWindows = true;
        options.scale = scale;
        backend = X11Backend::Open(Server().Display().c_str(), options);
        ASSERT_NE(backend, nullptr);
        if (!plat::GLDisplay::WindowSurfaces()) GTEST_SKIP() << "no EGL window surfaces on this server";
        plat::SetBackend(backend.get());
        ASSERT_TRUE(backend->Start());
    }
    void TearDown() override {
        if (plat::CurrentBackend() == backend.get()) plat::SetBackend(nullptr);
        backend.reset();
    }
    std::unique_ptr<X11Backend> backend;
};

TEST_F(X11GLSurface, AWindowSurfaceShowsItsColourThroughItsHolesAndFollowsItsPlace) {
    Start();
    if (IsSkipped() || HasFatalFailure()) return;
    ::Display* d = backend->XDisplay();
    {
        plat::Ref<Window> w = Window::Create({100, 100, 300, 200}, plat::kTitledWindowMask);
        auto* content = new Fill({0, 0, 1, 1}, {0.5, 0.5, 0.5, 1});
        auto* corner = new Fill({50, 40, 60, 40}, {1, 0, 0, 1});  // a sibling pane over the GL pane's corner
        w->SetContentView(content);
        content->AddSubview(corner);
        content->SetNeedsDisplay(true);
        corner->SetNeedsDisplay(true);
        w->MakeKeyAndOrderFront();

        plat::Ref<plat::GLPixelFormat> format = plat::GLPixelFormat::Create({});
        ASSERT_TRUE(format);
        plat::Ref<plat::GLSurface> surface = w->CreateGLSurface(format.get(), 200, 120);
        ASSERT_TRUE(surface);
        ASSERT_NE(surface->NativeSurface(), nullptr);
        surface->SetOrigin(50, 40);
        surface->SetOrder(plat::GLSurfaceOrder::kBelowWindow);
        // The window leaves the surface's area open except under the sibling pane.
        surface->SetClips({{60, 0, 140, 120}, {0, 40, 60, 80}});
        plat::Ref<plat::GLContext> context = plat::GLContext::Create(format.get(), nullptr);
        ASSERT_TRUE(context);
        ASSERT_TRUE(context->SetSurface(surface.get()));
        ASSERT_TRUE(context->MakeCurrent());
        auto render = [&] {
            glViewport(0, 0, 200, 120);
            glClearColor(51 / 255.0f, 153 / 255.0f, 230 / 255.0f, 1);
            glClear(GL_COLOR_BUFFER_BIT);
            ASSERT_TRUE(context->Swap());
            glFinish();
        };
        render();
        auto settle = [&](auto done) {
            const double until = plat::ClockNow() + 3;
            while (!done() && plat::ClockNow() < until)
                Application::Shared()->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.02,
                                                 plat::kRunLoopDefaultMode, true, nullptr);
            return done();
        };
        // Surface centre (150, 100) of the content, at 100 + 150, 100 + 100 on the screen.
        EXPECT_TRUE(settle([&] { return ScreenPixel(d, 250, 200) == 0x3399E6; }))
            << std::hex << ScreenPixel(d, 250, 200);
        EXPECT_TRUE(settle([&] { return ScreenPixel(d, 160, 145) == 0xFF0000; }))
            << std::hex << ScreenPixel(d, 160, 145);
        EXPECT_EQ(ScreenPixel(d, 120, 120), 0x808080u);  // the window's own drawing beside the pane

        // The pane moves: the surface follows.
        surface->SetOrigin(90, 70);
        surface->SetClips({{0, 0, 200, 120}});
        w->GLSurfaceNeedsDisplay(surface.get());
        settle([] { return false; });
        render();
        EXPECT_TRUE(settle([&] { return ScreenPixel(d, 100 + 90 + 190, 100 + 70 + 110) == 0x3399E6; }))
            << std::hex << ScreenPixel(d, 380, 280);
        EXPECT_TRUE(settle([&] { return ScreenPixel(d, 150, 145) == 0xFF0000; }));
        (void)plat::GLContext::ClearCurrent();
        context = nullptr;
        surface = nullptr;
        w->Close();
        content->Release();
        corner->Release();
    }
}

TEST_F(X11GLSurface, AtScaleTwoTheSurfaceHasTwoPixelsPerPointInSizePlaceAndHoles) {
    Start(2);
    if (IsSkipped() || HasFatalFailure()) return;
    ::Display* d = backend->XDisplay();
    {
        // The window's content at (40, 40) pixels; the pane at (25, 20) points in it, 100 × 60 points.
        plat::Ref<Window> w = Window::Create({20, 20, 150, 100}, plat::kBorderlessWindowMask);
        auto* content = new Fill({0, 0, 1, 1}, {0.5, 0.5, 0.5, 1});
        w->SetContentView(content);
        content->SetNeedsDisplay(true);
        w->MakeKeyAndOrderFront();
        plat::Ref<plat::GLPixelFormat> format = plat::GLPixelFormat::Create({});
        ASSERT_TRUE(format);
        plat::Ref<plat::GLSurface> surface = w->CreateGLSurface(format.get(), 100, 60);
        ASSERT_TRUE(surface);
        EXPECT_EQ(surface->Width(), 100);
        EXPECT_EQ(surface->Scale(), 2);
        surface->SetOrigin(25, 20);
        plat::Ref<plat::GLContext> context = plat::GLContext::Create(format.get(), nullptr);
        ASSERT_TRUE(context);
        ASSERT_TRUE(context->SetSurface(surface.get()));
        ASSERT_TRUE(context->MakeCurrent());
        // Blue over the whole viewport in pixels, a green quarter at its top-left.
        auto render = [&] {
            const int pw = surface->PixelWidth(), ph = surface->PixelHeight();
            glViewport(0, 0, pw, ph);
            glDisable(GL_SCISSOR_TEST);
            glClearColor(51 / 255.0f, 153 / 255.0f, 230 / 255.0f, 1);
            glClear(GL_COLOR_BUFFER_BIT);
            glEnable(GL_SCISSOR_TEST);
            glScissor(0, ph / 2, pw / 2, ph / 2);
            glClearColor(0, 1, 0, 1);
            glClear(GL_COLOR_BUFFER_BIT);
            glDisable(GL_SCISSOR_TEST);
            ASSERT_TRUE(context->Swap());
            glFinish();
        };
        render();
        auto settle = [&](auto done) {
            const double until = plat::ClockNow() + 3;
            while (!done() && plat::ClockNow() < until)
                Application::Shared()->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.02,
                                                 plat::kRunLoopDefaultMode, true, nullptr);
            return done();
        };
        auto childGeometry = [&] {
            XSync(d, False);
            XWindowAttributes a = {};
            XGetWindowAttributes(d, static_cast<plat::x11::X11GLSurface*>(surface.get())->XWindow(), &a);
            return std::to_string(a.x) + "," + std::to_string(a.y) + " " + std::to_string(a.width) + "x" +
                   std::to_string(a.height);
        };
        // The pane covers pixels (90, 80) to (289, 199) of the screen.
        const int left = 40 + 50, top = 40 + 40;
        struct Probe {
            int x, y;
            uint32_t colour;
        } probes[] = {
            {left, top, 0x00FF00},            // top-left corner: the green quarter
            {left + 99, top + 59, 0x00FF00},  // its last pixel
            {left + 100, top + 60, 0x3399E6},
            {left + 199, top + 119, 0x3399E6},  // the pane's last pixel
            {left + 200, top + 60, 0x808080},   // beside it: the window's own drawing
            {left + 100, top + 120, 0x808080},  // below it
        };
        for (const Probe& p : probes) {
            SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
            EXPECT_TRUE(settle([&] { return ScreenPixel(d, p.x, p.y) == p.colour; }))
                << std::hex << ScreenPixel(d, p.x, p.y);
        }

        EXPECT_EQ(childGeometry(), "50,40 200x120");

        // Below the window with a hole over its top half (in points): the bottom half is the window's.
        surface->SetOrder(plat::GLSurfaceOrder::kBelowWindow);
        surface->SetClips({{0, 0, 100, 30}});
        w->GLSurfaceNeedsDisplay(surface.get());
        render();
        EXPECT_TRUE(settle([&] { return ScreenPixel(d, left + 150, top + 59) == 0x3399E6; }))
            << std::hex << ScreenPixel(d, left + 150, top + 59);
        EXPECT_TRUE(settle([&] { return ScreenPixel(d, left + 150, top + 60) == 0x808080; }))
            << std::hex << ScreenPixel(d, left + 150, top + 60);

        // A resize in points gives the X window twice as many pixels.
        ASSERT_TRUE(surface->Resize(50, 40));
        EXPECT_EQ(surface->PixelWidth(), 100);
        EXPECT_EQ(childGeometry(), "50,40 100x80");
        (void)plat::GLContext::ClearCurrent();
        context = nullptr;
        surface = nullptr;
        w->Close();
        content->Release();
    }
}

// The framework's GL context on a window of a dense display: the pane it is placed at (in points)
// is rendered over all of its pixels.
TEST_F(X11GLSurface, AFrameworkContextOnADenseDisplayRendersItsWholePane) {
    Start(2);
    if (IsSkipped() || HasFatalFailure()) return;
    ::Display* d = backend->XDisplay();
    {
        plat::Ref<Window> w = Window::Create({20, 20, 150, 100}, plat::kBorderlessWindowMask);
        auto* content = new Fill({0, 0, 1, 1}, {0.5, 0.5, 0.5, 1});
        w->SetContentView(content);
        content->SetNeedsDisplay(true);
        w->MakeKeyAndOrderFront();
        {
            COpenGLContext_Cca context(w.get(), nullptr);
            ASSERT_TRUE(context.valid());
            const CLRect pane{25, 20, 125, 80};
            context.SetPlace(pane, CRgn(pane));
            {
                // A quad over the whole viewport, on black.
                COpenGLScope_Cca scope(context);
                glClearColor(0, 0, 0, 1);
                glClear(GL_COLOR_BUFFER_BIT);
                glMatrixMode(GL_PROJECTION);
                glLoadIdentity();
                glMatrixMode(GL_MODELVIEW);
                glLoadIdentity();
                glColor3ub(51, 153, 230);
                glBegin(GL_QUADS);
                glVertex2f(-1, -1);
                glVertex2f(1, -1);
                glVertex2f(1, 1);
                glVertex2f(-1, 1);
                glEnd();
                context.Swap();
                glFinish();
            }
            auto settle = [&](auto done) {
                const double until = plat::ClockNow() + 3;
                while (!done() && plat::ClockNow() < until)
                    Application::Shared()->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.02,
                                                     plat::kRunLoopDefaultMode, true, nullptr);
                return done();
            };
            // The pane covers screen pixels (90, 80) to (289, 199): each corner is the quad's.
            for (const auto& [x, y] :
                 {std::pair{90, 80}, std::pair{289, 80}, std::pair{90, 199}, std::pair{289, 199}}) {
                SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
                EXPECT_TRUE(settle([&] { return ScreenPixel(d, x, y) == 0x3399E6; }))
                    << std::hex << ScreenPixel(d, x, y);
            }
            EXPECT_EQ(ScreenPixel(d, 290, 199), 0x808080u);  // the window's own drawing past it
        }
        w->Close();
        content->Release();
    }
}

}  // namespace
