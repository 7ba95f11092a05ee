#include "Lib3/LSources/CoreUI/CRespText.h"

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPaint.h"

CRespText::CRespText(LHandler* upper, LPane* owner, bool background)
    : LTextPane(upper, owner, 0), fBackground(background) {
    ChangeState(kUnlock);
}

LMessage CRespText::Handle(const LMessage& msg) {
    LMouse* mouse = LMouse::Get();
    if (msg.Is(LMouse_Click) && mouse && msg.sender == mouse) return LMessage(CRespText_Click, this, Upper());
    if (msg.Is(CRespText_Click) && msg.sender == this)
        return mouse ? LMessage(LMouse_Click, mouse, Upper()) : LMessage();
    return LTextPane::Handle(msg);
}

void CRespText::SetSelected(bool selected, const LColor& colour) {
    fSelection = colour;
    if (fSelected == selected) return;
    fSelected = selected;
    const CRgn area(Bounds());
    if (selected) {
        SetTextColorQuietly(LColorSpec::MakeIndexed(1));
        Invalidate(area, CRgn());
    } else {
        SetTextColorQuietly(LColorSpec());
        Invalidate(area, area);
    }
}

void CRespText::Draw(LDrawContext& ctx) {
    if (fSelected)
        LPaint(CRgn(Bounds()), fSelection).Fill(ctx);
    else if (fBackground)
        LPaint(CRgn(Bounds()), ctx.Color()).Fill(ctx);
    LTextPane::Draw(ctx);
}
