#include "Orbilume/CSources/Editors/CUvAdList.h"

#include <algorithm>

#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/CMainLoopUI.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/Mac/CRecordRowDrag.h"
#include "Lib3/LSources/Mac/UListScrap.h"
#include "Orbilume/CSources/DmxIn/CUvAdTypes.h"
#include "Orbilume/CSources/Engine/FormatArtNetAddress.h"
#include "Platform/Foundation/Check.h"

namespace {

using U = CUvAdTypes;

int32_t Clamp(int64_t v, int64_t lo, int64_t hi) {
    return static_cast<int32_t>(std::min(std::max(v, lo), hi));
}

int32_t Whole(float v) {
    return static_cast<int32_t>(v < 0 ? v - 0.5f : v + 0.5f);
}

void LayOut(LFrame* frame, const char* name) {
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(name), layout)) frame->SetLayout(layout, LFrame::kDescriptionMode);
}

CNumVol* Knob(LFrame* owner, float lo, float hi) {
    auto* k = new CNumVol(owner, 0, 0);
    k->SetRange(lo, hi, 1);
    return k;
}

}  // namespace

int32_t UUvAd::Last(int32_t univ, int32_t flws) {
    return Clamp(int64_t(univ) + int64_t(flws), 0, kMaxUniverse);
}

int32_t UUvAd::WithNet(int32_t univ, int32_t net) {
    return (Clamp(net, 0, 127) << 8 | (univ & 0xFF)) & kMaxUniverse;
}

int32_t UUvAd::WithSubNet(int32_t univ, int32_t subNet) {
    return ((univ & 0xFF0F) | Clamp(subNet, 0, 15) << 4) & kMaxUniverse;
}

int32_t UUvAd::WithUniverse(int32_t univ, int32_t universe) {
    return ((univ & 0xFFF0) | Clamp(universe, 0, 15)) & kMaxUniverse;
}

int32_t UUvAd::FromSacn(int32_t sacn) {
    return Clamp(int64_t(sacn) - 1, 0, kMaxUniverse);
}

int32_t UUvAd::FromCount(int32_t count) {
    return Clamp(int64_t(count) - 1, 0, kMaxUniverse);
}

LString UUvAd::LastArtNetText(int32_t univ, int32_t flws) {
    char text[10];
    FormatArtNetAddress(Last(univ, flws), text);
    return LString(text);
}

CUvAdCell::CUvAdCell(CUvAdList* list) : CTabFocusPane(list, list), fList(list) {
    PLAT_DCHECK_MAIN_THREAD();
    // Panes in layout order: 1 the Art-Net frame (1 Net, 2 Sub-Net, 3 Universe, 4-5 the "/"), 2 the
    // sACN frame (1 Universe), 3 the last universe, 4 Count, 5 the address.
    fArtNet = new LFrame(this, this);
    fNet = Knob(fArtNet, 0, 127);
    fSubNet = Knob(fArtNet, 0, 15);
    fUniverse = Knob(fArtNet, 0, 15);
    for (int i = 0; i < 2; ++i) (void)(new LTextPane(fArtNet, 0))->SetText(LString("/"));
    fSacnFrame = new LFrame(this, this);
    fSacn = Knob(fSacnFrame, 1, 32768);
    fLast = new LTextPane(this, 0);
    fCount = Knob(this, 1, 32768);
    fAddress = new LEditText(this, 0, 0);
    LayOut(fArtNet, kArtNetName);
    LayOut(fSacnFrame, kSacnName);
    LayOut(this, kName);
}

