#pragma once

#include <pthread.h>

#include <cstdint>

// A POSIX thread that runs body(argument). Threads end by returning from their body: the owner tells
// the body to stop (flag, wake) and then joins; the destructor joins a thread still running.
class CPsxThread {
public:
    using Body = void (*)(void* argument);

    // Priority change that asks for the round-robin policy at its highest priority.
    static constexpr int kRealTime = 3;

    CPsxThread() = default;
    ~CPsxThread() { Join(); }
    CPsxThread(const CPsxThread&) = delete;
    CPsxThread& operator=(const CPsxThread&) = delete;

    // Starts the thread with a priority relative to the caller's: kRealTime selects round robin at
    // the top of its range, any other change adds to the caller's priority, clamped to the policy's
    // range. When the system refuses that schedule (no privilege), the thread starts with default
    // attributes. False only when no thread could be made or one is already running.
    [[nodiscard]] bool Start(Body body, void* argument, int priorityChange);
    // Waits for the body to return; nothing when no thread runs.
    void Join();
    bool IsRunning() const { return mRunning; }
    bool IsCurrent() const;
    // The running thread's policy and priority; false when no thread runs.
    bool GetSchedule(int& policy, int& priority) const;
    // CPU time the running thread has used, in seconds; -1 when no thread runs.
    double CpuSeconds() const;

    // The schedule Start asks for, from the caller's policy and priority.
    struct Schedule {
        int policy;
        int priority;
    };
    static Schedule ScheduleFor(int callerPolicy, int callerPriority, int priorityChange);

    // The calling thread's schedule.
    static bool GetCurrentSchedule(int& policy, int& priority);
    // Sets the calling thread's policy and priority (clamped to the policy's range); true on success.
    static bool SetCurrentPriority(int policy, int priority);
    // False when the environment sets ORBILUME_NO_REALTIME (to anything but "0"): real-time requests
    // then fall back to the defaults, so that a spinning thread cannot take a small machine over.
    static bool RealTimeAllowed();
    // Back to time-sharing at the default priority of fresh thread attributes.
    static bool ResetCurrentPriority();

    // Thread attributes, one system call each; 0 or an error number. Setting a policy or priority
    // also asks for it explicitly, since Linux otherwise copies the creating thread's schedule.
    static int AttrInit(pthread_attr_t& attr) { return pthread_attr_init(&attr); }
    static int AttrDestroy(pthread_attr_t& attr) { return pthread_attr_destroy(&attr); }
    static int AttrSetPolicy(pthread_attr_t& attr, int policy);
    static int AttrSetPriority(pthread_attr_t& attr, int priority);
    static int AttrGetPriority(const pthread_attr_t& attr, int& priority);

private:
    static void* Entry(void* self);
    [[nodiscard]] bool Create(const pthread_attr_t* attr);

    pthread_t mThread{};
    Body mBody = nullptr;
    void* mArgument = nullptr;
    bool mRunning = false;
};
