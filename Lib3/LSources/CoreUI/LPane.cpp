#include "Lib3/LSources/CoreUI/LPane.h"

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPaint.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Platform/AppKit/Window.h"

namespace {
// Ops 0-17: the bit each one sets or clears (ops 8 and 9 change none).
struct BitOp {
    uint32_t bit;
    bool set;
};
constexpr BitOp kBitOps[18] = {
    {LPane::kShown, true},
    {LPane::kShown, false},
    {LPane::kEnabled, true},
    {LPane::kEnabled, false},
    {LPane::kChainShown, true},
    {LPane::kChainShown, false},
    {LPane::kChainEnabled, true},
    {LPane::kChainEnabled, false},
    {0, false},
    {0, false},
    {LPane::kFocused, true},
    {LPane::kFocused, false},
    {LPane::kLocked, true},
    {LPane::kLocked, false},
    {LPane::kChainLocked, true},
    {LPane::kChainLocked, false},
    {LPane::kKeyWindow, true},
    {LPane::kKeyWindow, false},
};
constexpr uint32_t kFocusField = LPane::kTakesFocus | LPane::kRingOutside;
}  // namespace

LPane::LPane(LHandler* upper, LPane* owner) : LHandler(upper), fOwner(owner) {
    Dispatch(LMessage(LPane_Constructing, this, owner));
}

LPane::~LPane() {
    ChangeState(kHide);
    Dispatch(LMessage(LPane_Destructing, this, fOwner));
    if (fAttached) {
        fAttached->DeleteAll();
        delete fAttached;
    }
}

LMessage LPane::Handle(const LMessage& msg) {
    if (msg.Is(LPane_ReqFocus) || msg.Is(LPane_Destructing)) UpdateRing();
    return LHandler::Handle(msg);
}

void LPane::FillPort(LPanePort& port) {
    if (fOwner) fOwner->FillPort(port);
}

void LPane::Invalidate(const CRgn& invalid, const CRgn& erase) {
    if (IsVisible() && fOwner) fOwner->Invalidate(invalid, erase);
}

void LPane::InvalidateAtOwner(const CRgn& rgn) {
    if (fOwner) fOwner->Invalidate(rgn, rgn);
}

void LPane::StateChanged(uint32_t op) {
    switch (op) {
        case kFocus:
            SendOwn(LPane_Focus);
            break;
        case kUnfocus:
            SendOwn(LPane_Unfocus);
            break;
        case kShow:
        case kHide:
            if (fState & kChainShown) InvalidateAtOwner(CRgn(fBounds));
            break;
        default:
            break;
    }
}

void LPane::BoundsChanged(const CLRect& old) {
    if (!IsVisible() || !fOwner) return;
    CRgn invalid(old);
    invalid |= CRgn(fBounds);
    CRgn erase = invalid;
    if (fState & kOwnBackground) {
        erase = CRgn(old);
        erase -= CRgn(fBounds);
    }
    if (fState & kRingShown) {
        CRgn rings = RingRegion(old);
        rings |= RingRegion(fBounds);
        invalid |= rings;
        erase |= rings;
    }
    fOwner->Invalidate(invalid, erase);
}

bool LPane::IntersectsRegion(const CRgn& region) {
    return (fState & kShown) && region.Contain(fBounds);
}

LPane* LPane::FindFocusable() {
    return IsUsable() ? this : nullptr;
}

LPane* LPane::FindPaneAt(const CLPoint& p) {
    bool hit =
        (fState & (kShown | kEnabled)) == (kShown | kEnabled) && !(fState & kLocked) && fBounds.Contain(p);
    return hit ? this : nullptr;
}

int32_t LPane::PreferredWidth(LDrawContext&, int32_t kind) {
    return kind >= 0 ? 16 : 0;
}

int32_t LPane::PreferredHeight(LDrawContext&, int32_t kind) {
    return kind >= 0 ? 16 : 0;
}

void LPane::Draw(LDrawContext&) {}

bool LPane::FocusNearest(const CLPoint&) {
    return false;
}

bool LPane::TakeFocus(int32_t, bool) {
    if (fState & kTakesFocus) SendOwn(LPane_ReqFocus);
    return false;
}

