// The input-parameter frame of a 50-input unit with assignment editors shown: building it again
// from the same ports (the panes are kept) beside a first build in the same run
// ("ratio_rebuild_to_first", at most 0.2), and one value set with the pane's redraw beside the same
// in a 5-input frame ("ratio_set_50_to_5", at most 1.5).
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Orbilume/CSources/Editors/CInParamFrm.h"
#include "Orbilume/CSources/Editors/CInParamPane.h"
#include "Orbilume/CSources/Engine/CUnitPortList.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/Graphics/DrawContext.h"

namespace {

constexpr int32_t kWidth = 600;
constexpr int32_t kHeight = 3000;

class Root : public LPane {
public:
    Root() : LPane(nullptr, nullptr) {
        SetBounds({0, 0, kWidth, kHeight});
        ChangeState(kChainShow);
        ChangeState(kChainEnable);
    }
    void FillPort(LPanePort& port) override {
        port.clip = CRgn(Bounds());
        port.origin = {0, 0};
    }
    void Invalidate(const CRgn&, const CRgn&) override {}
};

CUnitPortList Ports(int n) {
    CUnitPortList list;
    list.unitId = 7;
    list.unitName = LString("Unit");
    for (int i = 0; i < n; ++i) {
        CUnitPort p;
        p.kind = i % 5 == 0 ? 1 : 3;
        const std::string key = "in" + std::to_string(i);
        p.key = LString(key.c_str());
        p.name = p.key;
        p.min = 0;
        p.max = 100;
        p.value = LString("12.5");
        list.ports.push_back(std::move(p));
    }
    return list;
}

struct Setup {
    Setup() { plat::SetBackend(&backend); }
    ~Setup() { plat::SetBackend(nullptr); }
    plat::headless::HeadlessBackend backend;
};

struct Frame {
    explicit Frame(const CUnitPortList& ports) : frame(new CInParamFrm(&root, &root, 0)) {
        frame->ChangeState(LPane::kChainShow);
        frame->SetBounds(root.Bounds());
        frame->BuildFromPorts(&ports, nullptr, true);
        image = plat::DrawContext::CreateImage(kWidth, 200);
    }
    ~Frame() { delete frame; }
    void SetAndDraw(const char* value) {
        CInParamPane* pane = frame->PaneAt(frame->PaneCount() / 2);
        pane->SetValueText(LString(value));
        LPanePort port(pane);
        LDrawContext ctx(port, image.get());
        pane->Draw(ctx);
    }
    Root root;
    CInParamFrm* frame;
    plat::Ref<plat::DrawContext> image;
};

template <typename F>
double Seconds(F f, int n) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / n;
}

void BM_InParamFrameBuild(benchmark::State& state) {
    Setup setup;
    const CUnitPortList ports = Ports(50);
    for (auto _ : state) Frame f(ports);
    Frame kept(ports);
    const double first = Seconds([&] { Frame f(ports); }, 5);
    const double again = Seconds([&] { kept.frame->BuildFromPorts(&ports, nullptr, true); }, 20);
    state.counters["ratio_rebuild_to_first"] = again / first;
}
BENCHMARK(BM_InParamFrameBuild)->Unit(benchmark::kMillisecond);

void BM_InParamFrameRebuild(benchmark::State& state) {
    Setup setup;
    const CUnitPortList ports = Ports(50);
    Frame f(ports);
    for (auto _ : state) f.frame->BuildFromPorts(&ports, nullptr, true);
}
BENCHMARK(BM_InParamFrameRebuild)->Unit(benchmark::kMicrosecond);

void BM_InParamFrameSetValue(benchmark::State& state) {
    Setup setup;
    const CUnitPortList big = Ports(int(state.range(0)));
    Frame f(big);
    bool odd = false;
    for (auto _ : state) f.SetAndDraw((odd = !odd) ? "1.5" : "2.5");
    if (state.range(0) > 5) {
        const CUnitPortList small = Ports(5);
        Frame g(small);
        const double a = Seconds([&] { f.SetAndDraw((odd = !odd) ? "1.5" : "2.5"); }, 200);
        const double b = Seconds([&] { g.SetAndDraw((odd = !odd) ? "1.5" : "2.5"); }, 200);
        state.counters["ratio_set_50_to_5"] = a / b;
    }
}
BENCHMARK(BM_InParamFrameSetValue)->Arg(5)->Arg(50)->Unit(benchmark::kMicrosecond);

}  // namespace
