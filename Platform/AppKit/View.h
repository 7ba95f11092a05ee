#pragma once

#include <vector>

#include "Platform/AppKit/Menu.h"
#include "Platform/Foundation/Geometry.h"
#include "Platform/Foundation/Object.h"

namespace plat {

class BitmapImage;
class DraggingSource;
class DrawContext;
class Pasteboard;
struct Event;
class Menu;
class Window;

// A rectangle of a window's content. The frame is in the superview's coordinates, the bounds in
// the view's own (origin top-left). Subclasses override the event methods; the defaults pass the
// event to the superview. As a responder a view takes the actions it answers for (MenuTarget):
// target-less actions reach the first responder, then its superviews. Main thread only.
class View : public Object, public MenuTarget {
public:
    static Ref<View> Create(const Rect& frame);

    Rect Frame() const { return fFrame; }
    virtual void SetFrame(const Rect& frame);
    Rect Bounds() const { return {fBoundsOrigin.x, fBoundsOrigin.y, fFrame.width, fFrame.height}; }
    void SetBoundsOrigin(Point origin) { fBoundsOrigin = origin; }

    View* Superview() const { return fSuperview; }
    const std::vector<Ref<View>>& Subviews() const { return fSubviews; }
    // Retains the subview; it leaves its former superview first.
    void AddSubview(View* view);
    void RemoveFromSuperview();
    Window* GetWindow() const;

    // Between this view's coordinates and its window's content coordinates.
    Point ConvertToContent(Point p) const;
    Point ConvertFromContent(Point p) const;

    bool NeedsDisplay() const { return !fDirty.IsEmpty(); }
    Rect DirtyRect() const { return fDirty; }
    void SetNeedsDisplay(bool needs);
    void SetNeedsDisplayInRect(const Rect& rect);
    // Draws the dirty part of this view and its subviews (clears the dirty areas): in a window, into
    // its backing store, each view clipped to its frame and its ancestors'.
    void DisplayIfNeeded();

    // During a draw pass (inside DrawRect): the view being drawn, its rectangles being drawn (own
    // coordinates) and the context drawn into (its transformation maps the view's own coordinates).
    static View* FocusView();
    std::vector<Rect> RectsBeingDrawn() const;

    // The deepest view containing the point (given in the superview's coordinates), or null.
    virtual View* HitTest(Point inSuperview);
    // Draws the area (own coordinates). The default calls the draw callback.
    virtual void DrawRect(const Rect& dirty);
    // Whether the view's drawing stands alone. One that is not (a control's anti-aliased bezel
    // blends with what lies beneath) is drawn again over its superview's drawing: asking it to draw
    // asks its superview for the area too.
    virtual bool IsOpaque() const { return true; }
    using DrawCallback = void (*)(View* view, const Rect& dirty, void* context);
    void SetDrawCallback(DrawCallback callback, void* context) {
        fDraw = callback;
        fDrawContext = context;
    }

    virtual void MouseDown(const Event& event);
    virtual void MouseUp(const Event& event);
    virtual void MouseDragged(const Event& event);
    virtual void MouseMoved(const Event& event);
    virtual void RightMouseDown(const Event& event);
    virtual void RightMouseUp(const Event& event);
    // The middle button and the others (Event::buttonNumber tells which).
    virtual void OtherMouseDown(const Event& event);
    virtual void OtherMouseUp(const Event& event);
    virtual void ScrollWheel(const Event& event);
    virtual void KeyDown(const Event& event);
    virtual void KeyUp(const Event& event);
    virtual void FlagsChanged(const Event& event);
    // A command of the text system ("insertNewline:", ...); the default passes it to the superview.
    virtual void DoCommandBySelector(const char* selector);
    // A press in a window that is not key: true keeps the window where it is in the order.
    virtual bool ShouldDelayWindowOrdering(const Event&) { return false; }
    // A press in a window that is not key: false only activates the window.
    virtual bool AcceptsFirstMouse(const Event&) { return false; }
    // Asked when the window makes this view its first responder: the view that takes the place (the
    // view itself by default; a text field answers its field editor), or null to refuse.
    virtual View* BecomeFirstResponder() { return this; }
    // Asked when this view stops being its window's first responder; false keeps it.
    virtual bool ResignFirstResponder() { return true; }
    // A context press (right, or left with Control): the menu to pop up, or null.
    virtual Menu* MenuForEvent(const Event&) { return nullptr; }

    // Drags the image from a point of this view (its top-left, own coordinates, plus the offset) in a
    // nested loop until the button comes up or Escape; the source learns the operation done.
    uint32_t DragImage(const BitmapImage* image, Point at, Size offset, const Event& mouseDown,
                       Pasteboard* pasteboard, DraggingSource* source, bool slideBack);

protected:
    explicit View(const Rect& frame) : fFrame(frame) {}
    ~View() override;

private:
    friend class Window;
    void AttachWindow(Window* window) { fWindow = window; }
    void DrawPass(DrawContext* ctx, const Rect& visible);

    Rect fFrame;
    Point fBoundsOrigin;
    Rect fDirty;
    View* fSuperview = nullptr;
    Window* fWindow = nullptr;  // set on the content view only
    std::vector<Ref<View>> fSubviews;
    DrawCallback fDraw = nullptr;
    void* fDrawContext = nullptr;
};

// The context of the draw pass running now, null outside one.
DrawContext* CurrentDrawContext();

}  // namespace plat
