#include "Orbilume/CSources/Schedule/CSchEntryList.h"

#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LColorSpec.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/UDropHighlight.h"
#include "Lib3/LSources/Mac/CDragScrap.h"
#include "Lib3/LSources/Mac/CRecordRowDrag.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Lib3/LSources/Mac/UListScrap.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Schedule/CSchLink.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

constexpr const char* kScrapName = "lumetra.scraptype.quillantorn.schedule";

}  // namespace

CSchEntryList::CSchEntryList(LPane* owner, CSchLink* link, CRecordHolder* holder)
    : CCellGridPane(owner, kSelectMultiple, false, false), fLink(link), fHolder(holder) {
    PLAT_DCHECK_MAIN_THREAD();
    const CRecord* schedule = fLink->Schedule().Get();
    SetBackColor(LColor::System(0));  // rows are drawn over the window colour, so a row redraws clean
    SetGridSize(1, schedule ? static_cast<int32_t>(schedule->ArrayCount(T::kSchdEntries)) : 0);
    fDrag = std::make_unique<CRecordRowDrag>(this, ScrapType());
    if (fHolder) (void)fHolder->AddObserver(this, &CSchEntryList::Observe);
    (void)fLink->AddListener(this, &CSchEntryList::Listen);
    UpdateCurrent();
}

CSchEntryList::~CSchEntryList() {
    fDrag.reset();
    (void)fLink->RemoveListener(this, &CSchEntryList::Listen);
    if (fHolder) (void)fHolder->RemoveObserver(this, &CSchEntryList::Observe);
    SetGridSize(0, 0);
}

void CSchEntryList::BoundsChanged(const CLRect& old) {
    CCellGridPane::BoundsChanged(old);
    if (Bounds().Width() == old.Width()) return;
    GetPrototypeCell();
    ChangeState(kRelayout);  // the cells follow the list's width
    Dispatch(LMessage(CSchEntryList_Resized, this, Upper()));
}

void CSchEntryList::Draw(LDrawContext& ctx) {
    CCellGridPane::Draw(ctx);
    fDrag->DrawHighlight(ctx);
}

CRecord* CSchEntryList::EntryAt(int32_t row) const {
    const CRecord* schedule = fLink->Schedule().Get();
    if (!schedule || row < 0 || static_cast<uint32_t>(row) >= schedule->ArrayCount(T::kSchdEntries))
        return nullptr;
    return schedule->GetElement(T::kSchdEntries, static_cast<uint32_t>(row));
}

CTabFocusPane* CSchEntryList::CreateCellPane() {
    return new CSchEntryCell(this);
}

bool CSchEntryList::BindCell(LPane* pane, const CLPoint& cell) {
    if (cell.x != 0 || !EntryAt(cell.y)) return false;
    static_cast<CSchEntryCell*>(pane)->Bind(cell.y, cell.y == fCurrent);
    return true;
}

void CSchEntryList::UpdateCurrent() {
    SSchRequest request;
    request.operation = fTesting ? CSchLink::kMatchAt : CSchLink::kLastMatch;
    request.dateTime = fTesting ? &fTest : nullptr;
    fLink->Request(request);
    const int32_t current = request.index < Rows() ? request.index : -1;
    if (current == fCurrent) return;
    const int32_t old = fCurrent;
    fCurrent = current;
    if (old >= 0 && old < Rows()) RefreshCell({0, old});
    if (current >= 0) RefreshCell({0, current});
}

void CSchEntryList::SetTestDateTime(const SchDateTime& dt) {
    fTesting = true;
    fTest = dt;
    UpdateCurrent();
}

void CSchEntryList::ClearTestDateTime() {
    fTesting = false;
    UpdateCurrent();
}

void CSchEntryList::DeleteSelection() {
    CRecordRef schedule = fLink->Schedule();
    if (!schedule) return;
    void* group = CRecordUndo::BeginGroup(this);
    for (int32_t row = Rows() - 1; row >= 0; --row)
        if (IsSelected({0, row})) schedule.DeleteElement(this, T::kSchdEntries, static_cast<uint32_t>(row));
    CRecordUndo::EndGroup(group);
}

