#include "Common/Posix/CEventFlag.h"

#include <ctime>

void CEventFlag::Set() {
    CPsxMutex::Locker lock(mMutex);
    mFlag = true;
    mCond.Broadcast();
}

void CEventFlag::Reset() {
    CPsxMutex::Locker lock(mMutex);
    mFlag = false;
}

bool CEventFlag::IsSet() {
    CPsxMutex::Locker lock(mMutex);
    return mFlag;
}

void CEventFlag::Wait() {
    CPsxMutex::Locker lock(mMutex);
    while (!mFlag) mCond.Wait(mMutex.Native());
    mFlag = mResetValue;
}

bool CEventFlag::WaitFor(uint32_t milliseconds) {
    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    CPsxMutex::Locker lock(mMutex);
    while (!mFlag) {
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        int64_t spent = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
        if (spent >= milliseconds) return false;
        mCond.WaitFor(mMutex.Native(), uint32_t(milliseconds - spent));
    }
    mFlag = mResetValue;
    return true;
}
