#include "Lib3/LSources/Mac/CRecordRowDrag.h"

#include "Lib3/LSources/CoreUI/LListPane.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/Mac/CDragger.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Lib3/LSources/Mac/UListScrap.h"

CRecordRowDrag::CRecordRowDrag(LListPane* list, const LScrapType& type, uint32_t flags)
    : fList(list), fType(type), fFlags(flags), fHelper(std::make_unique<CListDragDropHelper>(list, 1, 0)) {}

CRecordRowDrag::~CRecordRowDrag() = default;

bool CRecordRowDrag::IsDragMessage(const LMessage& msg) {
    if (msg.Is(LDrop_Sense) || msg.Is(LDrop_Enter) || msg.Is(LDrop_Drag) || msg.Is(LDrop_Leave) ||
        msg.Is(LDrop_Drop))
        return true;
    LMouse* mouse = LMouse::Get();
    if (mouse && msg.sender == mouse)
        return msg.Is(LMouse_Click) || msg.Is(LMouse_Move) || msg.Is(LMouse_Release);
    if (msg.Is(LTimer_Expire) && msg.sender == fHelper->Timer()) return true;
    return fHelper->Dragger() && msg.sender == fHelper->Dragger();
}

bool CRecordRowDrag::Handle(LHandler* editor, CRecordRef record, uint32_t field, const LMessage& msg,
                            LMessage* reply, int32_t* rows) {
    if (rows) *rows = 0;
    if (!IsDragMessage(msg)) return false;
    *reply = LMessage();
    LMouse* mouse = LMouse::Get();
    const bool click = msg.Is(LMouse_Click) && mouse && msg.sender == mouse;
    const bool heldBack = click && !mouse->IsShiftDown() && !mouse->IsCommandDown() &&
                          !mouse->IsOptionDown() && !mouse->IsControlDown() &&
                          fList->IsSelected(fList->CellAt(fList->MouseLocal()));
    LHandlerWatch watch(fList);
    uint32_t index = 0;
    // Without a record the rows still drag out as an empty scrap, and nothing drops in.
    const int32_t r = UListScrap::HandleDragDrop(editor, record, field, fList->Selection(), 1, fType,
                                                 *fHelper, msg, record ? &index : nullptr, fFlags);
    if (watch.IsGone()) return true;
    if (r > 0) {
        fList->SetSelection(CRgn(CLRect{0, static_cast<int32_t>(index), 1, static_cast<int32_t>(index) + r}));
        if (rows) *rows = r;
        return true;
    }
    if (r == -1) {
        if (heldBack) {
            // A press on a selected row may start a drag: the selection waits.
            LHandler::Dispatch(LMessage(LPane_ReqFocus, fList, fList->Upper()));
            *reply = LMessage(LPane_ReqCapture, fList, fList->Upper());
            return true;
        }
        // The dragger's end goes on untaken, back to the dragger.
        return !msg.Is(CDragger_End);
    }
    return false;  // 0 and -2: the list's own handling
}

void CRecordRowDrag::DrawHighlight(LDrawContext& ctx) {
    fHelper->DrawHighlight(ctx);
}
