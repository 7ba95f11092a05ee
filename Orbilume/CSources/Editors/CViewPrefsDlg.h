#pragma once

#include <cstdint>

#include "Common/ObjC/SFontDesc.h"
#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/CTabFocusPane.h"
#include "Lib3/LSources/CoreUI/LDialog.h"

class CSeparatorPane;
class CTextSlot;
class LTextPane;

// One font slot's row ("CVPFONTCELL"): the label (string r of "CVPFONTLIST"), a text slot showing
// the stored family, a separator.
class CVPFontCell : public CTabFocusPane {
public:
    static constexpr const char* kName = "CVPFONTCELL";
    static constexpr const char* kLabels = "CVPFONTLIST";

    explicit CVPFontCell(LPane* list);
    void Bind(uint32_t row);
    uint32_t Row() const { return fRow; }
    LTextPane* Label() const { return fLabel; }
    CTextSlot* Slot() const { return fSlot; }

private:
    LTextPane* fLabel;
    CTextSlot* fSlot;
    CSeparatorPane* fSeparator;
    uint32_t fRow = 0;
};

// The four font slots. A click on a row's slot opens the font panel (modeless) for the focused row
// while the list holds the focus; the panel's choice (family and size) is stored for that row unless
// a modal dialog is up, and the row is focused again. An emptied slot resets the row to its default
// style. The panel closes when the list stops being visible, active or focused, and opens again for
// the focused row when it is all three once more. Main thread only.
class CVPFontList : public CCellGridPane {
public:
    static constexpr uint32_t kRows = 4;

    // The font panel as the list uses it; tests install their own. Null restores UMachPanel.
    struct FontPanel {
        int32_t (*open)(SFontDesc& description, void* owner, void (*callback)(void*, const SFontDesc*, int32_t));
        void (*close)(void* owner, void (*callback)(void*, const SFontDesc*, int32_t));
        bool (*ownedBy)(void* owner);
    };
    static void SetFontPanel(const FontPanel* panel);

    explicit CVPFontList(LPane* owner);
    ~CVPFontList() override;

    LMessage Handle(const LMessage& msg) override;
    void StateChanged(uint32_t op) override;
    void BoundsChanged(const CLRect& old) override;
    CTabFocusPane* CreateCellPane() override;
    bool BindCell(LPane* pane, const CLPoint& cell) override;
    uint32_t CellSizeMode() override { return 3; }

    // The row whose cell has the focus, or -1.
    int32_t FocusedRow() const;
    // Opens the panel for the focused row when the list may (see above); true when opened.
    bool OpenPanel();
    void ClosePanel();
    bool PanelOpen() const;
    // What the panel's callback does with a choice.
    void ApplyChoice(const SFontDesc& description);

private:
    static void PanelCallback(void* owner, const SFontDesc* description, int32_t code);
    bool MayShowPanel() const;
    int32_t PanelRow() const;
    bool fWantPanel = false;  // the panel was opened and not closed by the user
    int32_t fPanelRow = -1;   // the row it was last opened for
};

// The view preferences ("CVIEWPREFSDLG", title string 0 of its string list): the font list. State
// operation 23 sizes the window to its layout. Main thread only.
class CViewPrefsDlg : public LDialog {
public:
    static constexpr const char* kName = "CVIEWPREFSDLG";

    CViewPrefsDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec);
    LMessage Handle(const LMessage& msg) override;
    void StateChanged(uint32_t op) override;

    CVPFontList* List() const { return fList; }
    // The window spec the application makes it with (a titled, closable window of kind 3).
    static LFrameSpec DefaultSpec();

private:
    CVPFontList* fList;
};
