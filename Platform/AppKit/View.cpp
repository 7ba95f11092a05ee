#include "Platform/AppKit/View.h"

#include <algorithm>
#include <utility>

#include "Platform/AppKit/Dragging.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Graphics/DrawContext.h"

namespace plat {

namespace {
// The draw pass running now (one at a time, on the main thread).
View* gFocusView = nullptr;
Rect gBeingDrawn;
DrawContext* gPassContext = nullptr;
}  // namespace

DrawContext* CurrentDrawContext() {
    return gPassContext;
}

View* View::FocusView() {
    return gFocusView;
}

std::vector<Rect> View::RectsBeingDrawn() const {
    if (gFocusView != this || gBeingDrawn.IsEmpty()) return {};
    return {gBeingDrawn};
}

Ref<View> View::Create(const Rect& frame) {
    PLAT_DCHECK_MAIN_THREAD();
    return Adopt(new View(frame));
}

View::~View() {
    for (const Ref<View>& v : fSubviews) v->fSuperview = nullptr;
}

void View::SetFrame(const Rect& frame) {
    PLAT_DCHECK_MAIN_THREAD();
    bool grew = frame.width > fFrame.width || frame.height > fFrame.height;
    fFrame = frame;
    if (grew) SetNeedsDisplay(true);
}

void View::AddSubview(View* view) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!view || view == this) return;
    Ref<View> keep(view);
    view->RemoveFromSuperview();
    view->fSuperview = this;
    fSubviews.push_back(std::move(keep));
}

void View::RemoveFromSuperview() {
    PLAT_DCHECK_MAIN_THREAD();
    View* super = fSuperview;
    if (!super) return;
    Ref<View> keep(this);  // the superview's reference may be the last
    auto it = std::find(super->fSubviews.begin(), super->fSubviews.end(), keep);
    if (it != super->fSubviews.end()) super->fSubviews.erase(it);
    fSuperview = nullptr;
}

Window* View::GetWindow() const {
    const View* v = this;
    while (v->fSuperview) v = v->fSuperview;
    return v->fWindow;
}

Point View::ConvertToContent(Point p) const {
    for (const View* v = this; v->fSuperview; v = v->fSuperview) {
        p.x += v->fFrame.x - v->fBoundsOrigin.x;
        p.y += v->fFrame.y - v->fBoundsOrigin.y;
    }
    return p;
}

Point View::ConvertFromContent(Point p) const {
    Point zero = ConvertToContent({0, 0});
    return {p.x - zero.x, p.y - zero.y};
}

void View::SetNeedsDisplay(bool needs) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!needs) {
        fDirty = {};
        return;
    }
    SetNeedsDisplayInRect(Bounds());
}

void View::SetNeedsDisplayInRect(const Rect& rect) {
    PLAT_DCHECK_MAIN_THREAD();
    Rect r = rect.Intersection(Bounds());
    if (r.IsEmpty()) return;
    fDirty = fDirty.Union(r);
    if (fSuperview && !IsOpaque()) {
        // Drawn over what lies beneath (anti-aliased edges blend with it): the area is drawn again
        // from the top view down, this view last.
        View* top = fSuperview;
        while (top->fSuperview) top = top->fSuperview;
        const Point o = ConvertToContent({r.x, r.y});
        top->SetNeedsDisplayInRect({o.x, o.y, r.width, r.height});
        return;
    }
    if (Window* w = GetWindow()) {
        Point o = ConvertToContent({r.x, r.y});
        w->ContentNeedsDisplay({o.x, o.y, r.width, r.height});
    }
}

void View::DisplayIfNeeded() {
    PLAT_DCHECK_MAIN_THREAD();
    Window* w = GetWindow();
    DrawContext* ctx = w ? w->BackingStore() : nullptr;
    // The part of this view its ancestors leave visible, in content coordinates.
    auto frameInContent = [](const View* v) -> Rect {
        if (!v->fSuperview) return {0, 0, v->fFrame.width, v->fFrame.height};
        Point p = v->fSuperview->ConvertToContent({v->fFrame.x, v->fFrame.y});
        return {p.x, p.y, v->fFrame.width, v->fFrame.height};
    };
    Rect visible = frameInContent(this);
    for (const View* v = fSuperview; v; v = v->fSuperview) visible = visible.Intersection(frameInContent(v));
    DrawPass(ctx, visible);
}

