#include "Orbilume/CSources/Schedule/CWeekList.h"

#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/CStateButton.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LStdCtl.h"
#include "Platform/Foundation/Check.h"

CWeekList::CWeekList(LPane* owner) : CCellGridPane(owner, kSelectNone, false, false) {
    PLAT_DCHECK_MAIN_THREAD();
    SetGridSize(7, 1);
}

CWeekList::~CWeekList() {
    SetGridSize(0, 0);
}

CTabFocusPane* CWeekList::CreateCellPane() {
    return new CWeekCell(this);
}

bool CWeekList::BindCell(LPane* pane, const CLPoint& cell) {
    if (cell.x < 0 || cell.x > 6 || cell.y != 0) return false;
    const LStrListRsrcH labels{SRsrcRequest(kLabelsName)};
    const uint32_t day = static_cast<uint32_t>(cell.x);
    static_cast<CWeekCell*>(pane)->Bind(day, labels.GetString(day), (fMask >> day) & 1);
    return true;
}

void CWeekList::SetMask(uint8_t mask) {
    mask &= 0x7F;
    if (mask == fMask) return;
    fMask = mask;
    RefreshAllCells();
}

void CWeekList::Toggle(uint32_t day) {
    if (day > 6) return;
    fMask = static_cast<uint8_t>(fMask ^ (1u << day));
    RefreshCell({static_cast<int32_t>(day), 0});
    Dispatch(LMessage(CWeekList_Changed, this, Upper()));
}

CWeekCell::CWeekCell(CWeekList* list) : CTabFocusPane(list, list), fList(list) {
    fButton = new CStateButton(this, LStdCtlSpec());  // pane 1
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
}

void CWeekCell::Bind(uint32_t day, const LString& title, bool checked) {
    fDay = day;
    fButton->SetTitle(title);
    fButton->SetState(checked ? 1 : 0);
}

LMessage CWeekCell::Handle(const LMessage& msg) {
    if (msg.Is(LStdCtl_Selected) && fButton && msg.sender == fButton) {
        fList->Toggle(fDay);
        return LMessage();
    }
    return CTabFocusPane::Handle(msg);
}
