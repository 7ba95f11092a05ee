#include "Orbilume/CSources/Led/CDimDeviceList.h"

#include <algorithm>
#include <cmath>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/CHeaderFrame.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LTextStyle.h"
#include "Lib3/LSources/Mac/CDragScrap.h"
#include "Lib3/LSources/Mac/CListDragDropHelper.h"
#include "Lib3/LSources/Mac/CRecordRowDrag.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Lib3/LSources/Mac/UListScrap.h"
#include "Lib3/LSources/Mac/UPasteboard.h"
#include "Orbilume/CSources/Led/CDIMDefSel.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"
#include "Orbilume/CSources/UsbDmx/CDmxIoFinder.h"
#include "Orbilume/CSources/UsbDmx/CDmxIoNote.h"
#include "Platform/Foundation/Check.h"

using T = CDimTypes;
using Setter = dimcell::CEdits::Setter;

namespace {

void LayOut(LFrame* frame, const char* name) {
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(name), layout)) frame->SetLayout(layout, LFrame::kDescriptionMode);
}

LTextPane* Label(LFrame* owner, const LStrListRsrcH& strings, uint32_t n) {
    auto* t = new LTextPane(owner, 0);
    t->SetTextStyle(LTextStyleH(2));
    t->SetText(strings.GetString(n));
    return t;
}

CNumVol* NewKnob(LFrame* owner, uint32_t decimals, float lo, float hi, float step) {
    auto* k = new CNumVol(owner, decimals, 0);
    k->SetRange(lo, hi, step);
    return k;
}

// The pane's own shown flag: a cell drawn as the list's prototype is never visible as a whole, and
// its hidden parts must stay hidden.
void Show(LPane* pane, bool on) {
    const bool shown = (pane->State() & LPane::kShown) != 0;
    if (shown != on) pane->ChangeState(on ? LPane::kShow : LPane::kHide);
}

const CRecord* DidvOf(const CRecord* r) {
    for (; r; r = r->Parent())
        if (r->Type() == T::Didv()) return r;
    return nullptr;
}

}  // namespace

// ---- the cell

CDimDeviceCell::CDimDeviceCell(LPane* grid, CDimDefLibrary* library) : CTabFocusPane(grid, grid) {
    PLAT_DCHECK_MAIN_THREAD();
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    // Panes in layout order: 1 assignment frame, 2 warning, 3 layout frame.
    fAssign = new LFrame(this, this);
    fDefinition = new CDIMDefSel(fAssign, library);
    fDefinition->SetTextStyle(LTextStyleH(2));
    fFirst = NewKnob(fAssign, 0, 1, 512, 1);
    fEnd = new LTextPane(fAssign, 0);
    fEnd->SetTextStyle(LTextStyleH(3));
    fOutput = new LPopupList(fAssign, LStdCtlSpec());
    for (uint32_t i = 0; i < 3; ++i) fOutput->InsertItem(int32_t(i), strings.GetString(i));
    fUsb = new LFrame(fAssign, fAssign);
    fInterface = new LPopupList(fUsb, LStdCtlSpec());
    fInterface->InsertItem(0, strings.GetString(3));
    LayOut(fUsb, "DIMDEVDRMX");
    fArtNet = new LFrame(fAssign, fAssign);
    (void)Label(fArtNet, strings, 4);
    fNet = NewKnob(fArtNet, 0, 0, 127, 1);
    (void)Label(fArtNet, strings, 5);
    fSubNet = NewKnob(fArtNet, 0, 0, 15, 1);
    (void)Label(fArtNet, strings, 6);
    fUniverse = NewKnob(fArtNet, 0, 0, 15, 1);
    LayOut(fArtNet, "DIMDEVARTN");
    fSacn = new LFrame(fAssign, fAssign);
    (void)Label(fSacn, strings, 6);
    fSacnUniverse = NewKnob(fSacn, 0, 1, 32768, 1);
    LayOut(fSacn, "DIMDEVSACN");
    LayOut(fAssign, "DIMDEVASNF");
    fWarning = new LTextPane(this, 0);
    fWarning->SetText(LString("!"));
    fLayout = new LFrame(this, this);
    fX = NewKnob(fLayout, 1, -200, 200, 0.1f);
    fY = NewKnob(fLayout, 1, -200, 200, 0.1f);
    fW = NewKnob(fLayout, 1, 0, 200, 0.1f);
    fH = NewKnob(fLayout, 1, 0, 200, 0.1f);
    fRotation = NewKnob(fLayout, 0, -180, 180, 1);
    LayOut(fLayout, "DIMDEVLYOF");
    LayOut(this, kName);
}

