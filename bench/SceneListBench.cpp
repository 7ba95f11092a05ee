// The console's scene list over 1,000 scenes beside 10: drawing the visible rows
// ("ratio_draw_1000_to_10", at most 1.2) and one name change with its row's redraw
// ("ratio_rename_1000_to_10", at most 1.2); moving 500 selected scenes in time beside the same model
// edits with no list ("ratio_move_to_model", at most 3); dropping 100 scenes beside inserting them
// into the model alone ("ratio_drop_to_model", at most 3). The console opening a show of 200 layers
// of 10 units beside the two-layer show fixture ("ratio_console_200_to_fixture", at most 1.5).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/Mac/HotKeyRegistry.h"
#include "Orbilume/CSources/App/DocWindows.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Editors/CChannelEngine.h"
#include "Orbilume/CSources/Editors/CChannelList.h"
#include "Orbilume/CSources/Editors/CConsoleWin.h"
#include "Orbilume/CSources/Editors/CLayerFrm.h"
#include "Orbilume/CSources/Editors/CSceneList.h"
#include "Orbilume/CSources/Engine/CUnitPortList.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"

namespace {

using T = CDocModelTypes;

constexpr int32_t kWidth = 600;
constexpr int32_t kHeight = 400;

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

struct Setup {
    Setup() { plat::SetBackend(&backend); }
    ~Setup() { plat::SetBackend(nullptr); }
    plat::headless::HeadlessBackend backend;
    BundleResources resources;
};

CRecord* NewScene(int i) {
    CRecord* s = UDocScenes::NewScene();
    const std::string name = "scene " + std::to_string(i);
    s->StringSlot(T::kScneName) = LString(name.c_str());
    s->Slot(T::kScneTime).f32 = float(i) * 10.0f;
    return s;
}

void Fill(CDocModelHolder& h, int n) {
    for (int i = 0; i < n; ++i) (void)h.Scenes().InsertRecord(nullptr, T::kScnsScenes, uint32_t(i), NewScene(i));
}

struct Show {
    explicit Show(int n, bool withList) {
        Fill(h, n);
        if (withList) {
            list = std::make_unique<CSceneList>(&root, &h, &registry);
            list->ChangeState(LPane::kChainShow);
            list->SetBounds(root.Bounds());
            // As tall as ten rows: the small list fills its view, so both draw the same rows.
            if (list->CellHeight() > 0) list->SetBounds({0, 0, kWidth, list->CellHeight() * 10});
        }
        image = plat::DrawContext::CreateImage(kWidth, kHeight);
    }
    ~Show() { list.reset(); }
    void Draw() {
        LPanePort port(list.get());
        LDrawContext ctx(port, image.get());
        list->Draw(ctx);
    }
    void Rename(bool odd) {
        CRecord* s = h.Scenes()->GetElement(T::kScnsScenes, 2);
        (void)CRecordRef(&s).SetString(nullptr, T::kScneName, LString(odd ? "one" : "two"));
        Draw();
    }
    Root root;
    HotKeyRegistry registry;
    CDocModelHolder h;
    std::unique_ptr<CSceneList> list;
    plat::Ref<plat::DrawContext> image;
};

template <typename F>
double Seconds(F f, int n) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / n;
}

void BM_SceneListDraw(benchmark::State& state) {
    Setup setup;
    Show show(int(state.range(0)), true);
    for (auto _ : state) show.Draw();
    if (state.range(0) > 10) {
        Show small(10, true);
        const double a = Seconds([&] { show.Draw(); }, 50);
        const double b = Seconds([&] { small.Draw(); }, 50);
        state.counters["ratio_draw_1000_to_10"] = a / b;
    }
}
BENCHMARK(BM_SceneListDraw)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_SceneListRename(benchmark::State& state) {
    Setup setup;
    Show show(int(state.range(0)), true);
    bool odd = false;
    for (auto _ : state) show.Rename(odd = !odd);
    if (state.range(0) > 10) {
        Show small(10, true);
        const double a = Seconds([&] { show.Rename(odd = !odd); }, 100);
        const double b = Seconds([&] { small.Rename(odd = !odd); }, 100);
        state.counters["ratio_rename_1000_to_10"] = a / b;
    }
}
BENCHMARK(BM_SceneListRename)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Every other scene of 1,000 shifted by a second, alternately later and earlier.
void BM_SceneListMoveTime(benchmark::State& state) {
    Setup setup;
    Show show(1000, true);
    Show bare(1000, false);
    // The moved scenes stay selected (a second apart never passes a neighbour ten seconds away).
    for (int32_t r = 0; r < 1000; r += 2) show.list->AddToSelection({0, r});
    bool later = false;
    auto moveList = [&] {
        later = !later;
        const float top = show.list->SceneTime(show.list->TopSelectedRow());
        (void)show.list->MoveSelectedTimes(top + (later ? 1.0f : -1.0f));
    };
    bool bareLater = false;
    auto moveModel = [&] {
        bareLater = !bareLater;
        const float d = bareLater ? 1.0f : -1.0f;
        std::vector<CRecord*> chosen;
        for (uint32_t r = 0; r < 1000; r += 2) chosen.push_back(bare.h.Scenes()->GetElement(T::kScnsScenes, r));
        if (d > 0) std::reverse(chosen.begin(), chosen.end());
        for (CRecord* s : chosen)
            (void)UDocScenes::SetSceneTimeSorted(bare.h.Scenes(), nullptr, uint32_t(s->ArrayIndex()),
                                                 s->GetFloat(T::kScneTime) + d);
    };
    for (auto _ : state) moveList();
    const double a = Seconds(moveList, 6);
    const double b = Seconds(moveModel, 6);
    state.counters["ratio_move_to_model"] = a / b;
}
BENCHMARK(BM_SceneListMoveTime)->Unit(benchmark::kMillisecond);