void LPane::ChangeState(uint32_t op) {
    if (op < 18 && kBitOps[op].bit) {
        const BitOp& b = kBitOps[op];
        if (((fState & b.bit) != 0) == b.set) return;
        if (op == kHide) ChangeState(kUnfocus);
        fState = b.set ? fState | b.bit : fState & ~b.bit;
    } else if (op == kNoFocus) {
        if (!(fState & kTakesFocus)) return;
        fState &= ~kTakesFocus;
    } else if (op == kRingInside || op == kRingOutsideOp) {
        uint32_t other = op == kRingInside ? kFocusField : kTakesFocus;
        if ((fState & kFocusField) == other) {
            fState &= ~kTakesFocus;
            StateChanged(kNoFocus);
            UpdateRing();
        }
        if (fState & kTakesFocus) return;
        fState = (fState & ~kFocusField) | (op == kRingInside ? kTakesFocus : kFocusField);
    } else if (op == kClickFocusOn || op == kClickFocusOff) {
        bool set = op == kClickFocusOn;
        if (((fState & kClickFocus) != 0) == set) return;
        fState = set ? fState | kClickFocus : fState & ~kClickFocus;
    }
    StateChanged(op);
    UpdateRing();
}

void LPane::UpdateRing() {
    constexpr uint32_t need = kShown | kChainShown | kFocused | kKeyWindow | kTakesFocus;
    bool on = (fState & need) == need && FindFocusable() == this;
    if (on == ((fState & kRingShown) != 0)) return;
    // The ring region is the same whichever way the bit goes.
    fState ^= kRingShown;
    InvalidateAtOwner(RingBand(fBounds, (fState & kRingOutside) != 0));
}

CRgn LPane::RingRegion(const CLRect& r) const {
    if (!(fState & kTakesFocus)) return CRgn();
    return RingBand(r, (fState & kRingOutside) != 0);
}

CRgn LPane::RingBand(const CLRect& r, bool outside) {
    CLRect outer = r, inner = r;
    if (outside)
        outer.Inset(-kRingWidth, -kRingWidth);
    else
        inner.Inset(kRingWidth, kRingWidth);
    CRgn ring(outer);
    ring -= CRgn(inner);
    return ring;
}

void LPane::DrawFocusRing(LDrawContext& ctx) {
    if (!(fState & kRingShown)) return;
    LPaint paint(RingRegion(fBounds), LColor::System(5));
    paint.Fill(ctx);
}

void LPane::SetBounds(const CLRect& bounds) {
    if (bounds == fBounds) return;
    CLRect old = fBounds;
    fBounds = bounds;
    BoundsChanged(old);
}

void LPane::SendReqFocusIfClickFocus() {
    if (fState & kClickFocus) SendOwn(LPane_ReqFocus);
}

void LPane::UpdateNow() {
    SendOwn(LPane_UpdateNow);
}

plat::Window* LPane::GetWindow() {
    LPanePort port(this);
    return port.window;
}

CLPoint LPane::GetOriginIn(LPane* other) {
    LPanePort mine(this);
    if (!other) return mine.origin;
    LPanePort theirs(other);
    return {mine.origin.x - theirs.origin.x, mine.origin.y - theirs.origin.y};
}

CLPoint LPane::MouseInOwner() {
    LMouse* mouse = LMouse::Get();
    if (!mouse) return {};
    LPanePort port(this, LPanePort::Surroundings{});
    CLPoint p = mouse->Location();
    if (port.window) {
        const plat::Point content = port.window->ConvertFromScreen({double(p.x), double(p.y)});
        p = {int32_t(content.x), int32_t(content.y)};
    }
    return {p.x - port.origin.x, p.y - port.origin.y};
}

void LPane::ReplaceFocusRef(LPane*& slot, LPane* p) {
    if (slot && slot != p) {
        LPane* old = slot;
        slot = nullptr;
        old->ChangeState(kUnfocus);
    }
    slot = p;
}

LSLinkBase& LPane::Attached() {
    if (!fAttached) fAttached = new LSLinkBase;
    return *fAttached;
}

void LPane::SetOwnBackgroundBit(bool on) {
    fState = on ? fState | kOwnBackground : fState & ~kOwnBackground;
}

LPanePort::LPanePort(LPane* pane) {
    if (pane) pane->FillPort(*this);
}

LPanePort::LPanePort(LPane* pane, Surroundings) {
    if (pane && pane->Owner()) pane->Owner()->FillPort(*this);
}