CNumVol* CDimDeviceCell::Knob(Setter setter) const {
    switch (setter) {
        case Setter::kFirstChannel:
            return fFirst;
        case Setter::kNet:
            return fNet;
        case Setter::kSubNet:
            return fSubNet;
        case Setter::kUniverse:
            return fUniverse;
        case Setter::kSacn:
            return fSacnUniverse;
        case Setter::kX:
            return fX;
        case Setter::kY:
            return fY;
        case Setter::kW:
            return fW;
        case Setter::kH:
            return fH;
        case Setter::kRotation:
            return fRotation;
        default:
            return nullptr;
    }
}

LMessage CDimDeviceCell::Handle(const LMessage& msg) {
    auto* list = static_cast<CDimDeviceList*>(Upper());
    if (msg.Is(CNumVol_Fix)) {
        if (!fFilling)
            for (Setter s : {Setter::kFirstChannel, Setter::kNet, Setter::kSubNet, Setter::kUniverse, Setter::kSacn,
                             Setter::kX, Setter::kY, Setter::kW, Setter::kH, Setter::kRotation})
                if (msg.sender == Knob(s)) {
                    list->CellEdited(this, msg.sender, s, double(Knob(s)->GetValue()), {});
                    break;
                }
        return LMessage();  // other knobs' fixes stop here
    }
    if (msg.Is(CDIMDefSel_Changed) && msg.sender == fDefinition) {
        if (!fFilling) {
            const LString name = fDefinition->Text();
            list->CellEdited(this, fDefinition, Setter::kDefinition, 0, std::string(name.CStr(), name.Length()));
        }
        return LMessage();
    }
    if (msg.Is(LPopupList_Changed) && !fFilling) {
        if (msg.sender == fOutput) {
            list->CellEdited(this, fOutput, Setter::kOutput, fOutput->GetValue(), {});
            return LMessage();
        }
        if (msg.sender == fInterface) {
            const int32_t i = fInterface->GetValue();
            // The serial's own bytes, which the output looks the interface up by.
            const std::string serial =
                i > 0 && size_t(i) < fInterfaceItems.size() && !fInterfaceItems[size_t(i)].separator
                    ? fInterfaceItems[size_t(i)].title
                    : std::string();
            list->CellEdited(this, fInterface, Setter::kInterface, i, serial);
            return LMessage();
        }
    }
    return CTabFocusPane::Handle(msg);
}

// ---- the list

CDimDeviceList::CDimDeviceList(LPane* owner, CRecordHolder* settingsHolder, CRecordRef settings,
                               CRecordHolder* dims, CDimDefStore* defs, CHeaderFrame* header,
                               CDimDefLibrary* library)
    : CCellGridPane(owner, kSelectMultiple, true, false),
      fSettingsHolder(settingsHolder),
      fSettings(settings),
      fDims(dims),
      fDefs(defs),
      fLibrary(library),
      fHeader(header),
      fEdits(dims, defs) {
    PLAT_DCHECK_MAIN_THREAD();
    fLyodiv = LayoutInPixels();
    if (fHeader) {
        const LStrListRsrcH strings{SRsrcRequest(CDimDeviceCell::kName)};
        for (uint32_t i = 7; i <= 15; ++i) (void)fHeader->AddItem(strings.GetString(i), LTextStyleH(2));
    }
    SetGridSize(1, int32_t(DeviceCount()));
    if (fDims) (void)fDims->AddObserver(this, &DimsChanged);
    if (fDefs) (void)fDefs->AddObserver(this, &DefsChanged);
    if (fSettingsHolder) (void)fSettingsHolder->AddObserver(this, &SettingsChanged);
    PlaceHeader();
    EnsureRowDrag();
}

