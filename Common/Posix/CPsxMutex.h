#pragma once

#include <pthread.h>

// Recursive mutex: the thread that holds it may lock it again.
class CPsxMutex {
public:
    CPsxMutex();
    ~CPsxMutex();
    CPsxMutex(const CPsxMutex&) = delete;
    CPsxMutex& operator=(const CPsxMutex&) = delete;

    void Lock() { pthread_mutex_lock(&mMutex); }
    void Unlock() { pthread_mutex_unlock(&mMutex); }
    bool TryLock() { return pthread_mutex_trylock(&mMutex) == 0; }

    pthread_mutex_t& Native() { return mMutex; }

    // Holds the mutex for a scope.
    class Locker {
    public:
        explicit Locker(CPsxMutex& m) : mMutex(m) { m.Lock(); }
        ~Locker() { mMutex.Unlock(); }
        Locker(const Locker&) = delete;
        Locker& operator=(const Locker&) = delete;

    private:
        CPsxMutex& mMutex;
    };

private:
    pthread_mutex_t mMutex;
};
