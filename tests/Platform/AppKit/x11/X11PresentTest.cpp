#include <gtest/gtest.h>

// After gtest: Xlib defines None and Bool as macros.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/AppKit/x11/X11Presenter.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Text.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/PinnedFonts.h"
#include "tests/support/XvfbServer.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

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
        plat::Ref<plat::Font> font = plat::Font::CreateSystem(13);
        plat::TextDrawSpec spec;
        spec.box = {4, 4, Bounds().width - 8, Bounds().height - 8};
        spec.wrap = true;
        spec.colour = {0.05, 0.05, 0.1, 1};
        const char text[] =
            "Gr\xc3\xbc\xc3\x9f"
            "e, Welt 0123 ajg";
        plat::DrawText(*ctx, *font, text, sizeof(text) - 1, spec);
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
    // 0xRRGGBB of a pixel of an image, whatever the visual.
    static uint32_t ToRGB(const XImage* image, unsigned long p) {
        auto channel = [p](unsigned long mask) {
            int shift = 0;
            while (mask && !(mask & 1)) {
                mask >>= 1;
                ++shift;
            }
            const unsigned long v = (p >> shift) & mask;
            return mask ? uint32_t((v * 255 + mask / 2) / mask) : 0u;
        };
        return (channel(image->red_mask) << 16) | (channel(image->green_mask) << 8) |
               channel(image->blue_mask);
    }
    uint32_t ScreenPixel(int x, int y) {
        const std::vector<uint32_t> one = ScreenPixels(x, y, 1, 1);
        return one.empty() ? 0xDEADBEEF : one[0];
    }
    // 0xRRGGBB of each pixel of a screen rectangle, row by row; empty when it cannot be read.
    std::vector<uint32_t> ScreenPixels(int left, int top, int width, int height) {
        ::Display* d = backend->XDisplay();
        XSync(d, False);
        XImage* image = XGetImage(d, DefaultRootWindow(d), left, top, unsigned(width), unsigned(height),
                                  AllPlanes, ZPixmap);
        if (!image) return {};
        std::vector<uint32_t> rgb;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) rgb.push_back(ToRGB(image, XGetPixel(image, x, y)));
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

// The scene in a window of the current backend, drawn once.
struct Shown {
    plat::Ref<Window> window;
    Scene* content;
    Scene* pane;
    void Close() {
        window->Close();
        content->Release();
        pane->Release();
    }
};

TEST_P(X11PresentTest, TheScreenShowsTheBackingStoreAndExposeNeedsNoPass) {
    EXPECT_EQ(backend->Presenter()->UsedPath(), GetParam().path);
    auto show = [&] {
        Shown s{Window::Create({40, 50, 240, 160}, plat::kTitledWindowMask),
                new Scene({0, 0, 1, 1}, {0.9, 0.5, 0.1, 1}),
                new Scene({30, 40, 150, 60}, {0.2, 0.7, 0.3, 1})};
        s.window->SetContentView(s.content);
        s.content->AddSubview(s.pane);
        s.content->SetNeedsDisplay(true);
        s.pane->SetNeedsDisplay(true);
        s.window->MakeKeyAndOrderFront();
        return s;
    };
    // What the headless backend's backing store holds for the same scene.
    std::vector<uint32_t> reference;
    {
        plat::headless::HeadlessBackend headless;
        plat::SetBackend(&headless);
        ASSERT_TRUE(headless.Start());
        Shown s = show();
        const bool drawn = Settle([&] { return s.content->draws > 0 && s.pane->draws > 0; });
        plat::DrawContext* store = s.window->BackingStore();
        if (drawn && store && store->Width() == 240 && store->Height() == 160)
            for (int y = 0; y < 160; ++y)
                for (int x = 0; x < 240; ++x) reference.push_back(store->PixelAt(x, y) & 0xFFFFFF);
        s.Close();
        headless.Stop();
        plat::SetBackend(backend.get());
        Application::Shared()->DiscardEvents(plat::kAnyEventMask);
        ASSERT_TRUE(drawn);
        ASSERT_EQ(reference.size(), 240u * 160u) << "the headless store is not 240 x 160";
    }
    auto want = [&](int x, int y) { return reference[size_t(y) * 240 + size_t(x)]; };

    Shown s = show();
    Scene* content = s.content;
    Scene* pane = s.pane;
    ASSERT_TRUE(Settle([&] { return content->draws > 0 && pane->draws > 0; }));
    plat::DrawContext* store = s.window->BackingStore();
    // Every pixel of the window, the text's too.
    auto compare = [&] {
        const std::vector<uint32_t> screen = ScreenPixels(40, 50, 240, 160);
        if (screen.size() != reference.size()) {
            ADD_FAILURE() << "no screenshot";
            return false;
        }
        int differing = 0;
        for (int y = 0; y < 160; ++y)
            for (int x = 0; x < 240; ++x) {
                const uint32_t got = screen[size_t(y) * 240 + size_t(x)];
                if (Near(got, want(x, y), GetParam().tolerance)) continue;
                if (++differing <= 5)
                    ADD_FAILURE() << x << "," << y << std::hex << " screen " << got << " headless "
                                  << want(x, y);
            }
        return differing == 0;
    };
    // The text left its mark: dark pixels in the pane where the fill is light.
    int dark = 0;
    for (int y = 40; y < 100; ++y)
        for (int x = 30; x < 180; ++x)
            dark += (want(x, y) & 0xFF0000) < 0x400000 && (want(x, y) & 0xFF) < 0x40;
    EXPECT_GT(dark, 50) << "no text in the scene";
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
    // A screenshot by another program (ImageMagick's import) shows the same picture, text and all.
    if (testsupport::HaveProgram("import")) {
        testsupport::BackgroundCommand shot("DISPLAY=" + server->Display() +
                                            " import -window root -crop 240x160+40+50 -depth 8 rgb:-");
        int status = -1;
        ASSERT_TRUE(Settle([&] { return shot.Done(&status); }, 20));
        EXPECT_EQ(status, 0);
        const std::string rgb = shot.Output();
        ASSERT_EQ(rgb.size(), 240u * 160u * 3u);
        int differing = 0;
        for (int y = 0; y < 160; ++y)
            for (int x = 0; x < 240; ++x) {
                const size_t at = (size_t(y) * 240 + size_t(x)) * 3;
                const uint32_t got = (uint32_t(uint8_t(rgb[at])) << 16) |
                                     (uint32_t(uint8_t(rgb[at + 1])) << 8) | uint8_t(rgb[at + 2]);
                if (Near(got, want(x, y), GetParam().tolerance)) continue;
                if (++differing <= 5)
                    ADD_FAILURE() << x << "," << y << std::hex << " import " << got << " headless "
                                  << want(x, y);
            }
        EXPECT_EQ(differing, 0);
    } else {
        std::printf("import is not installed: no screenshot by another program\n");
    }
    // The X11 backend's own store holds the same picture as the headless one.
    for (int y = 0; y < 160; y += 3)
        for (int x = 0; x < 240; x += 3)
            ASSERT_EQ(store->PixelAt(x, y) & 0xFFFFFF, want(x, y)) << x << "," << y;
    s.Close();
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
