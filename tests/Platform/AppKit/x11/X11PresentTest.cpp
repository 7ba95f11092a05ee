#include <gtest/gtest.h>

// After gtest: Xlib defines None and Bool as macros.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <string>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/AppKit/x11/X11Presenter.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/XvfbServer.h"

namespace {

using plat::Application;
using plat::Rect;
using plat::Window;
using plat::x11::X11Backend;
using plat::x11::X11Presenter;

// Fills itself with one colour and draws a diagonal line and some text over it.
struct Scene : plat::View {
    explicit Scene(const Rect& r, plat::GfxColor c) : plat::View(r), colour(c) {}
    void DrawRect(const Rect&) override {
        ++draws;
        plat::DrawContext* ctx = plat::CurrentDrawContext();
        ctx->SetFillColor(colour);
        ctx->FillRect(Bounds());
        ctx->SetStrokeColor({0.1, 0.2, 0.9, 1});
        ctx->SetLineWidth(3);
        ctx->BeginPath();
        ctx->MoveTo(0, 0);
        ctx->LineTo(Bounds().width, Bounds().height);
        ctx->StrokePath();
    }
    plat::GfxColor colour;
    int draws = 0;
};

struct Case {
    const char* screen;
    bool sharedMemory;
    X11Presenter::Path path;
    uint32_t tolerance;  // per channel: one quantisation step of the visual
};

class X11PresentTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        server = std::make_unique<testsupport::XvfbServer>(GetParam().screen);
        ASSERT_TRUE(server->Ok()) << "Xvfb did not start";
        X11Backend::Options options;
        options.sharedMemory = GetParam().sharedMemory;
        backend = X11Backend::Open(server->Display().c_str(), options);
        ASSERT_NE(backend, nullptr);
        plat::SetBackend(backend.get());
        ASSERT_TRUE(backend->Start());
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
    void TearDown() override {
        plat::SetBackend(nullptr);
        backend.reset();
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    }
    template <typename F>
    bool Settle(F done, double wait = 3) {
        const double until = plat::ClockNow() + wait;
        while (!done() && plat::ClockNow() < until)
            Application::Shared()->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.02,
                                             plat::kRunLoopDefaultMode, true, nullptr);
        return done();
    }
    // 0xRRGGBB of the screen, whatever the visual.
    uint32_t ScreenPixel(int x, int y) {
        ::Display* d = backend->XDisplay();
        XSync(d, False);
        XImage* image = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) return 0xDEADBEEF;
        const unsigned long p = XGetPixel(image, 0, 0);
        auto channel = [p](unsigned long mask) {
            int shift = 0;
            while (mask && !(mask & 1)) {
                mask >>= 1;
                ++shift;
            }
            const unsigned long v = (p >> shift) & mask;
            return mask ? uint32_t((v * 255 + mask / 2) / mask) : 0u;
        };
        const uint32_t rgb =
            (channel(image->red_mask) << 16) | (channel(image->green_mask) << 8) | channel(image->blue_mask);
        XDestroyImage(image);
        return rgb;
    }
    static bool Near(uint32_t a, uint32_t b, uint32_t tolerance) {
        for (int shift : {0, 8, 16}) {
            const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
            if (uint32_t(d < 0 ? -d : d) > tolerance) return false;
        }
        return true;
    }

    std::unique_ptr<testsupport::XvfbServer> server;
    std::unique_ptr<X11Backend> backend;
};

TEST_P(X11PresentTest, TheScreenShowsTheBackingStoreAndExposeNeedsNoPass) {
    EXPECT_EQ(backend->Presenter()->UsedPath(), GetParam().path);
    plat::Ref<Window> w = Window::Create({40, 50, 240, 160}, plat::kTitledWindowMask);
    auto* content = new Scene({0, 0, 1, 1}, {0.9, 0.5, 0.1, 1});
    auto* pane = new Scene({30, 40, 100, 60}, {0.2, 0.7, 0.3, 1});
    w->SetContentView(content);
    content->AddSubview(pane);
    content->SetNeedsDisplay(true);
    pane->SetNeedsDisplay(true);
    w->MakeKeyAndOrderFront();
    ASSERT_TRUE(Settle([&] { return content->draws > 0 && pane->draws > 0; }));
    plat::DrawContext* store = w->BackingStore();
    auto compare = [&] {
        for (int y = 0; y < 160; y += 5)
            for (int x = 0; x < 240; x += 7) {
                const uint32_t want = store->PixelAt(x, y) & 0xFFFFFF;
                const uint32_t got = ScreenPixel(40 + x, 50 + y);
                if (!Near(got, want, GetParam().tolerance)) {
                    ADD_FAILURE() << x << "," << y << std::hex << " screen " << got << " store " << want;
                    return false;
                }
            }
        return true;
    };
    ASSERT_TRUE(compare());

    // Another window covers ours and goes: the exposed part comes back from the store.
    ::Display* other = XOpenDisplay(server->Display().c_str());
    ASSERT_NE(other, nullptr);
    XSetWindowAttributes attrs = {};
    attrs.override_redirect = True;
    attrs.background_pixel = BlackPixel(other, DefaultScreen(other));
    ::Window cover = XCreateWindow(other, DefaultRootWindow(other), 60, 60, 150, 100, 0, CopyFromParent,
                                   InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &attrs);
    XMapRaised(other, cover);
    XSync(other, False);
    EXPECT_EQ(ScreenPixel(100, 100), 0u);
    const int drawsBefore = content->draws + pane->draws;
    const uint32_t fromStoreBefore = backend->PresentStats().exposesFromStore;
    XDestroyWindow(other, cover);
    XSync(other, False);
    ASSERT_TRUE(Settle([&] { return backend->PresentStats().exposesFromStore > fromStoreBefore; }));
    EXPECT_TRUE(compare());
    EXPECT_EQ(content->draws + pane->draws, drawsBefore);  // no framework pass
    XCloseDisplay(other);

    // A screenshot by another program shows the same picture.
    if (testsupport::HaveProgram("import")) {
        testsupport::BackgroundCommand shot("DISPLAY=" + server->Display() +
                                            " import -window root -crop 1x1+100+100 -depth 8 rgb:-");
        int status = -1;
        ASSERT_TRUE(Settle([&] { return shot.Done(&status); }, 10));
        const std::string rgb = shot.Output();
        ASSERT_EQ(rgb.size(), 3u);
        const uint32_t got =
            (uint32_t(uint8_t(rgb[0])) << 16) | (uint32_t(uint8_t(rgb[1])) << 8) | uint8_t(rgb[2]);
        EXPECT_TRUE(Near(got, store->PixelAt(60, 50) & 0xFFFFFF, GetParam().tolerance)) << std::hex << got;
    }
    w->Close();
    content->Release();
    pane->Release();
}

INSTANTIATE_TEST_SUITE_P(Visuals, X11PresentTest,
                         ::testing::Values(Case{"640x480x24", true, X11Presenter::Path::kSharedMemory, 0},
                                           Case{"640x480x24", false, X11Presenter::Path::kPutImage, 0},
                                           Case{"640x480x16", true, X11Presenter::Path::kConverted, 8}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return info.param.path == X11Presenter::Path::kSharedMemory
                                        ? std::string("Shm24")
                                    : info.param.path == X11Presenter::Path::kPutImage
                                        ? std::string("Plain24")
                                        : std::string("Converted16");
                         });

}  // namespace
