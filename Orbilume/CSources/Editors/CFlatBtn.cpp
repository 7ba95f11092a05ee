#include "Orbilume/CSources/Editors/CFlatBtn.h"

#include "Common/Rgn/CRgn.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPaint.h"
#include "Platform/Foundation/Check.h"

CFlatBtn::CFlatBtn(LHandler* upper, LPane* owner) : LPane(upper, owner) {}

void CFlatBtn::SetPressed(bool pressed) {
    const uint8_t value = pressed ? 1 : 0;
    if (value == fPressed) return;
    fPressed = value;
    Invalidate(CRgn(Bounds()), CRgn(Bounds()));
}

LMessage CFlatBtn::Handle(const LMessage& msg) {
    if (msg.Is(LMouse_Click)) {
        PLAT_DCHECK_MAIN_THREAD();
        Dispatch(LMessage(LPane_ReqFocus, this, Upper()));
        SetPressed(true);
        return LMessage(LPane_ReqCapture, this, Upper());
    }
    if (msg.Is(LMouse_Move)) {
        SetPressed(Bounds().Contain(MouseInOwner()));
        return LMessage();
    }
    if (msg.Is(LMouse_Release)) {
        const bool inside = Bounds().Contain(MouseInOwner());
        SetPressed(false);
        if (inside) return LMessage(CFlatBtn_Selected, this, Upper());
        return LMessage();
    }
    return LPane::Handle(msg);
}

void CFlatBtn::Draw(LDrawContext& ctx) {
    if (fPressed) LPaint(CRgn(Bounds()), LColor::Grey(4)).Fill(ctx);
}
