#pragma once

#include <cstdint>
#include <string>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LDialog.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"

class LImagePane;
class LStdButton;
class LTextPane;

// The window shown while the application starts ("CSTARTUPWIN"): borderless (window kind 5), the
// image "APP" and five text panes (text-style percent 400, 200, 300, 200, 300), the second to
// fourth showing strings 1-3; the application fills the first and fifth and may replace the third.
// Show lays it out centred on the main display's visible area, draws it at once and notes the
// time; HoldFor keeps it up until that many seconds have passed since. Main thread only.
class CStartupWin : public LDialog {
public:
    static constexpr const char* kName = "CSTARTUPWIN";
    static constexpr uint32_t kTextCount = 5;

    // The time in milliseconds and the sleep HoldFor uses (tests give their own).
    struct Clock {
        uint32_t (*nowMs)(void* context);
        void (*sleepMs)(void* context, uint32_t ms);
        void* context;
    };
    static void SetClock(const Clock* clock);

    explicit CStartupWin(LHandler* upper);

    static LFrameSpec DefaultSpec();

    void Show();
    void HoldFor(uint32_t seconds);

    LTextPane* Text(uint32_t i) const { return i < kTextCount ? fTexts[i] : nullptr; }
    LImagePane* Image() const { return fImage; }
    uint32_t StartMs() const { return fStart; }

private:
    LPane* fSpacer;
    LImagePane* fImage;
    LTextPane* fTexts[kTextCount] = {};
    uint32_t fStart = 0;
};

// The About box ("ABOUT": 0 title, 1 OK, 2 link button, 3 main text, 4 default link target, 5
// version prefix, 6 note): the image "APP", the main text, the version (string 5 and the bundle
// version; hidden without one), the note (hidden when empty). The link button opens the target (the
// given one, else string 4) through the URL opener and is hidden when there is none. OK is the
// default and the cancel button. Main thread only.
class CAboutDialog : public LModalDialog {
public:
    static constexpr const char* kName = "ABOUT";

    // version: the bundle version text.
    CAboutDialog(LHandler* upper, const LFrameSpec& spec, const LString& linkTarget, const std::string& version);

    static LFrameSpec DefaultSpec();
    // The application's bundle version (empty when the bundle has none).
    static std::string BundleVersion();
    // Runs the box modally over the root, as the About command does.
    static void Run(LHandler* root);

    LMessage Handle(const LMessage& msg) override;

    const LString& LinkTarget() const { return fTarget; }
    LStdButton* OkButton() const { return fOk; }
    LStdButton* LinkButton() const { return fLink; }
    LTextPane* MainText() const { return fText; }
    LTextPane* VersionText() const { return fVersion; }
    LTextPane* Note() const { return fNote; }

private:
    LString fTarget;
    LStdButton* fOk;
    LStdButton* fLink;
    LTextPane* fText;
    LImagePane* fImage;
    LTextPane* fVersion;
    LTextPane* fNote;
};
