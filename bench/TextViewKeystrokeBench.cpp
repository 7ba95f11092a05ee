#include <benchmark/benchmark.h>
#include <pango/pangocairo.h>

#include <string>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/ClipView.h"
#include "Platform/AppKit/TextView.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/PangoShared.h"

// One keystroke in a multi-line text view of N lines, caret in the middle: insert, lay out the changed
// paragraph, draw what is visible. A 1,000-line view should cost about what a 10-line one does.
static void BM_TextViewKeystroke(benchmark::State& state) {
    plat::headless::HeadlessBackend backend;
    plat::Backend* previous = plat::CurrentBackend();
    plat::SetBackend(&backend);
    plat::Window* window = plat::Window::Create({0, 0, 320, 220}, plat::kTitledWindowMask).release();
    plat::Ref<plat::View> content = plat::View::Create({0, 0, 320, 220});
    window->SetContentView(content.get());
    window->OrderFront();
    plat::Ref<plat::ClipView> clip = plat::ClipView::Create({10, 10, 300, 200});
    content->AddSubview(clip.get());
    plat::Ref<plat::TextView> view = plat::TextView::Create({0, 0, 300, 200});
    clip->SetDocumentView(view.get());
    const int64_t lines = state.range(0);
    std::string text;
    for (int64_t i = 0; i < lines; ++i)
        text += "Line " + std::to_string(i) + " of the cue list, with a few words\n";
    view->SetString(text);
    (void)window->MakeFirstResponder(view.get());
    const size_t middle = view->Length() / 2;
    view->SetSelectedRange({middle, 0});
    window->Display();
    int64_t n = 0;
    for (auto _ : state) {
        view->InsertText((++n & 1) ? "a" : "b");
        window->Display();
    }
    view = nullptr;
    clip = nullptr;
    content = nullptr;
    window->Close();
    window->Release();
    plat::SetBackend(previous);
}
BENCHMARK(BM_TextViewKeystroke)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);

// The peer: laying out and drawing one line of the same text with Pango directly.
static void BM_PangoLineLayoutAndDraw(benchmark::State& state) {
    plat::Ref<plat::Font> font = plat::Font::CreateUser(12);
    plat::Ref<plat::DrawContext> ctx = plat::DrawContext::CreateImage(300, 20);
    const std::string line = "Line 500 of the cue list, with a few words";
    for (auto _ : state) {
        std::lock_guard<std::mutex> lock(plat::pango::Lock());
        PangoLayout* layout = pango_layout_new(plat::pango::MeasuringContext());
        pango_layout_set_font_description(layout, font->Description());
        pango_layout_set_text(layout, line.data(), int(line.size()));
        cairo_move_to(ctx->Cairo(), 0, 0);
        pango_cairo_show_layout(ctx->Cairo(), layout);
        g_object_unref(layout);
    }
    ctx = nullptr;
    font = nullptr;
}
BENCHMARK(BM_PangoLineLayoutAndDraw)->Unit(benchmark::kMicrosecond);
