#include "Lib3/LSources/Mac/CScrollHelper.h"

#include "Lib3/LSources/CoreUI/LListPane.h"

void CScrollHelper::Update(const CLPoint& p, const CLRect& r, int32_t mx, int32_t my) {
    if (r.left + mx <= p.x && p.x < r.right - mx && r.top + my <= p.y && p.y < r.bottom - my) {
        (void)Stop();
        return;
    }
    if (fState == 0) {
        fState = 1;
        fTimer.StartOnce(LListPane::InitialDelayMs(), 0);
    }
    fDx = p.x < r.left + mx ? -1 : p.x >= r.right - mx ? 1 : 0;
    fDy = p.y < r.top + my ? -1 : p.y >= r.bottom - my ? 1 : 0;
}

bool CScrollHelper::Stop() {
    const bool was = fState != 0;
    fTimer.Stop();
    fDx = fDy = 0;
    fState = 0;
    return was;
}

LMessage CScrollHelper::Handle(const LMessage& msg) {
    if (msg.Is(LTimer_Expire) && msg.sender == &fTimer) {
        uint32_t delay = LListPane::RepeatDelayMs();
        if (fState < 2) {
            delay = LListPane::InitialDelayMs();
            ++fState;
        }
        fTimer.StartOnce(delay, 0);
        return LMessage(CScrollHelper_Scroll, this, Upper());
    }
    return LHandler::Handle(msg);
}
