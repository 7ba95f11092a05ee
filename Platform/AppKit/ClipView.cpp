#include "Platform/AppKit/ClipView.h"

#include <algorithm>
#include <cmath>

#include "Platform/AppKit/NotificationCenter.h"
#include "Platform/Foundation/Check.h"

namespace plat {

Ref<ClipView> ClipView::Create(const Rect& frame) {
    PLAT_DCHECK_MAIN_THREAD();
    return Adopt(new ClipView(frame));
}

void ClipView::SetDocumentView(View* view) {
    PLAT_DCHECK_MAIN_THREAD();
    if (fDocument.get() == view) return;
    if (fDocument) fDocument->RemoveFromSuperview();
    fDocument = RetainRef(view);
    if (view) AddSubview(view);
    ScrollToPoint(Bounds().Origin());
}

void ClipView::ScrollToPoint(Point origin) {
    PLAT_DCHECK_MAIN_THREAD();
    const Rect doc = fDocument ? fDocument->Frame() : Rect{};
    const double maxX = std::max(0.0, doc.MaxX() - Frame().width);
    const double maxY = std::max(0.0, doc.MaxY() - Frame().height);
    Point p{std::round(std::clamp(origin.x, 0.0, maxX)), std::round(std::clamp(origin.y, 0.0, maxY))};
    if (!std::isfinite(origin.x) || !std::isfinite(origin.y)) p = {0, 0};
    const Point old = Bounds().Origin();
    if (p.x == old.x && p.y == old.y) return;
    SetBoundsOrigin(p);
    SetNeedsDisplay(true);
    NotificationCenter::Default().Post(kViewBoundsDidChangeNotification, this);
}

void ClipView::ScrollRectToVisible(const Rect& rect) {
    const Rect b = Bounds();
    Point p = b.Origin();
    if (rect.MaxX() > b.MaxX()) p.x = rect.MaxX() - b.width;
    if (rect.x < p.x) p.x = rect.x;
    if (rect.MaxY() > b.MaxY()) p.y = rect.MaxY() - b.height;
    if (rect.y < p.y) p.y = rect.y;
    ScrollToPoint(p);
}

}  // namespace plat
