#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/LDialog.h"

// A dialog that runs modally until it has an answer: 1 after "LDialog_Default", 2 after
// "LDialog_Escape" (also when its close box hides a dialog that has no buttons, when no main loop
// runs its modal steps, or when the application is asked to quit), or what a subclass sets. While
// it runs only the Help command is enabled and no other menu command is carried out. Main thread
// only.
class LModalDialog : public LDialog {
public:
    static constexpr uint32_t kForever = 0x7fffffff;

    // upper null: the application root (CMainLoopBase::AppRoot).
    LModalDialog(LHandler* upper, LPane* owner, const LFrameSpec& spec = LFrameSpec::Default());
    ~LModalDialog() override;

    LMessage Handle(const LMessage& msg) override;

    void SetResult(uint32_t result) { mResult = result; }
    uint32_t Result() const { return mResult; }
    // Shows the dialog when hidden, runs one modal step of the main loop (bounded by the time-out)
    // and answers the result, 0 while there is none.
    uint32_t Run(uint32_t timeoutMs);
    // Runs steps until there is a result.
    uint32_t RunUntilResult();

private:
    uint32_t mResult = 0;
    LTimer mTimer{this};
};
