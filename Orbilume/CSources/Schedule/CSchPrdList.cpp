#include "Orbilume/CSources/Schedule/CSchPrdList.h"

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreUI/CHeaderFrame.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/Mac/CRecordRowDrag.h"
#include "Lib3/LSources/Mac/UListScrap.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

struct FieldRange {
    float minimum, maximum;
};
constexpr FieldRange kRanges[6] = {{2020, 2999}, {1, 12}, {1, 31}, {0, 23}, {0, 59}, {0, 59}};

uint32_t Whole(float v) {
    return v <= 0 ? 0u : static_cast<uint32_t>(v + 0.5f);
}

void ShowPane(LPane* pane, bool shown) {
    pane->ChangeState(shown ? LPane::kShow : LPane::kHide);
}

}  // namespace

CSchDateTimeFrame::CSchDateTimeFrame(LHandler* upper, LPane* owner, uint32_t label) : LFrame(upper, owner) {
    // Panes in layout order: 1 label, 2-4 year, month, day, 5 weekday popup, 6-8 hour, minute,
    // second, 9-10 the "/" and 11-12 the ":" separators.
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    (new LTextPane(this, 0))->SetText(strings.GetString(label));
    for (uint32_t i = 0; i < 3; ++i) fFields[i] = new CNumVol(this, 0, 0);
    fWeekday = new LPopupList(this, LStdCtlSpec());
    for (uint32_t i = 3; i < 6; ++i) fFields[i] = new CNumVol(this, 0, 0);
    for (const char* separator : {"/", "/", ":", ":"}) (new LTextPane(this, 0))->SetText(LString(separator));
    for (uint32_t i = 0; i < 6; ++i) fFields[i]->SetRange(kRanges[i].minimum, kRanges[i].maximum, 1);
    for (uint32_t i = 2; i <= 8; ++i) fWeekday->AddItem(strings.GetString(i));
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
}

void CSchDateTimeFrame::Show(uint8_t kind, const USchEdit::Fields& f) {
    fShown = f;
    const uint32_t values[6] = {f.year, f.month, f.day, f.hour, f.minute, f.second};
    for (uint32_t i = 0; i < 6; ++i) fFields[i]->SetValue(static_cast<float>(values[i]));
    (void)fWeekday->SetValue(static_cast<int32_t>(f.weekday) - 1);
    const bool shown[6] = {kind == 6, kind >= 5, kind >= 4, kind >= 2, kind >= 1, true};
    for (uint32_t i = 0; i < 6; ++i) ShowPane(fFields[i], kind <= 6 && shown[i]);
    ShowPane(fWeekday, kind == 3);
}

USchEdit::Fields CSchDateTimeFrame::Read() const {
    USchEdit::Fields f = fShown;
    f.year = Whole(fFields[0]->GetValue());
    f.month = Whole(fFields[1]->GetValue());
    f.day = Whole(fFields[2]->GetValue());
    f.hour = Whole(fFields[3]->GetValue());
    f.minute = Whole(fFields[4]->GetValue());
    f.second = Whole(fFields[5]->GetValue());
    f.weekday = static_cast<uint32_t>(fWeekday->GetValue() + 1);
    return f;
}

bool CSchDateTimeFrame::Owns(const LHandler* pane) const {
    if (!pane) return false;
    if (pane == fWeekday) return true;
    for (const CNumVol* field : fFields)
        if (pane == field) return true;
    return false;
}

CSchPrdCell::CSchPrdCell(CSchPrdList* list) : CTabFocusPane(list, list), fList(list) {
    // Panes in layout order: 1 the kind header, 2 start, 3 end.
    fKinds = new CHeaderFrame(this, this, CHeaderFrame::kLeft, true, false);
    for (int i = 0; i < 7; ++i) (void)fKinds->AddItem(LString("---"), LTextStyleH());
    fKinds->SetPlaceListener(this);
    fStart = new CSchDateTimeFrame(this, this, 0);
    fEnd = new CSchDateTimeFrame(this, this, 1);
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
}

void CSchPrdCell::PlaceKinds() {
    LPanePort port(fKinds);
    LDrawContext ctx(port);
    const int32_t width = fKinds->Bounds().Width() / 7;
    for (int32_t i = 0; i < 7; ++i) fKinds->PlaceItem(i, i * width, CHeaderFrame::kLeft, ctx);
}

void CSchPrdCell::Bind(int32_t row) {
    fRow = row;
    CRecord* period = fList->PeriodAt(row);
    CRecordRef ref(&period);
    const uint8_t kind = period ? period->GetByte(T::kScepRange) : 0;
    (void)fKinds->Select(kind <= 6 ? 6 - kind : -1);
    fStart->Show(kind, USchEdit::ReadEnd(ref, T::kScepStart));
    fEnd->Show(kind, USchEdit::ReadEnd(ref, T::kScepEnd));
}

LMessage CSchPrdCell::Handle(const LMessage& msg) {
    if (!fEnd) return CTabFocusPane::Handle(msg);  // still being built
    CRecord* period = fList->PeriodAt(fRow);
    CRecordRef ref(&period);
    if (msg.Is(CHeaderFrame_Place) && msg.sender == fKinds) {
        PlaceKinds();
        return LMessage();
    }
    if (msg.Is(CHeaderFrame_Selected) && msg.sender == fKinds) {
        if (period && fKinds->Selected() >= 0)
            USchEdit::ChooseKind(ref, this, static_cast<uint32_t>(fKinds->Selected()), fStart->Read(),
                                 fEnd->Read());
        return LMessage();
    }
    for (CSchDateTimeFrame* frame : {fStart, fEnd}) {
        if (msg.sender != frame && !frame->Owns(msg.sender)) continue;
        const uint32_t field = frame == fStart ? T::kScepStart : T::kScepEnd;
        if (msg.Is(CNumVol_Fix) && period) {
            USchEdit::WriteEnd(ref, this, field, frame->Read());
            fList->RefreshLater();
            return LMessage();
        }
        if (msg.Is(LPopupList_Changed) && period) {
            USchEdit::WriteWeekday(ref, this, field, static_cast<uint32_t>(frame->Weekday()->GetValue()));
            return LMessage();
        }
    }
    return CTabFocusPane::Handle(msg);
}

