#include "Common/ObjC/CEmbeddedFrame.h"

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Platform/Foundation/Check.h"

plat::Ref<MEmbeddedView> MEmbeddedView::Create(CEmbeddedFrame* owner) {
    return plat::Adopt(new MEmbeddedView(owner));
}

MEmbeddedView::MEmbeddedView(CEmbeddedFrame* owner) : plat::View({0, 0, 1, 1}), mOwner(owner) {}

void MEmbeddedView::DrawRect(const plat::Rect&) {
    if (!mOwner || !mOwner->IsVisible()) return;
    plat::DrawContext* native = plat::CurrentDrawContext();
    if (!native || plat::View::FocusView() != this) return;
    CRgn area;
    for (const plat::Rect& r : RectsBeingDrawn())
        area |= CRgn(CLRect{int32_t(r.x), int32_t(r.y), int32_t(r.x + r.width), int32_t(r.y + r.height)});
    LPanePort port(mOwner);
    LDrawContext ctx(port, native, area);
    if (!ctx.HasArea()) return;
    LColorScope colour(ctx, mOwner->Background().Data() ? mOwner->Background() : ctx.Color());
    ctx.ApplyPending();
    mOwner->Draw(ctx);
}

void MEmbeddedView::DidMoveToWindow() {
    if (!mOwner || !GetWindow()) return;
    mOwner->ChangeState(LPane::kChainShow);
    mOwner->ChangeState(LPane::kChainEnable);
}

CEmbeddedFrame::CEmbeddedFrame(LHandler* upper, plat::Window* host)
    : LFrame(upper, nullptr, LFrameSpec::Default()), mHost(host), mView(MEmbeddedView::Create(this)) {
    PLAT_DCHECK_MAIN_THREAD();
}

CEmbeddedFrame::~CEmbeddedFrame() {
    PLAT_DCHECK_MAIN_THREAD();
    // The children go first (with the LFrame), while the view is still there for their controls.
    mView->mOwner = nullptr;
    mView->RemoveFromSuperview();
}

void CEmbeddedFrame::FillPort(LPanePort& port) {
    port.window = mHost;
    port.contentView = mView.get();
    port.origin = CLPoint{0, 0};
    port.clip = CRgn(CLRect{0, 0, Bounds().Width(), Bounds().Height()});
    if (Background().Data()) {
        port.background = Background();
        port.ownBackground = Background();
        port.ownBackgroundOrigin = port.origin;
    }
}

void CEmbeddedFrame::BoundsChanged(const CLRect& old) {
    const plat::Rect f = mView->Frame();
    mView->SetFrame({f.x, f.y, double(Bounds().Width()), double(Bounds().Height())});
    LFrame::BoundsChanged(old);
}

void CEmbeddedFrame::Invalidate(const CRgn& invalid, const CRgn& erase) {
    if (!IsVisible()) return;
    CRgn all = invalid;
    all |= erase;
    all &= CRgn(CLRect{0, 0, Bounds().Width(), Bounds().Height()});
    if (all.IsEmpty()) return;
    const CLRect b = all.bounds();
    mView->SetNeedsDisplayInRect({double(b.left), double(b.top), double(b.Width()), double(b.Height())});
}

void CEmbeddedFrame::AttachTo(plat::View* superview, plat::Point at) {
    PLAT_DCHECK_MAIN_THREAD();
    const plat::Rect f = mView->Frame();
    mView->SetFrame({at.x, at.y, f.width, f.height});
    if (superview) superview->AddSubview(mView.get());
    mView->DidMoveToWindow();
    mView->SetNeedsDisplay(true);
}
