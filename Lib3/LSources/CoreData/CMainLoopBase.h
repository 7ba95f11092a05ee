#pragma once

#include <cstdint>

#include "Common/Container/CPointerArray.h"
#include "Lib3/LSources/CoreData/LHandler.h"

class CMacTimer;
class LCallbackList;

// Messages of the main loop, sent from the loop to the application root.
L_MESSAGE_ID(CMainLoopBase_Quit);
L_MESSAGE_ID(CMainLoopBase_Switch);
L_MESSAGE_ID(CMainLoopBase_Deferred);

// The portable half of the main loop: the modal stack, the active flag and the idle pass that fires
// the timers. The platform half derives from it. Main thread only.
class CMainLoopBase : public LHandler {
public:
    using TimerCallback = void (*)(void* context, CMacTimer* timer);

    explicit CMainLoopBase(LHandler* root);
    ~CMainLoopBase() override;

    // The one main loop and the application root it was built for (null when none exists).
    static CMainLoopBase* Get();
    static LHandler* AppRoot();
    // Hooks the cursor update calls with the window under the mouse; non-zero takes the cursor over.
    static LCallbackList& CursorHooks();

    // Fires every timer that is due and allowed now.
    void IdlePass();
    // The handler that menu commands and typed keys address.
    LHandler* FocusTarget();
    // One modal step for the handler (on "LHandler_Mode").
    void RunModal(LHandler* handler);

    LHandler* ModalTop() const;
    bool IsActive() const { return mActive; }
    // A change lets held timers be reconsidered.
    void SetActive(bool active);

    // The platform half.
    virtual void RunModalStep() = 0;
    // The application was asked to quit: modal runs end cancelled, so that the quit goes on.
    virtual bool TerminationRequested() const { return false; }
    virtual void Quit() = 0;
    virtual void RequestUpdate() = 0;
    // A main-thread wake-up that any thread may fire (owned by the caller).
    virtual CMacTimer* CreateTimer(TimerCallback callback, void* context) = 0;
    // A timer was started: honour its due time.
    virtual void RearmIdleTimer() {}
    // The upper handler of the frontmost modal window: the installed interface's answer unless the
    // platform half knows its windows itself.
    virtual LHandler* FrontModalOwner();

private:
    static void Rearm(void* self);

    CPointerArray<LHandler> mModal;
    bool mActive = true;
};
