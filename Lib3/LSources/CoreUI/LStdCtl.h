#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/LPane.h"
#include "Lib3/LSources/CoreUI/LTextStyle.h"
#include "Platform/AppKit/Control.h"
#include "Platform/Foundation/Object.h"

class LString;

L_MESSAGE_ID(LStdCtl_Selected);

// What every control pane is built from: a ready-made control (supplied) or none, its tag and the
// text style of its font.
struct LStdCtlSpec {
    bool supplied = false;
    int32_t tag = 0;
    plat::Control* control = nullptr;  // borrowed; the pane retains it
    LTextStyleH style;
};

// A pane that owns one native control: keeps it placed in the window's content view (or in a clip
// view while partly hidden) as the pane moves, shows and hides, hands it the framework's clicks,
// turns its action into "LStdCtl_Selected", and draws it offscreen while it is not in a window.
// Main thread only.
class LStdCtl : public LPane, private plat::ControlTarget {
public:
    LStdCtl(LPane* owner, const LStdCtlSpec& spec);
    ~LStdCtl() override;

    LMessage Handle(const LMessage& msg) override;
    void StateChanged(uint32_t op) override;
    void BoundsChanged(const CLRect& old) override;
    bool IntersectsRegion(const CRgn& region) override;
    void Draw(LDrawContext& ctx) override;

    // The rectangle the control covers for a pane rectangle (its margin included).
    virtual CLRect GetOuterRect(const CLRect& r) const { return r; }
    virtual CLRect GetControlRect() const { return Bounds(); }
    // Starts the control's own tracking with the press the mouse state holds; answers empty.
    virtual LMessage Track(const CLPoint& local);
    // The control fired.
    virtual void Action();

    plat::Control* Control() const { return fControl.get(); }
    plat::View* ClipView() const { return fClip.get(); }
    const LTextStyleH& Style() const { return fStyle; }
    void SetTitle(const LString& title);
    LString GetTitle() const;
    // The control's content size at the origin (empty without a control).
    CLRect CellSize() const;
    // The baseline of one line of the style's font centred in a height.
    int32_t BaselineFor(int32_t height) const;
    // Whether the control must always sit in a clip view (never, here).
    virtual bool AlwaysClip() const { return false; }
    // Places the control as the pane's visibility and clip say (see the class comment).
    void Replace();

protected:
    // The control's font and size from the style.
    void ApplyStyle();
    bool EffectivelyEnabled() const { return (State() & 0x3A) == 0x0A; }
    // The message sent on a fire: sender this pane, to its upper handler.
    void SendUp(LMsgId id) { Dispatch(LMessage(id, this, Upper())); }

private:
    void ControlAction(const char* action, plat::Control* sender) override;
    void RemoveControl();
    void InvalidateOuter();

    plat::View* fHost = nullptr;  // the window's content view, not retained
    plat::Ref<plat::Control> fControl;
    plat::Ref<plat::View> fClip;
    LTextStyleH fStyle;
    LTimer fTimer;
};
