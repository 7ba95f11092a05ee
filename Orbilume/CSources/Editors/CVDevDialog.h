#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/CTabFocusPane.h"
#include "Lib3/LSources/CoreUI/LDialog.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Orbilume/CSources/Media/CVCapSlots.h"

class CAppPrefs;
class CSeparatorPane;
class LLayoutDesc;
class LListNavi;
class LPopupList;
class LStdButton;
class LStdRadio;
class LTextPane;
namespace plat {
class CaptureRegistry;
}

class CVDevList;

// One video input slot's row ("VDEVCELL"): label r + 1, a pop-up of string 0 of "VDEVLIST" and the
// present capture devices' names in enumeration order, a separator. The pop-up selects the slot's
// stored "name" (the first item of that title), else item 0; a choice stores the title, or the empty
// text for item 0. Main thread only.
class CVDevCell : public CTabFocusPane {
public:
    static constexpr const char* kName = "VDEVCELL";

    CVDevCell(CVDevList* list, const std::vector<std::string>& devices);
    LMessage Handle(const LMessage& msg) override;

    // Empties the pop-up and fills it with string 0 of "VDEVLIST" and the names (bytes that are
    // not UTF-8 show as U+FFFD; the names themselves are kept as the devices give them).
    void SetDevices(const std::vector<std::string>& devices);

    // Selects the first device whose name is the stored one (as given, else as shown: a name that
    // went through a file has its broken bytes replaced), else item 0.
    void Bind(uint32_t row);
    uint32_t Row() const { return fRow; }
    LTextPane* Label() const { return fLabel; }
    LPopupList* Popup() const { return fPopup; }

private:
    CVDevList* fList;
    LTextPane* fLabel;
    LPopupList* fPopup;
    CSeparatorPane* fSeparator;
    std::vector<std::string> fDevices;  // item i + 1, as the devices name themselves
    uint32_t fRow = 0;
};

// The four video input slots over the preferences' 'vdvs' set (PREF field 49: "0".."3" / "name").
// Device arrivals and departures ("CObVCapNote_Change") rebuild every cell, then ask for a new
// preferred layout ("LPane_Pref"). Main thread only.
class CVDevList : public CCellGridPane {
public:
    static constexpr const char* kName = "VDEVLIST";
    static constexpr uint32_t kRows = CVCapSlots::kSlotCount;

    // A null registry: the application's.
    CVDevList(LPane* owner, CAppPrefs* prefs, plat::CaptureRegistry* registry = nullptr);
    ~CVDevList() override;

    LMessage Handle(const LMessage& msg) override;
    void BoundsChanged(const CLRect& old) override;
    CTabFocusPane* CreateCellPane() override;
    bool BindCell(LPane* pane, const CLPoint& cell) override;
    // A kept pane lists the devices present now.
    void PrepareCellPane(LPane* pane) override;
    uint32_t CellSizeMode() override { return 3; }

    // The present video devices' names, in enumeration order.
    std::vector<std::string> DeviceNames() const;
    // The stored "name" of a slot (empty when none).
    LString StoredName(uint32_t slot) const;
    void StoreName(uint32_t slot, const LString& name);
    uint32_t Rebuilds() const { return fRebuilds; }

private:
    CAppPrefs* fPrefs;
    plat::CaptureRegistry* fRegistry;
    CVCapDevRelay fRelay{this};
    uint32_t fRebuilds = 0;
};

// The video devices window ("VDEVDLG": title string 0; blocks 0-2 with "indexes" the row count),
// window kind 3, placed at PREF field 36 ('vdwp') when that is a proper rectangle, and storing its
// content rectangle there when destroyed. Main thread only.
class CVDevDialog : public LDialog {
public:
    static constexpr const char* kName = "VDEVDLG";

    CVDevDialog(LHandler* upper, const LFrameSpec& spec, CAppPrefs* prefs, plat::CaptureRegistry* registry = nullptr);
    ~CVDevDialog() override;

    static LFrameSpec DefaultSpec();

    LMessage Handle(const LMessage& msg) override;
    void DescriptionPrefer(LDrawContext& ctx, LLayoutDesc& description) override;

    CVDevList* List() const { return fList; }
    // Sizes the window from the layout and moves it to the stored (or current) top left.
    void Place();

private:
    CAppPrefs* fPrefs;
    LListNavi* fNavi = nullptr;
    CVDevList* fList = nullptr;
};

// Picks one of the four video inputs for a layer ("OBVINSELDLG": 0 title, 1 OK, 2 Cancel, 3-6 the
// radios, linked in a ring). Radio 0 is checked at first; Answer is the checked one. Main thread only.
class CVInSelDialog : public LModalDialog {
public:
    static constexpr const char* kName = "OBVINSELDLG";

    CVInSelDialog(LHandler* upper, LPane* owner, const LFrameSpec& spec);
    // Runs the dialog with the slot checked; true with the checked slot on OK.
    static bool Choose(uint32_t preselected, uint32_t& chosen);

    // Checks the slot's radio (0 for a slot outside 0-3).
    void Check(int32_t slot);
    // The checked radio, 0-3.
    uint32_t Answer() const;

    LStdButton* OkButton() const { return fOk; }
    LStdButton* CancelBtn() const { return fCancel; }
    LStdRadio* Radio(uint32_t i) const { return i < 4 ? fRadios[i] : nullptr; }

    LMessage Handle(const LMessage& msg) override;

private:
    LStdButton* fOk;
    LStdButton* fCancel;
    LStdRadio* fRadios[4] = {};
};
