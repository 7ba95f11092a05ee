#include "Lib3/LSources/Mac/CListDropTarget.h"

#include <algorithm>

#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LListPane.h"
#include "Lib3/LSources/CoreUI/LPaint.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Platform/AppKit/Window.h"

CListDropTarget::CListDropTarget(LListPane* list)
    : CDropTargetHelper(list), LHandler(nullptr), fList(list), fScroll(this) {}

uint32_t CListDropTarget::Resolve(uint32_t mode) const {
    if (mode != LDrop::kDefault) return mode;
    return Drop() && Drop()->IsCopyOnly() ? LDrop::kCopy : LDrop::kMove;
}

CLPoint CListDropTarget::DropLocal() {
    LDrop* drop = Drop();
    if (!drop || !fList) return {-1, -1};
    LPanePort port(fList);
    CLPoint p = drop->MouseLocation();
    if (port.window) {
        const plat::Point c = port.window->ConvertFromScreen({double(p.x), double(p.y)});
        p = {int32_t(c.x), int32_t(c.y)};
    }
    return {p.x - port.origin.x, p.y - port.origin.y};
}

CLPoint CListDropTarget::DropCell() {
    if (!fList) return {-1, -1};
    return fList->CellAt(DropLocal());
}

CLPoint CListDropTarget::DropGap() {
    if (!fList) return {-1, -1};
    return fList->NearestGap(DropLocal());
}

int32_t CListDropTarget::Dispatch(const LMessage& msg) {
    const int32_t code = CDropTargetHelper::Dispatch(msg);
    switch (code) {
        case kEnter:
            fHighlighted = 0;
            return code;
        case kLeave:
            (void)fScroll.Stop();
            HideMarker();
            return code;
        case kDrag: {
            if (fList) {
                const CLRect& b = fList->Bounds();
                fScroll.Update(DropLocal(), b, std::min(b.Width() / 4, 8), std::min(b.Height() / 4, 8));
            }
            return fHighlighted ? kDrag : kNone;
        }
        case kDrop:
            (void)fScroll.Stop();
            if (!fHighlighted) return kNone;
            HideMarker();
            return kDrop;
        default:
            return code;
    }
}

LMessage CListDropTarget::Handle(const LMessage& msg) {
    if (msg.Is(CScrollHelper_Scroll) && msg.sender == &fScroll) {
        if (fList) {
            const CLPoint to = fList->ClampScrollPos(
                {fList->FirstColumn() + fScroll.DirectionX(), fList->FirstRow() + fScroll.DirectionY()});
            fList->SetScrollPos(to.x, to.y);
        }
        return LMessage();
    }
    return LHandler::Handle(msg);
}

void CListDropTarget::Accept(uint32_t mode) {
    fHighlighted = 1;
    fInsertion = {-1, -1};
    SetFeedback(mode);
}

void CListDropTarget::SetFeedback(uint32_t mode) {
    CDropTargetHelper::SetFeedback(mode);
    fOperation = Resolve(mode);
}

CRgn CListDropTarget::MarkerRegion() const {
    if (!fList || fInsertion.x < 0 || fInsertion.y < 0) return CRgn();
    const CLRect& b = fList->Bounds();
    CLRect r = fList->CellRect(fInsertion);
    switch (fKind) {
        case 0: {
            CLRect bar{r.left, r.top - 2, r.right, r.top + 2};
            bar &= b;
            return CRgn(bar);
        }
        case 1: {
            CLRect bar{r.left - 2, r.top, r.left + 2, r.bottom};
            bar &= b;
            return CRgn(bar);
        }
        case 3:
            r.left = b.left;
            r.right = b.right;
            break;
        case 4:
            r.top = b.top;
            r.bottom = b.bottom;
            break;
        default:
            break;
    }
    CRgn frame(r);
    CLRect in = r;
    in.Inset(2, 2);
    if (!in.IsEmpty()) frame -= CRgn(in);
    return frame;
}

void CListDropTarget::InvalidateMarker() {
    const CRgn r = MarkerRegion();
    if (fList && !r.IsEmpty()) fList->Invalidate(r, r);
}

void CListDropTarget::AcceptAt(uint32_t mode, const CLPoint& cell, uint32_t kind) {
    if (!fHighlighted) return;
    SetFeedback(mode);
    if (!(cell == fInsertion) || kind != fKind) {
        InvalidateMarker();
        fInsertion = cell;
        fKind = kind;
        InvalidateMarker();
    }
    if (fList) fList->UpdateNow();
}

void CListDropTarget::HideMarker() {
    if (!fHighlighted) return;
    InvalidateMarker();
    fHighlighted = 0;
    if (fList) fList->UpdateNow();
}

void CListDropTarget::DrawHighlight(LDrawContext& ctx) {
    if (!fHighlighted) return;
    const CRgn r = MarkerRegion();
    if (!r.IsEmpty()) LPaint(r, LColor::System(4)).Fill(ctx);
}
