#include "Lib3/LSources/Mac/CListDragDropHelper.h"

#include <algorithm>

#include "Common/Container/CArray.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/Mac/CDragger.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Lib3/LSources/Mac/LScrapData.h"
#include "Platform/AppKit/Window.h"

namespace {

bool AnyModifier(const LMouse* mouse) {
    return mouse->IsOptionDown() || mouse->IsCommandDown() || mouse->IsShiftDown() || mouse->IsControlDown();
}

bool InGrid(const LListPane* list, const CLPoint& c) {
    return c.x >= 0 && c.y >= 0 && c.x < list->Columns() && c.y < list->Rows();
}

}  // namespace

CRgn ListDragImageRegion(LListPane* list) {
    CRgn visible(CLRect{0, list->FirstRow(), list->Columns(), list->FirstRow() + list->VisibleRows()});
    visible &= list->Selection();
    CRgn pixels;
    CArray<CLRect> rects;
    visible.GetRects(rects);
    for (const CLRect& r : rects) {
        CLRect px = list->CellRect({r.left, r.top});
        px.right = px.left + (r.right - r.left) * list->CellWidth();
        px.bottom = px.top + (r.bottom - r.top) * list->CellHeight();
        pixels |= CRgn(px);
    }
    LPanePort port(list);
    int32_t dx = port.origin.x, dy = port.origin.y;
    if (port.window) {
        const plat::Rect c = port.window->ContentRect();
        dx += int32_t(c.x);
        dy += int32_t(c.y);
    }
    pixels.Shift(dx, dy);
    return pixels;
}

CListDragDropHelper::CListDragDropHelper(LListPane* list, uint32_t axis, uint32_t options)
    : CListDropTarget(list), fTimer(list), fOptions(options), fAxis(axis) {}

CListDragDropHelper::~CListDragDropHelper() {
    if (CDragger* d = std::exchange(fDragger, nullptr)) {
        d->Abandon();
        LHandler::DeleteAfterDispatch(d);
    }
}

void CListDragDropHelper::RetireDragger() {
    if (CDragger* d = std::exchange(fDragger, nullptr)) {
        d->Abandon();
        LHandler::DeleteAfterDispatch(d);
    }
}

uint32_t CListDragDropHelper::DefaultOperation() {
    LDrop* drop = Drop();
    if ((fOptions & kShiftAdds) && drop && drop->IsShiftDown()) return LDrop::kAdd;
    if (!IsSource()) return LDrop::kCopy;
    return drop && drop->IsCopyOnly() ? LDrop::kCopy : LDrop::kMove;
}

void CListDragDropHelper::SetDropFeedback(uint32_t mode) {
    fInternalFeedback = mode;
    Accept(mode);
}

void CListDragDropHelper::SetDragData(std::unique_ptr<LScrapData> data, bool several) {
    fSeveral = several;
    if (fDragger) fDragger->SetData(std::move(data));
}

int32_t CListDragDropHelper::HandleDrag() {
    LListPane* list = List();
    LDrop* drop = Drop();
    if (!list || !drop) return kNotMine;
    LHandlerWatch watch(list);
    auto sense = [&] {
        LHandler::Dispatch(LMessage(CListDragDropHelper_Sense, list, list));
        return !watch.IsGone();
    };
    const CLPoint cell = DropCell();
    if ((fOptions & kShiftAdds) && drop->IsShiftDown()) {
        if (InGrid(list, cell)) {
            fTarget = cell;
            AcceptAt(LDrop::kAdd, fTarget, 2);
            (void)sense();
        } else {
            AcceptAt(LDrop::kRefuse, cell, 2);
        }
        return kNotMine;
    }
    const CLPoint gap = DropGap();
    // An empty axis has one place to drop at: 0.
    const int32_t lastColumn = std::max(list->Columns(), 1) - 1;
    const int32_t lastRow = std::max(list->Rows(), 1) - 1;
    if (fAxis == 1) {
        fTarget = {std::clamp(cell.x, 0, lastColumn), std::clamp(gap.y, 0, list->Rows())};
        AcceptAt(IsSource() ? fInternalFeedback : LDrop::kCopy, fTarget, 0);
        (void)sense();
    } else if (fAxis == 0) {
        fTarget = {std::clamp(gap.x, 0, list->Columns()), std::clamp(cell.y, 0, lastRow)};
        AcceptAt(IsSource() ? fInternalFeedback : LDrop::kCopy, fTarget, 1);
        (void)sense();
    } else {
        AcceptAt(LDrop::kRefuse, cell, 2);
    }
    return kNotMine;
}

int32_t CListDragDropHelper::HandleDrop() {
    LListPane* list = List();
    LDrop* drop = Drop();
    if (!list) return kNotMine;
    const CLPoint c = InsertionCell();
    const int32_t columns = std::max(list->Columns(), 1), rows = std::max(list->Rows(), 1);
    const bool valid = fAxis == 1   ? c.x >= 0 && c.x < columns && c.y >= 0 && c.y <= list->Rows()
                       : fAxis == 0 ? c.y >= 0 && c.y < rows && c.x >= 0 && c.x <= list->Columns()
                                    : false;
    if (!valid) return kNotMine;
    const bool move = drop && !drop->IsCopyOnly() && !drop->IsShiftDown();
    if (IsSource() && !fSeveral && move) {
        const int32_t at = fAxis == 1 ? c.y : c.x;
        const int32_t from = fAxis == 1 ? fSource.y : fSource.x;
        if (at == from || at == from + 1) return kNotMine;
    }
    fOpAtDrop = DefaultOperation();
    return kDropped;
}