CSchPrdList::CSchPrdList(LPane* owner, CRecordHolder* holder)
    : CCellGridPane(owner, kSelectMultiple, false, false), fHolder(holder) {
    PLAT_DCHECK_MAIN_THREAD();
    SetBackColor(LColor::System(0));  // rows are drawn over the window colour, so a row redraws clean
    if (fHolder) (void)fHolder->AddObserver(this, &CSchPrdList::Observe);
    fDrag = std::make_unique<CRecordRowDrag>(this, ScrapType());
}

LScrapType CSchPrdList::ScrapType() {
    return LScrapType{LString("lumetra.scraptype.quillantorn.schperiod"), 0};
}

LMessage CSchPrdList::Handle(const LMessage& msg) {
    if (msg.Is(LTimer_Expire) && msg.sender == &fRefresh) {
        RefreshAllCells();
        return LMessage();
    }
    if (msg.Is(LMenuBar_Ready) && msg.sender && fEntry)
        UListScrap::EnableEditCommands(static_cast<LMenuBar*>(msg.sender), Selection(), ScrapType(),
                                       fPasteboard);
    if (msg.Is(LMenuItem_Selected) && msg.sender && fEntry) {
        const LString command = static_cast<LMenuItem*>(msg.sender)->GetFirstCommand();
        const CLRect selected = Selection().bounds();
        uint32_t index = static_cast<uint32_t>(Selection().IsEmpty() ? Rows() : selected.bottom);
        const int32_t r =
            UListScrap::DoEditCommand(this, CRecordRef(&fEntry), T::kScevPeriods, Selection(), 1, ScrapType(),
                                      LMsgId(command.CStr()), &index, fPasteboard);
        // Pasted rows stand from the insertion point on.
        if (r > 0)
            SetSelection(CRgn(CLRect{0, static_cast<int32_t>(index), 1, static_cast<int32_t>(index) + r}));
        if (r != 0) return LMessage();
    }
    LMessage reply;
    if (fDrag && fDrag->Handle(this, CRecordRef(&fEntry), T::kScevPeriods, msg, &reply)) return reply;
    return CCellGridPane::Handle(msg);
}

CSchPrdList::~CSchPrdList() {
    fDrag.reset();
    if (fHolder) (void)fHolder->RemoveObserver(this, &CSchPrdList::Observe);
    SetGridSize(0, 0);
}

void CSchPrdList::BoundsChanged(const CLRect& old) {
    CCellGridPane::BoundsChanged(old);
    if (Bounds().Width() == old.Width()) return;
    GetPrototypeCell();
    ChangeState(kRelayout);
}

void CSchPrdList::Draw(LDrawContext& ctx) {
    CCellGridPane::Draw(ctx);
    fDrag->DrawHighlight(ctx);
}

CRecord* CSchPrdList::PeriodAt(int32_t row) const {
    if (!fEntry || row < 0 || static_cast<uint32_t>(row) >= fEntry->ArrayCount(T::kScevPeriods))
        return nullptr;
    return fEntry->GetElement(T::kScevPeriods, static_cast<uint32_t>(row));
}

void CSchPrdList::Show(CRecord* entry) {
    fEntry = entry && entry->IsOfType(T::kScheduleDomain, T::kSCEV) ? entry : nullptr;
    ResetFocusRecords();
    ClearSelection();
    SetGridSize(1, fEntry ? static_cast<int32_t>(fEntry->ArrayCount(T::kScevPeriods)) : 0);
    RefreshAllCells();
}

CTabFocusPane* CSchPrdList::CreateCellPane() {
    return new CSchPrdCell(this);
}

bool CSchPrdList::BindCell(LPane* pane, const CLPoint& cell) {
    if (cell.x != 0 || !PeriodAt(cell.y)) return false;
    static_cast<CSchPrdCell*>(pane)->Bind(cell.y);
    return true;
}

void CSchPrdList::Observe(void* context, const SRecordEvent* event) {
    static_cast<CSchPrdList*>(context)->OnRecordChange(*event);
}

void CSchPrdList::OnRecordChange(const SRecordEvent& event) {
    if (!fEntry) return;
    const CRecord* record = event.record.Get();
    if (!record) return;
    if (event.kind == SRecordEvent::kDeleting && CRecordRef(&fEntry).HasAncestor(record)) {
        Show(nullptr);
        return;
    }
    if (event.kind > SRecordEvent::kMoved) return;
    if (record == fEntry && event.field == T::kScevPeriods) {
        const int32_t count = static_cast<int32_t>(fEntry->ArrayCount(T::kScevPeriods));
        ResetFocusRecords();
        if (event.kind == SRecordEvent::kInserted && Rows() + 1 == count) {
            InsertRows(event.index1, 1);
        } else if (event.kind == SRecordEvent::kRemoved && Rows() == count + 1) {
            RemoveRows(event.index1, 1);
        } else {
            SetGridSize(1, count);
            RefreshAllCells();
        }
        return;
    }
    if (record->Parent() == fEntry && record->FieldInParent() == T::kScevPeriods &&
        record->ArrayIndex() >= 0 && record->ArrayIndex() < Rows())
        RefreshCell({0, record->ArrayIndex()});
}
