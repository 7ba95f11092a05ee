#include "Platform/Media/MovieCompletion.h"

#include "Platform/Foundation/RunLoop.h"

namespace plat {

namespace {

struct Delivery {
    void (*callback)(void* info);
    void* info;
    Ref<RunLoopSource> source;
};

void Perform(void* info) {
    auto* d = static_cast<Delivery*>(info);
    d->callback(d->info);
    d->source->Invalidate();
    delete d;
}

struct Finished {
    MovieCompletion::Callback callback;
    void* info;
    bool finished;
};

void PerformFinished(void* info) {
    std::unique_ptr<Finished> f(static_cast<Finished*>(info));
    f->callback(f->finished, f->info);
}

}  // namespace

bool PostToRunLoop(RunLoop* loop, void (*callback)(void* info), void* info) {
    if (!loop || !callback) return false;
    auto* d = new Delivery{callback, info, nullptr};
    d->source = RunLoopSource::Create(Perform, d);
    // Held here too: once signalled, the loop may perform and free d before Signal returns.
    Ref<RunLoopSource> source = d->source;
    if (!source || !loop->AddSource(source.get(), kRunLoopCommonModes)) {
        delete d;
        return false;
    }
    source->Signal();
    return true;
}

MovieCompletion::MovieCompletion(Callback callback, void* info, Ref<RunLoop> loop)
    : fCallback(callback), fInfo(info), fLoop(std::move(loop)) {}

std::shared_ptr<MovieCompletion> MovieCompletion::Create(Callback callback, void* info) {
    return std::make_shared<MovieCompletion>(callback, info, Ref<RunLoop>(RunLoop::Current()));
}

bool MovieCompletion::Complete(bool finished) {
    if (fDone.exchange(true, std::memory_order_acq_rel)) return false;
    if (!fCallback || !fLoop) return true;
    auto* f = new Finished{fCallback, fInfo, finished};
    if (!PostToRunLoop(fLoop.get(), PerformFinished, f)) delete f;
    return true;
}

}  // namespace plat
