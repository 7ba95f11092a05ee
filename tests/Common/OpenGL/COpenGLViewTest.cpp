#include <gtest/gtest.h>

#include <vector>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLView.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LFrameSpec.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Window.h"
#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLSurface.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"
#include "tests/support/HeadlessScreens.h"

namespace {

// A surface that records what it is told.
struct RecordingSurface : COpenGLSurface {
    struct Geometry {
        CLRect rect;
        CRgn region;
    };
    std::vector<Geometry> calls;
    void SetGeometry(const CLRect& rect, const CRgn& region) override { calls.push_back({rect, region}); }
};

// The owner: counts the update requests of its views.
struct Owner : LHandler {
    int updates = 0;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(COpenGLView_Update)) {
            ++updates;
            return LMessage();
        }
        for (const char* id : {"LPane_Defer", "LPane_ReqFocus", "LFrame_Place", "LFrame_Activate",
                               "LFrame_Deactivate", "LPane_ReqCapture"})
            if (msg.Is(id)) return LMessage();
        return LHandler::Handle(msg);
    }
};

class COpenGLViewTest : public OpenGLTest {
protected:
    void SetUp() override {
        OpenGLTest::SetUp();
        window = new LFrame(&owner, nullptr, LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6)), nullptr));
        window->SetWindowFrame({100, 100, 500, 400});
        window->ShowWindow();
        LHandler::Dispatch(LMessage(LWindow_Place, window->Window(), window));
        window->SetBounds({0, 0, 400, 300});
        // A windowless frame inside, whose bounds clip its panes.
        clip = new LFrame(&owner, window);
        clip->SetBounds({50, 40, 250, 240});
    }
    void TearDown() override {
        delete window;
        OpenGLTest::TearDown();
    }

    testsupport::HeadlessScreens screens;
    CMacWindowMgr mgr;
    Owner owner;
    LFrame* window = nullptr;
    LFrame* clip = nullptr;
};

TEST_F(COpenGLViewTest, HiddenMovedAndRepeated) {
    RecordingSurface surface;
    auto* view = new COpenGLView(clip, static_cast<COpenGLSurface*>(nullptr));
    view->SetUpper(&owner);
    view->SetBounds({10, 20, 110, 80});
    EXPECT_EQ(view->State() & 0x1010u, 0x1010u);
    EXPECT_EQ(owner.updates, 0);

    // Set: reset to empty, then placed in window coordinates and one update.
    view->SetSurface(&surface);
    ASSERT_GE(surface.calls.size(), 2u);
    EXPECT_TRUE(surface.calls[0].rect.IsEmpty());
    EXPECT_TRUE(surface.calls[0].region.IsEmpty());
    const CLRect placed{60, 60, 160, 120};
    EXPECT_EQ(surface.calls.back().rect, placed);
    EXPECT_EQ(surface.calls.back().region, CRgn(placed));
    EXPECT_EQ(owner.updates, 1);

    // A repeat without change: the surface hears it, the owner does not.
    const size_t before = surface.calls.size();
    view->UpdateGeometry();
    EXPECT_EQ(surface.calls.size(), before + 1);
    EXPECT_EQ(owner.updates, 1);

    // A move: exactly one update.
    owner.updates = 0;
    view->SetBounds({20, 20, 120, 80});
    EXPECT_EQ(owner.updates, 1);
    EXPECT_EQ(surface.calls.back().rect, (CLRect{70, 60, 170, 120}));

    // Hidden: empty rectangle and region, no update.
    owner.updates = 0;
    view->ChangeState(LPane::kHide);
    EXPECT_TRUE(surface.calls.back().rect.IsEmpty());
    EXPECT_TRUE(surface.calls.back().region.IsEmpty());
    EXPECT_EQ(owner.updates, 0);
    view->SetBounds({30, 20, 130, 80});  // moving while hidden changes nothing visible
    EXPECT_TRUE(surface.calls.back().rect.IsEmpty());
    EXPECT_EQ(owner.updates, 0);

    // Shown again: one update at the new place; a hidden owner chain hides it as well.
    view->ChangeState(LPane::kShow);
    EXPECT_EQ(owner.updates, 1);
    EXPECT_EQ(surface.calls.back().rect, (CLRect{80, 60, 180, 120}));
    clip->ChangeState(LPane::kHide);
    EXPECT_TRUE(surface.calls.back().rect.IsEmpty());
    EXPECT_EQ(owner.updates, 1);
}

TEST_F(COpenGLViewTest, APartlyClippedViewGivesOnlyItsVisiblePart) {
    RecordingSurface surface;
    auto* view = new COpenGLView(clip, &surface);
    view->SetUpper(&owner);
    view->SetBounds({100, 50, 300, 150});  // half beyond the clip frame's right edge
    const CLRect rect{150, 90, 350, 190};
    EXPECT_EQ(surface.calls.back().rect, rect);
    EXPECT_EQ(surface.calls.back().region, CRgn(CLRect{150, 90, 250, 190}));
}

// On a window context the half-hidden view puts its surface below the window, with a hole where it
// shows; moved fully inside, the surface returns above the window.
TEST_F(COpenGLViewTest, AWindowContextBelowItsWindowWithHoles) {
    plat::Window* native = window->Window()->NativeWindow();
    COpenGLContext_Cca context(native, nullptr);
    ASSERT_TRUE(context.valid());
    auto* view = new COpenGLView(clip, &context);
    view->SetUpper(&owner);
    view->SetBounds({100, 50, 300, 150});
    EXPECT_EQ(context.place(), (CLRect{150, 90, 350, 190}));
    EXPECT_TRUE(context.clipped());
    EXPECT_FALSE(native->IsOpaque());
    plat::GLSurface* surface = context.glcontext()->Surface();
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->Order(), plat::GLSurfaceOrder::kBelowWindow);
    ASSERT_EQ(surface->Clips().size(), 1u);
    EXPECT_EQ(surface->Clips()[0], (plat::GLSurfaceRect{0, 0, 100, 100}));

    view->SetBounds({10, 10, 110, 110});
    EXPECT_FALSE(context.clipped());
    EXPECT_EQ(surface->Order(), plat::GLSurfaceOrder::kAboveWindow);
    EXPECT_TRUE(surface->Clips().empty());
    delete view;
}

}  // namespace
