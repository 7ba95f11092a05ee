// A small application on the real X11 backend for tests of its life cycle: it opens one window with
// two painted panes, titled from ORBILUME_TEST_TITLE, writes "ready" on stdout once the window was
// drawn, and runs until SIGTERM or until the X server goes away.

#include <cstdio>
#include <cstdlib>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Graphics/DrawContext.h"

namespace {

struct Pane : plat::View {
    Pane(const plat::Rect& r, plat::GfxColor c) : plat::View(r), colour(c) {}
    void DrawRect(const plat::Rect&) override {
        plat::DrawContext* ctx = plat::CurrentDrawContext();
        ctx->SetFillColor(colour);
        ctx->FillRect(Bounds());
        if (!told) {
            told = true;
            std::printf("ready\n");
            std::fflush(stdout);
        }
    }
    plat::GfxColor colour;
    bool told = false;
};

struct Delegate : plat::ApplicationDelegate {
    void DidFinishLaunching() override {
        const char* title = std::getenv("ORBILUME_TEST_TITLE");
        window =
            plat::Window::Create({50, 60, 320, 240}, plat::kTitledWindowMask | plat::kClosableWindowMask);
        window->SetTitle(title ? title : "Test window");
        auto* content = new Pane({0, 0, 1, 1}, {0, 0.4, 0.8, 1});
        auto* pane = new Pane({20, 20, 100, 80}, {1, 0.8, 0, 1});
        window->SetContentView(content);
        content->AddSubview(pane);
        content->SetNeedsDisplay(true);
        pane->SetNeedsDisplay(true);
        content->Release();
        pane->Release();
        window->MakeKeyAndOrderFront();
    }
    void WillTerminate() override {
        if (window) window->Close();
        window = nullptr;
    }
    plat::Ref<plat::Window> window;
};

}  // namespace

int main(int argc, char** argv) {
    setenv("ORBILUME_PLATFORM", "x11", 1);
    plat::RunLoop::Main();
    Delegate delegate;
    plat::Application* app = plat::Application::Shared();
    app->SetDelegate(&delegate);
    (void)argc;
    char* args[] = {argv[0], nullptr};
    const int status = app->Run(1, args);
    app->SetDelegate(nullptr);
    return status;
}
