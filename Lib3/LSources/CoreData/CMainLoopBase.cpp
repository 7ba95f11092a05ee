#include "Lib3/LSources/CoreData/CMainLoopBase.h"

#include "Lib3/LSources/CoreData/CMainLoopUI.h"
#include "Lib3/LSources/CoreData/LCallbackList.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Platform/Foundation/Check.h"

namespace {
CMainLoopBase* gMainLoop = nullptr;
LHandler* gAppRoot = nullptr;
CMainLoopUI* gUI = nullptr;
}  // namespace

void CMainLoopUI::Install(CMainLoopUI* ui) {
    gUI = ui;
}
CMainLoopUI* CMainLoopUI::Get() {
    return gUI;
}

CMainLoopBase::CMainLoopBase(LHandler* root) : LHandler(root) {
    PLAT_DCHECK_MAIN_THREAD();
    gMainLoop = this;
    gAppRoot = root;
    LTimer::SetRearmHook(&Rearm, this);
}

CMainLoopBase::~CMainLoopBase() {
    if (gMainLoop == this) {
        gMainLoop = nullptr;
        gAppRoot = nullptr;
        LTimer::SetRearmHook(nullptr, nullptr);
    }
}

CMainLoopBase* CMainLoopBase::Get() {
    return gMainLoop;
}
LHandler* CMainLoopBase::AppRoot() {
    return gAppRoot;
}

LCallbackList& CMainLoopBase::CursorHooks() {
    static LCallbackList* hooks = new LCallbackList;
    return *hooks;
}

void CMainLoopBase::Rearm(void* self) {
    PLAT_DCHECK_MAIN_THREAD();
    static_cast<CMainLoopBase*>(self)->RearmIdleTimer();
}

LHandler* CMainLoopBase::ModalTop() const {
    PLAT_DCHECK_MAIN_THREAD();
    return mModal.Count() ? mModal[mModal.Count() - 1] : nullptr;
}

void CMainLoopBase::IdlePass() {
    PLAT_DCHECK_MAIN_THREAD();
    uint32_t now = LTimer::Now();
    const LHandler* modal = ModalTop();
    const LHandler* front = FrontModalOwner();
    for (;;) {
        LMessage msg = LTimer::NextExpired(now, modal, front, mActive);
        if (msg.IsEmpty()) return;
        LHandler::Dispatch(msg);
    }
}

void CMainLoopBase::SetActive(bool active) {
    PLAT_DCHECK_MAIN_THREAD();
    if (mActive == active) return;
    mActive = active;
    LTimer::RequestRearm();
}

LHandler* CMainLoopBase::FrontModalOwner() {
    PLAT_DCHECK_MAIN_THREAD();
    return gUI ? gUI->FrontModalOwner() : nullptr;
}

LHandler* CMainLoopBase::FocusTarget() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!gUI || !gUI->HasKeyWindow()) return Upper();
    return gUI->KeyWindowTarget();
}

void CMainLoopBase::RunModal(LHandler* handler) {
    PLAT_DCHECK_MAIN_THREAD();
    if (gUI) {
        LHandler* holder = gUI->CaptureHolder();
        LHandler* front = FrontModalOwner();
        // A capture outside the front dialog's chain would steal its mouse input.
        if (holder && front && !LHandler::IsBetween(holder, holder->Upper(), front)) gUI->ReleaseCapture();
    }
    mModal.Append(handler);
    RunModalStep();
    for (uint32_t i = mModal.Count(); i-- > 0;) {
        if (mModal[i] == handler) {
            mModal.Remove(i);
            break;
        }
    }
}