CDimDeviceList::~CDimDeviceList() {
    fNote.reset();
    fDrag.reset();
    if (fSettingsHolder) (void)fSettingsHolder->RemoveObserver(this, &SettingsChanged);
    if (fDefs) (void)fDefs->RemoveObserver(this, &DefsChanged);
    if (fDims) (void)fDims->RemoveObserver(this, &DimsChanged);
    SetGridSize(0, 0);
}

CRecord* CDimDeviceList::Dims() const {
    return fDims ? fDims->Root() : nullptr;
}

uint32_t CDimDeviceList::DeviceCount() const {
    const CRecord* d = Dims();
    return d ? d->ArrayCount(T::kDimsDevices) : 0;
}

bool CDimDeviceList::LayoutMode() const {
    const CRecord* d = Dims();
    return d && d->GetByte(T::kDimsViewMode) != 0;
}

bool CDimDeviceList::LayoutInPixels() const {
    return fSettings && UDimPrefs::GetLayoutInPixels(fSettings);
}

void CDimDeviceList::BoundsChanged(const CLRect& old) {
    CCellGridPane::BoundsChanged(old);
    if (Bounds().Width() != old.Width()) {
        GetPrototypeCell();
        ChangeState(kRelayout);
    }
    PlaceHeader();
}

void CDimDeviceList::PlaceHeader() {
    if (!fHeader) return;
    const bool layout = LayoutMode();
    for (int32_t i = 0; i < fHeader->ItemCount(); ++i) {
        bool on = layout ? (i >= 3 && i <= 7) : i <= 2;
        if (i == 8) on = layout && !fLyodiv;
        fHeader->SetItemVisible(i, on);
    }
    // Each title over its part of a row: the prototype laid out as the first row, its parts' edges
    // taken into the header's coordinates.
    auto* cell = static_cast<CDimDeviceCell*>(GetPrototypeCell());
    if (!cell) return;
    const CLRect row = CellRect({0, 0});
    if (row.IsEmpty()) return;
    if (!(cell->Bounds() == row)) cell->SetBounds(row);
    cell->UpdateLayout();
    const int32_t shift = GetOriginIn(nullptr).x + row.left - fHeader->GetOriginIn(nullptr).x;
    auto edge = [&](const LPane* part, bool right) {
        int32_t x = right ? part->Bounds().right : part->Bounds().left;
        for (const LPane* o = part->Owner(); o && o != cell; o = o->Owner()) x += o->Bounds().left;
        return shift + x;
    };
    const LPane* parts[] = {cell->fDefinition, cell->fFirst, cell->fOutput, cell->fX,
                            cell->fY,          cell->fW,     cell->fH,      cell->fRotation};
    LPanePort port(fHeader);
    LDrawContext ctx(port);
    for (int32_t i = 0; i < fHeader->ItemCount() && i < 8; ++i)
        fHeader->PlaceItem(i, edge(parts[i], false), CHeaderFrame::kLeft, ctx);
    if (fHeader->ItemCount() > 8) fHeader->PlaceItem(8, edge(cell->fH, true), CHeaderFrame::kRight, ctx);
}

CTabFocusPane* CDimDeviceList::CreateCellPane() {
    auto* cell = new CDimDeviceCell(this, fLibrary);
    FillInterfaces(cell);
    cell->fUsbGeneration = fUsbGeneration;
    return cell;
}

