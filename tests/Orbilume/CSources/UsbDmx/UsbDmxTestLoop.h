#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "Lib3/LSources/CoreData/LAsyncWorkerLoop.h"

namespace usbdmxtest {

// A worker loop (the application's input loop in miniature) and a way to run code on its thread.
class TestLoop : public LHandler {
public:
    TestLoop() : LHandler(nullptr), fLoop(nullptr), fSignal(this, &fLoop) {}
    ~TestLoop() override = default;

    LAsyncWorkerLoop* Loop() { return &fLoop; }

    // Runs fn on the loop's thread (loop lock held) and waits until it has run.
    void Run(std::function<void()> fn) {
        std::unique_lock<std::mutex> lock(fLock);
        fWork = std::move(fn);
        fDone = false;
        fSignal.Raise();
        fWake.wait(lock, [this] { return fDone; });
    }
    std::thread::id ThreadId() {
        std::thread::id id;
        Run([&] { id = std::this_thread::get_id(); });
        return id;
    }
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LAsyncSignal_X) && msg.sender == &fSignal) {
            std::function<void()> work;
            {
                std::lock_guard<std::mutex> guard(fLock);
                work = std::move(fWork);
            }
            if (work) work();
            std::lock_guard<std::mutex> guard(fLock);
            fDone = true;
            fWake.notify_all();
            return LMessage();
        }
        return LHandler::Handle(msg);
    }

private:
    LAsyncWorkerLoop fLoop;
    LAsyncSignal fSignal;
    std::mutex fLock;
    std::condition_variable fWake;
    std::function<void()> fWork;
    bool fDone = true;
};

// Polls cond until it holds or seconds pass.
inline bool WaitFor(const std::function<bool()>& cond, double seconds = 5) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace usbdmxtest
