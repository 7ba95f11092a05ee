#include "Lib3/LSources/Mac/LDropPane.h"

#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/CoreUI/UDropHighlight.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"

namespace {

// The frontmost visible dialog window, null when none.
LWindow* FrontDialog() {
    plat::Application* app = plat::Application::Shared();
    for (int64_t number : app->WindowNumbers()) {
        LWindow* w = LWindow::FindWindow(app->WindowWithNumber(number));
        if (w && w->Kind() == LWindow::kModal) return w;
    }
    return nullptr;
}

}  // namespace

LDropPane::LDropPane(LPane* owner, uint8_t highlightStyle)
    : LPane(owner, owner), fStyle(highlightStyle), fWindow(GetWindow()) {
    if (fWindow) (void)LDropTargetList::Acquire(fWindow);
}

LDropPane::~LDropPane() {
    SetHighlight(false);
    if (!fWindow) return;
    if (LDrop* drop = LDropTargetList::Find(fWindow)) drop->Forget(this);
    LDropTargetList::Release(fWindow);
}

CRgn LDropPane::HighlightRing() const {
    return UDropHighlight::Ring(Bounds(), fStyle ? fStyle : 1);
}

void LDropPane::SetHighlight(bool on) {
    if (bool(fHighlighted) == on) return;
    fHighlighted = on;
    const CRgn ring = HighlightRing();
    Invalidate(ring, ring);
    UpdateNow();
}

void LDropPane::SetFeedback(uint32_t mode) {
    fFeedback = mode;
    if (fDrop) fDrop->SetFeedback(mode);
}

LMessage LDropPane::Handle(const LMessage& msg) {
    if (!IsUsable()) return LPane::Handle(msg);
    auto* drop = static_cast<LDrop*>(msg.sender);
    if (msg.Is(LDrop_Sense) && drop) {
        LWindow* dialog = FrontDialog();
        if (dialog && dialog->NativeWindow() != fWindow) return LMessage();
        drop->Target(this);
        return LMessage();
    }
    if (msg.Is(LDrop_Enter) && drop) {
        fFeedback = 0;
        fDrop = drop;
        LHandlerWatch watch(this);
        Dispatch(LMessage(LDropPane_Enter, this, Upper()));
        if (watch.IsGone()) return LMessage();
        SetHighlight(fFeedback != 0);
        return LMessage();
    }
    if (msg.Is(LDrop_Drag) && drop) {
        LHandlerWatch watch(this);
        Dispatch(LMessage(LDropPane_Drag, this, Upper()));
        if (watch.IsGone()) return LMessage();
        if (fDrop) fDrop->SetFeedback(fFeedback);
        SetHighlight(fFeedback != 0);
        return LMessage();
    }
    if (msg.Is(LDrop_Leave)) {
        fFeedback = 0;
        fDrop = nullptr;
        SetHighlight(false);
        return LMessage(LDropPane_Leave, this, Upper());
    }
    if (msg.Is(LDrop_Drop)) {
        SetHighlight(false);
        if (fFeedback == 0 || !fDrop) return LMessage();
        fFeedback = 0;
        return LMessage(LDropPane_Drop, this, Upper());
    }
    return LPane::Handle(msg);
}

void LDropPane::LeaveIfTarget() {
    if (fDrop && fDrop->CurrentTarget() == this) {
        fDrop->Forget(this);
        Dispatch(LMessage(LDrop_Leave, fDrop, this));
    }
}

void LDropPane::StateChanged(uint32_t op) {
    LPane::StateChanged(op);
    if (op == kHide || op == kChainHide || op == kMoved) LeaveIfTarget();
}

void LDropPane::BoundsChanged(const CLRect& old) {
    LPane::BoundsChanged(old);
    LeaveIfTarget();
}

bool LDropPane::IntersectsRegion(const CRgn& region) {
    if (!(State() & kShown) || !fHighlighted) return false;
    CRgn meet = HighlightRing();
    meet &= region;
    return !meet.IsEmpty();
}

void LDropPane::Draw(LDrawContext& ctx) {
    if (fHighlighted) UDropHighlight::Draw(ctx, Bounds(), fStyle ? fStyle : 1, LColor::System(4));
}