void CDimDeviceList::FillInterfaces(CDimDeviceCell* cell) {
    LPopupList* p = cell->fInterface;
    while (p->Count() > 1) p->RemoveItem(p->Count() - 1);
    dimcell::FillInterfaces(cell->fInterfaceItems, fSerials ? fSerials() : std::vector<std::string>());
    for (size_t i = 1; i < cell->fInterfaceItems.size(); ++i) {
        const std::string& s = cell->fInterfaceItems[i].title;
        p->InsertItem(p->Count(), LString(s.data(), uint32_t(s.size())));
    }
}

bool CDimDeviceList::BindCell(LPane* pane, const CLPoint& at) {
    if (at.y < 0 || uint32_t(at.y) >= DeviceCount()) return false;
    auto* cell = static_cast<CDimDeviceCell*>(pane);
    const uint32_t row = uint32_t(at.y);
    if (cell->fUsbGeneration != fUsbGeneration) {
        FillInterfaces(cell);
        cell->fUsbGeneration = fUsbGeneration;
    }
    cell->fRow = row;
    cell->fFilling = true;
    const CRecord* dims = Dims();
    const CRecord* d = dims->GetElement(T::kDimsDevices, row);
    const CRecord* def = fDefs && d ? fDefs->Find(d->GetString(T::kDidvDefinition).CStr()) : nullptr;
    if (!d) {
        cell->fFilling = false;
        return true;
    }
    if (LayoutMode()) {
        Show(cell->fAssign, false);
        Show(cell->fWarning, false);
        Show(cell->fLayout, true);
        const dimcell::Scale s = dimcell::LayoutScale(dims, d, def, fLyodiv);
        const dimcell::LayoutValues v = dimcell::Shown(s, d);
        for (CNumVol* k : {cell->fX, cell->fY}) {
            k->SetDecimals(s.decimals);
            k->SetRange(float(-s.posLimit), float(s.posLimit), float(s.step));
        }
        for (CNumVol* k : {cell->fW, cell->fH}) {
            k->SetDecimals(s.decimals);
            k->SetRange(0, float(s.sizeLimit), float(s.step));
        }
        cell->fX->SetValue(float(v.x));
        cell->fY->SetValue(float(v.y));
        cell->fW->SetValue(float(v.w));
        cell->fH->SetValue(float(v.h));
        cell->fRotation->SetValue(float(v.rotation));
        cell->fFilling = false;
        return true;
    }
    Show(cell->fLayout, false);
    Show(cell->fAssign, true);
    cell->fDefinition->SetText(d->GetString(T::kDidvDefinition));
    const uint32_t first = d->GetUInt(T::kDidvFirstSlot);
    cell->fFirst->SetValue(float(first));
    Show(cell->fWarning, d->GetByte(T::kDidvPortFault) != 0);
    const std::string end = dimcell::EndChannelText(first, def ? CDimDefStore::Footprint(def) : 0);
    cell->fEnd->SetText(LString(end.c_str()));
    CRecord* prms = d->GetSubRecord(T::kDidvParams);
    const uint8_t conn = d->GetByte(T::kDidvConnection);
    if (conn == 2) {
        cell->fOutput->SetValue(2);
        Show(cell->fUsb, false);
        const int32_t a = prms ? CParamSet::GetIntOr(CRecordRef(&prms), LString("anuniv"), 0) : 0;
        const bool sacn = dims->GetByte(T::kDimsSacn) == 1;
        Show(cell->fSacn, sacn);
        Show(cell->fArtNet, !sacn);
        if (sacn) {
            cell->fSacnUniverse->SetValue(float(a) + 1);
        } else {
            cell->fNet->SetValue(float(dimcell::PartOf(a, dimcell::Part::kNet)));
            cell->fSubNet->SetValue(float(dimcell::PartOf(a, dimcell::Part::kSubNet)));
            cell->fUniverse->SetValue(float(dimcell::PartOf(a, dimcell::Part::kUniverse)));
        }
    } else if (conn == 1) {
        cell->fOutput->SetValue(1);
        Show(cell->fUsb, true);
        Show(cell->fArtNet, false);
        Show(cell->fSacn, false);
        LString serial;
        if (prms) (void)CParamSet::Find(CRecordRef(&prms), LString("drsern"), &serial);
        // Compared and kept as bytes (cell->fInterfaceItems), whatever the pop-up shows.
        std::vector<dimcell::PopupItem> items = cell->fInterfaceItems;
        const uint32_t pick = dimcell::SelectSerial(items, std::string(serial.CStr(), serial.Length()));
        LPopupList* p = cell->fInterface;
        std::vector<dimcell::PopupItem>& shown = cell->fInterfaceItems;
        if (shown.empty()) shown.push_back({});
        while (p->Count() > int32_t(items.size())) p->RemoveItem(p->Count() - 1);
        shown.resize(std::min(shown.size(), items.size()));
        for (size_t i = 1; i < items.size(); ++i) {
            const bool same = i < shown.size() && int32_t(i) < p->Count() &&
                              shown[i].separator == items[i].separator && shown[i].title == items[i].title;
            if (same) continue;
            if (int32_t(i) < p->Count()) p->RemoveItem(int32_t(i));
            const std::string& t = items[i].title;
            p->InsertItem(int32_t(i), items[i].separator ? LString() : LString(t.data(), uint32_t(t.size())));
        }
        shown = items;
        p->SetValue(int32_t(pick));
    } else {
        cell->fOutput->SetValue(0);
        Show(cell->fUsb, false);
        Show(cell->fArtNet, false);
        Show(cell->fSacn, false);
    }
    cell->fFilling = false;
    return true;
}

