#pragma once

#include <cstdint>
#include <memory>

#include "Common/ObjC/CTextSlot.h"
#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/CTabFocusPane.h"
#include "Lib3/LSources/CoreUI/SchDateTime.h"
#include "Lib3/LSources/Mac/CDropTargetHelper.h"
#include "Lib3/LSources/Mac/LScrapType.h"
#include "Lib3/LSources/Mac/UPasteboard.h"

class CRecord;
class CRecordRowDrag;
class CRecordHolder;
class CSchLink;
class LEditText;
class LStdButton;
class LTextPane;
struct SRecordEvent;

// Sent up when the list's width changed (the cells follow it).
L_MESSAGE_ID(CSchEntryList_Resized);

// The entries of a schedule in the editor: one row ("QLTSCHCELL") per entry of 'flts', with the
// marker of the current entry, a fire button, the name and the name of the command's sequence.
// The current entry is the one that matches the test date-time while one is set, else the one the
// runner matched at its last tick. Rows follow inserts, removes and moves of the entries; Cut,
// Copy, Paste, Delete and dragging work on the selected entries as list scraps of ScrapType(), each
// one undo group (a drag within the list moves them). Main thread only.
class CSchEntryList : public CCellGridPane {
public:
    CSchEntryList(LPane* owner, CSchLink* link, CRecordHolder* holder);
    ~CSchEntryList() override;

    LMessage Handle(const LMessage& msg) override;
    void BoundsChanged(const CLRect& old) override;
    void Draw(LDrawContext& ctx) override;
    CTabFocusPane* CreateCellPane() override;
    bool BindCell(LPane* pane, const CLPoint& cell) override;
    uint32_t CellSizeMode() override { return 3; }

    // The row of the current entry, -1 when none.
    int32_t Current() const { return fCurrent; }
    void SetTestDateTime(const SchDateTime& dt);
    void ClearTestDateTime();
    bool HasTestDateTime() const { return fTesting; }
    // Deletes the selected entries (one undo group, the list as editing handler).
    void DeleteSelection();
    // The pasteboard type of copied entries.
    static LScrapType ScrapType();

    CSchLink* Link() const { return fLink; }
    CRecordRowDrag* Drag() const { return fDrag.get(); }
    CRecord* EntryAt(int32_t row) const;

private:
    static void Observe(void* context, const SRecordEvent* event);
    static void Listen(void* context, uint32_t notice);
    void OnRecordChange(const SRecordEvent& event);
    void UpdateCurrent();

    CSchLink* fLink;
    CRecordHolder* fHolder;
    int32_t fCurrent = -1;
    bool fTesting = false;
    SchDateTime fTest;
    CPasteboardU fPasteboard;
    std::unique_ptr<CRecordRowDrag> fDrag;
};

class CSchEntryCell;

// The command field of an entry's row: the name of the sequence its command names. A drag that the
// runner can drop (request 3) is shown accepted; a drop sets the command (request 4 with the drag),
// and emptying the field deletes it (request 4 without one).
class CSchCommandSlot : public CTextSlot {
public:
    explicit CSchCommandSlot(CSchEntryCell* cell);

    LMessage Handle(const LMessage& msg) override;
    void Draw(LDrawContext& ctx) override;
    bool IsAccepting() const { return fAccepting; }

private:
    void SetAccepting(bool on);

    CSchEntryCell* fCell;
    CDropTargetHelper fDrop;
    bool fAccepting = false;
};

// One entry's row.
class CSchEntryCell : public CTabFocusPane {
public:
    static constexpr const char* kName = "QLTSCHCELL";
    static constexpr const char* kMarker = "\xE2\x96\xB6";  // ▶

    explicit CSchEntryCell(CSchEntryList* list);
    LMessage Handle(const LMessage& msg) override;

    void Bind(int32_t row, bool current);
    int32_t Row() const { return fRow; }
    LTextPane* Marker() const { return fMarker; }
    LStdButton* FireButton() const { return fFire; }
    LEditText* NameField() const { return fName; }
    CSchCommandSlot* CommandText() const { return fCommand; }
    CSchEntryList* List() const { return fList; }

private:
    CSchEntryList* fList;
    LTextPane* fMarker = nullptr;
    LStdButton* fFire = nullptr;
    LEditText* fName = nullptr;
    CSchCommandSlot* fCommand = nullptr;
    int32_t fRow = -1;
};
