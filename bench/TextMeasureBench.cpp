#include <benchmark/benchmark.h>

#include <cstring>

#include "Lib3/LSources/CoreUI/LTextBox.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Text.h"

// Layouts measure every label's preferred size; the text box caches its width between changes.
static void BM_TextWidth(benchmark::State& state) {
    plat::Ref<plat::Font> font = plat::Font::CreateUser(12);
    const char* text = "Scene 12: crossfade to the next cue";
    for (auto _ : state) benchmark::DoNotOptimize(plat::TextWidth(*font, text, std::strlen(text)));
    font = nullptr;
}
BENCHMARK(BM_TextWidth);

static void BM_TextBoxCachedWidth(benchmark::State& state) {
    LTextBox box;
    box.SetStyle(LTextStyleH(LTextStyleData::kUser));
    box.SetText("Scene 12: crossfade to the next cue");
    for (auto _ : state) benchmark::DoNotOptimize(box.Width());
}
BENCHMARK(BM_TextBoxCachedWidth);

static void BM_DrawLabel(benchmark::State& state) {
    plat::Ref<plat::Font> font = plat::Font::CreateUser(12);
    plat::Ref<plat::DrawContext> ctx = plat::DrawContext::CreateImage(300, 20);
    plat::TextDrawSpec spec;
    spec.box = {0, 0, 300, 20};
    spec.singleLine = true;
    spec.baseline = 14;
    const char* text = "Scene 12: crossfade to the next cue";
    for (auto _ : state) plat::DrawText(*ctx, *font, text, std::strlen(text), spec);
    ctx = nullptr;
    font = nullptr;
}
BENCHMARK(BM_DrawLabel);
