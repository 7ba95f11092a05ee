#include "Orbilume/CSources/Editors/CVDevDialog.h"

#include <string>

#include "Common/ObjC/CMacWindowKind.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/CSeparatorPane.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LLayoutDesc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LListNavi.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Editors/CMonitorWin.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/TextEncoding.h"
#include "Platform/Media/CaptureRegistry.h"

namespace {

const LString kNameKey("name");

LString SlotKey(uint32_t slot) {
    return LString(std::to_string(slot).c_str());
}

CRecord* PrefsRoot(CAppPrefs* prefs) {
    return prefs ? prefs->Root() : nullptr;
}

// 'vdwp': four unsigned numbers holding the coordinates' bits.
CLRect ReadPlace(const CRecord* root) {
    const uint32_t field = CAppPrefs::kPrefVideoDevRect;
    if (!root || root->ArrayCount(field) < 4) return CLRect();
    const auto* v = static_cast<const uint32_t*>(root->ArrayData(field));
    return CLRect{int32_t(v[0]), int32_t(v[1]), int32_t(v[2]), int32_t(v[3])};
}

void StorePlace(CRecord* root, const CLRect& r) {
    const uint32_t v[4] = {uint32_t(r.left), uint32_t(r.top), uint32_t(r.right), uint32_t(r.bottom)};
    (void)CRecordRef(&root).SetArray(nullptr, CAppPrefs::kPrefVideoDevRect, v, 4);
}

// Stored places come from the preferences file: only one that shows on a screen is used.
bool Proper(const CLRect& r) {
    return r.left < r.right && r.top < r.bottom && CMonitorWin::IsOnScreen(r);
}

}  // namespace

// Cells.

CVDevCell::CVDevCell(CVDevList* list, const std::vector<std::string>& devices)
    : CTabFocusPane(list, list), fList(list) {
    PLAT_DCHECK_MAIN_THREAD();
    // Children in layout order: 1 label, 2 pop-up, 3 separator.
    fLabel = new LTextPane(this, 0);
    fPopup = new LPopupList(this, LStdCtlSpec());
    fSeparator = new CSeparatorPane(this);
    SetDevices(devices);
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
}

void CVDevCell::SetDevices(const std::vector<std::string>& devices) {
    const LStrListRsrcH strings{SRsrcRequest(CVDevList::kName)};
    fPopup->RemoveAll();
    fPopup->AddItem(strings.GetString(0));
    fDevices = devices;
    for (const std::string& name : devices) fPopup->AddItem(LString(name.data(), uint32_t(name.size())));
}

void CVDevCell::Bind(uint32_t row) {
    fRow = row;
    (void)fLabel->SetText(LString(std::to_string(row + 1).c_str()));
    const LString storedText = fList->StoredName(row);
    const std::string stored(storedText.CStr(), storedText.Length());
    int32_t item = 0;
    for (int pass = 0; pass < 2 && item == 0 && !stored.empty(); ++pass)
        for (size_t i = 0; i < fDevices.size(); ++i)
            if ((pass == 0 ? fDevices[i] : plat::ValidUtf8(fDevices[i])) == stored) {
                item = int32_t(i) + 1;
                break;
            }
    (void)fPopup->SetValue(item);
}

LMessage CVDevCell::Handle(const LMessage& msg) {
    if (msg.Is(LPopupList_Changed) && msg.sender == fPopup) {
        const int32_t item = fPopup->GetValue();
        // The device's own name, which opening it looks for.
        const std::string name = item > 0 && size_t(item) <= fDevices.size() ? fDevices[size_t(item) - 1] : "";
        fList->StoreName(fRow, LString(name.data(), uint32_t(name.size())));
        return LMessage();
    }
    return CTabFocusPane::Handle(msg);
}

// List.

CVDevList::CVDevList(LPane* owner, CAppPrefs* prefs, plat::CaptureRegistry* registry)
    : CCellGridPane(owner, kSelectNone, false, true),
      fPrefs(prefs),
      fRegistry(registry ? registry : &plat::CaptureRegistry::Default()) {
    PLAT_DCHECK_MAIN_THREAD();
    SetGridSize(1, kRows);
}

CVDevList::~CVDevList() {
    SetGridSize(0, 0);
}

std::vector<std::string> CVDevList::DeviceNames() const {
    std::vector<std::string> names;
    for (const plat::CaptureDeviceInfo& d : fRegistry->Devices())
        if (d.kinds & plat::kCaptureVideo) names.push_back(d.name);
    return names;
}

LString CVDevList::StoredName(uint32_t slot) const {
    CRecord* root = PrefsRoot(fPrefs);
    CRecord* set = root ? root->GetSubRecord(CAppPrefs::kPrefVideoSlots) : nullptr;
    if (!set) return LString();
    CRecord* sub = CParamSet::GetSubSet(CRecordRef(&set), SlotKey(slot));
    LString name;
    if (!sub || CParamSet::Find(CRecordRef(&sub), kNameKey, &name) < 0) return LString();
    return name;
}

void CVDevList::StoreName(uint32_t slot, const LString& name) {
    CRecord* root = PrefsRoot(fPrefs);
    CRecord* set = root ? root->GetSubRecord(CAppPrefs::kPrefVideoSlots) : nullptr;
    if (!set) return;
    CRecord* sub = CParamSet::GetOrCreateSubSet(CRecordRef(&set), nullptr, SlotKey(slot));
    if (!sub) return;
    // The empty text removes the key: the slot shows nothing.
    CParamSet::SetString(CRecordRef(&sub), nullptr, kNameKey, name);
}

