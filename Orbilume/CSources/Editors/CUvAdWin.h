#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LFrame.h"

class CHeaderFrame;
class CRecord;
class CRecordHolder;
class CUvAdList;
class LListNavi;
class LStdButton;

// The universe address window ("UVADWIN": layout, title string 0, column titles strings 1-3; menu
// bar "EDITW"): a header with the column titles and "+", and the UVAD rows of a UVAS record in a
// scrolling navigator. Its place is kept under "wp" in the settings set (an empty or inverted one
// is ignored). Main thread only.
class CUvAdWin : public LFrame {
public:
    static constexpr const char* kName = "UVADWIN";
    static constexpr const char* kMenuBarName = "EDITW";
    static constexpr const char* kPlaceKey = "wp";

    // owner: null for a window of its own (spec), else the pane that holds it.
    CUvAdWin(LHandler* upper, LPane* owner, const LFrameSpec& spec, CRecord* settings, CRecordHolder* holder,
             CRecord* uvas);
    ~CUvAdWin() override;

    // A document window with the "EDITW" menu bar.
    static LFrameSpec DefaultSpec();

    LMessage Handle(const LMessage& msg) override;

    CUvAdList* List() const { return fList; }
    CHeaderFrame* Header() const { return fHeader; }
    LStdButton* AddButton() const { return fAdd; }

private:
    void PlaceHeader();

    CRecord* fSettings;
    CHeaderFrame* fHeader = nullptr;
    LStdButton* fAdd = nullptr;
    LListNavi* fNavi = nullptr;
    CUvAdList* fList = nullptr;
};
