#include "Lib3/LSources/CoreUI/CScrollContentPane.h"

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"

CScrollContentPane::CScrollContentPane(LHandler* upper, LPane* owner, uint32_t mode)
    : LFrame(upper, owner), mMode(mode) {}

LPane* CScrollContentPane::Content() const {
    SSLink* first = Children().First();
    return first && !first->IsEnd() ? static_cast<LPane*>(first) : nullptr;
}

void CScrollContentPane::SetScrollOffset(int32_t x, int32_t y) {
    if (x == mX && y == mY) return;
    mX = x;
    mY = y;
    PlaceChild(true);
}

LMessage CScrollContentPane::Handle(const LMessage& msg) {
    if (msg.Is(LPane_Pref) && msg.sender && msg.sender == Content()) {
        PlaceChild(false);
        return LMessage();
    }
    return LFrame::Handle(msg);
}

void CScrollContentPane::BoundsChanged(const CLRect& old) {
    LFrame::BoundsChanged(old);
    PlaceChild(false);
}

void CScrollContentPane::PlaceChild(bool keepSize) {
    LPane* child = Content();
    if (!child) return;
    int32_t w = Bounds().Width();
    int32_t h = Bounds().Height();
    if (mMode == kHorizontal || mMode == kVertical) {
        LPanePort port(this);
        LDrawContext ctx(port);
        if (mMode == kHorizontal)
            w = keepSize ? child->Bounds().Width() : child->PreferredWidth(ctx, 0);
        else
            h = keepSize ? child->Bounds().Height() : child->PreferredHeight(ctx, 0);
    }
    child->SetBounds({-mX, -mY, w - mX, h - mY});
}

int32_t CScrollContentPane::PreferredWidth(LDrawContext& ctx, int32_t kind) {
    LPane* child = Content();
    return child ? child->PreferredWidth(ctx, kind) : 0;
}

int32_t CScrollContentPane::PreferredHeight(LDrawContext& ctx, int32_t kind) {
    LPane* child = Content();
    return child ? child->PreferredHeight(ctx, kind) : 0;
}