std::vector<uint32_t> CDimDeviceList::SelectedRows() const {
    std::vector<uint32_t> rows;
    for (int32_t r = 0; r < Rows(); ++r)
        if (IsSelected({0, r})) rows.push_back(uint32_t(r));
    return rows;
}

void CDimDeviceList::CellEdited(CDimDeviceCell* cell, const void* control, Setter setter, double number,
                                const std::string& text) {
    fEdits.Edit(this, cell->Row(), SelectedRows(), control, setter, number, text, fLyodiv);
}

void CDimDeviceList::SyncSelection() {
    if (!fDims) return;
    CLPoint focus{-1, -1};
    const bool hasFocus = GetFocusCell(&focus);
    fSyncing = true;
    for (uint32_t i = 0; i < DeviceCount(); ++i) {
        const bool on = IsSelected({0, int32_t(i)}) || (hasFocus && focus.y == int32_t(i));
        CRecord* d = Dims()->GetElement(T::kDimsDevices, i);
        if (!d || (d->GetByte(T::kDidvSelected) != 0) == on) continue;
        CRecordRef(&(*Dims()->GetRecordArray(T::kDimsDevices))[i]).SetByte(nullptr, T::kDidvSelected, on ? 1 : 0);
    }
    fSyncing = false;
}

void CDimDeviceList::SelectionChanged(const CRgn& changed, const CRgn& old) {
    CCellGridPane::SelectionChanged(changed, old);
    SyncSelection();
}

void CDimDeviceList::DeleteSelected() {
    const std::vector<uint32_t> rows = SelectedRows();
    if (rows.empty() || !fDims) return;
    void* group = CRecordUndo::BeginGroup(this);
    for (size_t i = rows.size(); i-- > 0;)
        if (rows[i] < DeviceCount()) fDims->RootRef().DeleteElement(this, T::kDimsDevices, rows[i]);
    CRecordUndo::EndGroup(group);
}

bool CDimDeviceList::WatchUsb(plat::UsbHost* host) {
    fNote = std::make_unique<CDmxIoNote>(this, nullptr, host);
    plat::UsbHost* watched = &fNote->Host();
    fSerials = [watched] { return CDmxIoFinder::Keys(*watched); };
    return fNote->Start();
}

