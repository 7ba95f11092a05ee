#pragma once

#include <atomic>
#include <memory>

#include "Platform/Foundation/Object.h"

namespace plat {

class RunLoop;

// A call made exactly once, on the run loop of the thread that created it: the first Complete
// posts it with its finished flag, later ones do nothing.
class MovieCompletion {
public:
    using Callback = void (*)(bool finished, void* info);
    // Null callback: completes silently.
    static std::shared_ptr<MovieCompletion> Create(Callback callback, void* info);

    // True when this call was the one that completed it. Any thread.
    bool Complete(bool finished);
    bool IsDone() const { return fDone.load(std::memory_order_acquire); }

    MovieCompletion(Callback callback, void* info, Ref<RunLoop> loop);

private:
    Callback fCallback;
    void* fInfo;
    Ref<RunLoop> fLoop;
    std::atomic<bool> fDone{false};
};

// Posts callback(info) once to loop; false when it cannot (info is then the caller's).
bool PostToRunLoop(RunLoop* loop, void (*callback)(void* info), void* info);

}  // namespace plat
