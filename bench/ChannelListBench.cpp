// The channel list over generated shows of 200, 20 and 2 layers of 10 units (8 inputs each) on a
// fake engine, in a 1440 × 900 pane, as ratios within one run: the first fill and draw of the
// visible cells 200/20 ("ratio_fill_200_to_20", at most 1.3), one INPT 'valu' change to the
// redrawn pane 200/2 ("ratio_value_200_to_2", 1.2), toggling DCPF field 10 200/20
// ("ratio_toggle_200_to_20", 1.3), inserting a layer at 0 200/20 ("ratio_insert_200_to_20",
// 1.5) and 2,000 preview requests beside 200 ("ratio_preview_2000_to_200", at most 12).
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Editors/CChannelEngine.h"
#include "Orbilume/CSources/Editors/CChannelList.h"
#include "Orbilume/CSources/Editors/CInParamPane.h"
#include "Orbilume/CSources/Editors/CLayerFrm.h"
#include "Orbilume/CSources/Editors/CSrcRendrFrm.h"
#include "Orbilume/CSources/Engine/CUnitPortList.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"

namespace {

using T = CDocModelTypes;
using P = CAppPrefs;
constexpr int32_t kWidth = 1440;
constexpr int32_t kHeight = 900;
constexpr int kInputs = 8;

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

// Every unit has the same 8 number inputs.
struct BenchEngine : IChannelEngine {
    bool HasLayer(uint32_t) override { return true; }
    std::unique_ptr<CUnitPortList> PortList(uint32_t unitId) override {
        auto list = std::make_unique<CUnitPortList>();
        list->unitId = unitId;
        list->unitName = LString("Unit");
        for (int i = 0; i < kInputs; ++i) {
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
    void RequestCapture(uint32_t, COpenGLContext_Cca*, bool) override { ++captures; }
    void CancelCaptures(COpenGLContext_Cca*) override {}
    void SetUnitParamByKey(uint32_t, const LString&, const LString&) override {}
    bool OutputStrings(uint32_t, const LString&, std::vector<LString>&) override { return false; }
    uint64_t captures = 0;
};

struct Setup {
    Setup() {
        plat::SetBackend(&backend);
        CLayerFrm::SetPreviewsEnabled(false);
    }
    ~Setup() {
        CLayerFrm::SetPreviewsEnabled(true);
        plat::SetBackend(nullptr);
    }
    plat::headless::HeadlessBackend backend;
    BundleResources resources;  // the cells' layouts
};

// A show of n layers, each a unit with 9 filters; every unit has 8 inputs.
struct Show {
    explicit Show(uint32_t layers) {
        dcpf = prefs.AppendDocument();
        CRecordRef mix = model.Mix();
        for (uint32_t i = 0; i < layers; ++i) {
            (void)UDocUnits::AddCompositionLayer(mix, nullptr, i, LString("c.qtz"));
            CRecord* unit = mix->GetElement(T::kMixsLayers, i)->GetSubRecord(T::kLayrUnit);
            for (uint32_t k = 0; k < 9; ++k)
                (void)UDocUnits::AddFilterUnit(mix, nullptr, unit->GetUInt(T::kUnitId), k, LString("f.qtz"));
            AddInputs(unit);
            for (uint32_t k = 0; k < 9; ++k) AddInputs(unit->GetElement(T::kUnitFilters, k));
        }
    }
    static void AddInputs(CRecord* unit) {
        for (int j = 0; j < kInputs; ++j)
            (void)UDocUnits::FindOrAddUnitInput(unit, nullptr, LString(("in" + std::to_string(j)).c_str()), LString("1"));
    }
    CAppPrefs prefs;
    CDocModelHolder model;
    CRecord* dcpf = nullptr;
};

struct Desk {
    explicit Desk(Show& show) : show(show) {
        list = new CChannelList(&root, &root, &show.model, &engine, show.dcpf);
        list->SetBounds(root.Bounds());
        image = plat::DrawContext::CreateImage(kWidth, kHeight);
    }
    ~Desk() { delete list; }
    void Draw() {
        LPanePort port(list);
        LDrawContext ctx(port, image.get());
        list->Draw(ctx);
    }
    Show& show;
    Root root;
    BenchEngine engine;
    CChannelList* list;
    plat::Ref<plat::DrawContext> image;
};

template <typename F>
double Seconds(F f, int n) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / n;
}

double FillAndDraw(Show& show) {
    return Seconds(
        [&] {
            Desk d(show);
            d.Draw();
        },
        3);
}

void BM_ChannelListFill(benchmark::State& state) {
    Setup setup;
    Show big(200), small(20);
    for (auto _ : state) {
        Desk d(big);
        d.Draw();
    }
    state.counters["ratio_fill_200_to_20"] = FillAndDraw(big) / FillAndDraw(small);
}
BENCHMARK(BM_ChannelListFill)->Unit(benchmark::kMillisecond)->Iterations(3);

double ValueChange(Desk& d) {
    CRecord* unit = d.show.model.Mix()->GetElement(T::kMixsLayers, 0)->GetSubRecord(T::kLayrUnit);
    CRecord* input = UDocModel::FindUnitInput(unit, LString("in3"));
    CLayerFrm* cell = d.list->CellPane(0);
    CInParamPane* pane = cell ? cell->Chain()->FindPane(unit->GetUInt(T::kUnitId), LString("in3")) : nullptr;
    bool odd = false;
    return Seconds(
        [&] {
            CRecordRef(&input).SetString(nullptr, T::kInptValue, LString((odd = !odd) ? "2" : "3"));
            if (!pane) return;
            LPanePort port(pane);
            LDrawContext ctx(port, d.image.get());
            pane->Draw(ctx);
        },
        20);
}

void BM_ChannelListValueChange(benchmark::State& state) {
    Setup setup;
    Show big(200), tiny(2);
    Desk a(big), b(tiny);
    for (auto _ : state) (void)ValueChange(a);
    state.counters["ratio_value_200_to_2"] = ValueChange(a) / ValueChange(b);
}
BENCHMARK(BM_ChannelListValueChange)->Unit(benchmark::kMillisecond)->Iterations(3);

double Toggle(Desk& d) {
    return Seconds(
        [&] {
            const int32_t v = d.show.dcpf->GetInt(P::kDocRunTime10);
            CRecordRef(&d.show.dcpf).SetInt(nullptr, P::kDocRunTime10, v ? 0 : 1);
            d.Draw();
        },
        4);
}

void BM_ChannelListToggleControls(benchmark::State& state) {
    Setup setup;
    Show big(200), small(20);
    Desk a(big), b(small);
    for (auto _ : state) (void)Toggle(a);
    state.counters["ratio_toggle_200_to_20"] = Toggle(a) / Toggle(b);
}
BENCHMARK(BM_ChannelListToggleControls)->Unit(benchmark::kMillisecond)->Iterations(3);

double InsertAtZero(Desk& d) {
    return Seconds(
        [&] {
            (void)UDocUnits::AddCompositionLayer(d.show.model.Mix(), nullptr, 0, LString("c.qtz"));
            d.Draw();
            UDocUnits::DeleteLayer(d.show.model, nullptr, 0);
        },
        6);
}

void BM_ChannelListInsertLayer(benchmark::State& state) {
    Setup setup;
    Show big(200), small(20);
    Desk a(big), b(small);
    for (auto _ : state) (void)InsertAtZero(a);
    state.counters["ratio_insert_200_to_20"] = InsertAtZero(a) / InsertAtZero(b);
}
BENCHMARK(BM_ChannelListInsertLayer)->Unit(benchmark::kMillisecond)->Iterations(3);

// Each run starts from an empty queue; runs are short, so many of them make one sample.
double Previews(Desk& d, uint32_t n) {
    return Seconds(
        [&] {
            d.list->ClearPreviews();
            for (uint32_t i = 0; i < n; ++i) d.list->QueuePreview(1 + (i * 7919u) % 2000u, i % 3 == 0);
            for (uint32_t k = 0; k <= n && d.list->HasPendingPreviews(); ++k) d.list->ServePreviews();
        },
        50);
}

void BM_ChannelListPreviews(benchmark::State& state) {
    Setup setup;
    Show big(200);
    Desk a(big);
    for (auto _ : state) (void)Previews(a, 2000);
    state.counters["ratio_preview_2000_to_200"] = Previews(a, 2000) / Previews(a, 200);
}
BENCHMARK(BM_ChannelListPreviews)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
