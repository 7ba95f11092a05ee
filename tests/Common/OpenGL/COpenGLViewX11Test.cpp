#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/OpenGL/COpenGLView.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPaint.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Window.h"
#include "Platform/GL/GLDisplay.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"

// Xlib last: its macros (None, Bool, Status) must not reach the headers above.
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/support/WindowShot.h"
// clang-format on

namespace {

constexpr uint32_t kClear = 0x3399E6;  // (51, 153, 230)
constexpr uint32_t kSibling = 0xFF0000;

// Stands for the application: renders on each of the GL view's requests, as its owner would.
struct Root : LHandler {
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(COpenGLView_Update)) {
            ++updates;
            if (render) render();
            return LMessage();
        }
        if (msg.Is(LPane_ReqFocus) || msg.Is(LPane_Defer) || msg.Is(LMouse_Cursor) || msg.Is(LFrame_Place))
            return LMessage();
        return LHandler::Handle(msg);
    }
    int updates = 0;
    std::function<void()> render;
};

struct Fill : LPane {
    explicit Fill(LFrame* f) : LPane(f, f) {}
    void Draw(LDrawContext& ctx) override { LPaint(CRgn(Bounds()), LColor({255, 0, 0}, 0)).Fill(ctx); }
};

// A GL pane of a framework window on Xvfb with GL window surfaces (llvmpipe), read back from the
// root window as a screenshot would.
class COpenGLViewX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        glWindows = true;
        StartSession(&root);
        if (IsSkipped() || HasFatalFailure()) return;
        if (!plat::GLDisplay::WindowSurfaces()) GTEST_SKIP() << "no EGL window surfaces on this server";
        x = XOpenDisplay(Display().c_str());
        ASSERT_NE(x, nullptr);
    }
    void TearDown() override {
        root.render = nullptr;
        delete view;
        context.reset();
        delete frame;
        if (x) XCloseDisplay(x);
        X11FrameworkTest::TearDown();
    }
    // The screen point of a point of a pane of the frame (from its bounds' top-left), and its pixel.
    plat::Point ScreenOf(LPane* pane, int32_t dx, int32_t dy) {
        const CLPoint o = pane->GetOriginIn(nullptr);
        const CLRect b = pane->Bounds();
        return frame->Window()->NativeWindow()->ConvertToScreen(
            {double(o.x + b.left + dx), double(o.y + b.top + dy)});
    }
    uint32_t Pixel(const plat::Point& p) { return testsupport::ScreenPixel(x, int(p.x), int(p.y)); }
    uint32_t At(LPane* pane, int32_t dx, int32_t dy) { return Pixel(ScreenOf(pane, dx, dy)); }
    void Render() {
        COpenGLScope_Cca scope(*context);
        glClearColor(51 / 255.0f, 153 / 255.0f, 230 / 255.0f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        context->Swap();
        glFinish();
    }

    Root root;
    LFrame* frame = nullptr;
    std::unique_ptr<COpenGLContext_Cca> context;
    COpenGLView* view = nullptr;
    ::Display* x = nullptr;
};

// The GL pane sits in a windowless frame that clips it on the right; a sibling pane of the window
// covers its top-right corner there. The surface goes below the window with a hole where the pane
// shows, so the sibling shows over the corner.
TEST_F(COpenGLViewX11Test, TheClearColourShowsAtThePaneSiblingsOverItAndFollowsAMove) {
    frame = new LFrame(&root, nullptr, LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6))));
    frame->SetWindowFrame({100, 100, 600, 500});
    frame->ShowWindow();
    ASSERT_TRUE(RunUntil([&] { return frame->Window() && frame->Window()->NativeWindow()->IsVisible(); }));
    context = std::make_unique<COpenGLContext_Cca>(frame->Window()->NativeWindow(), nullptr);
    ASSERT_TRUE(context->valid());
    auto* clip = new LFrame(&root, frame);
    clip->SetBounds({20, 30, 200, 360});
    root.render = [this] { Render(); };
    view = new COpenGLView(clip, context.get());
    view->SetBounds({0, 0, 200, 120});  // the window's (20, 30) to (220, 150)
    auto* corner = new Fill(frame);
    corner->SetBounds({190, 20, 260, 100});
    ASSERT_TRUE(RunUntil([&] { return root.updates > 0; }));

    struct Probe {
        const char* where;
        int32_t dx, dy;  // in the GL pane
        bool clear;      // the clear colour, else the sibling's
    } probes[] = {
        {"the GL pane's centre", 100, 60, true},
        {"its top-left pixel", 0, 0, true},
        {"its last pixel inside the clip", 179, 119, true},
        {"its corner under the sibling", 190, 10, false},
        {"its corner's last pixel", 199, 69, false},
    };
    for (const Probe& p : probes) {
        SCOPED_TRACE(p.where);
        const uint32_t want = p.clear ? kClear : kSibling;
        EXPECT_TRUE(RunUntil([&] { return At(view, p.dx, p.dy) == want; }))
            << std::hex << At(view, p.dx, p.dy);
    }
    // Clipped, beside the sibling: the frame's own drawing.
    EXPECT_NE(At(view, 190, 100), kClear) << std::hex << At(view, 190, 100);

    // The pane moves down in its clip frame (clipped on the left now): the colour follows it, and
    // its old place shows the frame.
    const plat::Point oldCentre = ScreenOf(view, 100, 60);
    const int updates = root.updates;
    view->SetBounds({-20, 160, 180, 280});
    ASSERT_TRUE(RunUntil([&] { return root.updates > updates; }));
    for (const auto& [dx, dy] : {std::pair{100, 60}, std::pair{20, 0}, std::pair{199, 119}}) {
        SCOPED_TRACE(std::to_string(dx) + "," + std::to_string(dy));
        EXPECT_TRUE(RunUntil([&] { return At(view, dx, dy) == kClear; })) << std::hex << At(view, dx, dy);
    }
    EXPECT_NE(At(view, 19, 60), kClear) << "left of the clip frame";
    EXPECT_TRUE(RunUntil([&] { return Pixel(oldCentre) != kClear; })) << std::hex << Pixel(oldCentre);
    EXPECT_TRUE(RunUntil([&] { return At(corner, 30, 20) == kSibling; })) << std::hex << At(corner, 30, 20);
}

}  // namespace
