#pragma once

#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Platform/AppKit/View.h"
#include "Platform/Foundation/Object.h"

class CEmbeddedFrame;
namespace plat {
class Window;
}

// The native view of an embedded frame: in the draw pass it draws its frame's panes.
class MEmbeddedView : public plat::View {
public:
    static plat::Ref<MEmbeddedView> Create(CEmbeddedFrame* owner);

    CEmbeddedFrame* Owner() const { return mOwner; }
    void DrawRect(const plat::Rect& dirty) override;
    // The view now sits in a window: the frame chain is shown and enabled.
    void DidMoveToWindow();

private:
    friend class CEmbeddedFrame;
    explicit MEmbeddedView(CEmbeddedFrame* owner);
    CEmbeddedFrame* mOwner;  // cleared when the frame goes
};

// A frame that draws into a native view of its own, so that native code (a file panel's accessory
// area) can host framework panes: its port is the host window with the view as content view, origin
// 0, 0, clipped to its bounds. No owner pane; its bounds stay at the origin. Main thread only.
class CEmbeddedFrame : public LFrame {
public:
    CEmbeddedFrame(LHandler* upper, plat::Window* host);
    ~CEmbeddedFrame() override;

    void FillPort(LPanePort& port) override;
    void BoundsChanged(const CLRect& old) override;
    void Invalidate(const CRgn& invalid, const CRgn& erase) override;

    MEmbeddedView* View() const { return mView.get(); }
    plat::Window* Host() const { return mHost; }
    // Puts the view into a superview (of the host window) at the point and shows the frame chain.
    void AttachTo(plat::View* superview, plat::Point at);

private:
    plat::Window* mHost;  // not owned
    plat::Ref<MEmbeddedView> mView;
};
