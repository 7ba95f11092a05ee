#pragma once

#include "Platform/AppKit/View.h"

namespace plat {

// Posted to the default notification centre when a clip view scrolls (object: the clip view).
inline constexpr const char* kViewBoundsDidChangeNotification = "ViewBoundsDidChange";

// A view that shows part of its one document view: its bounds origin is the scroll position.
// Scrolling posts kViewBoundsDidChangeNotification. Main thread only.
class ClipView : public View {
public:
    static Ref<ClipView> Create(const Rect& frame);

    View* DocumentView() const { return fDocument.get(); }
    // Retains the view and makes it the only subview.
    void SetDocumentView(View* view);
    // Scrolls to the point (clamped so the document fills the clip where it can); posts the
    // notification when the origin moved.
    void ScrollToPoint(Point origin);
    // The smallest scroll that shows the rectangle (document coordinates).
    void ScrollRectToVisible(const Rect& rect);

private:
    explicit ClipView(const Rect& frame) : View(frame) {}

    Ref<View> fDocument;
};

}  // namespace plat
