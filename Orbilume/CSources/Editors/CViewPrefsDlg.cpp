#include "Orbilume/CSources/Editors/CViewPrefsDlg.h"

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CTextSlot.h"
#include "Common/ObjC/MMachFontPanel.h"
#include "Common/ObjC/UMachPanel.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/CSeparatorPane.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LTextStyle.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/Editors/CViewPrefs.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"

namespace {

using Callback = void (*)(void*, const SFontDesc*, int32_t);

int32_t OpenReal(SFontDesc& d, void* owner, Callback cb) {
    return UMachPanel::ChooseFont(false, d, owner, cb, false, UMachPanel::kSizeOption | UMachPanel::kFaceOption);
}
void CloseReal(void* owner, Callback cb) {
    UMachPanel::CloseFontPanel(owner, cb);
}
bool OwnedReal(void* owner) {
    MMachFontPanel* target = UMachPanel::FontTarget();
    return target && target->mRef == owner;
}

const CVPFontList::FontPanel kRealPanel{&OpenReal, &CloseReal, &OwnedReal};
const CVPFontList::FontPanel* gPanel = &kRealPanel;

bool ModalDialogUp() {
    for (LWindow* w = LWindow::NextWindow(nullptr); w; w = LWindow::NextWindow(w))
        if (w->Kind() == LWindow::kModal && w->NativeWindow() && w->NativeWindow()->IsVisible()) return true;
    return false;
}

}  // namespace

CVPFontCell::CVPFontCell(LPane* list) : CTabFocusPane(list, list) {
    PLAT_DCHECK_MAIN_THREAD();
    // Children in layout order: 1 label, 2 slot, 3 separator.
    fLabel = new LTextPane(this, 0);
    fSlot = new CTextSlot(this, CTextSlot::kDeletable);
    fSlot->ChangeState(kRingOutsideOp);
    fSlot->ChangeState(kClickFocusOn);
    fSeparator = new CSeparatorPane(this);
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
}

void CVPFontCell::Bind(uint32_t row) {
    fRow = row;
    const LStrListRsrcH labels{SRsrcRequest(kLabels)};
    (void)fLabel->SetText(labels.GetString(row));
    LString family;
    double points = 0;
    if (!CViewPrefs::Get().GetFont(row, family, points)) family = LString();
    (void)fSlot->SetText(family);
}

void CVPFontList::SetFontPanel(const FontPanel* panel) {
    gPanel = panel ? panel : &kRealPanel;
}

CVPFontList::CVPFontList(LPane* owner) : CCellGridPane(owner, kSelectNone, false, true) {
    PLAT_DCHECK_MAIN_THREAD();
    SetGridSize(1, kRows);
}

CVPFontList::~CVPFontList() {
    ClosePanel();
    SetGridSize(0, 0);
}

void CVPFontList::BoundsChanged(const CLRect& old) {
    CCellGridPane::BoundsChanged(old);
    if (Bounds().Width() == old.Width()) return;
    GetPrototypeCell();
    ChangeState(kRelayout);
}

CTabFocusPane* CVPFontList::CreateCellPane() {
    return new CVPFontCell(this);
}

bool CVPFontList::BindCell(LPane* pane, const CLPoint& cell) {
    if (cell.x != 0 || cell.y < 0 || cell.y >= int32_t(kRows)) return false;
    static_cast<CVPFontCell*>(pane)->Bind(uint32_t(cell.y));
    return true;
}

int32_t CVPFontList::FocusedRow() const {
    CLPoint cell;
    if (!GetFocusCell(&cell) || cell.y < 0 || cell.y >= int32_t(kRows)) return -1;
    return cell.y;
}

bool CVPFontList::MayShowPanel() const {
    return IsUsable() && (State() & kFocused) && PanelRow() >= 0;
}

int32_t CVPFontList::PanelRow() const {
    // The focus cell goes with the list's focus: the row the panel was opened for stands in.
    const int32_t row = FocusedRow();
    return row >= 0 ? row : fPanelRow;
}

bool CVPFontList::PanelOpen() const {
    return gPanel->ownedBy(const_cast<CVPFontList*>(this));
}

bool CVPFontList::OpenPanel() {
    if (!MayShowPanel()) return false;
    const uint32_t row = uint32_t(PanelRow());
    fPanelRow = int32_t(row);
    LString family;
    double points = CViewPrefs::kDefaultPoints;
    if (!CViewPrefs::Get().GetFont(row, family, points)) {
        // Nothing stored: the text style numbered like the row.
        const LTextStyleH style(row);
        family = style.FamilyName();
        points = style.PointSize();
    }
    SFontDesc d;  // no font name: the panel looks the family up
    d.familyName = family;
    d.size = float(points);
    fWantPanel = true;
    return gPanel->open(d, this, &CVPFontList::PanelCallback) == 2;
}

void CVPFontList::ClosePanel() {
    if (PanelOpen()) gPanel->close(this, &CVPFontList::PanelCallback);
}

void CVPFontList::PanelCallback(void* owner, const SFontDesc* description, int32_t) {
    if (owner && description) static_cast<CVPFontList*>(owner)->ApplyChoice(*description);
}

void CVPFontList::ApplyChoice(const SFontDesc& description) {
    const int32_t row = PanelRow();
    if (row < 0 || ModalDialogUp()) return;
    CViewPrefs::Get().SetFont(uint32_t(row), description.familyName, description.size);
    CCellRef ref(this, {0, row}, false);
    if (LPane* cell = ref.Pane()) LHandler::Dispatch(LMessage(LPane_ReqFocus, cell, this));
}

void CVPFontList::StateChanged(uint32_t op) {
    CCellGridPane::StateChanged(op);
    if (!fWantPanel) return;
    if (!MayShowPanel()) {
        ClosePanel();
    } else if (!PanelOpen()) {
        (void)OpenPanel();
    }
}

LMessage CVPFontList::Handle(const LMessage& msg) {
    if (msg.Is(CTextSlot_Click) && msg.sender) {
        if (FocusedRow() >= 0) (void)OpenPanel();
        return LMessage();
    }
    if (msg.Is(CTextSlot_Changed) && msg.sender) {
        CLPoint cell;
        auto* slot = static_cast<CTextSlot*>(msg.sender);
        if (slot->Text().IsEmpty() && FindCellOfPane(slot, &cell) && cell.y >= 0 && cell.y < int32_t(kRows))
            CViewPrefs::Get().SetFont(uint32_t(cell.y), LString(), 0);
        return LMessage();
    }
    return CCellGridPane::Handle(msg);
}

LFrameSpec CViewPrefsDlg::DefaultSpec() {
    return LFrameSpec(LFrameSpec::kDocument, CMacWindowKindH(new CMacWinKind(3)));
}

CViewPrefsDlg::CViewPrefsDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec) : LDialog(upper, owner, spec) {
    PLAT_DCHECK_MAIN_THREAD();
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    fList = new CVPFontList(this);  // pane 1
    SetWindowTitle(strings.GetString(0));
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
}

LMessage CViewPrefsDlg::Handle(const LMessage& msg) {
    if (msg.Is(CViewPrefs_Changed)) fList->RefreshAllCells();
    if (msg.Is(LFrame_Close) && msg.sender == this) {
        HideWindow();
        return LMessage();
    }
    return LDialog::Handle(msg);
}

void CViewPrefsDlg::StateChanged(uint32_t op) {
    LDialog::StateChanged(op);
    if (op == kRelayout && Window()) FitWindowToLayout();
}