int32_t CListDragDropHelper::Dispatch(const LMessage& msg) {
    const int32_t code = CListDropTarget::Dispatch(msg);
    switch (code) {
        case kSense:
            return kNotMine;
        case kEnter:
            fOpAtDrop = DefaultOperation();
            return kDragEntered;
        case kLeave:
            return kConsumed;
        case kDrag:
            return HandleDrag();
        case kDrop:
            return HandleDrop();
        default:
            break;
    }
    if (msg.Is(LDrop_Drag) || msg.Is(LDrop_Drop) || msg.Is(LDrop_Leave) || msg.Is(LDrop_Enter))
        return kNotMine;  // a drag this list did not accept
    LListPane* list = List();
    LMouse* mouse = LMouse::Get();
    const bool fromMouse = mouse && msg.sender == mouse;
    if (msg.Is(LMouse_Bkgnd)) return kNotMine;
    if (msg.Is(LMouse_Click) && fromMouse && list) {
        if (AnyModifier(mouse)) return kConsumed;
        fClicked = list->CellAt(list->MouseLocal());
        fPressedInSelection = 0;
        if (list->Track().mode == LListPane::kSelectSingle) {
            fTimer.StartOnce(0, 0);
            return kConsumed;
        }
        if (!list->IsSelected(fClicked)) {
            fTimer.StartOnce(kUnselectedDelayMs, 0);
            return kConsumed;
        }
        fPressedInSelection = 1;
        fTimer.StartOnce(0, 0);
        return kNotMine;
    }
    if (msg.Is(LMouse_Move) && fromMouse) {
        fTimer.Stop();
        return kConsumed;
    }
    if (msg.Is(LMouse_Release) && fromMouse) {
        if (fTimer.IsRunning()) fTimer.StartOnce(0, 0);
        return kConsumed;
    }
    if (msg.Is(LTimer_Expire) && msg.sender == &fTimer && list) {
        if (mouse && mouse->Tracker() != list && !fPressedInSelection) return kNoDrag;
        if (!InGrid(list, fClicked)) return kNotMine;
        RetireDragger();
        fDragger = new CDragger(list);
        fDragger->SetOwned(true);
        fSource = fClicked;
        fSeveral = 0;
        return kDraggerMade;
    }
    if (fDragger && msg.sender == fDragger) {
        if (msg.Is(CDragger_Drag)) {
            fDragger->SetImageRegion(ListDragImageRegion(list));
            fPressedInSelection = 0;
            return kDragStarting;
        }
        if (msg.Is(CDragger_End)) {
            int32_t answer = kNotMine;
            const bool noDrag = fDragger->Result() == CDragger::kRunning;
            fSource = {-1, -1};
            // Deleted once this message has been dispatched: the owner may pass it on.
            CDragger* d = std::exchange(fDragger, nullptr);
            LHandler::DeleteAfterDispatch(d);
            if (fPressedInSelection && noDrag && list) {
                LHandlerWatch watch(list);
                list->SelectCell(fClicked);
                if (!watch.IsGone()) LHandler::Dispatch(LMessage(LPane_ReqFocus, list, list->Upper()));
                answer = kNoDrag;
            }
            return answer;
        }
        return kConsumed;
    }
    return kConsumed;
}

CListDragSource::CListDragSource(LListPane* list, uint32_t axis) : fList(list), fTimer(list), fAxis(axis) {}

CListDragSource::~CListDragSource() {
    RetireDragger();
}

void CListDragSource::RetireDragger() {
    if (CDragger* d = std::exchange(fDragger, nullptr)) {
        d->Abandon();
        LHandler::DeleteAfterDispatch(d);
    }
}

void CListDragSource::SetDragData(std::unique_ptr<LScrapData> data, bool several) {
    fSeveral = several;
    if (fDragger) fDragger->SetData(std::move(data));
}

int32_t CListDragSource::Dispatch(const LMessage& msg) {
    LMouse* mouse = LMouse::Get();
    const bool fromMouse = mouse && msg.sender == mouse;
    if (msg.Is(LMouse_Click) && fromMouse && fList) {
        if (AnyModifier(mouse) || fList->Track().mode == LListPane::kSelectSingle) return 0;
        fClicked = fList->CellAt(fList->MouseLocal());
        if (!fList->IsSelected(fClicked)) return 0;
        fPressedInSelection = 1;
        fTimer.StartOnce(0, 0);
        return 1;
    }
    if (msg.Is(LMouse_Move) && fromMouse) {
        fTimer.Stop();
        return 1;
    }
    if (msg.Is(LMouse_Release) && fromMouse) {
        if (fTimer.IsRunning()) fTimer.StartOnce(0, 0);
        return 1;
    }
    if (msg.Is(LTimer_Expire) && msg.sender == &fTimer && fList) {
        if ((mouse && mouse->Tracker() != fList && !fPressedInSelection) || !InGrid(fList, fClicked))
            return 1;
        RetireDragger();
        fDragger = new CDragger(fList);
        fDragger->SetOwned(true);
        fSource = fClicked;
        fSeveral = 0;
        return 1;
    }
    if (fDragger && msg.sender == fDragger) {
        if (msg.Is(CDragger_Drag)) {
            fDragger->SetImageRegion(ListDragImageRegion(fList));
            fPressedInSelection = 0;
            return 2;
        }
        if (msg.Is(CDragger_End)) {
            const bool noDrag = fDragger->Result() == CDragger::kRunning;
            fSource = {-1, -1};
            LHandler::DeleteAfterDispatch(std::exchange(fDragger, nullptr));
            if (fPressedInSelection && noDrag) {
                LHandlerWatch watch(fList);
                fList->SelectCell(fClicked);
                if (!watch.IsGone()) LHandler::Dispatch(LMessage(LPane_ReqFocus, fList, fList->Upper()));
            }
            return 1;
        }
        return 1;
    }
    fTimer.Stop();
    return 0;
}
