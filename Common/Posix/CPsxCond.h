#pragma once

#include <pthread.h>

#include <cstdint>

// Condition variable. Timed waits use the monotonic clock, so wall-clock changes do not move them.
class CPsxCond {
public:
    CPsxCond();
    ~CPsxCond();

    CPsxCond(const CPsxCond&) = delete;
    CPsxCond& operator=(const CPsxCond&) = delete;

    // Waits with `mutex` held by the caller and returns with it held again; 0 or an error number.
    int Wait(pthread_mutex_t& mutex);
    // As Wait, giving up after `milliseconds`; false on time-out.
    bool WaitFor(pthread_mutex_t& mutex, uint32_t milliseconds);
    void Signal();
    void Broadcast();

    pthread_cond_t* Native() { return &mCond; }

private:
    pthread_cond_t mCond;
};
