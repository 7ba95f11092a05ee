#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Common/ObjC/MFilePanelBase.h"
#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/CTabFocusPane.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"

class LEditText;
class LListNavi;
class LPopupList;
class LStdButton;
class LTextPane;
class MFilePanel;

// One row of the file list: the entry's name, a folder's with a trailing "/".
class MFileCell : public CTabFocusPane {
public:
    explicit MFileCell(LPane* grid);
    void Bind(const std::string& text);
    LTextPane* Text() const { return fText; }

private:
    LTextPane* fText;  // child
};

// The file list: one column, a prototype cell draws every row.
class MFileGrid : public CCellGridPane {
public:
    MFileGrid(LPane* owner, MFilePanel* panel);
    ~MFileGrid() override;
    LMessage Handle(const LMessage& msg) override;
    LPane* FindPaneAt(const CLPoint& p) override;
    void BoundsChanged(const CLRect& old) override;
    CTabFocusPane* CreateCellPane() override;
    bool BindCell(LPane* pane, const CLPoint& cell) override;

private:
    MFilePanel* fPanel;
};

// Our own open and save panel, of framework panes in a modal window (kind 3): the message, a
// location pop-up (the folder, its parents, home and the user folders), the folder's entries in a
// list, the name field when saving, the accessory area, Cancel and OK (default). Return enters the
// selected folder or confirms, Backspace or Alt+Up goes up, typing selects by prefix, a double click
// enters or confirms; saving over a file asks first. Main thread only.
class MFilePanel : public LModalDialog, public MFilePanelBase {
public:
    // Asked before saving over an existing file: true replaces it.
    using ReplaceQuestion = bool (*)(const std::string& path, void* context);
    static constexpr int32_t kRowHeight = 20;

    MFilePanel(LHandler* upper, Kind kind);
    ~MFilePanel() override;

    // The upper handler of panels CFileDialog makes (the application root unless set).
    static LHandler* DefaultUpper();
    static void SetDefaultUpper(LHandler* upper);
    // Null restores the question box.
    static void SetReplaceQuestion(ReplaceQuestion question, void* context);

    LMessage Handle(const LMessage& msg) override;
    void BoundsChanged(const CLRect& old) override;

    int32_t RunModal(const std::string& folder, const std::string& name) override;
    plat::Window* HostWindow() const override;
    void SetAccessoryView(CEmbeddedFrame* view) override;

    // A run in steps: Begin shows the panel, Step runs modal steps for up to ms and answers the
    // result (-1 while none), End hides it.
    void Begin(const std::string& folder, const std::string& name);
    int32_t Step(uint32_t ms);
    void End();

    // The folder shown and its entries.
    const std::string& Folder() const { return fFolder; }
    const std::vector<MFileEntry>& Entries() const { return fEntries; }
    void GoTo(const std::string& folder);
    void GoUp();
    // The selected row, -1 when none.
    int32_t SelectedRow() const;
    void SelectRow(int32_t row);
    // Selects the first entry whose name starts with the text (ASCII case folded).
    bool SelectByPrefix(const std::string& prefix);
    // Return or a double click: enters the selected folder or confirms; true when the run ends.
    bool EnterOrConfirm(bool fromList);
    // A key for the list (not the name field): true when taken.
    bool HandleListKey();

    LTextPane* MessagePane() const { return fMessage; }
    LPopupList* LocationPopup() const { return fLocation; }
    const std::vector<std::string>& Locations() const { return fLocations; }
    MFileGrid* Grid() const { return fGrid; }
    LListNavi* ListNavi() const { return fNavi; }
    LEditText* NameField() const { return fName; }
    LStdButton* OKButton() const { return fOK; }
    LStdButton* CancelButtonPane() const { return fCancel; }

protected:
    void AllowedTypesChanged() override { Reload(); }

private:
    void Reload();
    void FillLocations();
    void LayOutPanes();
    bool Confirm(const std::string& path);
    bool ConfirmSave();

    LTextPane* fMessage;
    LPopupList* fLocation;
    LListNavi* fNavi;
    MFileGrid* fGrid;
    LTextPane* fNameLabel = nullptr;
    LEditText* fName = nullptr;
    LStdButton* fCancel;
    LStdButton* fOK;
    std::string fFolder;
    std::vector<MFileEntry> fEntries;
    std::vector<std::string> fLocations;  // per pop-up item; empty for separators
    std::string fPrefix;
    double fPrefixTime = 0;
    uint32_t fClickStamp = 0;
    bool fRunning = false;
};
