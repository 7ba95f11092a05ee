#include "Orbilume/CSources/Editors/CSeqListWin.h"

#include "Common/ObjC/CLatentEditText.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LListNavi.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LTextStyle.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Lib3/LSources/Mac/CRecordRowDrag.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UCtlAttr.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Editors/CMonitorWin.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;
using P = CAppPrefs;

constexpr const char* kScrapName = "lumetra.scraptype.orbilume.sequence";
constexpr int32_t kPanelKind = 4;

}  // namespace

// ---- list

LScrapType CSeqList::ScrapType() {
    return LScrapType{LString(kScrapName), 0};
}

CSeqList::CSeqList(LPane* owner, CDocModelHolder* doc)
    : CCellGridPane(owner, kSelectMultiple, false, false), fDoc(doc) {
    PLAT_DCHECK_MAIN_THREAD();
    SetBackColor(LColor::System(1));
    const CRecord* scns = fDoc ? fDoc->Scenes().Get() : nullptr;
    SetGridSize(1, scns ? static_cast<int32_t>(scns->ArrayCount(T::kScnsSequences)) : 0);
    fDrag = std::make_unique<CRecordRowDrag>(this, ScrapType());
    if (fDoc) (void)fDoc->AddObserver(this, &CSeqList::Observe);
}

CSeqList::~CSeqList() {
    fDrag.reset();
    if (fDoc) (void)fDoc->RemoveObserver(this, &CSeqList::Observe);
    SetGridSize(0, 0);
}

CRecord* CSeqList::SequenceAt(int32_t row) const {
    const CRecord* scns = fDoc ? fDoc->Scenes().Get() : nullptr;
    if (!scns || row < 0 || static_cast<uint32_t>(row) >= scns->ArrayCount(T::kScnsSequences)) return nullptr;
    return scns->GetElement(T::kScnsSequences, static_cast<uint32_t>(row));
}

void CSeqList::BoundsChanged(const CLRect& old) {
    CCellGridPane::BoundsChanged(old);
    if (Bounds().Width() == old.Width()) return;
    GetPrototypeCell();
    ChangeState(kRelayout);
}

void CSeqList::Draw(LDrawContext& ctx) {
    CCellGridPane::Draw(ctx);
    fDrag->DrawHighlight(ctx);
}

CTabFocusPane* CSeqList::CreateCellPane() {
    return new CSeqCell(this);
}

bool CSeqList::BindCell(LPane* pane, const CLPoint& cell) {
    if (cell.x != 0 || !SequenceAt(cell.y)) return false;
    static_cast<CSeqCell*>(pane)->Bind(cell.y);
    return true;
}

void CSeqList::DeleteSelection() {
    CRecordRef scns = fDoc ? fDoc->Scenes() : CRecordRef();
    if (!scns || Selection().IsEmpty()) return;
    void* group = CRecordUndo::BeginGroup(this);
    for (int32_t row = Rows() - 1; row >= 0; --row)
        if (IsSelected({0, row})) scns.DeleteElement(this, T::kScnsSequences, static_cast<uint32_t>(row));
    CRecordUndo::EndGroup(group);
}

LMessage CSeqList::Handle(const LMessage& msg) {
    if (msg.Is(LMenuBar_Ready) && msg.sender && !Selection().IsEmpty())
        static_cast<LMenuBar*>(msg.sender)->EnableCommand("LStdCmd_Delete");
    if (msg.Is(LMenuItem_Selected) && msg.sender &&
        static_cast<LMenuItem*>(msg.sender)->GetFirstCommand() == LString("LStdCmd_Delete") &&
        !Selection().IsEmpty()) {
        DeleteSelection();
        return LMessage();
    }
    LMessage reply;
    if (fDrag && fDrag->Handle(this, fDoc ? fDoc->Scenes() : CRecordRef(), T::kScnsSequences, msg, &reply))
        return reply;
    return CCellGridPane::Handle(msg);
}

void CSeqList::Observe(void* context, const SRecordEvent* event) {
    static_cast<CSeqList*>(context)->OnRecordChange(*event);
}

