#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"

class LImagePane;
class LStdButton;
class LTextPane;

// Asks whether to save a document before it closes. Buttons and messages come from the string list
// "CSAVECHANGESDIALOG", the layout from "CSAVECHANGESDIALOG". Main thread only.
class CSaveChangesDialog : public LModalDialog {
public:
    enum : uint32_t { kCancel = 0, kSave = 1, kDiscard = 2 };

    CSaveChangesDialog(LHandler* upper, LPane* owner);
    ~CSaveChangesDialog() override;

    LMessage Handle(const LMessage& msg) override;

    void SetDocumentName(const LString& name) { mDocName = name; }
    // Case 0, 1 or 2 picks the message (others leave it empty). Runs until a button answers: kSave
    // (first, Return), kCancel (second, Escape) or kDiscard (third).
    uint32_t Run(uint32_t messageCase);
    uint32_t Answer() const { return mAnswer; }

    const LString& Title() const { return mTitle; }
    LStdButton* FirstButton() const { return mFirst; }
    LStdButton* SecondButton() const { return mSecond; }
    LStdButton* ThirdButton() const { return mThird; }
    LTextPane* MessagePane() const { return mMessage; }

    // The message of a case with the name in it ("untitled" for an empty name); empty outside 0-2.
    static LString MessageFor(const LStrListRsrcH& strings, uint32_t messageCase, const LString& name);

private:
    uint32_t mAnswer = 0;
    LString mTitle;
    LString mDocName;
    LStdButton* mFirst;  // children of the frame
    LStdButton* mSecond;
    LStdButton* mThird;
    LTextPane* mMessage;
    LImagePane* mIcon;
    LStrListRsrcH mStrings;
};

// The application's name: the file name of its bundle without the extension ("Application" when
// there is none).
LString ApplicationBundleName();
