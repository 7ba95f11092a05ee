#include "Lib3/LSources/Mac/CDropTargetHelper.h"

#include "Lib3/LSources/CoreUI/LPane.h"
#include "Lib3/LSources/Mac/LDrop.h"

CDropTargetHelper::CDropTargetHelper(LPane* pane) : fPane(pane), fWindow(pane ? pane->GetWindow() : nullptr) {
    if (fWindow) (void)LDropTargetList::Acquire(fWindow);
}

CDropTargetHelper::~CDropTargetHelper() {
    if (!fWindow) return;
    if (LDrop* drop = LDropTargetList::Find(fWindow)) drop->Forget(fPane);
    LDropTargetList::Release(fWindow);
}

int32_t CDropTargetHelper::Dispatch(const LMessage& msg) {
    auto* drop = static_cast<LDrop*>(msg.sender);
    if (!drop) return kNone;
    if (msg.Is(LDrop_Sense)) {
        drop->Target(fPane);
        return kSense;
    }
    if (msg.Is(LDrop_Enter)) {
        fDrop = drop;
        return kEnter;
    }
    if (msg.Is(LDrop_Drag)) return fDrop ? kDrag : kNone;
    if (msg.Is(LDrop_Leave)) {
        if (!fDrop) return kNone;
        fDrop = nullptr;
        return kLeave;
    }
    if (msg.Is(LDrop_Drop)) return fDrop ? kDrop : kNone;
    return kNone;
}

void CDropTargetHelper::SetFeedback(uint32_t mode) {
    if (fDrop) fDrop->SetFeedback(mode);
}
