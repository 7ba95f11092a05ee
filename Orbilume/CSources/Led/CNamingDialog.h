#pragma once

#include <cstdint>
#include <string>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"

class CDimDefLibrary;
class CDimDefStore;
class LEditText;
class LImagePane;
class LStdButton;
class LTextPane;

// The modal dialog that asks for a new fixture definition's name ("CNAMINGDIALOG", window kind 3):
// OK (default, enabled only while the field holds text), Cancel, an image, the prompt and the name
// field. Strings: 0 title, 1 OK, 2 Cancel, 3 the default prompt. Main thread only.
class CNamingDialog : public LModalDialog {
public:
    static constexpr const char* kName = "CNAMINGDIALOG";
    static constexpr int32_t kWindowKind = 3;

    CNamingDialog(LHandler* upper, LPane* owner);
    ~CNamingDialog() override;

    LMessage Handle(const LMessage& msg) override;

    void SetPrompt(const LString& text);
    LString Name() const;
    void SetName(const LString& text);
    // OK follows the field: enabled while it is not empty.
    void UpdateOk();

    LStdButton* OkButton() const { return fOk; }
    LStdButton* CancelBtn() const { return fCancel; }
    LTextPane* Prompt() const { return fPrompt; }
    LEditText* Field() const { return fField; }

    // How the dialog runs (1 OK, 2 Cancel); tests answer in place of the user. Null: modally.
    using RunHook = uint32_t (*)(CNamingDialog& dialog, void* context);
    static void SetRunHook(RunHook hook, void* context);
    uint32_t RunOnce();

private:
    LStdButton* fOk;  // children of the dialog
    LStdButton* fCancel;
    LImagePane* fImage;
    LTextPane* fPrompt;
    LEditText* fField;
};

// Messages of the definition commands (string list "DIMDEFCTL").
struct UDimDefMessage {
    enum : uint32_t { kNameTaken = 1, kConfirmDelete = 2, kPrompt = 3, kDeleteFailed = 4, kBadName = 5,
                      kWriteFailed = 6 };
    static LString Text(uint32_t index);
    // Shows the message; with cancel answers 1 for OK and 0 for Cancel, else 1.
    static uint32_t Show(LHandler* upper, uint32_t index, bool cancel);
    // Tests answer in place of the user; null: the message dialog.
    using Hook = uint32_t (*)(uint32_t index, bool cancel, void* context);
    static void SetHook(Hook hook, void* context);
};

// Asks for the name of a new definition until it is usable: the typed text is cleaned (see
// UDimNaming), written back into the field, and taken when it is not empty, names no definition of
// the store and no file in the user folder (library may be null); otherwise message 1 and the
// dialog again. Empty after Cancel.
std::string RunNamingDialog(LHandler* owner, CDimDefStore* store, const CDimDefLibrary* library);
