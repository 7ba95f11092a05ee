#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/CTabFocusPane.h"

class CStateButton;

// Sent to the week list's upper handler after a click toggled a day.
L_MESSAGE_ID(CWeekList_Changed);

// The weekdays of a schedule entry: one row of seven state buttons ("WEEKCELL"), Monday first,
// titled from "WEEKLIST". A click toggles its day. Main thread only.
class CWeekList : public CCellGridPane {
public:
    static constexpr const char* kLabelsName = "WEEKLIST";

    explicit CWeekList(LPane* owner);
    ~CWeekList() override;

    CTabFocusPane* CreateCellPane() override;
    bool BindCell(LPane* pane, const CLPoint& cell) override;

    // Bit k: day k (0 Monday ... 6 Sunday) checked.
    uint8_t Mask() const { return fMask; }
    void SetMask(uint8_t mask);
    // Flips day k, redraws it and tells the upper handler.
    void Toggle(uint32_t day);

private:
    uint8_t fMask = 0;
};

// One day of the week list.
class CWeekCell : public CTabFocusPane {
public:
    static constexpr const char* kName = "WEEKCELL";

    explicit CWeekCell(CWeekList* list);
    LMessage Handle(const LMessage& msg) override;

    void Bind(uint32_t day, const LString& title, bool checked);
    CStateButton* Button() const { return fButton; }
    uint32_t Day() const { return fDay; }

private:
    CWeekList* fList;
    CStateButton* fButton = nullptr;
    uint32_t fDay = 0;
};