void CSeqList::OnRecordChange(const SRecordEvent& event) {
    const CRecord* scns = fDoc ? fDoc->Scenes().Get() : nullptr;
    const CRecord* record = event.record.Get();
    if (!scns || !record || event.kind > SRecordEvent::kMoved) return;
    const CRecord* seqCtl = fDoc->SequenceControl().Get();
    if (seqCtl && (record == seqCtl || event.record.HasAncestor(seqCtl))) {
        ResetFocusRecords();
        RefreshAllCells();
        return;
    }
    if (record == scns && event.field == T::kScnsEdited) {
        RefreshAllCells();
        return;
    }
    if (record == scns && event.field == T::kScnsSequences) {
        const int32_t count = static_cast<int32_t>(scns->ArrayCount(T::kScnsSequences));
        ResetFocusRecords();
        switch (event.kind) {
            case SRecordEvent::kInserted:
                if (Rows() + 1 == count) InsertRows(event.index1, 1);
                else SetGridSize(1, count);
                break;
            case SRecordEvent::kRemoved:
                if (Rows() == count + 1) RemoveRows(event.index1, 1);
                else SetGridSize(1, count);
                break;
            case SRecordEvent::kMoved:
                RemoveRows(event.index1, 1);
                InsertRows(event.index2, 1);
                break;
            default:
                SetGridSize(1, count);
                break;
        }
        RefreshAllCells();
        return;
    }
    if (record->Parent() == scns && record->IsOfType(T::kDomain, T::kSQNC) &&
        event.kind == SRecordEvent::kValueChanged && record->ArrayIndex() >= 0 && record->ArrayIndex() < Rows() &&
        record->ArrayIndex() != fTypingRow)  // a row's own name field keeps its editor
        RefreshCell({0, record->ArrayIndex()});
}

// ---- cell

CSeqCell::CSeqCell(CSeqList* list) : CTabFocusPane(list, list), fList(list) {
    // Panes in layout order: 1 marker, 2 slot label, 3 name.
    fMarker = new LTextPane(this, 0);
    fSlot = new LTextPane(this, 0);
    fSlot->SetAlignment(LTextBox::kCenter);
    (void)fSlot->SetTextStyle(LTextStyleH(2));
    fName = new CLatentEditText(this, LEditText::kSingleLine);
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
}

void CSeqCell::Bind(int32_t row) {
    fRow = row;
    const CRecord* seq = fList->SequenceAt(row);
    if (!seq) return;
    const CRecord* scns = fList->Document()->Scenes().Get();
    (void)fMarker->SetText(scns && scns->GetInt(T::kScnsEdited) == row ? LString(">") : LString());
    const LString name = seq->GetString(T::kSqncName);
    if (!(fName->GetText() == name)) fName->SetText(name);
    CRecordRef control = fList->Document()->SequenceControl();
    (void)fSlot->SetText(control ? UCtlAttr::GetCtlSlotLabel(control, row) : LString());
}

LMessage CSeqCell::Handle(const LMessage& msg) {
    if (msg.Is(CLatentEditText_Click) && fName && msg.sender == fName) {
        // Editing starts only on the row that alone is selected.
        const CRgn only(CLRect{0, fRow, 1, fRow + 1});
        if (fRow >= 0 && fList->Selection() == only) LHandler::Dispatch(LMessage(CLatentEditText_Click, fName, fName));
        return LMessage();
    }
    if (msg.Is(LEditText_Change) && fName && msg.sender == fName) {
        CRecord* seq = fList->SequenceAt(fRow);
        fList->fTypingRow = fRow;
        if (seq)
            (void)CRecordRef(&seq).SetString(fList, T::kSqncName, fName->GetText(), CRecordRef::kMergeContinuous);
        fList->fTypingRow = -1;
        return LMessage();
    }
    return CTabFocusPane::Handle(msg);
}

// ---- window

LFrameSpec CSeqListWin::DefaultSpec() {
    return LFrameSpec(LFrameSpec::kFloating, CMacWindowKindH(new CMacPanelKind(kPanelKind, 0)));
}

CSeqListWin::CSeqListWin(LHandler* upper, CDocModelHolder* doc, CRecord* docPrefs, const LFrameSpec& spec)
    : LFrame(upper, nullptr, spec), fDoc(doc), fPrefs(docPrefs) {
    PLAT_DCHECK_MAIN_THREAD();
    SetBackground(LColor::System(1));
    fNavi = new LListNavi(this, LListNavi::kVerticalBar, 1);
    fList = new CSeqList(fNavi, doc);
    fNavi->SetListPane(fList);
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    SetWindowTitle(strings.GetString(0));
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    if (!Window()) return;
    // The stored frame (as GetWindowFrame gave it) comes from the preferences file: only a bounded
    // one that shows on a screen is used.
    const CLRect place = fPrefs ? CRecordRef(&fPrefs).GetRectField(P::kDocSeqWinRect) : CLRect();
    if (CMonitorWin::IsProperPlace(place))
        SetWindowOuterFrame(place);
    else
        FitWindowToLayout();
}

