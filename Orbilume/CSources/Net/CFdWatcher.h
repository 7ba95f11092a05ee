#pragma once

#include <cstdint>

class CPsxMutex;

// One process-wide thread that waits (poll) on registered descriptors and reports one-shot read and
// write readiness to their owners' callbacks. Callbacks run on the watcher thread under the
// process-wide recursive mutex and must only post work elsewhere (signal a loop, set a flag); they
// may arm or unregister, even the last descriptor. The watcher starts with the first registration
// and ends with the last unregistration. Any thread.
//
// A descriptor that poll reports as invalid (closed behind the watcher's back) is reported once
// and then never watched again until it is registered anew.
class CFdWatcher {
public:
    enum : int { kRead = 0, kWrite = 1 };
    using Callback = void (*)(void* context, int kind);

    // Makes the descriptor non-blocking and adds its idle read and write entries.
    static void Register(int fd, void* context, Callback callback);
    // Arms one entry; nothing when it is not idle.
    static void Arm(int fd, int kind);
    // Removes both entries and makes the descriptor blocking again.
    static void Unregister(int fd);

    // The process-wide mutex over the watcher and its lists.
    static CPsxMutex& Mutex();
    // A watcher thread exists (tests).
    static bool IsRunning();

    class Watcher;  // the thread and its lists, private to the source
};
