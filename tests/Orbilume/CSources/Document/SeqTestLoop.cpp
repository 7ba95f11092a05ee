#include "tests/Orbilume/CSources/Document/SeqTestLoop.h"

#include <chrono>
#include <thread>

#include "Lib3/LSources/Mac/CMacTimer.h"
#include "Platform/Foundation/RunLoop.h"

namespace seqtest {

CMacTimer* SeqTestLoop::Base::CreateTimer(TimerCallback callback, void* context) {
    return new CMacTimer(callback, context);
}

LMessage SeqTestLoop::Barrier::Handle(const LMessage& msg) {
    if (msg.Is(LAsyncSignal_X)) {
        seen.fetch_add(1);
        return LMessage();
    }
    return LHandler::Handle(msg);
}

SeqTestLoop::SeqTestLoop()
    : fWorker(new LAsyncWorkerLoop(&fBase)), fSignal(new LAsyncSignal(&fBarrier, fWorker)) {}

SeqTestLoop::~SeqTestLoop() {
    Settle();
    delete fSignal;
    delete fWorker;
    TurnMain();
}

uint32_t SeqTestLoop::NowMs() const {
    return fWorker->Now();
}

void SeqTestLoop::SyncWorker() {
    const uint32_t before = fBarrier.seen.load();
    fSignal->Raise();
    // The worker delivers signals before it fires its due timers, in one pass under the loop lock.
    auto t0 = std::chrono::steady_clock::now();
    while (fBarrier.seen.load() == before) {
        if (std::chrono::steady_clock::now() - t0 > std::chrono::seconds(10)) return;
        std::this_thread::yield();
    }
    fWorker->Lock();
    fWorker->Unlock();
}

void SeqTestLoop::TurnMain() {
    for (int i = 0; i < 3; ++i) {
        plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
        fBase.IdlePass();
    }
}

void SeqTestLoop::Settle() {
    for (int round = 0; round < 3; ++round) {
        SyncWorker();
        TurnMain();
    }
}

}  // namespace seqtest
