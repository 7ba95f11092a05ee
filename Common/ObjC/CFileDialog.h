#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/MFilePanelBase.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/Fs/LFileKind.h"
#include "Lib3/LSources/Fs/LFsSpec.h"

class CEmbeddedFrame;
class CFileDialog;
class CFileTypeList;
class LPopupList;

// The type pop-up in a file panel's accessory area: one item per type-list entry (its label), at
// 10, 10 with its preferred size, the frame 20 larger both ways. A choice applies the type at once.
class CFileTypePopupFrame : public LFrame {
public:
    CFileTypePopupFrame(CFileDialog* dialog, LPane* owner, const CFileTypeList& types);
    LMessage Handle(const LMessage& msg) override;
    LPopupList* Popup() const { return fPopup; }

private:
    CFileDialog* fDialog;
    LPopupList* fPopup;  // child
};

// Open and save dialogs over a file panel that speak the framework's types: a start location as an
// LFsSpec, allowed types from a file-type list (not owned), a type pop-up and the caller's panes in
// the panel's accessory area, the chosen file as an LFsSpec. Set up, Run once, read the answer.
// The panel comes from a factory (MFilePanel unless a test installs its own). Main thread only.
class CFileDialog {
public:
    using AccessoryFunction = void (*)(void* context, CEmbeddedFrame* pane);
    using PanelFactory = std::unique_ptr<MFilePanelBase> (*)(MFilePanelBase::Kind kind, void* context);
    // Open-run flag: the panel treats packages as folders.
    static constexpr uint32_t kTreatPackagesAsFolders = 2;

    CFileDialog();
    virtual ~CFileDialog();
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    virtual void Run(uint32_t flags) = 0;

    // The nearest existing folder up from the spec starts the panel; an existing spec is offered.
    virtual void SetStartSpec(const LFsSpec& spec);
    virtual void SetTypes(const CFileTypeList* list);
    void SetMessage(const LString& message) { mMessage = message; }
    void SetAccessory(AccessoryFunction function, void* context) {
        mAccessoryFn = function;
        mAccessoryContext = context;
    }

    bool WasConfirmed() const { return mConfirmed != 0; }
    // The chosen file; empty when there is none.
    LFsSpec GetChosenSpec() const;

    const LFsSpec& StartFolder() const { return mStartFolder; }
    const LFsSpec& StartFile() const { return mStartFile; }
    const LFileKind& CurrentKind() const { return mCurrentKind; }
    const std::vector<std::string>& AllowedTypes() const { return mAllowedTypes; }
    CEmbeddedFrame* AccessoryPane() const { return mAccessory.get(); }
    CFileTypePopupFrame* TypeFrame() const { return mTypeFrame; }
    // The panel while Run runs, else null.
    MFilePanelBase* Panel() const { return mPanel.get(); }

    // The entry a kind's extension selects: the first whose type text equals it, else the first "*",
    // else 0 (-1 for no entries).
    static int32_t EntryForExtension(const CFileTypeList& list, const LString& extension);
    // Applies entry `index` of the type list to the panel and the current kind.
    void ApplyType(int32_t index);

    // Null restores the real panel.
    static void SetPanelFactory(PanelFactory factory, void* context);

protected:
    // Makes the panel (kept until the dialog goes) and prepares it: message, packages, the accessory
    // pane with the type pop-up and the caller's panes.
    MFilePanelBase* MakePanel(MFilePanelBase::Kind kind, bool treatPackages);
    void RunPanel(const std::string& name);
    static std::string PathOf(const LFsSpec& spec);

    LFsSpec mStartFolder;
    const CFileTypeList* mTypes = nullptr;
    AccessoryFunction mAccessoryFn = nullptr;
    void* mAccessoryContext = nullptr;
    uint8_t mConfirmed = 0;
    uint8_t mTreatPackages = 0;
    std::unique_ptr<MFilePanelBase> mPanel;
    std::unique_ptr<CEmbeddedFrame> mAccessory;
    CFileTypePopupFrame* mTypeFrame = nullptr;  // child of the accessory pane
    LString mMessage;
    LFileKind mCurrentKind;
    LFsSpec mStartFile;
    std::vector<std::string> mAllowedTypes;
};

// Opens an existing file; the open panel's filter is an MOpenDelegete.
class COpenFileDialog : public CFileDialog {
public:
    COpenFileDialog();
    ~COpenFileDialog() override;
    void Run(uint32_t flags) override;

private:
    std::unique_ptr<MFilePanelDelegate> mDelegate;
};

// Names a file to save; the Edit menu is bridged to the panel while it runs.
class CSaveFileDialog : public CFileDialog {
public:
    void Run(uint32_t flags = 0) override;
    void SetStartSpec(const LFsSpec& spec) override;
    void SetTypes(const CFileTypeList* list) override;
    void SetFileType(const LFileKind& kind) {
        mDefaultKind = kind;
        mCurrentKind = kind;
    }
    const LFileKind& DefaultKind() const { return mDefaultKind; }
    const LString& DefaultFileName() const { return mDefaultName; }

private:
    LFileKind mDefaultKind;
    LString mDefaultName;
};

// Chooses a folder (files cannot be chosen).
class CFolderDialog : public CFileDialog {
public:
    void Run(uint32_t flags = 0) override;
};
