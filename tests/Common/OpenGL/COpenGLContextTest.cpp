#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Common/OpenGL/CObSampleDC.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/OpenGL/COpenGLTexture.h"
#include "Common/Rgn/CRgn.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLSurface.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"
#include "tests/support/HeadlessScreens.h"

namespace {

class COpenGLContextTest : public OpenGLTest {};

// Places a surface that nothing overlaps.
void Place(COpenGLContext_Cca& context, const CLRect& rect) {
    context.SetPlace(rect, CRgn(rect));
}

bool LockFreeElsewhere(COpenGLContext_Cca& context) {
    bool free = false;
    std::thread([&] {
        free = context.lock().try_lock();
        if (free) context.lock().unlock();
    }).join();
    return free;
}

TEST_F(COpenGLContextTest, ScopeLocksSwitchesAndRestores) {
    COpenGLContext_Cca a(nullptr, nullptr);
    COpenGLContext_Cca b(nullptr, nullptr);
    ASSERT_TRUE(a.valid());
    ASSERT_TRUE(b.valid());
    EXPECT_EQ(plat::GLContext::Current(), nullptr);
    {
        COpenGLScope_Cca outer(a);
        EXPECT_TRUE(outer.locked());
        EXPECT_EQ(plat::GLContext::Current(), a.glcontext());
        EXPECT_FALSE(LockFreeElsewhere(a));
        {
            COpenGLScope_Cca same(a);  // already current: no lock, no switch
            EXPECT_FALSE(same.locked());
            EXPECT_EQ(plat::GLContext::Current(), a.glcontext());
        }
        EXPECT_FALSE(LockFreeElsewhere(a)) << "leaving a lock-free scope unlocked";
        {
            COpenGLScope_Cca other(b);
            EXPECT_TRUE(other.locked());
            EXPECT_EQ(plat::GLContext::Current(), b.glcontext());
        }
        EXPECT_EQ(plat::GLContext::Current(), a.glcontext());
    }
    EXPECT_EQ(plat::GLContext::Current(), nullptr);
    EXPECT_TRUE(LockFreeElsewhere(a));
}

TEST_F(COpenGLContextTest, ContextBusyOnAnotherThreadLeavesNoneCurrent) {
    COpenGLContext_Cca busy(nullptr, nullptr);
    COpenGLContext_Cca mine(nullptr, nullptr);
    std::atomic<int> step{0};
    std::thread holder([&] {
        EXPECT_TRUE(busy.glcontext()->MakeCurrent());  // outside any scope, as a careless user would
        step = 1;
        while (step != 2) std::this_thread::yield();
        EXPECT_TRUE(plat::GLContext::ClearCurrent());
    });
    while (step != 1) std::this_thread::yield();
    EXPECT_FALSE(busy.glcontext()->MakeCurrent()) << "EGL lets a context be current on one thread only";
    {
        COpenGLScope_Cca outer(mine);
        {
            COpenGLScope_Cca inner(busy);
            EXPECT_EQ(plat::GLContext::Current(), nullptr);
        }
        EXPECT_EQ(plat::GLContext::Current(), mine.glcontext());
    }
    step = 2;
    holder.join();
}

TEST_F(COpenGLContextTest, SharedContextsShareOneLockAndTheirObjects) {
    auto* a = new COpenGLContext_Cca(nullptr, nullptr);
    COpenGLContext_Cca b(nullptr, nullptr);
    EXPECT_TRUE(a->lockBorrowed());
    EXPECT_EQ(&a->lock(), &Common().lock());
    EXPECT_EQ(&b.lock(), &a->lock());

    plat::Ref<COpenGLTexture> texture = COpenGLTexture::New(*a, GL_TEXTURE_2D, nullptr);
    ASSERT_NE(texture, nullptr);
    {
        COpenGLScope_Cca scope(*a);
        EXPECT_TRUE(glIsTexture(texture->name()));
    }
    delete a;  // a borrowed lock survives its borrower
    {
        COpenGLScope_Cca scope(b);
        EXPECT_TRUE(glIsTexture(texture->name()));
    }
    const unsigned name = texture->name();
    texture = nullptr;
    COpenGLScope_Cca scope(b);
    EXPECT_FALSE(glIsTexture(name));
}

TEST_F(COpenGLContextTest, WithoutSharedContextTheLockIsOwn) {
    COpenGLContext_Cca::SetShared(nullptr);
    COpenGLContext_Cca own(nullptr, nullptr);
    EXPECT_FALSE(own.lockBorrowed());
    EXPECT_NE(&own.lock(), &Common().lock());

    COpenGLContext_Cca wrapped(own.glcontext(), 0);
    EXPECT_TRUE(wrapped.valid());
    EXPECT_FALSE(wrapped.lockBorrowed());
    EXPECT_EQ(wrapped.glcontext(), own.glcontext());
}

// Scopes on different contexts of the share group exclude each other across threads.
TEST_F(COpenGLContextTest, ScopesOnSharedContextsAreSerialised) {
    constexpr int kThreads = 3;
    std::vector<COpenGLContext_Cca*> contexts;
    for (int i = 0; i < kThreads; ++i) contexts.push_back(new COpenGLContext_Cca(nullptr, nullptr));
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            for (int n = 0; n < 50; ++n) {
                COpenGLScope_Cca scope(*contexts[i]);
                if (inside.fetch_add(1) != 0) ++overlaps;
                glClear(GL_COLOR_BUFFER_BIT);
                inside.fetch_sub(1);
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(overlaps.load(), 0);
    for (auto* c : contexts) delete c;
}

TEST_F(COpenGLContextTest, EmptyOnlyForUnplacedWindowContexts) {
    COpenGLContext_Cca offscreen(nullptr, nullptr);
    EXPECT_FALSE(offscreen.empty());
    Place(offscreen, {0, 0, 10, 10});
    EXPECT_FALSE(offscreen.empty());

    plat::OffscreenGLWindowHost window;
    const SOpenGLOp op{24, 0, 1};
    COpenGLContext_Cca onscreen(&window, &op);
    ASSERT_TRUE(onscreen.valid());
    EXPECT_TRUE(onscreen.empty());
    EXPECT_EQ(onscreen.glcontext()->SwapInterval(), 1);
}

TEST_F(COpenGLContextTest, PlacingAWindowContextSizesItsSurfaceAndViewport) {
    plat::OffscreenGLWindowHost window;
    COpenGLContext_Cca context(&window, nullptr);
    ASSERT_TRUE(context.valid());
    Place(context, {});  // empty after empty: nothing
    EXPECT_EQ(context.glcontext()->Surface(), nullptr);

    Place(context, {10, 20, 110, 70});
    EXPECT_FALSE(context.empty());
    plat::GLSurface* surface = context.glcontext()->Surface();
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->Width(), 100);
    EXPECT_EQ(surface->Height(), 50);
    EXPECT_EQ(surface->X(), 10);
    EXPECT_EQ(surface->Y(), 20);
    {
        COpenGLScope_Cca scope(context);
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[2], 100);
        EXPECT_EQ(viewport[3], 50);
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        uint32_t pixel = 0;
        glReadPixels(99, 49, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &pixel);
        EXPECT_EQ(pixel, 0xFF0000FFu);
        context.Swap();
    }
    Place(context, {0, 0, 40, 30});
    EXPECT_EQ(context.glcontext()->Surface()->Width(), 40);
    Place(context, {5, 5, 5, 30});
    EXPECT_TRUE(context.empty());
    EXPECT_EQ(context.glcontext()->Surface()->Width(), 40);  // kept while hidden
}

