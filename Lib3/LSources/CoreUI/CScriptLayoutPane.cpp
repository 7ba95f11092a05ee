#include "Lib3/LSources/CoreUI/CScriptLayoutPane.h"

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LLayoutDesc.h"
#include "Lib3/LSources/CoreUI/LPaneListLayout.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"

CScriptLayoutPane::CScriptLayoutPane(LHandler* upper, LPane* owner, const LLayoutParts& parts, bool autoSize)
    : LFrame(upper, owner), mAutoSize(autoSize) {
    SetLayout(parts, kDescriptionMode);
}

void CScriptLayoutPane::SetFixedSize(int32_t width, int32_t height) {
    mFixedWidth = width;
    mFixedHeight = height;
}

LMessage CScriptLayoutPane::Handle(const LMessage& msg) {
    if ((msg.Is(LPane_Constructing) || msg.Is(LPane_Destructing)) && msg.sender != this) mPending = true;
    return LFrame::Handle(msg);
}

void CScriptLayoutPane::StateChanged(uint32_t op) {
    if (op == kRelayout) mPending = true;
    LFrame::StateChanged(op);
}

void CScriptLayoutPane::BoundsChanged(const CLRect& old) {
    LFrame::BoundsChanged(old);
    // The frame re-lays out on a size change; a move alone is laid out here.
    if (old.congruent(Bounds()) && !(old == Bounds())) {
        LPanePort port(this);
        LDrawContext ctx(port);
        ApplyLayout(ctx, false);
    }
}

LPane* CScriptLayoutPane::FindPaneAt(const CLPoint& p) {
    LPane* hit = LFrame::FindPaneAt(p);
    return hit == this ? nullptr : hit;
}

CLRect CScriptLayoutPane::DescribedRect(LDrawContext& ctx) {
    LPaneListLayout panes(Children(), ctx);
    LLayoutDesc desc(&panes);
    desc.Evaluate(Layout().Part(0));
    desc.Evaluate(Layout().Part(1));
    const SLayoutRect& r = desc.LayoutRect();
    return {r.left, r.top, r.right, r.bottom};
}

int32_t CScriptLayoutPane::PreferredWidth(LDrawContext& ctx, int32_t kind) {
    if (mFixedWidth > 0) return mFixedWidth;
    if (!mAutoSize && !mPending) return Bounds().Width();
    (void)kind;
    return DescribedRect(ctx).Width();
}

int32_t CScriptLayoutPane::PreferredHeight(LDrawContext& ctx, int32_t kind) {
    if (mFixedWidth > 0) return mFixedHeight;
    if (!mAutoSize && !mPending) return Bounds().Height();
    (void)kind;
    return DescribedRect(ctx).Height();
}

// Runs between part 0 and part 2 of the layout: defines "cw" and "ch".
void CScriptLayoutPane::DescriptionPrefer(LDrawContext&, LLayoutDesc& desc) {
    int32_t cw, ch;
    if (mFixedWidth > 0) {
        cw = mFixedWidth;
        ch = mFixedHeight;
    } else if (mAutoSize || mPending) {
        desc.Evaluate(Layout().Part(1));
        cw = desc.LayoutRect().right - desc.LayoutRect().left;
        ch = desc.LayoutRect().bottom - desc.LayoutRect().top;
    } else {
        cw = Bounds().Width();
        ch = Bounds().Height();
    }
    desc.DefineVariable("cw", cw);
    desc.DefineVariable("ch", ch);
}

void CScriptLayoutPane::DescriptionApplied(LDrawContext&, LLayoutDesc&) {
    mPending = false;
}
