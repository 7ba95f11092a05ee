#pragma once

#include <cstdint>

#include "Common/Container/CPointerArray.h"
#include "Lib3/LSources/CoreData/LHandler.h"

class CMainLoopBase;

// The application root: top of every main-thread handler chain and base of the application object.
// It answers the standard commands, routes keys nobody consumed to menu items, moves focus and mouse
// capture on request, keeps the deferred pane list and owns the main loop.
class CAppBase : public LHandler {
public:
    // Builds the platform main loop with the root as its upper handler.
    using LoopFactory = CMainLoopBase* (*)(CAppBase* root);

    explicit CAppBase(LoopFactory makeLoop);
    ~CAppBase() override;

    LMessage Handle(const LMessage& msg) override;

    CMainLoopBase* MainLoop() const { return mLoop; }
    uint32_t DeferredCount() const { return mDeferred.Count(); }

private:
    LMessage HandleKey(const LMessage& msg);
    LHandler* ReadyMenuBar();
    void SelectItem(LHandler* item, LHandler* target);
    void DeferredPass();
    void ForgetDeferred(LHandler* pane);

    CPointerArray<LHandler> mDeferred;  // not owned
    uint32_t mDeferWalk = 0;            // entries below this index still wait in the running pass
    CMainLoopBase* mLoop = nullptr;     // owned
    LHandler* mViewPrefs = nullptr;     // owned, made on first use
};
