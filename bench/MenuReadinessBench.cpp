// The readiness pass that runs before every key equivalent (reset, 50 commands enabled, the
// synchronisation of every item to its native item) over a 50-item and a 500-item main bar, beside its
// peer: a plain walk that sets the same flags on an array of structs. "ratio_500_to_50" compares the
// two bar sizes measured in one run (linear: about 10, at most 12).
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CMacMenuBridge.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"

namespace {

constexpr int kEnabled = 50;

struct Bar {
    explicit Bar(int items) : bar(nullptr) {
        for (int m = 0; m < items / 50; ++m) {
            auto* menu = new LMenu(&bar, LString(("Menu " + std::to_string(m)).c_str()));
            bar.AppendMenu(menu);
            for (int i = 0; i < 50; ++i) {
                auto* item = new LMenuItem(menu);
                const std::string cmd = "Cmd" + std::to_string(m * 50 + i);
                item->SetCommand(cmd.c_str());
                item->SetTexts(LString(cmd.c_str()));
                if (i % 5 == 0) item->SetKeySpec(LString(std::string(1, char('A' + i / 5)).c_str()));
                menu->AppendItem(item);
            }
        }
        for (int c = 0; c < kEnabled; ++c) commands.push_back("Cmd" + std::to_string(c * items / kEnabled));
    }
    void Pass() {
        bar.ResetItemStates();
        for (const std::string& c : commands) bar.EnableCommand(c.c_str());
        bar.SyncToNative();
    }
    LMenuBar bar;
    std::vector<std::string> commands;
};

struct Setup {
    Setup() {
        plat::SetBackend(&backend);
        CMacMenuBridge::InstallFactory(true);
    }
    ~Setup() {
        CMacMenuBridge::InstallFactory(false);
        plat::Application::Shared()->SetMainMenu(nullptr);
        plat::SetBackend(nullptr);
    }
    plat::headless::HeadlessBackend backend;
};

double SecondsPerPass(Bar& bar, int passes) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < passes; ++i) bar.Pass();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / passes;
}

void BM_MenuReadinessPass(benchmark::State& state) {
    Setup setup;
    const int items = int(state.range(0));
    // The main bar is the first made: a small one first when measuring the large one.
    auto small = std::make_unique<Bar>(50);
    auto big = items == 50 ? nullptr : std::make_unique<Bar>(items);
    Bar& bar = big ? *big : *small;
    for (auto _ : state) bar.Pass();
    if (big) {
        const double ratio = SecondsPerPass(*big, 200) / SecondsPerPass(*small, 2000);
        state.counters["ratio_500_to_50"] = ratio;
    }
    state.counters["items"] = items;
}
BENCHMARK(BM_MenuReadinessPass)->Arg(50)->Arg(500);

// The peer: the same flags on plain structs, no lists, no native side.
void BM_PeerFlagWalk(benchmark::State& state) {
    struct Item {
        std::string cmd, text, base;
        bool enabled = false;
    };
    const int items = int(state.range(0));
    std::vector<Item> all(static_cast<size_t>(items));
    for (int i = 0; i < items; ++i) all[size_t(i)].cmd = all[size_t(i)].base = "Cmd" + std::to_string(i);
    std::vector<std::string> commands;
    for (int c = 0; c < kEnabled; ++c) commands.push_back("Cmd" + std::to_string(c * items / kEnabled));
    for (auto _ : state) {
        for (Item& i : all) {
            i.enabled = false;
            i.text = i.base;
        }
        for (const std::string& c : commands)
            for (Item& i : all)
                if (!i.enabled && i.cmd == c) i.enabled = true;
        benchmark::DoNotOptimize(all.data());
    }
}
BENCHMARK(BM_PeerFlagWalk)->Arg(50)->Arg(500);

}  // namespace
