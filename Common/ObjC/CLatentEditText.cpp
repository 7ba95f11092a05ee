#include "Common/ObjC/CLatentEditText.h"

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LMouse.h"

CLatentEditText::CLatentEditText(LPane* owner, uint32_t mode)
    : LEditText(owner, mode, kNoFrame), fLastClick(LTimer::Now()) {
    SetOwnBackgroundBit(false);
}

LMessage CLatentEditText::Handle(const LMessage& msg) {
    if (State() & kFocused) return LEditText::Handle(msg);
    LMouse* mouse = LMouse::Get();
    if (msg.Is(LMouse_Click) && mouse) {
        const uint32_t click = mouse->PressTime();
        const uint32_t dt = click - fLastClick;
        fLastClick = click;
        if (dt >= LMouse::DoubleClickIntervalMs()) {
            LHandlerWatch watch(this);
            Dispatch(LMessage(CLatentEditText_Click, this, Upper()));
            if (watch.IsGone()) return LMessage();
        } else {
            fTimer.Stop();
        }
        return msg.Retarget(Upper());
    }
    if (msg.Is(CLatentEditText_Click) && msg.sender == this) {
        fTimer.StartOnce(kLatentDelayMs, 0);
        return LMessage();
    }
    if (msg.Is(LTimer_Expire) && msg.sender == &fTimer) {
        if (mouse && !mouse->Tracker() && mouse->IsSamePress(fLastClick))
            Dispatch(LMessage(LPane_ReqFocus, this, Upper()));
        return LMessage();
    }
    if (msg.Is(LMouse_Cursor)) return LMessage();
    return LEditText::Handle(msg);
}

void CLatentEditText::StateChanged(uint32_t op) {
    LEditText::StateChanged(op);
    if (op == kFocus || op == kUnfocus) Invalidate(CRgn(Bounds()), CRgn(Bounds()));
}

void CLatentEditText::Draw(LDrawContext& ctx) {
    if (State() & kFocused) {
        LEditText::Draw(ctx);
        return;
    }
    CRgn inner(InnerFrameRect());
    inner &= ctx.Clip();
    if (inner.IsEmpty()) return;
    CLRect r = TextRect();
    r.Shift(1, 0);
    LClipScope clip(ctx, TextRect());
    DrawText(ctx, r);
}