// A dense display: the window's surfaces have two pixels per point.
struct DenseHost : plat::GLWindowHost {
    plat::Ref<plat::GLSurface> CreateGLSurface(plat::GLPixelFormat* format, int32_t width,
                                               int32_t height) override {
        return plat::GLSurface::CreateOffscreen(format, width, height, 2);
    }
};

TEST_F(COpenGLContextTest, OnADenseDisplayTheViewportCoversTheSurfacesPixels) {
    DenseHost window;
    COpenGLContext_Cca context(&window, nullptr);
    ASSERT_TRUE(context.valid());
    for (const CLRect& place : {CLRect{10, 20, 110, 70}, CLRect{0, 0, 30, 40}}) {
        Place(context, place);
        plat::GLSurface* surface = context.glcontext()->Surface();
        ASSERT_NE(surface, nullptr);
        EXPECT_EQ(surface->Width(), place.Width());  // the pane's size in points
        EXPECT_EQ(surface->PixelWidth(), 2 * place.Width());
        COpenGLScope_Cca scope(context);
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[2], 2 * place.Width());
        EXPECT_EQ(viewport[3], 2 * place.Height());
        // The last pixel exists: the surface has them all.
        glClearColor(0, 1, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        uint32_t pixel = 0;
        glReadPixels(2 * place.Width() - 1, 2 * place.Height() - 1, 1, 1, GL_BGRA,
                     GL_UNSIGNED_INT_8_8_8_8_REV, &pixel);
        EXPECT_EQ(pixel, 0xFF00FF00u);
    }
}