void CUvAdCell::Bind(int32_t row) {
    fRow = row;
    CRecord* r = fList->RowAt(row);
    if (!r) return;
    const int32_t univ = r->GetInt(U::kUvadUniverse);
    const int32_t flws = r->GetInt(U::kUvadFollowing);
    const bool sacn = fList->SacnMode();
    fArtNet->ChangeState(sacn ? kHide : kShow);
    fSacnFrame->ChangeState(sacn ? kShow : kHide);
    if (sacn) {
        fSacn->SetValue(float(UUvAd::Last(univ, 0) + 1));
        (void)fLast->SetText(LString(std::to_string(UUvAd::Last(univ, flws) + 1).c_str()));
    } else {
        fNet->SetValue(float(UUvAd::Net(univ)));
        fSubNet->SetValue(float(UUvAd::SubNet(univ)));
        fUniverse->SetValue(float(UUvAd::Universe(univ)));
        (void)fLast->SetText(UUvAd::LastArtNetText(univ, flws));
    }
    fCount->SetValue(float(Clamp(int64_t(flws) + 1, 1, 32768)));
    fAddress->SetText(r->GetString(U::kUvadAddress));
}

void CUvAdCell::CommitAddress() {
    CRecord* r = fList->RowAt(fRow);
    if (!r) return;
    const CRecordRef ref(&r);
    const LString text = fAddress->GetText();
    if (!(r->GetString(U::kUvadAddress) == text)) (void)ref.SetString(fList, U::kUvadAddress, text);
}

LMessage CUvAdCell::Handle(const LMessage& msg) {
    if (!fAddress) return CTabFocusPane::Handle(msg);  // still being built
    if (msg.Is(CNumVol_Fix) && msg.sender) {
        CRecord* r = fList->RowAt(fRow);
        if (!r) return LMessage();
        const CRecordRef ref(&r);
        const int32_t univ = r->GetInt(U::kUvadUniverse);
        const int32_t v = Whole(static_cast<CNumVol*>(msg.sender)->GetValue());
        int32_t field = U::kUvadUniverse, value = univ;
        if (msg.sender == fNet) {
            value = UUvAd::WithNet(univ, v);
        } else if (msg.sender == fSubNet) {
            value = UUvAd::WithSubNet(univ, v);
        } else if (msg.sender == fUniverse) {
            value = UUvAd::WithUniverse(univ, v);
        } else if (msg.sender == fSacn) {
            value = UUvAd::FromSacn(v);
        } else if (msg.sender == fCount) {
            field = U::kUvadFollowing;
            value = UUvAd::FromCount(v);
        } else {
            return CTabFocusPane::Handle(msg);
        }
        if (r->GetInt(field) != value) (void)ref.SetInt(fList, field, value);
        else Bind(fRow);  // a clamped entry shows the stored value again
        return LMessage();
    }
    if (msg.sender == fAddress && msg.Is(LEditText_Unfocused)) {
        CommitAddress();
        return LMessage();
    }
    if (msg.sender == fAddress && msg.Is(LEditText_Down)) {
        const uint32_t ch = CMainLoopUI::Get() ? CMainLoopUI::Get()->KeyChar() : 0;
        if (ch == 13 || ch == 3) {
            CommitAddress();
            return LMessage();
        }
    }
    return CTabFocusPane::Handle(msg);
}

CUvAdList::CUvAdList(LPane* owner, CRecordHolder* holder, CRecord* uvas)
    : CCellGridPane(owner, kSelectMultiple, false, false),
      fHolder(holder),
      fUvas(uvas && uvas->IsOfType(U::kDomain, U::kUVAS) ? uvas : nullptr) {
    PLAT_DCHECK_MAIN_THREAD();
    SetBackColor(LColor::System(0));
    if (fHolder) (void)fHolder->AddObserver(this, &CUvAdList::Observe);
    fDrag = std::make_unique<CRecordRowDrag>(this, ScrapType());
    SetGridSize(1, Count());
}

CUvAdList::~CUvAdList() {
    fDrag.reset();
    if (fHolder) (void)fHolder->RemoveObserver(this, &CUvAdList::Observe);
    SetGridSize(0, 0);
}

LScrapType CUvAdList::ScrapType() {
    return LScrapType{LString("lumetra.scraptype.quillantorn.uvad"), 0};
}

int32_t CUvAdList::Count() const {
    return fUvas ? int32_t(fUvas->ArrayCount(U::kUvasList)) : 0;
}

