#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Platform/AppKit/TextView.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Object.h"

class LDrop;
class LPane;
class LWindow;
class MTextView;
class MWindowView;

// The native side of every framework window: the window delegate MWindowDelegate and the content view
// MWindowView turn window, mouse and key callbacks into framework messages (sender the LWindow, or the
// mouse and keyboard records) and fill LMouse and LKeyboard from each event. Bound to a window by
// LWindow through the bridge that InstallWindowBridge registers; unbinding detaches both, so nothing
// reaches a destroyed LWindow. Main thread only.
class MWindowDelegate : public plat::Object, public plat::WindowDelegate {
public:
    static plat::Ref<MWindowDelegate> Create(LWindow* owner);

    LWindow* Owner() const { return mOwner; }
    // The content view made with it.
    MWindowView* View() const { return mView.get(); }
    void SetView(MWindowView* view);
    // Detaches both from the window.
    void Detach();
    // Run-loop clock seconds of the last time the window became main; negative before that.
    double ActivationDate() const { return mActivated; }

    bool WindowShouldClose(plat::Window*) override;
    plat::Size WindowWillResize(plat::Window*, plat::Size proposedFrameSize) override;
    void WindowDidResize(plat::Window*) override;
    void WindowDidMove(plat::Window*) override;
    void WindowDidBecomeMain(plat::Window*) override;
    void WindowDidResignMain(plat::Window*) override;
    void WindowDidBecomeKey(plat::Window* window) override;
    void WindowDidResignKey(plat::Window*) override;
    // The window's shared MTextView for an MTextField client; null (the default) for others.
    plat::TextView* WindowWillReturnFieldEditor(plat::Window*, plat::TextField* client) override;

    // The window's drop object (null: the window takes no drags); its dragging callbacks go to it.
    void RegisterDrop(LDrop* drop) { mDrop = drop; }
    LDrop* Drop() const { return mDrop; }
    uint32_t DraggingEntered(plat::Window*, const plat::DraggingInfo& info) override;
    uint32_t DraggingUpdated(plat::Window*, const plat::DraggingInfo& info) override;
    void DraggingExited(plat::Window*, const plat::DraggingInfo& info) override;
    bool PrepareForDragOperation(plat::Window*, const plat::DraggingInfo& info) override;
    bool PerformDragOperation(plat::Window*, const plat::DraggingInfo& info) override;

private:
    explicit MWindowDelegate(LWindow* owner) : mOwner(owner) {}
    void Send(const char* id);

    LWindow* mOwner;
    plat::Ref<MWindowView> mView;
    double mActivated = -1;
    LDrop* mDrop = nullptr;
    plat::Ref<MTextView> mFieldEditor;
};

// The shared field editor of a framework window: mouse moves go on to the content view, so the
// framework keeps seeing them while a field is edited.
class MTextView : public plat::TextView {
public:
    static plat::Ref<MTextView> Create();
    void MouseMoved(const plat::Event& event) override;
private:
    MTextView() : plat::TextView({0, 0, 1, 1}) {}
};

class MWindowView : public plat::View {
public:
    static plat::Ref<MWindowView> Create(LWindow* owner);

    void Detach() { mOwner = nullptr; }

    plat::View* HitTest(plat::Point inSuperview) override;
    void DrawRect(const plat::Rect& dirty) override;
    bool ShouldDelayWindowOrdering(const plat::Event& event) override;
    bool AcceptsFirstMouse(const plat::Event& event) override;
    void MouseDown(const plat::Event& event) override;
    void MouseDragged(const plat::Event& event) override;
    void MouseUp(const plat::Event& event) override;
    void MouseMoved(const plat::Event& event) override;
    // The middle button goes to the native view under it (the field being edited pastes).
    void OtherMouseDown(const plat::Event& event) override;
    void ScrollWheel(const plat::Event& event) override;
    void KeyDown(const plat::Event& event) override;
    void KeyUp(const plat::Event& event) override;
    void FlagsChanged(const plat::Event& event) override;
    void DoCommandBySelector(const char* selector) override;
    plat::Menu* MenuForEvent(const plat::Event& event) override;

    // The global point of an event (top-left screen coordinates).
    static CLPoint GlobalLocation(const plat::Event& event);

private:
    explicit MWindowView(LWindow* owner) : plat::View({0, 0, 1, 1}), mOwner(owner) {}
    void FillMouse(const plat::Event& event);
    LPane* KeyTarget() const;
    void RefreshCursor();

    LWindow* mOwner;
    uint8_t mMouseDown = 0;
    uint8_t mOtherDown = 0;
    uint32_t mKeyEv = 0;
};

// Registers the binding with LWindow (done by the window manager).
void InstallWindowBridge();
// The first-mouse delay: a press sooner after activation only activates.
inline constexpr double kFirstMouseDelay = 0.1;