CSeqListWin::~CSeqListWin() {
    PLAT_DCHECK_MAIN_THREAD();
}

void CSeqListWin::Show() {
    fShown = true;
    ChangeState(kChainShow);
    if (Window()) ShowWindow();
    if (fDoc && fDoc->Scenes() && fDoc->Scenes()->GetInt(T::kScnsEdited) < 0)
        UDocScenes::SetSequenceEditing(fDoc->Scenes(), true);
}

void CSeqListWin::Hide() {
    fShown = false;
    if (Window()) HideWindow();
    if (fDoc && fDoc->Scenes() && fDoc->Scenes()->GetInt(T::kScnsEdited) >= 0)
        UDocScenes::SetSequenceEditing(fDoc->Scenes(), false);
}

int32_t CSeqListWin::AddSequence() {
    if (!fDoc) return -1;
    const int32_t row = UDocScenes::AppendSequence(fDoc->Scenes(), fList);
    if (row < 0 || row >= fList->Rows()) return -1;
    fList->RevealCell({0, row});
    CCellRef ref(fList, {0, row}, false);
    auto* cell = static_cast<CSeqCell*>(ref.Pane());
    if (cell && cell->NameField()) {
        LHandler::Dispatch(LMessage(LPane_ReqFocus, cell->NameField(), cell));
        cell->NameField()->SelectAll();
    }
    // Selected after the focus moved, so that the row stays the one selected.
    fList->SelectCell({0, row});
    return row;
}

LMessage CSeqListWin::Handle(const LMessage& msg) {
    if (msg.Is(LListPane_Clicked) && msg.sender == fList) {
        // A click on a sequence makes it the edited one.
        if (!fList->Selection().IsEmpty() && fDoc) {
            int32_t row = fList->LastClicked().y;
            if (!fList->SequenceAt(row) || !fList->IsSelected({0, row})) row = fList->Selection().bounds().top;
            if (fList->SequenceAt(row)) UDocScenes::SetEditedSequence(fDoc->Scenes(), row);
        }
        return LMessage();
    }
    if (msg.Is(LMenuItem_Selected) && msg.sender &&
        static_cast<LMenuItem*>(msg.sender)->GetFirstCommand() == LString("cAddSeq")) {
        (void)AddSequence();
        return LMessage();
    }
    if (msg.Is(LWindow_Place) && Window() && msg.sender == Window() && fPrefs) {
        LMessage result = LFrame::Handle(msg);
        (void)CRecordRef(&fPrefs).SetRectField(nullptr, P::kDocSeqWinRect, GetWindowFrame());
        return result;
    }
    LMessage result = LFrame::Handle(msg);
    // The close box hides the panel and ends sequence editing.
    if (result.Is(LFrame_Close) && result.sender == this) {
        Hide();
        return LMessage();
    }
    return result;
}

// ---- the document's window

CDocSeqListWin::CDocSeqListWin(const SDocWindowArgs& args)
    : fWin(std::make_unique<CSeqListWin>(args.upper, args.model, args.docPrefs)) {}

CDocSeqListWin::~CDocSeqListWin() = default;

LHandler* CDocSeqListWin::Handler() {
    return fWin.get();
}

void CDocSeqListWin::Show() {
    fWin->Show();
}

void CDocSeqListWin::Hide() {
    fWin->Hide();
}

bool CDocSeqListWin::IsVisible() const {
    return fWin->IsShown();
}

void CDocSeqListWin::Select() {
    fWin->Show();
    if (LWindowServices* s = LWindowServices::Get(); s && fWin->Window()) s->MakeKey(fWin->Window());
}

CLRect CDocSeqListWin::Frame() const {
    return fWin->GetWindowFrame();
}

void CDocSeqListWin::SetFrame(const CLRect& frame) {
    fWin->SetWindowOuterFrame(frame);
}

void CDocSeqListWin::SetTitle(const LString& /*title*/) {}

std::unique_ptr<IDocWindow> CDocSeqListWin::Make(const SDocWindowArgs& args) {
    if (!args.model) return nullptr;
    return std::make_unique<CDocSeqListWin>(args);
}