void View::DrawPass(DrawContext* ctx, const Rect& visible) {
    Ref<View> keep(this);  // drawing may remove this view from its superview
    Point o = ConvertToContent({0, 0});
    Rect drawn;  // content coordinates
    if (NeedsDisplay()) {
        Rect dirty = fDirty;
        fDirty = {};
        Rect shown = Rect{dirty.x + o.x, dirty.y + o.y, dirty.width, dirty.height}.Intersection(visible);
        drawn = shown;
        if (!shown.IsEmpty()) {
            Rect own{shown.x - o.x, shown.y - o.y, shown.width, shown.height};
            View* outerView = gFocusView;
            Rect outerRect = gBeingDrawn;
            DrawContext* outerCtx = gPassContext;
            gFocusView = this;
            gBeingDrawn = own;
            gPassContext = ctx;
            if (ctx) {
                ctx->SaveGState();
                ctx->ClipToRects(&shown, 1);
                ctx->TranslateCTM(o.x, o.y);
            }
            DrawRect(own);
            if (ctx) ctx->RestoreGState();
            gFocusView = outerView;
            gBeingDrawn = outerRect;
            gPassContext = outerCtx;
        }
    }
    std::vector<Ref<View>> subs(fSubviews);
    for (const Ref<View>& v : subs) {
        Rect f = v->fFrame;
        Rect inContent{f.x + o.x, f.y + o.y, f.width, f.height};
        if (v->fSuperview != this) continue;
        // What this view painted over a subview is drawn again by the subview.
        const Rect over = inContent.Intersection(drawn);
        if (!over.IsEmpty()) {
            const Point so = v->ConvertToContent({0, 0});
            v->fDirty = v->fDirty.Union({over.x - so.x, over.y - so.y, over.width, over.height});
        }
        v->DrawPass(ctx, inContent.Intersection(visible));
    }
}

View* View::HitTest(Point p) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fFrame.Contains(p)) return nullptr;
    Point local{p.x - fFrame.x + fBoundsOrigin.x, p.y - fFrame.y + fBoundsOrigin.y};
    for (auto it = fSubviews.rbegin(); it != fSubviews.rend(); ++it)
        if (View* hit = (*it)->HitTest(local)) return hit;
    return this;
}

void View::DrawRect(const Rect& dirty) {
    if (fDraw) fDraw(this, dirty, fDrawContext);
}

void View::MouseDown(const Event& e) {
    if (fSuperview) fSuperview->MouseDown(e);
}
void View::MouseUp(const Event& e) {
    if (fSuperview) fSuperview->MouseUp(e);
}
void View::MouseDragged(const Event& e) {
    if (fSuperview) fSuperview->MouseDragged(e);
}
void View::MouseMoved(const Event& e) {
    if (fSuperview) fSuperview->MouseMoved(e);
}
void View::RightMouseDown(const Event& e) {
    if (fSuperview) fSuperview->RightMouseDown(e);
}
void View::RightMouseUp(const Event& e) {
    if (fSuperview) fSuperview->RightMouseUp(e);
}
void View::OtherMouseDown(const Event& e) {
    if (fSuperview) fSuperview->OtherMouseDown(e);
}
void View::OtherMouseUp(const Event& e) {
    if (fSuperview) fSuperview->OtherMouseUp(e);
}
void View::ScrollWheel(const Event& e) {
    if (fSuperview) fSuperview->ScrollWheel(e);
}
void View::KeyDown(const Event& e) {
    if (fSuperview) fSuperview->KeyDown(e);
}
void View::KeyUp(const Event& e) {
    if (fSuperview) fSuperview->KeyUp(e);
}
void View::FlagsChanged(const Event& e) {
    if (fSuperview) fSuperview->FlagsChanged(e);
}
void View::DoCommandBySelector(const char* selector) {
    if (fSuperview) fSuperview->DoCommandBySelector(selector);
}

}  // namespace plat

namespace plat {

uint32_t View::DragImage(const BitmapImage* image, Point at, Size offset, const Event& mouseDown,
                         Pasteboard* pasteboard, DraggingSource* source, bool slideBack) {
    PLAT_DCHECK_MAIN_THREAD();
    Ref<View> keep = RetainRef(this);
    Window* w = GetWindow();
    const Point content = ConvertToContent({at.x + offset.width, at.y + offset.height});
    const Point screen = w ? w->ConvertToScreen(content) : content;
    return RunDragLoop(image, screen, mouseDown, pasteboard, source, slideBack);
}

}  // namespace plat
