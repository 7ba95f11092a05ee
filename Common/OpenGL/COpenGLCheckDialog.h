#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"

class COpenGLContext_Cca;
class COpenGLRequirement;
struct COpenGLShortfall;
class LEditText;
class LImagePane;
class LStdButton;
class LTextPane;

// The start-up check of the GL implementation and its dialog ("COPENGLCHECKDIALOG"): when the
// renderer falls short the dialog names it (vendor, renderer, versions) and lists what is missing in
// a locked edit text; the operator continues (Return) or quits (Escape). Left alone for 30 s, the
// mouse not moving, it ends by itself with "continue". Main thread only.
class COpenGLCheckDialog : public LModalDialog {
public:
    enum { kQuit = 0, kContinue = 1, kMet = 2 };
    static constexpr uint32_t kIdleMs = 30000;

    explicit COpenGLCheckDialog(LHandler* upper);
    ~COpenGLCheckDialog() override;

    // Mouse moves restart the idle time; its expiry answers "continue".
    LMessage Handle(const LMessage& msg) override;

    // 2 when the requirement is met, showing nothing; otherwise the operator's answer: 1 continue,
    // 0 quit. The shortfall, when asked for, tells what was found missing. Without an upper handler
    // to run the dialog the shortfall is only printed to standard error and answered "continue".
    static int Check(LHandler* upper, COpenGLContext_Cca& context, const COpenGLRequirement& requirement,
                     COpenGLShortfall* shortfall = nullptr);

    // The lines the dialog lists, each ending in "\n": the GL version line, the shading-language
    // line (each a prefix and the required version) and one line per missing extension.
    static LString ShortfallText(const COpenGLRequirement& requirement, const COpenGLShortfall& shortfall,
                                 const char* glPrefix, const char* glslPrefix);

    // Restarts the idle time from the mouse's current position.
    void StartIdleTimer();

    LStdButton* ContinueButton() const { return fFirst; }
    LStdButton* QuitButton() const { return fSecond; }
    LImagePane* Image() const { return fImage; }
    LTextPane* Information() const { return fInfo; }
    LEditText* List() const { return fList; }
    LTimer& IdleTimer() { return fTimer; }

private:
    static CLPoint MousePosition();

    LVariStr<64> fText;
    LTimer fTimer{this};
    CLPoint fMouse;
    LStdButton* fFirst;
    LStdButton* fSecond;
    LImagePane* fImage;
    LTextPane* fInfo;
    LEditText* fList;
};