// A window host that records what the context asks of the window.
struct RecordingHost : plat::GLWindowHost {
    plat::Ref<plat::GLSurface> CreateGLSurface(plat::GLPixelFormat* format, int32_t width,
                                               int32_t height) override {
        return plat::GLSurface::CreateOffscreen(format, width, height);
    }
    void SetGLWindowOpaque(bool value) override { opaque = value; }
    void GLSurfaceNeedsDisplay(plat::GLSurface*) override { ++redraws; }
    bool opaque = true;
    int redraws = 0;
};

TEST_F(COpenGLContextTest, OverlappedSurfaceGoesBelowTheWindowWithHoles) {
    RecordingHost window;
    COpenGLContext_Cca context(&window, nullptr);
    ASSERT_TRUE(context.valid());
    const CLRect pane{100, 50, 300, 150};
    Place(context, pane);
    plat::GLSurface* surface = context.glcontext()->Surface();
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->Order(), plat::GLSurfaceOrder::kAboveWindow);
    EXPECT_FALSE(context.clipped());
    EXPECT_EQ(window.redraws, 0);

    // Another pane covers the right half of the top rows: the rest shows through two holes.
    CRgn visible(CLRect{0, 0, 400, 300});
    visible -= CRgn(CLRect{200, 0, 400, 100});
    context.SetPlace(pane, visible);
    EXPECT_TRUE(context.clipped());
    EXPECT_EQ(surface->Order(), plat::GLSurfaceOrder::kBelowWindow);
    EXPECT_FALSE(window.opaque);
    const std::vector<plat::GLSurfaceRect> holes = {{0, 0, 100, 50}, {0, 50, 200, 50}};
    EXPECT_EQ(surface->Clips(), holes);
    EXPECT_EQ(window.redraws, 1);

    context.SetPlace(pane, visible);  // same holes: no redraw
    EXPECT_EQ(window.redraws, 1);

    visible |= CRgn(CLRect{200, 50, 300, 75});
    context.SetPlace(pane, visible);
    EXPECT_NE(surface->Clips(), holes);
    EXPECT_EQ(window.redraws, 2);

    Place(context, pane);  // the overlap goes away
    EXPECT_FALSE(context.clipped());
    EXPECT_EQ(surface->Order(), plat::GLSurfaceOrder::kAboveWindow);
    EXPECT_TRUE(surface->Clips().empty());
    EXPECT_EQ(context.glcontext()->Surface(), surface);
}

}  // namespace

namespace {

struct Holder : LHandler {
    CObSampleDC* held = nullptr;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(CObSampleDC_Destruct) && msg.sender == held) {
            held = nullptr;
            return LMessage();
        }
        return LHandler::Handle(msg);
    }
};

TEST_F(COpenGLContextTest, SampleContextTellsItsHolderWhenItGoes) {
    Holder holder;
    plat::OffscreenGLWindowHost window;
    holder.held = new CObSampleDC(&holder, &window);
    EXPECT_TRUE(holder.held->context().valid());
    EXPECT_TRUE(holder.held->context().empty());  // a window context, not placed yet
    Place(holder.held->context(), {0, 0, 16, 16});
    EXPECT_FALSE(holder.held->context().empty());
    delete holder.held;
    EXPECT_EQ(holder.held, nullptr);
}

TEST_F(COpenGLContextTest, AWindowHostsTheSurfaceOfItsSampleContext) {
    testsupport::HeadlessScreens screens;
    plat::Ref<plat::Window> window = plat::Window::Create({100, 100, 400, 300}, plat::kTitledWindowMask);
    plat::Ref<plat::View> content = plat::View::Create({0, 0, 400, 300});
    window->SetContentView(content.get());
    Holder holder;
    holder.held = new CObSampleDC(&holder, window.get());
    COpenGLContext_Cca& context = holder.held->context();
    ASSERT_TRUE(context.valid());
    Place(context, {0, 0, 400, 300});
    ASSERT_NE(context.glcontext()->Surface(), nullptr);
    EXPECT_EQ(context.glcontext()->Surface()->Width(), 400);
    EXPECT_TRUE(window->IsOpaque());

    window->Display();
    EXPECT_FALSE(content->NeedsDisplay());
    CRgn visible(CLRect{0, 0, 400, 300});
    visible -= CRgn(CLRect{0, 0, 100, 100});
    context.SetPlace({0, 0, 400, 300}, visible);
    EXPECT_FALSE(window->IsOpaque());  // drawn under the window, which clears the holes
    EXPECT_TRUE(content->NeedsDisplay());
    delete holder.held;
    window->Close();
    window = nullptr;
}

}  // namespace
