#include <benchmark/benchmark.h>

#include <memory>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimInstruments.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/UDimArrange.h"
#include "Orbilume/CSources/Net/CUDPPort.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"

// Adding an n × n grid of devices to a dimmer document whose output is started, with auto division
// on: the canvas, the output's device entries and the document's listeners all follow, and the
// canvas is worked out once for the burst. Linear work gives 4 × from 100 to 200.
namespace {

using T = CDimTypes;

class NullUdp : public CUDPPort {
public:
    NullUdp(LHandler* upper, LAsyncLoop* loop) : CUDPPort(upper, loop) {}
    bool IsOpen() const override { return true; }
    bool CanSend() const override { return true; }
    int Open(uint16_t, uint32_t, uint32_t, uint32_t) override { return kOk; }
    void Close() override {}
    bool Send(const CNetAddress&, const void*, uint32_t) override { return true; }
};

void BM_AddDeviceGrid(benchmark::State& state) {
    const uint32_t n = static_cast<uint32_t>(state.range(0));
    nettest::MainLoop main;
    CAppPrefs prefs;
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<CDimInstruments>(nullptr, main.Loop(), nullptr, &prefs, nullptr);
        CRecord* def = CRecord::New(T::Didf());
        def->StringSlot(T::kDidfName) = LString("Pixel");
        (void)doc->Defs().Add(def);
        (void)doc->Dims().RootRef().SetByte(nullptr, T::kDimsAutoDivision, 1);
        doc->Output().SetUdpPort(std::make_unique<NullUdp>(&doc->Output(), main.Loop()));
        doc->Output().Start();
        doc->SetAspect(1920, 1080);
        doc->UpdateCanvas();
        UDimArrange::AddValues values;
        values.name = LString("Pixel");
        values.across = n;
        values.down = n;
        state.ResumeTiming();

        (void)UDimArrange::AddDevices(doc.get(), doc->Dims().RootRef(), &doc->Defs(), values);
        doc->UpdateCanvas();
        benchmark::DoNotOptimize(doc->CanvasWidth());

        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["devices"] = double(n) * n;
}
BENCHMARK(BM_AddDeviceGrid)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
