#pragma once

#include <cstdint>
#include <memory>

#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/CTabFocusPane.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/Mac/LScrapType.h"
#include "Lib3/LSources/Mac/UPasteboard.h"
#include "Orbilume/CSources/Schedule/USchEdit.h"

class CHeaderFrame;
class CNumVol;
class CRecord;
class CRecordHolder;
class CRecordRowDrag;
class LPopupList;
class LTextPane;
struct SRecordEvent;

// A period's start or end ("SCHPRDDTF"): year (2020-2999) / month / day, a weekday popup, and
// hour : minute : second. The fields shown follow the period's kind: the second always, the
// minute from kind 1, the hour from 2, the weekday for 3 only, the day for 4-6, the month for 5-6,
// the year for 6. Committed fields and the popup go up as "CNumVol_Fix" and "LPopupList_Changed".
class CSchDateTimeFrame : public LFrame {
public:
    static constexpr const char* kName = "SCHPRDDTF";

    // label: string 0 (start) or 1 (end) of "SCHPRDDTF".
    CSchDateTimeFrame(LHandler* upper, LPane* owner, uint32_t label);

    void Show(uint8_t kind, const USchEdit::Fields& f);
    USchEdit::Fields Read() const;
    bool Owns(const LHandler* pane) const;

    // Field i: 0 year, 1 month, 2 day, 3 hour, 4 minute, 5 second.
    CNumVol* Field(uint32_t i) const { return i < 6 ? fFields[i] : nullptr; }
    LPopupList* Weekday() const { return fWeekday; }

private:
    CNumVol* fFields[6] = {};
    LPopupList* fWeekday = nullptr;
    USchEdit::Fields fShown;
};

class CSchPrdList;

// One period's row ("SCHPRDCELL"): the kind header (item i: kind 6 - i, titled "---"), and the
// start and end frames. The row is the editing handler of its edits.
class CSchPrdCell : public CTabFocusPane {
public:
    static constexpr const char* kName = "SCHPRDCELL";

    explicit CSchPrdCell(CSchPrdList* list);
    LMessage Handle(const LMessage& msg) override;

    void Bind(int32_t row);
    int32_t Row() const { return fRow; }
    CHeaderFrame* KindHeader() const { return fKinds; }
    CSchDateTimeFrame* Start() const { return fStart; }
    CSchDateTimeFrame* End() const { return fEnd; }

private:
    void PlaceKinds();

    CSchPrdList* fList;
    CHeaderFrame* fKinds = nullptr;
    CSchDateTimeFrame* fStart = nullptr;
    CSchDateTimeFrame* fEnd = nullptr;
    int32_t fRow = -1;
};

// The periods of the shown schedule entry, one row each; rows follow inserts, removes and moves of
// the entry's 'prds', and a row is refreshed when its period changes. Cut, Copy, Paste, Delete and
// dragging work on the selected periods as list scraps of ScrapType() (a drag within the list moves
// them, one undo group). Main thread only.
class CSchPrdList : public CCellGridPane {
public:
    CSchPrdList(LPane* owner, CRecordHolder* holder);
    ~CSchPrdList() override;

    LMessage Handle(const LMessage& msg) override;
    static LScrapType ScrapType();

    void BoundsChanged(const CLRect& old) override;
    void Draw(LDrawContext& ctx) override;
    CTabFocusPane* CreateCellPane() override;
    bool BindCell(LPane* pane, const CLPoint& cell) override;
    uint32_t CellSizeMode() override { return 3; }

    // Shows an entry's periods (null: none).
    void Show(CRecord* entry);
    CRecord* Entry() const { return fEntry; }
    CRecord* PeriodAt(int32_t row) const;
    CRecordRowDrag* Drag() const { return fDrag.get(); }
    // After an edited end: all rows refresh once kRefreshDelayMs have passed.
    static constexpr uint32_t kRefreshDelayMs = 1000;
    void RefreshLater() { fRefresh.StartOnce(kRefreshDelayMs, 0); }
    LTimer* RefreshTimer() { return &fRefresh; }

private:
    static void Observe(void* context, const SRecordEvent* event);
    void OnRecordChange(const SRecordEvent& event);

    CRecordHolder* fHolder;
    CRecord* fEntry = nullptr;
    CPasteboardU fPasteboard;
    std::unique_ptr<CRecordRowDrag> fDrag;
    LTimer fRefresh{this};
};
