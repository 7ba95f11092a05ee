#include "Lib3/LSources/Mac/CCellDragHelper.h"

#include <utility>

#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPane.h"
#include "Lib3/LSources/Mac/CDragger.h"
#include "Lib3/LSources/Mac/CListDragDropHelper.h"
#include "Lib3/LSources/Mac/LScrapData.h"

namespace {

bool AnyModifier(const LMouse* mouse) {
    return mouse->IsOptionDown() || mouse->IsCommandDown() || mouse->IsShiftDown() || mouse->IsControlDown();
}

}  // namespace

CCellDragHelper::CCellDragHelper(LListPane* owner, uint32_t mode) : fOwner(owner), fTimer(owner), fMode(mode) {}

CCellDragHelper::~CCellDragHelper() {
    fTimer.Stop();
    RetireDragger();
}

void CCellDragHelper::RetireDragger() {
    if (CDragger* d = std::exchange(fDragger, nullptr)) {
        d->Abandon();
        LHandler::DeleteAfterDispatch(d);
    }
}

void CCellDragHelper::SetDragData(std::unique_ptr<LScrapData> scrap, bool several) {
    fSeveral = several ? 1 : 0;
    if (fDragger) fDragger->SetData(std::move(scrap));
}

int32_t CCellDragHelper::Dispatch(const LMessage& msg) {
    LMouse* mouse = LMouse::Get();
    const bool fromMouse = mouse && msg.sender == mouse;
    if (msg.Is(LMouse_Click) && fromMouse) {
        if (AnyModifier(mouse)) return kNotTaken;
        fPressed = fOwner->CellAt(fOwner->MouseLocal());
        fOnSelection = 0;
        if (fOwner->Track().mode == LListPane::kSelectSingle) {
            fTimer.StartOnce(0, 0);
            return kNotTaken;
        }
        if (!fOwner->IsSelected(fPressed)) {
            fTimer.StartOnce(kUnselectedDelayMs, 0);
            return kNotTaken;
        }
        fOnSelection = 1;
        fTimer.StartOnce(0, 0);
        return kConsumed;
    }
    if ((msg.Is(LMouse_Move) || msg.Is(LMouse_Release)) && fromMouse) {
        fTimer.Stop();
        return kNotTaken;
    }
    if (msg.Is(LTimer_Expire) && msg.sender == &fTimer) {
        const bool inGrid = fPressed.x >= 0 && fPressed.y >= 0 && fPressed.x < fOwner->Columns() &&
                            fPressed.y < fOwner->Rows();
        if (((mouse && mouse->Tracker() == fOwner) || fOnSelection) && inGrid) {
            RetireDragger();
            fDragger = new CDragger(fOwner);
            fDragger->SetOwned(true);
            fDragged = fPressed;
            fSeveral = 0;
        }
        return kConsumed;
    }
    if (fDragger && msg.sender == fDragger) {
        if (msg.Is(CDragger_Drag)) {
            fDragger->SetImageRegion(ListDragImageRegion(fOwner));
            return kDragBegun;
        }
        if (msg.Is(CDragger_End)) {
            const bool noDrag = fDragger->Result() == CDragger::kRunning;
            if (fOnSelection && noDrag) {
                LHandlerWatch watch(fOwner);
                fOwner->SelectCell(fPressed);
                if (!watch.IsGone()) LHandler::Dispatch(LMessage(LPane_ReqFocus, fOwner, fOwner->Upper()));
            }
            LHandler::DeleteAfterDispatch(std::exchange(fDragger, nullptr));
            fDragged = {-1, -1};
            return kConsumed;
        }
        return kConsumed;
    }
    return kNotTaken;
}
