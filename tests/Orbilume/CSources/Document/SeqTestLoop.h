#pragma once

#include <atomic>
#include <cstdint>

#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Lib3/LSources/CoreData/LAsyncWorkerLoop.h"
#include "tests/support/FakeClock.h"

namespace seqtest {

// A worker loop on its own thread and the main loop's idle passes, both on a fake clock. Time moves
// only in Advance; after every step the worker fires what is due and the main thread delivers the
// posted events, so a test sees the state that real time would have reached, without waiting.
class SeqTestLoop {
public:
    SeqTestLoop();
    ~SeqTestLoop();

    LAsyncLoop* Worker() { return fWorker; }
    uint32_t NowMs() const;
    // Lets both threads run what is due now until nothing is left.
    void Settle();
    // Moves the clock by ms in steps of at most `step` ms, settling after each; `each` (if set) runs
    // after every step with the milliseconds moved so far.
    template <class F>
    void Advance(uint32_t ms, uint32_t step, F&& each) {
        for (uint32_t done = 0; done < ms;) {
            uint32_t d = ms - done < step ? ms - done : step;
            fClock.AdvanceMs(d);
            done += d;
            Settle();
            each(done);
        }
    }
    void Advance(uint32_t ms, uint32_t step = 11) {
        Advance(ms, step, [](uint32_t) {});
    }
    // Moves the clock and lets only the worker run: what it posts waits for the next Settle.
    void AdvanceWorkerOnly(uint32_t ms) {
        fClock.AdvanceMs(ms);
        SyncWorker();
    }

private:
    class Base : public CMainLoopBase {
    public:
        explicit Base(LHandler* root) : CMainLoopBase(root) {}
        void RunModalStep() override {}
        void Quit() override {}
        void RequestUpdate() override {}
        CMacTimer* CreateTimer(TimerCallback callback, void* context) override;
    };
    class Barrier : public LHandler {
    public:
        Barrier() : LHandler(nullptr) {}
        LMessage Handle(const LMessage& msg) override;
        std::atomic<uint32_t> seen{0};
    };
    // Returns once the worker has finished a pass that began after the call.
    void SyncWorker();
    void TurnMain();

    testsupport::FakeClock fClock{1000.0};
    LHandler fRoot{nullptr};
    Base fBase{&fRoot};
    LAsyncWorkerLoop* fWorker;
    Barrier fBarrier;
    LAsyncSignal* fSignal;
};

}  // namespace seqtest