LScrapType CSchEntryList::ScrapType() {
    return LScrapType{LString(kScrapName), 0};
}

LMessage CSchEntryList::Handle(const LMessage& msg) {
    if (msg.Is(LMenuBar_Ready) && msg.sender)
        UListScrap::EnableEditCommands(static_cast<LMenuBar*>(msg.sender), Selection(), ScrapType(),
                                       fPasteboard);
    if (msg.Is(LMenuItem_Selected) && msg.sender) {
        const LString command = static_cast<LMenuItem*>(msg.sender)->GetFirstCommand();
        const CLRect selected = Selection().bounds();
        uint32_t index = static_cast<uint32_t>(Selection().IsEmpty() ? 0 : selected.bottom);
        const int32_t r = UListScrap::DoEditCommand(this, fLink->Schedule(), T::kSchdEntries, Selection(), 1,
                                                    ScrapType(), LMsgId(command.CStr()), &index, fPasteboard);
        // Pasted rows stand from the insertion point on.
        if (r > 0)
            SetSelection(CRgn(CLRect{0, static_cast<int32_t>(index), 1, static_cast<int32_t>(index) + r}));
        if (r != 0) return LMessage();
    }
    LMessage reply;
    if (fDrag && fDrag->Handle(this, fLink->Schedule(), T::kSchdEntries, msg, &reply)) return reply;
    return CCellGridPane::Handle(msg);
}

void CSchEntryList::Listen(void* context, uint32_t notice) {
    auto* self = static_cast<CSchEntryList*>(context);
    if (notice == CSchLink::kMatchChanged) self->UpdateCurrent();
    if (notice == CSchLink::kSequencesChanged) self->RefreshAllCells();
}

void CSchEntryList::Observe(void* context, const SRecordEvent* event) {
    static_cast<CSchEntryList*>(context)->OnRecordChange(*event);
}

void CSchEntryList::OnRecordChange(const SRecordEvent& event) {
    const CRecord* schedule = fLink->Schedule().Get();
    const CRecord* record = event.record.Get();
    if (!schedule || !record || event.kind > SRecordEvent::kMoved || !event.record.HasAncestor(schedule))
        return;
    if (record == schedule && event.field == T::kSchdEntries) {
        ResetFocusRecords();
        const int32_t count = static_cast<int32_t>(schedule->ArrayCount(T::kSchdEntries));
        switch (event.kind) {
            case SRecordEvent::kInserted:
                if (Rows() + 1 == count) {
                    InsertRows(event.index1, 1);
                    break;
                }
                SetGridSize(1, count);
                break;
            case SRecordEvent::kRemoved:
                if (Rows() == count + 1) {
                    RemoveRows(event.index1, 1);
                    break;
                }
                SetGridSize(1, count);
                break;
            case SRecordEvent::kMoved:
                RemoveRows(event.index1, 1);
                InsertRows(event.index2, 1);
                RefreshAllCells();
                break;
            default:
                SetGridSize(1, count);
                RefreshAllCells();
                break;
        }
        fCurrent = -1;  // rows moved under it: mark anew
    } else {
        // An entry's values, or its periods: refresh its row.
        const CRecord* entry = record;
        while (entry->Parent() && entry->Parent() != schedule) entry = entry->Parent();
        if (entry->Parent() == schedule && entry->ArrayIndex() >= 0 && entry->ArrayIndex() < Rows())
            RefreshCell({0, entry->ArrayIndex()});
    }
    UpdateCurrent();
}

CSchEntryCell::CSchEntryCell(CSchEntryList* list) : CTabFocusPane(list, list), fList(list) {
    // Panes in layout order: 1 marker, 2 fire button, 3 name, 4 command.
    fMarker = new LTextPane(this, 0);
    fMarker->SetTextColor(LColorSpec::MakeRGB(LRGB(0, 191, 0)));
    fFire = new LStdButton(this, LStdCtlSpec());
    fName = new LEditText(this, LEditText::kSingleLine, 0);
    fCommand = new CSchCommandSlot(this);
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
}

