#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Fs/LFsSpec.h"

class LPane;

// The questions the documents and the application ask the user, through one table of functions:
// the real dialogs by default, a scripted table in tests. Main thread only.
struct SDocDialogs {
    enum : uint32_t { kCancel = 0, kSave = 1, kDiscard = 2 };
    // Save changes to the named document? kSave, kCancel or kDiscard.
    uint32_t (*askSaveChanges)(LPane* owner, const LString& documentName) = nullptr;
    // The show save panel (type 'OBMF', extension "obm") starting at `start`; true with the chosen
    // file, false when cancelled.
    bool (*askSavePath)(LPane* owner, const LFsSpec& start, LFsSpec& chosen) = nullptr;
    // The show open panel starting in `folder`.
    bool (*askOpenPath)(const LFsSpec& folder, LFsSpec& chosen) = nullptr;
    // A message with OK.
    void (*showMessage)(LPane* owner, const LString& text) = nullptr;
};

// The table in use; Set(null) restores the real dialogs.
const SDocDialogs& DocDialogs();
void SetDocDialogs(const SDocDialogs* dialogs);

// The composition open panel (file filters "QCOMPOFFLT") starting in `folder`; true with the chosen
// file. Tests set their own chooser; null restores the panel.
using CompoPathChooser = bool (*)(const LFsSpec& folder, LFsSpec& chosen);
void SetCompoPathChooser(CompoPathChooser chooser);
bool AskCompoPath(const LFsSpec& folder, LFsSpec& chosen);
