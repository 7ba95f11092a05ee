#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/LFrame.h"

class CDimDefLibrary;
class CDimDefStore;
class CDimDeviceList;
namespace plat {
class UsbHost;
}
class CDimLayoutView;
class CHeaderFrame;
class CNumVol;
class CRecordHolder;
class LListNavi;
class LStdCheck;
class LTextPane;
struct SRecordEvent;

// What the dimmer window works on, handed in by the dimmer document: the settings set (inside the
// preferences' tree), the DIMS holder and the definitions store. The document is the window's
// upper handler and so lends its undo queue and answers the dimmer commands of the menu bar.
struct SDimWindowSources {
    CRecordHolder* settingsHolder = nullptr;
    CRecordRef settings;
    CRecordHolder* dims = nullptr;
    CDimDefStore* defs = nullptr;
    CDimDefLibrary* library = nullptr;  // the device cells' definition menu
    plat::UsbHost* usb = nullptr;       // the USB DMX interfaces the cells offer (none without)
};

// The LED dimmer window: its own menu bar "DIMCTL", a header (label, division knob, output check
// box), the layout view and the device list with its column header. The stored placement "winplace" is
// used when it is a proper rectangle, otherwise the window takes its layout's size; it is stored
// again when the window goes. Main thread only.
class CDimWindow : public LFrame {
public:
    static constexpr uint32_t kWindowKind = 9;
    static constexpr const char* kName = "DIMWIN";
    static constexpr const char* kHeaderName = "DIMCTLF";
    static constexpr const char* kMenuBarName = "DIMCTL";

    // A window of kind 9 with the "DIMCTL" menu group.
    static LFrameSpec MakeSpec();

    CDimWindow(LHandler* upper, LPane* owner, const LFrameSpec& spec, const SDimWindowSources& sources);
    ~CDimWindow() override;

    LMessage Handle(const LMessage& msg) override;

    // The file name, " -" when it is not empty, then string 0 of "DIMWIN".
    static LString TitleFor(const LString& fileName, const LString& suffix);
    void SetTitleFor(const LString& fileName);
    // Knob read-only while 'atdv' is set, knob value 'dvsn', check box "use".
    void RefreshHeader();

    CDimLayoutView* View() const { return fView; }
    CNumVol* DivisionKnob() const { return fDivision; }
    LStdCheck* OutputCheck() const { return fOutput; }
    CHeaderFrame* ColumnHeader() const { return fColumns; }
    CDimDeviceList* DeviceList() const { return fList; }

private:
    static void SettingsChanged(void* self, const SRecordEvent* event);
    static void DimsChanged(void* self, const SRecordEvent* event);

    SDimWindowSources fSources;
    LFrame* fHeader = nullptr;
    LTextPane* fLabel = nullptr;
    CNumVol* fDivision = nullptr;
    CDimLayoutView* fView = nullptr;
    CHeaderFrame* fColumns = nullptr;
    LStdCheck* fOutput = nullptr;
    LListNavi* fNavi = nullptr;
    CDimDeviceList* fList = nullptr;
};
