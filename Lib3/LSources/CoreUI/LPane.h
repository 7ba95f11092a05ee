#pragma once

#include <cstdint>

#include "Common/Rgn/CRgn.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LSLinkBase.h"
#include "Lib3/LSources/CoreUI/CLRect.h"

namespace plat {
class Window;
}
class LDrawContext;
class LPanePort;

L_MESSAGE_ID(LPane_Constructing);
L_MESSAGE_ID(LPane_Destructing);
L_MESSAGE_ID(LPane_ReqFocus);
L_MESSAGE_ID(LPane_ReqCapture);
L_MESSAGE_ID(LPane_Pref);
L_MESSAGE_ID(LPane_UpdateNow);
L_MESSAGE_ID(LPane_Defer);
L_MESSAGE_ID(LPane_Deferred);
L_MESSAGE_ID(LPane_Focus);
L_MESSAGE_ID(LPane_Unfocus);

// The base of everything visible: a rectangle in its owner's coordinates that takes part in message
// routing. Its state word changes only through ChangeState (see the bit and operation constants).
class LPane : public LHandler, public SSLink {
public:
    // State bits.
    enum : uint32_t {
        kShown = 1u << 0,
        kEnabled = 1u << 1,
        kChainShown = 1u << 2,
        kChainEnabled = 1u << 3,
        kLocked = 1u << 4,
        kChainLocked = 1u << 5,
        kFocused = 1u << 6,
        kKeyWindow = 1u << 7,
        kTakesFocus = 1u << 8,
        kRingOutside = 1u << 9,
        kRingShown = 1u << 10,
        kClickFocus = 1u << 11,
        kOwnBackground = 1u << 12,
    };
    // State operations.
    enum : uint32_t {
        kShow = 0,
        kHide = 1,
        kEnable = 2,
        kDisable = 3,
        kChainShow = 4,
        kChainHide = 5,
        kChainEnable = 6,
        kChainDisable = 7,
        kMoved = 8,
        kBackgroundChanged = 9,
        kFocus = 10,
        kUnfocus = 11,
        kLock = 12,
        kUnlock = 13,
        kChainLock = 14,
        kChainUnlock = 15,
        kKeyOn = 16,
        kKeyOff = 17,
        kNoFocus = 18,
        kRingInside = 19,
        kRingOutsideOp = 20,
        kClickFocusOn = 21,
        kClickFocusOff = 22,
        kRelayout = 23,
    };
    static constexpr int32_t kRingWidth = 3;

    LPane(LHandler* upper, LPane* owner);
    ~LPane() override;

    LMessage Handle(const LMessage& msg) override;

    virtual void FillPort(LPanePort& port);
    virtual void Invalidate(const CRgn& invalid, const CRgn& erase);
    virtual void StateChanged(uint32_t op);
    virtual void BoundsChanged(const CLRect& old);
    virtual bool IntersectsRegion(const CRgn& region);
    virtual LPane* FindFocusable();
    virtual LPane* FindPaneAt(const CLPoint& p);
    // kind >= 0 asks for the preferred size; a negative kind for a metric of the subclass.
    virtual int32_t PreferredWidth(LDrawContext& ctx, int32_t kind);
    virtual int32_t PreferredHeight(LDrawContext& ctx, int32_t kind);
    virtual void Draw(LDrawContext& ctx);
    virtual bool FocusNearest(const CLPoint& p);
    virtual bool TakeFocus(int32_t backwards, bool restart);

    void ChangeState(uint32_t op);
    uint32_t State() const { return fState; }
    bool IsVisible() const { return (fState & (kShown | kChainShown)) == (kShown | kChainShown); }
    bool IsActive() const { return (fState & (kShown | kEnabled)) == (kShown | kEnabled); }
    bool IsUsable() const {
        constexpr uint32_t all = kShown | kEnabled | kChainShown | kChainEnabled;
        return (fState & all) == all;
    }

    LPane* Owner() const { return fOwner; }
    const CLRect& Bounds() const { return fBounds; }
    void SetBounds(const CLRect& bounds);

    void SendReqFocusIfClickFocus();
    void UpdateNow();
    plat::Window* GetWindow();
    // This pane's origin (its owner's origin) in the coordinates of another pane, or of the window.
    CLPoint GetOriginIn(LPane* other);
    // The mouse's current location in the coordinates of this pane's bounds (its owner's).
    CLPoint MouseInOwner();
    // The band of the focus ring around a rectangle in the current focus mode; empty without one.
    CRgn RingRegion(const CLRect& r) const;
    static CRgn RingBand(const CLRect& r, bool outside);
    void DrawFocusRing(LDrawContext& ctx);
    // Used by frames: drops the pane held in the slot (sending it op 11), then holds p.
    static void ReplaceFocusRef(LPane*& slot, LPane* p);

    // Objects attached by the pane's users; deleted with the pane. Made on first use.
    LSLinkBase& Attached();

protected:
    // Bit 10 is kept by the pane, bit 12 by frames.
    void SetOwnBackgroundBit(bool on);
    // Sets or clears a state bit without the state-change handling (for drawing through a borrowed
    // port, where showing must not invalidate anything).
    void SetStateBitQuietly(uint32_t bit, bool on) { fState = on ? fState | bit : fState & ~bit; }

private:
    void SendOwn(LMsgId id) { Dispatch(LMessage(id, this, Upper())); }
    void UpdateRing();
    void InvalidateAtOwner(const CRgn& rgn);

    uint32_t fState = 3;
    LPane* fOwner;
    CLRect fBounds;
    LSLinkBase* fAttached = nullptr;
};
