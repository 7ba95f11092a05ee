#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/CTabFocusPane.h"
#include "Lib3/LSources/Mac/LScrapType.h"

class CDocModelHolder;
class CMoveTimeDlg;
class CNumVol;
class CRecordRowDrag;
class CStateButton;
class CTimecodeEdit;
class HotKeyRegistry;
class LEditText;
class LMenu;
class LMenuItem;
class LTextPane;
struct SRecordEvent;

// The scenes of a document's current scene list (its own, or the edited sequence's while SCNS field
// 16 names one), one "SCENECELL" row each: recall button titled with the key, control slot label,
// time (while 'tmmd'), name and fade. Rows drag only within the list ('SCNE'); Delete and
// "cScnMoveTime" work on the selection, each one undo group. A recall button held 500 ms pops the
// "SCNKEY" menu; keys "F1".."F12" register system-wide hot keys that send the scene's go-to request
// (field 10). The marker (u32) is the position between scenes the arrow keys move, drawn as a green
// band while 'tmmd'. Times read from the model are clamped to 0..kMaxTime. Main thread only.
class CSceneList : public CCellGridPane {
public:
    static constexpr float kMaxTime = 86399.99f;
    static constexpr uint32_t kHoldMs = 500;
    static constexpr uint32_t kFunctionKeyModifier = 0x20000;
    static constexpr uint32_t kMaxKey = 12;

    // hotKeys null: the process-wide registry.
    CSceneList(LPane* owner, CDocModelHolder* doc, HotKeyRegistry* hotKeys = nullptr);
    ~CSceneList() override;

    LMessage Handle(const LMessage& msg) override;
    void BoundsChanged(const CLRect& old) override;
    void Draw(LDrawContext& ctx) override;
    CTabFocusPane* CreateCellPane() override;
    bool BindCell(LPane* pane, const CLPoint& cell) override;
    uint32_t CellSizeMode() override { return 3; }

    // Selects the row alone, reveals it and activates its name field.
    void SelectAndEditRow(int32_t row);

    CRecord* SceneAt(int32_t row) const;
    // The scene's time as shown and computed: NaN, negatives and times past a day are clamped.
    float SceneTime(int32_t row) const;
    static float ClampTime(float seconds);
    bool IsTimeMode() const;

    // Clicks and requests of a row.
    void RecallRow(int32_t row);
    void GoToRow(int32_t row);
    // Moves the marker by step rows (clamped to 0..count); locates and recalls when it moved.
    void StepMarker(int32_t step);
    uint32_t Marker() const { return fMarker; }

    // Inserts the records (owned by the call) at row as a drop does: move deletes the selected rows
    // first; copies lose their keys; times follow the first dropped scene from the previous row's
    // time, capped by the next one's. One undo group; the inserted rows are selected. The count.
    uint32_t DropScenes(std::vector<CRecord*> records, uint32_t row, bool move);
    // A time field's edit: kept sorted, or rippled (preference 'stfl') through the later scenes.
    void SetRowTime(int32_t row, float seconds);
    // Shifts the selected scenes so the topmost lands on seconds; false when nothing changed.
    bool MoveSelectedTimes(float seconds);
    // "cScnMoveTime": the dialog with the topmost selected scene's time, then the shift on OK.
    void RunMoveTime();
    void DeleteSelection();
    // The first selected row, -1 without a selection.
    int32_t TopSelectedRow() const;

    // The key menu's choice for a row ("" for none); asks when another scene has the key.
    void ChooseKey(int32_t row, const LString& key);
    int32_t PendingKeyRow() const { return fPendingKeyRow; }
    LTimer* HoldTimer() { return &fHoldTimer; }
    LMenu* KeyMenu() const { return fKeyMenu.get(); }

    // The hot-key bit of a key text: bit n-1 for "F"+n with n 1..12 written without leading zeros.
    static uint32_t KeyBit(const LString& key);
    uint32_t KeyMask() const { return fKeyMask; }
    void RebuildHotKeys();
    // A registered function key n (1..12) was pressed.
    void FunctionKeyPressed(uint32_t n);

    static LScrapType ScrapType();

    // Test seams: the key menu's pop-up (the chosen item or null), the conflict question (true for
    // OK) and the move-time dialog's run (1 OK).
    using KeyMenuRunner = LMenuItem* (*)(CSceneList* list, LMenu* menu, int32_t row);
    using ConfirmRunner = bool (*)(const LString& text);
    using TimeDialogRunner = uint32_t (*)(CMoveTimeDlg* dialog);
    static void SetKeyMenuRunner(KeyMenuRunner runner);
    static void SetConfirmRunner(ConfirmRunner runner);
    static void SetTimeDialogRunner(TimeDialogRunner runner);

    CDocModelHolder* Document() const { return fDoc; }
    CRecordRowDrag* Drag() const { return fDrag.get(); }

private:
    friend class CSceneCell;

    static void Observe(void* context, const SRecordEvent* event);
    static void HotKeyFired(void* context, uint32_t keyCode, uint32_t modifiers);
    void OnRecordChange(const SRecordEvent& event);
    void ResetRows();
    void PopKeyMenu();
    bool CurrentList(CRecord*& owner, uint32_t& field) const;
    CRecordRef ScenesRef() const;
    void SetMarker(uint32_t marker);
    // Edits of many rows: the list ignores the current list's row events meanwhile and follows the
    // model once when the outermost one ends.
    void BeginBulk() { ++fBulk; }
    void EndBulk();
    // Selects the rows (ascending) as one selection change.
    void SelectRows(const std::vector<int32_t>& rows);
    std::vector<int32_t> SelectedRows() const;
    // Counts the scenes of each key bit up or down; registers what the counts now ask for.
    void CountKeys(uint32_t bits, int32_t delta);
    void ApplyKeyCounts();

    CDocModelHolder* fDoc = nullptr;
    HotKeyRegistry* fHotKeys = nullptr;
    uint32_t fMarker = 0;
    int32_t fPendingKeyRow = -1;
    int32_t fLastRippleRow = -1;
    int32_t fTypingRow = -1;  // the row whose field is storing what was typed
    uint32_t fKeyMask = 0;
    uint32_t fKeyCount[kMaxKey] = {};
    // The key bit of the scene leaving the list, noted before it goes.
    int32_t fRemovingIndex = -1;
    uint32_t fRemovingBits = 0;
    uint32_t fBulk = 0;
    bool fBulkChanged = false;
    LTimer fHoldTimer{this};
    std::unique_ptr<LMenu> fKeyMenu;
    std::unique_ptr<CRecordRowDrag> fDrag;
};

// One scene's row.
class CSceneCell : public CTabFocusPane {
public:
    static constexpr const char* kName = "SCENECELL";

    explicit CSceneCell(CSceneList* list);
    LMessage Handle(const LMessage& msg) override;

    void Bind(int32_t row);
    int32_t Row() const { return fRow; }
    CStateButton* RecallButton() const { return fRecall; }
    LTextPane* SlotLabel() const { return fSlot; }
    CTimecodeEdit* TimeField() const { return fTime; }
    LEditText* NameField() const { return fName; }
    CNumVol* FadeField() const { return fFade; }

private:
    CSceneList* fList = nullptr;
    CStateButton* fRecall = nullptr;
    LTextPane* fSlot = nullptr;
    CTimecodeEdit* fTime = nullptr;
    LEditText* fName = nullptr;
    CNumVol* fFade = nullptr;
    int32_t fRow = -1;
};
