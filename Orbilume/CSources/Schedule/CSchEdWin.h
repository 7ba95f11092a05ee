#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/SchDateTime.h"

class CRecordHolder;
class CSchEntryList;
class CSchLink;
class CSchPrmFrame;

// The schedule editor ("QLTSCHWIN": layout, title string 0, menu bar "SCHEW"): the entry list
// beside the conditions of its first selected entry. Menu commands: "CSchEdWin_AddEvent" (a new
// entry at the top, selected), "CSchEdWin_AddPeriod" (a period appended to the shown entry) and
// "CSchEdWin_Test" (the entry list marks what matches at the test date-time). Its place is kept as
// "schplc" in the link's settings (an empty or inverted one is ignored). "LFrame_Close" goes up to
// the runner, which deletes it. Main thread only.
class CSchEdWin : public LFrame {
public:
    static constexpr const char* kName = "QLTSCHWIN";
    static constexpr const char* kMenuBarName = "SCHEW";
    static constexpr const char* kPlaceKey = "schplc";

    CSchEdWin(LHandler* upper, LPane* owner, CSchLink* link, CRecordHolder* holder,
              const LFrameSpec& spec = LFrameSpec::Default());
    ~CSchEdWin() override;

    LMessage Handle(const LMessage& msg) override;

    // Makes the runner open this editor in a document window with its menu bar.
    static void InstallAsEditor();

    // The test date-time the entry list marks (the test window's); Clear returns to the live match.
    void SetTestDateTime(const SchDateTime& dt);
    void ClearTestDateTime();

    CSchEntryList* List() const { return fList; }
    CSchPrmFrame* Conditions() const { return fConditions; }

private:
    void ShowSelected();
    void AddEvent();
    void AddPeriod();

    CSchLink* fLink;
    CSchEntryList* fList;
    CSchPrmFrame* fConditions;
};