// 100 scenes dropped into the middle of 1,000 (then deleted again, in both runs).
void BM_SceneListDrop(benchmark::State& state) {
    Setup setup;
    Show show(1000, true);
    Show bare(1000, false);
    auto copies = [] {
        std::vector<CRecord*> out;
        for (int i = 0; i < 100; ++i) out.push_back(NewScene(i));
        return out;
    };
    auto dropList = [&] {
        (void)show.list->DropScenes(copies(), 500, false);
        for (int i = 0; i < 100; ++i) show.h.Scenes().DeleteElement(nullptr, T::kScnsScenes, 500);
    };
    auto dropModel = [&] {
        for (CRecord* s : copies()) (void)bare.h.Scenes().InsertRecord(nullptr, T::kScnsScenes, 500, s);
        for (int i = 0; i < 100; ++i) bare.h.Scenes().DeleteElement(nullptr, T::kScnsScenes, 500);
    };
    for (auto _ : state) dropList();
    const double a = Seconds(dropList, 10);
    const double b = Seconds(dropModel, 10);
    state.counters["ratio_drop_to_model"] = a / b;
}
BENCHMARK(BM_SceneListDrop)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// Every unit has the same 8 number inputs; nothing is captured.
struct FixedEngine : IChannelEngine {
    bool HasLayer(uint32_t) override { return true; }
    std::unique_ptr<CUnitPortList> PortList(uint32_t unitId) override {
        auto list = std::make_unique<CUnitPortList>();
        list->unitId = unitId;
        list->unitName = LString("Unit");
        for (int i = 0; i < 8; ++i) {
            CUnitPort p;
            p.kind = 3;
            const std::string key = "in" + std::to_string(i);
            p.key = LString(key.c_str());
            p.name = p.key;
            p.max = 100;
            p.value = LString("1");
            list->ports.push_back(std::move(p));
        }
        return list;
    }
    void RequestCapture(uint32_t, COpenGLContext_Cca*, bool) override {}
    void CancelCaptures(COpenGLContext_Cca*) override {}
    void SetUnitParamByKey(uint32_t, const LString&, const LString&) override {}
    bool OutputStrings(uint32_t, const LString&, std::vector<LString>&) override { return false; }
};

FixedEngine gFixedEngine;

CChannelList* MakeChannels(LPane* owner, LHandler* upper, const SDocWindowArgs& args) {
    return new CChannelList(owner, upper, args.model, &gFixedEngine, args.docPrefs);
}

// A document with its preferences record.
struct ConsoleShow {
    CAppPrefs prefs;
    CDocModelHolder model;
    CRecord* dcpf = prefs.AppendDocument();
};

// Layers of a unit with 9 filters, each unit with 8 inputs.
void FillLayers(ConsoleShow& show, uint32_t layers) {
    CRecordRef mix = show.model.Mix();
    for (uint32_t i = 0; i < layers; ++i) {
        (void)UDocUnits::AddCompositionLayer(mix, nullptr, i, LString("c.qtz"));
        CRecord* unit = mix->GetElement(T::kMixsLayers, i)->GetSubRecord(T::kLayrUnit);
        for (uint32_t k = 0; k < 9; ++k)
            (void)UDocUnits::AddFilterUnit(mix, nullptr, unit->GetUInt(T::kUnitId), k, LString("f.qtz"));
    }
    for (uint32_t i = 0; i < 10; ++i) (void)show.model.Scenes().InsertRecord(nullptr, T::kScnsScenes, i, NewScene(int(i)));
}

bool ReadFixture(ConsoleShow& show) {
    std::ifstream file(ORBILUME_SHOW_FIXTURE, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    std::string bytes = text.str();
    CMemStream in(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return !bytes.empty() && show.model.ReadXml(in);
}

// Makes, lays out and draws the console once, as a window opening does.
double OpenConsole(ConsoleShow& show, int n) {
    auto image = plat::DrawContext::CreateImage(1440, 900);
    return Seconds(
        [&] {
            SDocWindowArgs args{nullptr, nullptr, &show.model, show.dcpf, nullptr, false};
            CConsoleWin win(args, LFrameSpec::Default());
            win.ChangeState(LPane::kChainShow);
            win.ChangeState(LPane::kChainEnable);
            win.SetBounds({0, 0, 1440, 900});
            win.UpdateLayout();
            LPanePort port(&win);
            LDrawContext ctx(port, image.get());
            win.Draw(ctx);
        },
        n);
}

void BM_ConsoleOpen(benchmark::State& state) {
    Setup setup;
    CLayerFrm::SetPreviewsEnabled(false);
    CConsoleWin::SetChannelListFactory(&MakeChannels);
    ConsoleShow big, fixture;
    FillLayers(big, 200);
    if (!ReadFixture(fixture)) {
        state.SkipWithError("the show fixture did not load");
    } else {
        for (auto _ : state) (void)OpenConsole(big, 1);
        (void)OpenConsole(fixture, 1);
        state.counters["ratio_console_200_to_fixture"] = OpenConsole(big, 5) / OpenConsole(fixture, 5);
    }
    CConsoleWin::SetChannelListFactory(nullptr);
    CLayerFrm::SetPreviewsEnabled(true);
}
BENCHMARK(BM_ConsoleOpen)->Unit(benchmark::kMillisecond);

}  // namespace
