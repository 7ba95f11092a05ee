#pragma once

#include <cstdint>
#include <memory>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/CTabFocusPane.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Orbilume/CSources/Led/CDimDefEditorCtl.h"
#include "Orbilume/CSources/Led/CDimDragTracker.h"

class CDIMDefSel;
class CDimDefLibrary;
class CDimDefStore;
class CNumVol;
class LEditText;
class LListNavi;
class LPopupList;
class LTextPane;
class CDimDefWin;

// One cell of the dot-order grid ("DIMDOTCELL"): a knob 0..170 showing the dot number of its cell.
class CDimDotCell : public CTabFocusPane {
public:
    static constexpr const char* kName = "DIMDOTCELL";
    explicit CDimDotCell(CDimDefWin* window, LPane* owner);
    LMessage Handle(const LMessage& msg) override;
    void Bind(const CLPoint& at);
    CNumVol* Knob() const { return fKnob; }
    const CLPoint& Cell() const { return fCell; }

private:
    CDimDefWin* fWindow;
    CNumVol* fKnob;
    CLPoint fCell{-1, -1};
};

// The dot order of the shown definition: 'dthz' columns, 'dtvt' rows; cell (c, r) shows entry
// r × 'dthz' + c.
class CDimDotGrid : public CCellGridPane {
public:
    CDimDotGrid(LPane* owner, CDimDefWin* window);
    ~CDimDotGrid() override;
    CTabFocusPane* CreateCellPane() override;
    bool BindCell(LPane* pane, const CLPoint& cell) override;
    void Rebuild();

private:
    CDimDefWin* fWindow;
};

// The drag handle of a channel row: its drags end without a change to the table.
class CDimChHandle : public LPane {
public:
    explicit CDimChHandle(LPane* owner);
    LMessage Handle(const LMessage& msg) override;
    CDimDragTracker& Tracker();
    static LScrapType DragType();

private:
    std::unique_ptr<CDimDragTracker> fTracker;
};

// One row of the channel list ("DIMCHCELL"): the channel number, the value text, the handle.
class CDimChCell : public CTabFocusPane {
public:
    static constexpr const char* kName = "DIMCHCELL";
    CDimChCell(CDimDefWin* window, LPane* owner);
    LMessage Handle(const LMessage& msg) override;
    void Bind(int32_t row);
    int32_t Row() const { return fRow; }
    LTextPane* Number() const { return fNumber; }
    LEditText* Value() const { return fValue; }
    CDimChHandle* Grip() const { return fHandle; }

private:
    CDimDefWin* fWindow;
    int32_t fRow = -1;
    LTextPane* fNumber;
    LEditText* fValue;
    CDimChHandle* fHandle;
};

// The channel table of a code definition, one row per entry (at least 'prcs' + 'pscs').
class CDimChList : public CCellGridPane {
public:
    CDimChList(LPane* owner, CDimDefWin* window);
    ~CDimChList() override;
    CTabFocusPane* CreateCellPane() override;
    bool BindCell(LPane* pane, const CLPoint& cell) override;
    uint32_t CellSizeMode() override { return 3; }
    // Rows for the shown definition; detached: none.
    void Rebuild(bool attached);
    bool IsAttached() const { return fAttached; }

private:
    CDimDefWin* fWindow;
    bool fAttached = false;
};

// The definition editor window "DIMDEFWIN" (menu bar "DIMDEFCTL"): the definition's name in a
// selector, the parameter frame "DIMDEFPRMF" (dots across and down 1..170, the composition pop-up),
// the channel-set frame "DIMDEFCHSF" (prefix, per-dot and suffix counts 0..40), the dot-order grid
// and the channel list. Every edit goes through the store with the controller's undo queue; the
// window follows the definition's record changes, so undo updates it. Its place is kept as
// "defwinplace" in the dimmer settings. Main thread only.
class CDimDefWin : public LFrame, public CDimDefEditorView {
public:
    static constexpr const char* kName = "DIMDEFWIN";
    static constexpr const char* kParamFrame = "DIMDEFPRMF";
    static constexpr const char* kChannelFrame = "DIMDEFCHSF";
    static constexpr const char* kMenuBarName = "DIMDEFCTL";
    enum : uint32_t { kAcross = 0, kDown = 1, kPrefix = 2, kPerDot = 3, kSuffix = 4, kKnobs = 5 };

    // editor: the handler whose undo queue takes the edits (the controller).
    CDimDefWin(LHandler* upper, LPane* owner, LHandler* editor, CDimDefStore* store, CDimDefLibrary* library,
               CRecordRef settings, const LFrameSpec& spec = LFrameSpec::Default());
    ~CDimDefWin() override;
    // The controller's window: a document window with the "DIMDEFCTL" bar.
    static std::unique_ptr<CDimDefEditorView> Make(CDimDefEditorCtl& controller, CDimDefLibrary* library,
                                                   CRecordRef settings);

    LMessage Handle(const LMessage& msg) override;

    // CDimDefEditorView
    void ShowDefinition(CRecord* definition) override;
    CRecord* ShownDefinition() const override { return fWatch.Shown(); }
    bool TakeChanged() override { return fWatch.TakeChanged(); }
    void ShowWindow() override { LFrame::ShowWindow(); }
    void HideWindow() override { LFrame::HideWindow(); }
    LHandler* ViewHandler() override { return this; }
    LHandler* Selector() override;

    // Everything again from the definition: the fields, the grid and the list.
    void Refresh();
    // The name, knobs, pop-up and pane states.
    void RefreshFields();
    CRecordRef DefRef() const;
    LHandler* Editor() const { return fEditor; }
    CDimDefStore* Store() const { return fStore; }

    CDIMDefSel* NameSel() const { return fNameSel; }
    CNumVol* Knob(uint32_t i) const { return i < kKnobs ? fKnobs[i] : nullptr; }
    LPopupList* Composition() const { return fComposition; }
    LFrame* ParamFrame() const { return fParams; }
    LFrame* ChannelFrame() const { return fChannels; }
    CDimDotGrid* DotGrid() const { return fDots; }
    CDimChList* ChannelList() const { return fList; }

private:
    void OnChange(const SRecordEvent& event);
    void SetAreas(uint32_t op);

    LHandler* fEditor;
    CDimDefStore* fStore;
    CRecordRef fSettings;
    CDimDefWatch fWatch;
    CDIMDefSel* fNameSel = nullptr;
    LFrame* fParams = nullptr;
    LFrame* fChannels = nullptr;
    CNumVol* fKnobs[kKnobs] = {};
    LPopupList* fComposition = nullptr;
    LListNavi* fDotNavi = nullptr;
    CDimDotGrid* fDots = nullptr;
    LListNavi* fListNavi = nullptr;
    CDimChList* fList = nullptr;
    bool fRefreshing = false;
    int32_t fTypingRow = -1;  // the channel row whose editor is storing a typed value

    friend class CDimChCell;
};
