#include "Lib3/LSources/CoreData/LTimer.h"

#include <unistd.h>

#include "Lib3/LSources/Mac/GetEventTimeMs.h"
#include "Platform/Foundation/Check.h"

namespace {

// Never destroyed, so timers that outlive static destruction still find them.
LSLinkBase& DueList() {
    static LSLinkBase* list = new LSLinkBase;
    return *list;
}

LSLinkBase& HeldList() {
    static LSLinkBase* list = new LSLinkBase;
    return *list;
}

LTimer::RearmHook gRearm = nullptr;
void* gRearmContext = nullptr;

int32_t Diff(uint32_t a, uint32_t b) {
    return int32_t(a - b);
}

LTimer* TimerOf(SSLink* node) {
    return static_cast<LTimer*>(node);
}

// T belongs to H when H is T or one of the handlers above it.
bool Belongs(const LTimer* t, const LHandler* h) {
    return LHandler::IsBetween(t, t->Upper(), h);
}

}  // namespace

LTimer::~LTimer() {
    Stop();
}

uint32_t LTimer::Now() {
    return uint32_t(GetEventTimeMs());
}

void LTimer::SetRearmHook(RearmHook hook, void* context) {
    gRearm = hook;
    gRearmContext = context;
}

void LTimer::RequestRearm() {
    if (gRearm) gRearm(gRearmContext);
}

void LTimer::Unlink() {
    if (!IsLinked()) return;
    if (!DueList().Remove(this)) HeldList().Remove(this);
}

// Inserts after the last timer due no later, so equal due times keep their start order.
void LTimer::Arm(uint32_t now) {
    int32_t mine = Diff(fDue, now);
    SSLink* after = nullptr;
    for (SSLink* n = DueList().First(); !n->IsEnd(); n = n->next) {
        if (Diff(TimerOf(n)->fDue, now) > mine) break;
        after = n;
    }
    DueList().InsertAfter(this, after);
}

// Next period of a periodic timer; a late timer fires once and keeps its period from then on.
void LTimer::Rearm() {
    uint32_t now = Now();
    uint32_t next = fDue + fPeriod;
    if (Diff(now, next) >= 0) next = now + fPeriod;
    fDue = next;
    Arm(now);
}

void LTimer::StartOnce(uint32_t delayMs, uint32_t mode) {
    PLAT_DCHECK_MAIN_THREAD();
    Unlink();
    uint32_t now = Now();
    fMode = mode;
    fDue = now + delayMs;
    fPeriod = 0;
    Arm(now);
    RequestRearm();
}

void LTimer::StartRepeat(uint32_t periodMs) {
    PLAT_DCHECK_MAIN_THREAD();
    Unlink();
    uint32_t now = Now();
    fMode = 0;
    fDue = now + periodMs;
    fPeriod = periodMs;
    Arm(now);
    RequestRearm();
}

void LTimer::Stop() {
    PLAT_DCHECK_MAIN_THREAD();
    Unlink();
}

bool LTimer::IsBlocked(const LHandler* modal, const LHandler* front, bool active) const {
    const bool behindFront = front && !Belongs(this, front);
    const bool underModal = modal != nullptr;
    const bool ownsModal = underModal && Belongs(this, modal);
    switch (fMode) {
        case 0:
            return false;
        case 2:
        case 6:
            return !active;
        case 3:
        case 7:
            if (!underModal) return !active || behindFront;
            return ownsModal ? !active : true;
        case 4:
            return underModal ? false : behindFront;
        default:  // 1, 5, 8 and above
            if (!underModal) return behindFront;
            return !ownsModal;
    }
}

LMessage LTimer::NextExpired(uint32_t now, const LHandler* modal, const LHandler* front, bool active) {
    PLAT_DCHECK_MAIN_THREAD();
    for (SSLink* n = HeldList().First(); !n->IsEnd(); n = n->next) {
        LTimer* t = TimerOf(n);
        if (t->IsBlocked(modal, front, active)) continue;
        HeldList().Remove(t);
        if (t->fPeriod) t->Rearm();
        return LMessage(LTimer_Expire, t, t->Upper());
    }
    while (!DueList().IsEmpty()) {
        LTimer* t = TimerOf(DueList().First());
        if (Diff(now, t->fDue) < 0) return LMessage();
        DueList().RemoveFirst();
        if (t->IsBlocked(modal, front, active)) {
            HeldList().Append(t);
            continue;
        }
        if (t->fPeriod) t->Rearm();
        return LMessage(LTimer_Expire, t, t->Upper());
    }
    return LMessage();
}

uint32_t LTimer::TimeToNext(const LHandler* modal, const LHandler* front, bool active) {
    PLAT_DCHECK_MAIN_THREAD();
    for (SSLink* n = HeldList().First(); !n->IsEnd(); n = n->next)
        if (!TimerOf(n)->IsBlocked(modal, front, active)) return 0;
    if (DueList().IsEmpty()) return kForever;
    int32_t left = Diff(TimerOf(DueList().First())->fDue, Now());
    return left > 0 ? uint32_t(left) : 0;
}

void MillisecondWait(uint32_t ms) {
    uint32_t until = LTimer::Now() + ms;
    int32_t left = Diff(until, LTimer::Now());
    if (left > 0) usleep(useconds_t(left) * 1000);
}
