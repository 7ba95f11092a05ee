#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/CMenuKeyRegistry.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"

class LStdButton;
class LTextPane;

// Asks for the key of a menu command: the key typed with its modifiers is shown as the menu strip
// writes keys ("Ctrl+Shift+K") and kept in its stored form ("sK"); Return and Escape still answer
// OK and Cancel. Texts from the string list "CMENUKEYDLG" (title, OK, Cancel, prompt), the layout
// from "CMENUKEYDLG". Main thread only.
class CMenuKeyDialog : public LModalDialog {
public:
    CMenuKeyDialog(LHandler* upper, LPane* owner);
    ~CMenuKeyDialog() override;

    LMessage Handle(const LMessage& msg) override;

    // The stored form of the last key typed; empty before any.
    const LString& KeySpec() const { return mKeySpec; }
    LStdButton* OkButton() const { return mOk; }
    LStdButton* CancelBtn() const { return mCancel; }
    LTextPane* PromptPane() const { return mPrompt; }
    LTextPane* KeyPane() const { return mKeyText; }

    // A stored key as shown: "Ctrl+", "Shift+", "Alt+", "Super+" for Command, Shift, Option and
    // Control, then the key ("Space" for the space bar). Empty for an invalid spec.
    static LString DisplayText(const LString& spec);

private:
    LString mKeySpec;
    LStdButton* mOk;  // children of the frame
    LStdButton* mCancel;
    LTextPane* mPrompt;
    LTextPane* mKeyText;
    LStrListRsrcH mStrings;
};

// The registry's dialogs: the key dialog, and the messages of the string list "CMENUKEYREG" in a
// message box without Cancel or time-out.
class CMenuKeyDialogs : public CMenuKeyUI {
public:
    // upper: where the message box's modal steps go (the application's root).
    explicit CMenuKeyDialogs(LHandler* upper) : fUpper(upper) {}
    bool AskKey(LHandler* owner, LString* spec) override;
    void ShowMessage(uint32_t index) override;
    // Message index of "CMENUKEYREG" (empty past its end).
    static LString MessageText(uint32_t index);

private:
    LHandler* fUpper;
};
