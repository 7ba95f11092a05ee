#include "Lib3/LSources/CoreUI/CFrameBoxPane.h"

#include "Lib3/LSources/CoreUI/LRectFrame.h"

CFrameBoxPane::CFrameBoxPane(LPane* owner) : LPane(owner, owner) {
    ChangeState(kLock);
}

CRgn CFrameBoxPane::Ring() const {
    CRgn ring(Bounds());
    CLRect inner = Bounds();
    inner.Inset(1, 1);
    if (!inner.IsEmpty()) ring -= CRgn(inner);
    return ring;
}

void CFrameBoxPane::SetFrameColor(const LColor& colour) {
    fColour = colour;
    if (IsVisible()) Invalidate(Ring(), CRgn());
}

void CFrameBoxPane::StateChanged(uint32_t op) {
    if (op == kShow || op == kHide) {
        if ((State() & kChainShown) && Owner() && GetWindow())
            Owner()->Invalidate(Ring(), op == kHide ? Ring() : CRgn());
        return;
    }
    LPane::StateChanged(op);
}

void CFrameBoxPane::Draw(LDrawContext& ctx) {
    LRectFrame frame;
    frame.rect = Bounds();
    frame.colour = fColour;
    frame.Draw(ctx);
}
