#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/SchDateTime.h"

class CHeaderFrame;
class CRecordHolder;
class LListNavi;
class CSchEntryList;
class CSchLink;
class CSchPrdList;
class CSchPrmFrame;
class CSchTestWin;

// The schedule editor ("QLTSCHWIN": layout, title string 0, menu bar "SCHEW"): the edit frame
// ("QLTSCHEDIT") with the entry list under its header ("QLTSCHLIST" strings 0 and 1, then the
// runner's header text) beside the detail frame ("QLTSCHFLTF": the conditions and, under a second
// navigator, the periods of the first selected entry). Menu commands: "CSchEdWin_AddEvent" (a
// new entry at the top, selected), "CSchEdWin_AddPeriod" (a period appended to the shown entry) and
// "CSchEdWin_Test" (the test window; while it is open the entry list marks what matches at its
// date-time). The places are kept as "schplc" and "tstplc" in the link's settings (an empty or
// inverted one is ignored). "LFrame_Close" goes up to
// the runner, which deletes it. Main thread only.
class CSchEdWin : public LFrame {
public:
    static constexpr const char* kName = "QLTSCHWIN";
    static constexpr const char* kMenuBarName = "SCHEW";
    static constexpr const char* kPlaceKey = "schplc";
    static constexpr const char* kTestPlaceKey = "tstplc";

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
    CSchPrdList* Periods() const { return fPeriods; }
    CHeaderFrame* Header() const { return fHeader; }
    LListNavi* ListNavi() const { return fListNavi; }
    LListNavi* PeriodNavi() const { return fPeriodNavi; }
    // The test window, made by the first "CSchEdWin_Test"; it lives as long as the editor.
    CSchTestWin* TestWindow() const { return fTest; }

private:
    void ShowSelected();
    void AddEvent();
    void AddPeriod();
    void OpenTest();
    void PlaceHeader();

    CSchLink* fLink;
    CHeaderFrame* fHeader = nullptr;
    LListNavi* fListNavi = nullptr;
    LListNavi* fPeriodNavi = nullptr;
    CSchEntryList* fList = nullptr;
    CSchPrmFrame* fConditions = nullptr;
    CSchPrdList* fPeriods = nullptr;
    CSchTestWin* fTest = nullptr;
};
