#include "Common/Posix/CPsxCond.h"

#include <cerrno>
#include <ctime>

CPsxCond::CPsxCond() {
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_cond_init(&mCond, &attr);
    pthread_condattr_destroy(&attr);
}

CPsxCond::~CPsxCond() {
    pthread_cond_destroy(&mCond);
}

int CPsxCond::Wait(pthread_mutex_t& mutex) {
    int rc;
    do {
        rc = pthread_cond_wait(&mCond, &mutex);
    } while (rc == EINTR);
    return rc;
}

bool CPsxCond::WaitFor(pthread_mutex_t& mutex, uint32_t milliseconds) {
    timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += long(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    int rc;
    do {
        rc = pthread_cond_timedwait(&mCond, &mutex, &deadline);
    } while (rc == EINTR);
    return rc != ETIMEDOUT;
}

void CPsxCond::Signal() {
    pthread_cond_signal(&mCond);
}

void CPsxCond::Broadcast() {
    pthread_cond_broadcast(&mCond);
}
