#pragma once

#include <cstdint>

#include "Common/Posix/CPsxCond.h"
#include "Common/Posix/CPsxMutex.h"

// A flag that threads wait for. With resetValue 0 (auto-reset) the first waiter to return clears it
// again; with 1 it stays set until Reset. Set wakes every waiter.
class CEventFlag {
public:
    explicit CEventFlag(bool resetValue = false) : mResetValue(resetValue) {}
    CEventFlag(const CEventFlag&) = delete;
    CEventFlag& operator=(const CEventFlag&) = delete;

    void Set();
    void Reset();
    void Wait();
    // As Wait, giving up after milliseconds; false on time-out (the flag is then left alone).
    bool WaitFor(uint32_t milliseconds);
    bool IsSet();

private:
    CPsxCond mCond;
    CPsxMutex mMutex;
    bool mFlag = false;
    bool mResetValue;
};
