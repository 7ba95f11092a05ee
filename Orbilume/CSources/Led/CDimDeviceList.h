#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/CCellGridPane.h"
#include "Lib3/LSources/CoreUI/CTabFocusPane.h"
#include "Orbilume/CSources/Led/DimDeviceCells.h"
#include "Orbilume/CSources/Led/DimDeviceScrap.h"

class CDIMDefSel;
class CDmxIoNote;
class CDimDefLibrary;
class CDimDefStore;
class CHeaderFrame;
class CNumVol;
class CRecordRowDrag;
class CRecordHolder;
class LFrame;
class LPopupList;
class LTextPane;
namespace plat {
class UsbHost;
}
struct SRecordEvent;

// One row of the device list ("DIMDEVCELL"): in assignment mode the definition, the first channel
// and its end, the output and its USB, Art-Net or sACN numbers; in layout mode position, size and
// rotation. Its edits go to the list; the definition is picked from the library's menu.
class CDimDeviceCell : public CTabFocusPane {
public:
    static constexpr const char* kName = "DIMDEVCELL";

    explicit CDimDeviceCell(LPane* grid, CDimDefLibrary* library = nullptr);

    LMessage Handle(const LMessage& msg) override;
    uint32_t Row() const { return fRow; }

    LFrame* AssignFrame() const { return fAssign; }
    LFrame* LayoutFrame() const { return fLayout; }
    LFrame* UsbFrame() const { return fUsb; }
    LFrame* ArtNetFrame() const { return fArtNet; }
    LFrame* SacnFrame() const { return fSacn; }
    CDIMDefSel* Definition() const { return fDefinition; }
    CNumVol* FirstChannel() const { return fFirst; }
    LTextPane* EndChannel() const { return fEnd; }
    LTextPane* Warning() const { return fWarning; }
    LPopupList* Output() const { return fOutput; }
    LPopupList* Interface() const { return fInterface; }
    CNumVol* Knob(dimcell::CEdits::Setter setter) const;

private:
    friend class CDimDeviceList;

    uint32_t fRow = 0;
    LFrame* fAssign;
    CDIMDefSel* fDefinition;
    CNumVol* fFirst;
    LTextPane* fEnd;
    LPopupList* fOutput;
    LFrame* fUsb;
    LPopupList* fInterface;
    LFrame* fArtNet;
    CNumVol* fNet;
    CNumVol* fSubNet;
    CNumVol* fUniverse;
    LFrame* fSacn;
    CNumVol* fSacnUniverse;
    LTextPane* fWarning;  // stands in for the "warning" image
    LFrame* fLayout;
    CNumVol* fX;
    CNumVol* fY;
    CNumVol* fW;
    CNumVol* fH;
    CNumVol* fRotation;
    bool fFilling = false;
    uint32_t fUsbGeneration = 0;  // of the interfaces its pop-up lists
    // The interface pop-up's items as their bytes: the pop-up shows broken UTF-8 as U+FFFD, the
    // serials are compared and stored as they are.
    std::vector<dimcell::PopupItem> fInterfaceItems;
};

// The device list beside the layout view: one row per device of 'devs', made only for the visible
// cells. An edit of a selected row applies to every selected row (dimcell::CEdits); the list's
// selection and the devices' selected flags follow each other. Main thread only.
// Rows drag out as a 'DMDV' scrap: a drop of the list's own rows moves them, any other drop of the
// type (another list, another process) inserts its devices at the drop row; either is one undo
// step and selects the rows. The interface pop-up lists what the serial source gives.
class CDimDeviceList : public CCellGridPane {
public:
    using SerialSource = std::function<std::vector<std::string>()>;

    // The cells' definition selectors use library's menu (none without one).
    CDimDeviceList(LPane* owner, CRecordHolder* settingsHolder, CRecordRef settings, CRecordHolder* dims,
                   CDimDefStore* defs, CHeaderFrame* header, CDimDefLibrary* library = nullptr);
    ~CDimDeviceList() override;

    void SetSerialSource(SerialSource source) { fSerials = std::move(source); }
    // Lists the host's attached USB DMX interfaces in the pop-ups and rebuilds the cells whenever
    // one arrives or leaves (null host: plat::UsbHost::Current()). False when the host cannot watch;
    // the pop-ups still list what is attached when a cell is made.
    bool WatchUsb(plat::UsbHost* host);
    CDmxIoNote* UsbNote() const { return fNote.get(); }

    LMessage Handle(const LMessage& msg) override;
    void BoundsChanged(const CLRect& old) override;
    void SelectionChanged(const CRgn& changed, const CRgn& old) override;
    CTabFocusPane* CreateCellPane() override;
    bool BindCell(LPane* pane, const CLPoint& cell) override;
    // Cells as wide as the list, as high as the prototype wants.
    uint32_t CellSizeMode() override { return 3; }

    // Called by a cell: a control of row `row` changed.
    void CellEdited(CDimDeviceCell* cell, const void* control, dimcell::CEdits::Setter setter, double number,
                    const std::string& text);
    std::vector<uint32_t> SelectedRows() const;
    void DeleteSelected();
    // Sets every device's selected flag from the list's selection.
    void SyncSelection();
    // The drop's edits, each one undo step selecting the rows: the devices inserted before `row`
    // (clamped to the count), or the selected rows moved there. Answer the number of rows.
    uint32_t InsertDevices(std::vector<dimscrap::DevicePtr> devices, uint32_t row);
    uint32_t MoveSelectedRows(uint32_t row);
    CRecordRowDrag* RowDrag() const { return fDrag.get(); }

private:
    CRecord* Dims() const;
    uint32_t DeviceCount() const;
    bool LayoutMode() const;
    bool LayoutInPixels() const;
    void FillInterfaces(CDimDeviceCell* cell);
    void PlaceHeader();
    void EnsureRowDrag();
    bool HandleRowDrag(const LMessage& msg, LMessage* reply);
    void SelectRows(uint32_t first, uint32_t count);
    static void DimsChanged(void* self, const SRecordEvent* event);
    static void DefsChanged(void* self, const SRecordEvent* event);
    static void SettingsChanged(void* self, const SRecordEvent* event);

    CRecordHolder* fSettingsHolder;
    CRecordRef fSettings;
    CRecordHolder* fDims;
    CDimDefStore* fDefs;
    CDimDefLibrary* fLibrary;
    CHeaderFrame* fHeader;
    dimcell::CEdits fEdits;
    SerialSource fSerials;
    std::unique_ptr<CRecordRowDrag> fDrag;
    std::unique_ptr<CDmxIoNote> fNote;
    uint32_t fUsbGeneration = 0;  // counts hot-plug changes
    bool fLyodiv = false;
    bool fSyncing = false;
};