void CDimDeviceList::EnsureRowDrag() {
    // The drop side needs the window: made once the list sits in one.
    if (!fDrag && GetWindow()) fDrag = std::make_unique<CRecordRowDrag>(this, dimscrap::Type(), 0);
}

void CDimDeviceList::SelectRows(uint32_t first, uint32_t count) {
    if (count == 0) return;
    SetSelection(CRgn(CLRect{0, int32_t(first), 1, int32_t(first + count)}));
    SyncSelection();
}

uint32_t CDimDeviceList::InsertDevices(std::vector<dimscrap::DevicePtr> devices, uint32_t row) {
    if (!fDims || !Dims() || devices.empty()) return 0;
    row = std::min(row, DeviceCount());
    void* group = CRecordUndo::BeginGroup(this);
    uint32_t at = row;
    for (dimscrap::DevicePtr& d : devices) {
        if (!d || d->Type() != T::Didv()) continue;
        dimscrap::CleanDevice(d.get());
        // The tree takes the device, or deletes it on failure.
        if (fDims->RootRef().InsertRecord(this, T::kDimsDevices, at, d.release())) ++at;
    }
    CRecordUndo::EndGroup(group);
    SelectRows(row, at - row);
    return at - row;
}

uint32_t CDimDeviceList::MoveSelectedRows(uint32_t row) {
    if (!fDims || !Dims() || SelectedRows().empty()) return 0;
    void* group = CRecordUndo::BeginGroup(this);
    const uint32_t n = UListScrap::MoveSelectedRows(this, fDims->RootRef(), T::kDimsDevices, 1, Selection(), &row);
    CRecordUndo::EndGroup(group);
    SelectRows(row, n);
    return n;
}

bool CDimDeviceList::HandleRowDrag(const LMessage& msg, LMessage* reply) {
    *reply = LMessage();
    if (msg.Is(LDrop_Drop)) {
        CListDragDropHelper& helper = fDrag->Helper();
        const int32_t code = helper.Dispatch(msg);
        if (code == CListDragDropHelper::kNotMine) return false;
        if (code != CListDragDropHelper::kDropped) return true;
        LDrop* drop = helper.Drop();
        if (!drop || !UDragPboard::HasScrapType(drop, dimscrap::Type())) return true;
        const uint32_t row = uint32_t(std::max(helper.InsertionCell().y, 0));
        const bool move = helper.IsSource() && helper.Dragger() && helper.OperationAtDrop() == LDrop::kMove;
        uint32_t n = 0;
        if (move) {
            n = MoveSelectedRows(row);
        } else {
            std::vector<uint8_t> bytes;
            if (drop->Reader().Read(dimscrap::Type(), bytes))
                n = InsertDevices(dimscrap::ReadDevices(bytes.data(), bytes.size()), row);
        }
        if (n) helper.SetFeedback(move ? LDrop::kMove : LDrop::kCopy);
        return true;
    }
    return fDrag->Handle(this, fDims ? fDims->RootRef() : CRecordRef(), T::kDimsDevices, msg, reply);
}

LMessage CDimDeviceList::Handle(const LMessage& msg) {
    if (msg.Is(CDmxIoNote_Change) && fNote && msg.sender == fNote.get()) {
        // The cells are made again, their pop-ups with the interfaces now attached.
        ++fUsbGeneration;
        ReleaseCells();
        RefreshAllCells();
        return LMessage();
    }
    EnsureRowDrag();
    if (fDrag) {
        LMessage reply;
        if (HandleRowDrag(msg, &reply)) return reply;
    }
    if (msg.Is(LMenuBar_Ready) && msg.sender) {
        if (!SelectedRows().empty()) static_cast<LMenuBar*>(msg.sender)->EnableCommand("LStdCmd_Delete");
        return CCellGridPane::Handle(msg);
    }
    if (msg.Is(LMenuItem_Selected) && msg.sender &&
        static_cast<LMenuItem*>(msg.sender)->HasCommand("LStdCmd_Delete")) {
        DeleteSelected();
        return LMessage();
    }
    if ((msg.Is(LPane_Focus) || msg.Is(LPane_Unfocus)) && msg.sender != this) {
        LMessage out = CCellGridPane::Handle(msg);
        SyncSelection();
        return out;
    }
    return CCellGridPane::Handle(msg);
}