LMessage CVDevList::Handle(const LMessage& msg) {
    if (msg.Is(CObVCapNote_Change) && msg.sender == &fRelay) {
        ++fRebuilds;
        ResetFocusRecords();
        ReleaseCells();
        if (LPane* prototype = GetPrototypeCell()) PrepareCellPane(prototype);
        RefreshAllCells();
        Dispatch(LMessage(LPane_Pref, this, Upper()));
        return LMessage();
    }
    return CCellGridPane::Handle(msg);
}

void CVDevList::BoundsChanged(const CLRect& old) {
    CCellGridPane::BoundsChanged(old);
    if (Bounds().Width() == old.Width()) return;
    GetPrototypeCell();
    ChangeState(kRelayout);
}

CTabFocusPane* CVDevList::CreateCellPane() {
    return new CVDevCell(this, DeviceNames());
}

void CVDevList::PrepareCellPane(LPane* pane) {
    static_cast<CVDevCell*>(pane)->SetDevices(DeviceNames());
}

bool CVDevList::BindCell(LPane* pane, const CLPoint& cell) {
    if (cell.x != 0 || cell.y < 0 || cell.y >= int32_t(kRows)) return false;
    static_cast<CVDevCell*>(pane)->Bind(uint32_t(cell.y));
    return true;
}

// Dialog.

LFrameSpec CVDevDialog::DefaultSpec() {
    return LFrameSpec(LFrameSpec::kDocument, CMacWindowKindH(new CMacWinKind(3)));
}

CVDevDialog::CVDevDialog(LHandler* upper, const LFrameSpec& spec, CAppPrefs* prefs, plat::CaptureRegistry* registry)
    : LDialog(upper, nullptr, spec), fPrefs(prefs) {
    PLAT_DCHECK_MAIN_THREAD();
    // Pane 1: the navigator holding the list.
    fNavi = new LListNavi(this, LListNavi::kVerticalBar, 1);
    fList = new CVDevList(fNavi, prefs, registry);
    fNavi->SetListPane(fList);
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    SetWindowTitle(strings.GetString(0));
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    Place();
}

CVDevDialog::~CVDevDialog() {
    LWindowServices* services = LWindowServices::Get();
    if (Window() && services) StorePlace(PrefsRoot(fPrefs), services->ContentRect(Window()));
}

void CVDevDialog::DescriptionPrefer(LDrawContext& ctx, LLayoutDesc& description) {
    LDialog::DescriptionPrefer(ctx, description);
    description.DefineVariable(LString("indexes"), fList ? fList->Rows() : 0);
}

void CVDevDialog::Place() {
    if (!Window()) return;
    LWindowServices* services = LWindowServices::Get();
    CLRect place = ReadPlace(PrefsRoot(fPrefs));
    if (!Proper(place) && services) place = services->ContentRect(Window());
    FitWindowToLayout();
    if (!Proper(place) || !services) return;
    const CLRect now = services->ContentRect(Window());
    SetWindowFrame({place.left, place.top, place.left + now.Width(), place.top + now.Height()});
}

LMessage CVDevDialog::Handle(const LMessage& msg) {
    if (msg.Is(LPane_Pref) && (msg.sender == fList || msg.sender == fNavi)) {
        Place();
        return LMessage();
    }
    if (msg.Is(LFrame_Close) && msg.sender == this) {
        HideWindow();
        return LMessage();
    }
    return LDialog::Handle(msg);
}

// Video input selection.

CVInSelDialog::CVInSelDialog(LHandler* upper, LPane* owner, const LFrameSpec& spec)
    : LModalDialog(upper, owner, spec) {
    PLAT_DCHECK_MAIN_THREAD();
    // Children in layout order: 1 OK, 2 Cancel, 3-6 the radios.
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    fOk = new LStdButton(this, LStdCtlSpec());
    fCancel = new LStdButton(this, LStdCtlSpec());
    for (LStdRadio*& r : fRadios) r = new LStdRadio(this, LStdCtlSpec());
    for (uint32_t i = 0; i < 4; ++i) {
        fRadios[i]->LinkTo(fRadios[(i + 1) % 4]);
        fRadios[i]->SetTitle(strings.GetString(3 + i));
    }
    SetWindowTitle(strings.GetString(0));
    fOk->SetTitle(strings.GetString(1));
    fCancel->SetTitle(strings.GetString(2));
    SetDefaultButton(fOk);
    SetCancelButton(fCancel);
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    Check(0);
}

void CVInSelDialog::Check(int32_t slot) {
    fRadios[0]->SetGroupValue(slot >= 0 && slot < 4 ? slot : 0);
}

bool CVInSelDialog::Choose(uint32_t preselected, uint32_t& chosen) {
    PLAT_DCHECK_MAIN_THREAD();
    CVInSelDialog dialog(nullptr, nullptr, LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(0))));
    dialog.Check(static_cast<int32_t>(preselected));
    if (dialog.RunUntilResult() != 1) return false;
    chosen = dialog.Answer();
    return true;
}

uint32_t CVInSelDialog::Answer() const {
    const int32_t v = fRadios[0]->GroupValue();
    return v >= 0 && v < 4 ? uint32_t(v) : 0;
}

LMessage CVInSelDialog::Handle(const LMessage& msg) {
    return LModalDialog::Handle(msg);
}
