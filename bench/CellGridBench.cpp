// A prototype-mode cell grid of 4 text columns: drawing a full page of 30 rows of a 100,000-row grid
// beside the same page of a 100-row grid measured in the same run ("ratio_page_100k_to_100", at most
// 1.2: the rows beyond the page cost nothing), and a one-row scroll of the large grid beside a full
// page ("ratio_scroll_to_page", at most 0.3).
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/CTabFocusPane.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/Graphics/DrawContext.h"

namespace {

constexpr int32_t kPageRows = 30;
constexpr int32_t kCellWidth = 100;
constexpr int32_t kCellHeight = 20;

// A cell: a frame holding one line of text.
class TextCell : public CTabFocusPane {
public:
    explicit TextCell(LPane* grid) : CTabFocusPane(grid, grid), text(new LTextPane(this, 0)) {
        text->ChangeState(kChainShow);
        text->SetBounds({2, 2, kCellWidth - 2, kCellHeight - 2});
    }
    int32_t PreferredWidth(LDrawContext&, int32_t kind) override { return kind >= 0 ? kCellWidth : 0; }
    int32_t PreferredHeight(LDrawContext&, int32_t kind) override { return kind >= 0 ? kCellHeight : 0; }
    LTextPane* text;
};

class TextGrid : public CCellGridPane {
public:
    explicit TextGrid(LPane* owner) : CCellGridPane(owner, kSelectMultiple, false, false) {
        ChangeState(kChainShow);
        ChangeState(kChainEnable);
    }
    ~TextGrid() override { SetGridSize(0, 0); }
    CTabFocusPane* CreateCellPane() override { return new TextCell(this); }
    bool BindCell(LPane* pane, const CLPoint& cell) override {
        const std::string s = "row " + std::to_string(cell.y) + " col " + std::to_string(cell.x);
        return static_cast<TextCell*>(pane)->text->SetText(LString(s.c_str()));
    }
};

// The root the grids live in: a port at the origin of the image.
class Root : public LPane {
public:
    Root() : LPane(nullptr, nullptr) {
        SetBounds({0, 0, 4 * kCellWidth, kPageRows * kCellHeight});
        ChangeState(kChainShow);
        ChangeState(kChainEnable);
    }
    void FillPort(LPanePort& port) override {
        port.clip = CRgn(Bounds());
        port.origin = {0, 0};
    }
    void Invalidate(const CRgn&, const CRgn&) override {}
};

struct Page {
    explicit Page(int32_t rows) : grid(&root) {
        grid.SetBounds(root.Bounds());
        (void)grid.GetPrototypeCell();
        grid.SetGridSize(4, rows);
        grid.SetScrollPos(0, std::max(rows / 2 - kPageRows, 0));
        image = plat::DrawContext::CreateImage(root.Bounds().Width(), root.Bounds().Height());
    }
    void Draw() {
        LPanePort port(&grid);
        LDrawContext ctx(port, image.get());
        grid.Draw(ctx);
    }
    void ScrollOne() {
        down = !down;
        grid.SetScrollPos(0, grid.FirstRow() + (down ? 1 : -1));
    }
    Root root;
    TextGrid grid;
    plat::Ref<plat::DrawContext> image;
    bool down = false;
};

template <typename F>
double Seconds(F f, int n) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / n;
}

struct Setup {
    Setup() { plat::SetBackend(&backend); }
    ~Setup() { plat::SetBackend(nullptr); }
    plat::headless::HeadlessBackend backend;
};

void BM_CellGridPage(benchmark::State& state) {
    Setup setup;
    Page page(int32_t(state.range(0)));
    for (auto _ : state) page.Draw();
    if (state.range(0) > 100) {
        Page small(100);
        const double big = Seconds([&] { page.Draw(); }, 30);
        const double ref = Seconds([&] { small.Draw(); }, 30);
        state.counters["ratio_page_100k_to_100"] = big / ref;
        state.counters["ratio_scroll_to_page"] = Seconds([&] { page.ScrollOne(); }, 300) / big;
    }
    state.counters["panes"] = page.grid.PaneCount();
}
BENCHMARK(BM_CellGridPage)->Arg(100)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_CellGridScrollOneRow(benchmark::State& state) {
    Setup setup;
    Page page(100000);
    for (auto _ : state) page.ScrollOne();
}
BENCHMARK(BM_CellGridScrollOneRow)->Unit(benchmark::kMicrosecond);

}  // namespace
