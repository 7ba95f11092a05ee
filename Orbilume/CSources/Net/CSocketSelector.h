#pragma once

#include <cstdint>
#include <vector>

#include "Common/Posix/CPsxCond.h"
#include "Common/Posix/CPsxMutex.h"
#include "Common/Posix/CPsxThread.h"
#include "Lib3/LSources/CoreData/LHandler.h"

class LAsyncLoop;
class LAsyncSignal;

// The process-wide readiness service of the main-thread ports (CUDPPort, CTCPPort). One service
// thread waits (poll) on the armed descriptors and, when some become ready, raises a signal on the
// loop of the first user; that loop's thread (the main thread) then calls the ready descriptors'
// callbacks. Each arming is one-shot: idle -> armed -> fired -> idle. The first Acquire starts the
// thread, the last Release stops it. Main thread only, apart from the service thread, which only
// moves entries and raises the signal.
class CSocketSelector : public LHandler {
public:
    enum : int { kRead = 0, kWrite = 1 };
    using Callback = void (*)(void* object, int operation);

    static void Acquire(LAsyncLoop* loop);
    static void Release();
    // Makes the descriptor non-blocking and adds its idle read and write entries.
    static void Register(int fd, void* object, Callback callback);
    // Makes the descriptor blocking again and forgets its entries, fired ones included.
    static void Unregister(int fd);
    // Moves an idle entry to the armed list; nothing when it is armed or fired already.
    static void Arm(int fd, int operation);

    // The service thread exists (tests).
    static bool IsRunning();

    LMessage Handle(const LMessage& msg) override;

private:
    enum class State : uint8_t { kIdle, kArmed, kFired, kDead };
    struct Entry {
        int fd;
        int operation;
        void* object;
        Callback callback;
        uint64_t serial;
        State state = State::kIdle;
    };

    explicit CSocketSelector(LAsyncLoop* loop);
    ~CSocketSelector() override;
    static void Body(void* self);
    void Run();
    void Dispatch();
    void Wake();
    Entry* Find(int fd, int operation);
    Entry* FindSerial(uint64_t serial);

    LAsyncSignal* fSignal;
    std::vector<Entry> fEntries;   // fMutex
    std::vector<uint64_t> fFired;  // serials in firing order; fMutex
    uint64_t fNextSerial = 1;
    int fPipe[2] = {-1, -1};
    bool fStop = false;  // fMutex
    // The descriptors of the poll in progress: a closed socket stays alive while poll holds it, so
    // Unregister waits for that poll to end before the owner closes the descriptor.
    std::vector<int> fPolledFds;  // fMutex
    bool fInPoll = false;         // fMutex
    uint64_t fPolls = 0;          // polls ended; fMutex
    CPsxCond fPollEnded;
    bool fDispatching = false;  // main thread: a callback may release the last user
    bool fDoomed = false;       // released during dispatch; freed when it ends
    CPsxMutex fMutex;
    CPsxThread fThread;
};
