#include "Common/Posix/CPsxThread.h"

#include <sched.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace {

int Clamp(int policy, int priority) {
    int lo = sched_get_priority_min(policy);
    int hi = sched_get_priority_max(policy);
    if (lo >= 0) priority = std::max(priority, lo);  // a negative answer leaves that side open
    if (hi >= 0) priority = std::min(priority, hi);
    return priority;
}

bool IsRealTime(int policy) {
    return policy == SCHED_RR || policy == SCHED_FIFO;
}

}  // namespace

CPsxThread::Schedule CPsxThread::ScheduleFor(int callerPolicy, int callerPriority, int priorityChange) {
    if (priorityChange == kRealTime) return {SCHED_RR, Clamp(SCHED_RR, sched_get_priority_max(SCHED_RR))};
    return {callerPolicy, Clamp(callerPolicy, callerPriority + priorityChange)};
}

bool CPsxThread::GetCurrentSchedule(int& policy, int& priority) {
    sched_param param{};
    if (pthread_getschedparam(pthread_self(), &policy, &param) != 0) return false;
    priority = param.sched_priority;
    return true;
}

void* CPsxThread::Entry(void* self) {
    auto* t = static_cast<CPsxThread*>(self);
    t->mBody(t->mArgument);
    return nullptr;
}

bool CPsxThread::Create(const pthread_attr_t* attr) {
    mRunning = pthread_create(&mThread, attr, &Entry, this) == 0;
    return mRunning;
}

bool CPsxThread::Start(Body body, void* argument, int priorityChange) {
    if (mRunning || !body) return false;
    mBody = body;
    mArgument = argument;

    int policy, priority;
    if (!GetCurrentSchedule(policy, priority)) return Create(nullptr);
    Schedule s = ScheduleFor(policy, priority, priorityChange);
    if (IsRealTime(s.policy) && !RealTimeAllowed()) return Create(nullptr);
    pthread_attr_t attr;
    AttrInit(attr);
    bool ok = AttrSetPolicy(attr, s.policy) == 0 && AttrSetPriority(attr, s.priority) == 0 && Create(&attr);
    AttrDestroy(attr);
    // EPERM for a real-time policy without privilege: run with the defaults rather than not at all.
    return ok || Create(nullptr);
}

int CPsxThread::AttrSetPolicy(pthread_attr_t& attr, int policy) {
    // Without EXPLICIT_SCHED Linux ignores the policy and priority and copies the caller's.
    int rc = pthread_attr_setinheritsched(&attr, PTHREAD_EXPLICIT_SCHED);
    return rc ? rc : pthread_attr_setschedpolicy(&attr, policy);
}

int CPsxThread::AttrSetPriority(pthread_attr_t& attr, int priority) {
    sched_param param{};
    param.sched_priority = priority;
    int rc = pthread_attr_setinheritsched(&attr, PTHREAD_EXPLICIT_SCHED);
    return rc ? rc : pthread_attr_setschedparam(&attr, &param);
}

int CPsxThread::AttrGetPriority(const pthread_attr_t& attr, int& priority) {
    sched_param param{};
    int rc = pthread_attr_getschedparam(&attr, &param);
    if (rc == 0) priority = param.sched_priority;
    return rc;
}

void CPsxThread::Join() {
    if (!mRunning) return;
    bool self = IsCurrent();
    mRunning = false;
    if (self)
        pthread_detach(mThread);  // a body that destroys its own thread object
    else
        pthread_join(mThread, nullptr);
}

bool CPsxThread::IsCurrent() const {
    return mRunning && pthread_equal(mThread, pthread_self());
}

bool CPsxThread::GetSchedule(int& policy, int& priority) const {
    if (!mRunning) return false;
    sched_param param{};
    if (pthread_getschedparam(mThread, &policy, &param) != 0) return false;
    priority = param.sched_priority;
    return true;
}

double CPsxThread::CpuSeconds() const {
    clockid_t clock;
    timespec t;
    if (!mRunning || pthread_getcpuclockid(mThread, &clock) != 0 || clock_gettime(clock, &t) != 0) return -1;
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

bool CPsxThread::RealTimeAllowed() {
    const char* off = std::getenv("ORBILUME_NO_REALTIME");
    return !off || !*off || (off[0] == '0' && !off[1]);
}

bool CPsxThread::SetCurrentPriority(int policy, int priority) {
    if (IsRealTime(policy) && !RealTimeAllowed()) return false;
    sched_param param{};
    param.sched_priority = Clamp(policy, priority);
    return pthread_setschedparam(pthread_self(), policy, &param) == 0;
}

bool CPsxThread::ResetCurrentPriority() {
    static const int defaultPriority = [] {
        pthread_attr_t attr;
        AttrInit(attr);
        int priority = 0;
        AttrGetPriority(attr, priority);
        AttrDestroy(attr);
        return priority;
    }();
    return SetCurrentPriority(SCHED_OTHER, defaultPriority);
}
