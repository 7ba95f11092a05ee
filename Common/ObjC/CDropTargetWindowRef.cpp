#include "Common/ObjC/CDropTargetWindowRef.h"

#include "Lib3/LSources/CoreUI/LPane.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Platform/Foundation/Check.h"

CDropTargetWindowRef::CDropTargetWindowRef(LPane* pane)
    : fPane(pane), fWindow(pane ? pane->GetWindow() : nullptr) {
    PLAT_DCHECK_MAIN_THREAD();
    if (fWindow && !LDropTargetList::Acquire(fWindow)) fWindow = nullptr;
}

CDropTargetWindowRef::~CDropTargetWindowRef() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fWindow) LDropTargetList::Release(fWindow);
}