CRecord* CUvAdList::RowAt(int32_t row) const {
    if (!fUvas || row < 0 || row >= Count()) return nullptr;
    return fUvas->GetElement(U::kUvasList, uint32_t(row));
}

void CUvAdList::SetSacnMode(bool sacn) {
    const uint8_t flag = sacn ? 1 : 0;
    if (flag == fSacn) return;
    fSacn = flag;
    RefreshAllCells();
}

int32_t CUvAdList::AddRow() {
    if (!fUvas) return -1;
    const CLRect selected = Selection().bounds();
    const int32_t at = Selection().IsEmpty() ? Count() : std::min(selected.bottom, Count());
    CRecord* r = CRecord::New(U::Uvad());
    if (!r) return -1;
    if (!CRecordRef(&fUvas).InsertRecord(this, U::kUvasList, uint32_t(at), r)) return -1;
    SetSelection(CRgn(CLRect{0, at, 1, at + 1}));
    RevealCell({0, at});
    return at;
}

LMessage CUvAdList::Handle(const LMessage& msg) {
    if (msg.Is(LMenuBar_Ready) && msg.sender && fUvas)
        UListScrap::EnableEditCommands(static_cast<LMenuBar*>(msg.sender), Selection(), ScrapType(), fPasteboard);
    if (msg.Is(LMenuItem_Selected) && msg.sender && fUvas) {
        const LString command = static_cast<LMenuItem*>(msg.sender)->GetFirstCommand();
        CLPoint focus;
        uint32_t index = uint32_t(GetFocusCell(&focus) ? focus.y : Count());
        const int32_t r = UListScrap::DoEditCommand(this, CRecordRef(&fUvas), U::kUvasList, Selection(), 1,
                                                    ScrapType(), LMsgId(command.CStr()), &index, fPasteboard);
        if (r > 0) SetSelection(CRgn(CLRect{0, int32_t(index) - r, 1, int32_t(index)}));
        if (r != 0) return LMessage();
    }
    LMessage reply;
    if (fDrag && fDrag->Handle(this, CRecordRef(&fUvas), U::kUvasList, msg, &reply)) return reply;
    return CCellGridPane::Handle(msg);
}

void CUvAdList::BoundsChanged(const CLRect& old) {
    CCellGridPane::BoundsChanged(old);
    if (Bounds().Width() == old.Width()) return;
    GetPrototypeCell();
    ChangeState(kRelayout);
}

void CUvAdList::Draw(LDrawContext& ctx) {
    CCellGridPane::Draw(ctx);
    fDrag->DrawHighlight(ctx);
}

CTabFocusPane* CUvAdList::CreateCellPane() {
    return new CUvAdCell(this);
}

bool CUvAdList::BindCell(LPane* pane, const CLPoint& cell) {
    if (cell.x != 0 || !RowAt(cell.y)) return false;
    static_cast<CUvAdCell*>(pane)->Bind(cell.y);
    return true;
}

void CUvAdList::Observe(void* context, const SRecordEvent* event) {
    static_cast<CUvAdList*>(context)->OnRecordChange(*event);
}

void CUvAdList::OnRecordChange(const SRecordEvent& event) {
    if (!fUvas) return;
    const CRecord* record = event.record.Get();
    if (!record) return;
    if (event.kind == SRecordEvent::kDeleting && CRecordRef(&fUvas).HasAncestor(record)) {
        fUvas = nullptr;
        ResetFocusRecords();
        ClearSelection();
        SetGridSize(1, 0);
        return;
    }
    if (event.kind > SRecordEvent::kMoved) return;
    if (record == fUvas && event.field == U::kUvasList) {
        const int32_t count = Count();
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
    if (record->Parent() == fUvas && record->FieldInParent() == U::kUvasList && record->ArrayIndex() >= 0 &&
        record->ArrayIndex() < Rows())
        RefreshCell({0, record->ArrayIndex()});
}