// ---- listeners

void CDimDeviceList::DimsChanged(void* self, const SRecordEvent* e) {
    auto* l = static_cast<CDimDeviceList*>(self);
    const CRecord* r = e->record.Get();
    const CRecord* dims = l->Dims();
    if (!r || !dims || e->kind > SRecordEvent::kMoved) return;
    if (r == dims) {
        switch (e->field) {
            case T::kDimsSacn:
                l->RefreshAllCells();
                break;
            case T::kDimsDevices:
                l->ResetFocusRecords();
                if (e->kind == SRecordEvent::kInserted && e->index1 >= 0) {
                    l->InsertRows(e->index1, 1);
                } else if (e->kind == SRecordEvent::kRemoved && e->index1 >= 0) {
                    if (e->index1 < l->Rows()) l->RemoveRows(e->index1, 1);
                } else if (e->kind == SRecordEvent::kMoved && e->index1 >= 0 && e->index2 >= 0) {
                    if (e->index1 < l->Rows()) l->RemoveRows(e->index1, 1);
                    l->InsertRows(e->index2, 1);
                } else {
                    l->SetGridSize(1, int32_t(l->DeviceCount()));
                }
                l->RefreshAllCells();
                break;
            case T::kDimsViewMode:
                l->PlaceHeader();
                l->ChangeState(kRelayout);
                l->RefreshAllCells();
                break;
            case T::kDimsCanvasWidth:
            case T::kDimsCanvasHeight:
                if (l->LayoutMode() && l->fLyodiv) l->RefreshAllCells();
                break;
            default:
                break;
        }
        return;
    }
    const CRecord* device = DidvOf(r);
    if (!device || device->Parent() != dims) return;
    const int32_t row = device->ArrayIndex();
    if (row < 0 || row >= l->Rows()) return;
    if (device != r) {  // inside 'prms'
        l->RefreshCell({0, row});
        return;
    }
    if (e->field == T::kDidvSelected) {
        if (l->fSyncing) return;
        if (device->GetByte(T::kDidvSelected))
            l->AddToSelection({0, row});
        else
            l->RemoveFromSelection({0, row});
        return;
    }
    if (e->field <= T::kDidvConnection || e->field == T::kDidvReserved || e->field == T::kDidvPortFault)
        l->RefreshCell({0, row});
}

void CDimDeviceList::DefsChanged(void* self, const SRecordEvent* e) {
    auto* l = static_cast<CDimDeviceList*>(self);
    const CRecord* r = e->record.Get();
    if (!r) return;
    if ((r->Type() == T::Didf() && (e->field == T::kDidfColumns || e->field == T::kDidfRows ||
                                    e->field == T::kDidfComposition || e->field == T::kDidfChannels)) ||
        (r->Type() == T::Dids() && e->field == T::kDidsDefinitions)) {
        l->ResetFocusRecords();
        l->RefreshAllCells();
    }
}

void CDimDeviceList::SettingsChanged(void* self, const SRecordEvent* e) {
    auto* l = static_cast<CDimDeviceList*>(self);
    const CRecord* set = l->fSettings.Get();
    if (!set || !e->record.HasAncestor(set)) return;
    const bool pixels = l->LayoutInPixels();
    if (pixels == l->fLyodiv) return;
    l->fLyodiv = pixels;
    l->PlaceHeader();
    l->RefreshAllCells();
}