void CSchEntryCell::Bind(int32_t row, bool current) {
    fRow = row;
    const CRecord* entry = fList->EntryAt(row);
    fMarker->SetText(current ? LString(kMarker) : LString());
    const LString name = entry ? entry->GetString(T::kScevName) : LString();
    if (!(fName->GetText() == name)) fName->SetText(name);
    SSchRequest request;
    request.operation = CSchLink::kCommandName;
    request.index = row;
    fList->Link()->Request(request);
    fCommand->SetText(request.text);
}

LMessage CSchEntryCell::Handle(const LMessage& msg) {
    if (msg.Is(LStdCtl_Selected) && fFire && msg.sender == fFire) {
        SSchRequest request;
        request.operation = CSchLink::kFire;
        request.index = fRow;
        fList->Link()->Request(request);
        fList->SelectCell({0, fRow});
        return LMessage();
    }
    if (msg.Is(CTextSlot_Changed) && fCommand && msg.sender == fCommand) {
        // An emptied field deletes the command.
        if (fCommand->Text().Length() == 0 && fRow >= 0) {
            SSchRequest request;
            request.operation = CSchLink::kDrop;
            request.index = fRow;
            request.editor = fList;
            fList->Link()->Request(request);
        }
        return LMessage();
    }
    if (msg.Is(LEditText_Change) && fName && msg.sender == fName) {
        CRecord* entry = fList->EntryAt(fRow);
        if (entry)
            (void)CRecordRef(&entry).SetString(fList, T::kScevName, fName->GetText(),
                                               CRecordRef::kMergeContinuous);
        return LMessage();
    }
    return CTabFocusPane::Handle(msg);
}

CSchCommandSlot::CSchCommandSlot(CSchEntryCell* cell)
    : CTextSlot(cell, kDeletable), fCell(cell), fDrop(this) {}

void CSchCommandSlot::SetAccepting(bool on) {
    if (fAccepting == on) return;
    fAccepting = on;
    const CRgn ring = UDropHighlight::Ring(Bounds(), 1);
    Invalidate(ring, ring);
}

void CSchCommandSlot::Draw(LDrawContext& ctx) {
    CTextSlot::Draw(ctx);
    if (fAccepting) UDropHighlight::Draw(ctx, Bounds(), 1, LColor::System(4));
}

LMessage CSchCommandSlot::Handle(const LMessage& msg) {
    switch (fDrop.Dispatch(msg)) {
        case CDropTargetHelper::kSense:
            return LMessage();
        case CDropTargetHelper::kDrag:
            fDrop.SetFeedback(fAccepting ? LDrop::kCopy : LDrop::kRefuse);
            return LMessage();
        case CDropTargetHelper::kEnter: {
            CDragScrap scrap(fDrop.Drop());
            SSchRequest request;
            request.operation = CSchLink::kCanDrop;
            request.index = fCell->Row();
            request.drag = &scrap;
            fCell->List()->Link()->Request(request);
            const bool accept = request.index == 1 && fCell->Row() >= 0;
            fDrop.SetFeedback(accept ? LDrop::kCopy : LDrop::kRefuse);
            SetAccepting(accept);
            return LMessage();
        }
        case CDropTargetHelper::kLeave:
            SetAccepting(false);
            return LMessage();
        case CDropTargetHelper::kDrop: {
            SetAccepting(false);
            CDragScrap scrap(fDrop.Drop());
            SSchRequest request;
            request.operation = CSchLink::kDrop;
            request.index = fCell->Row();
            request.drag = &scrap;
            request.editor = fCell->List();
            if (fCell->Row() >= 0) fCell->List()->Link()->Request(request);
            fDrop.SetFeedback(request.index == 1 ? LDrop::kCopy : LDrop::kRefuse);
            return LMessage();
        }
        default:
            break;
    }
    return CTextSlot::Handle(msg);
}
