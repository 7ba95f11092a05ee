#include "Orbilume/CSources/Schedule/CSchPrmFrame.h"

#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Schedule/CWeekList.h"
#include "Orbilume/CSources/Schedule/USchEdit.h"
#include "Platform/Foundation/Check.h"

namespace {
using T = CDocModelTypes;
}  // namespace

CSchPrmFrame::CSchPrmFrame(LHandler* upper, LPane* owner, CRecordHolder* holder)
    : LFrame(upper, owner), fHolder(holder) {
    PLAT_DCHECK_MAIN_THREAD();
    // Panes in layout order: 1-6 the fields, 7 the week list, 8-14 the labels.
    for (LEditText*& field : fFields) field = new LEditText(this, LEditText::kSingleLine, 0);
    fWeek = new CWeekList(this);
    const LStrListRsrcH labels{SRsrcRequest(kName)};
    for (uint32_t i = 0; i < 7; ++i) (new LTextPane(this, 0))->SetText(labels.GetString(i));
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    if (fHolder) (void)fHolder->AddObserver(this, &CSchPrmFrame::Observe);
    Show(nullptr);
}

CSchPrmFrame::~CSchPrmFrame() {
    if (fHolder) (void)fHolder->RemoveObserver(this, &CSchPrmFrame::Observe);
}

uint32_t CSchPrmFrame::RecordField(uint32_t i) {
    static const uint32_t kFields[6] = {T::kScevYear, T::kScevMonth,  T::kScevDay,
                                        T::kScevHour, T::kScevMinute, T::kScevSecond};
    return kFields[i];
}

void CSchPrmFrame::Show(CRecord* entry) {
    fEntry = entry && entry->IsOfType(T::kScheduleDomain, T::kSCEV) ? entry : nullptr;
    ChangeState(fEntry ? kEnable : kDisable);
    Refresh();
}

void CSchPrmFrame::Refresh() {
    for (uint32_t i = 0; i < 6; ++i) {
        const LString text = fEntry ? fEntry->GetString(RecordField(i)) : LString();
        if (!(fFields[i]->GetText() == text)) fFields[i]->SetText(text);
    }
    fWeek->SetMask(fEntry ? USchEdit::WeekMaskOf(fEntry->GetString(T::kScevWeekday)) : 0);
}

LMessage CSchPrmFrame::Handle(const LMessage& msg) {
    if (msg.Is(LEditText_Change) && fEntry && msg.sender) {
        for (uint32_t i = 0; i < 6; ++i) {
            if (msg.sender != fFields[i]) continue;
            fStoring = true;
            (void)CRecordRef(&fEntry).SetString(this, RecordField(i), fFields[i]->GetText(),
                                                CRecordRef::kMergeContinuous);
            fStoring = false;
            return LMessage();
        }
    }
    if (msg.Is(CWeekList_Changed) && fWeek && msg.sender == fWeek) {
        if (fEntry)
            (void)CRecordRef(&fEntry).SetString(this, T::kScevWeekday, USchEdit::WeekTextOf(fWeek->Mask()));
        return LMessage();
    }
    return LFrame::Handle(msg);
}

void CSchPrmFrame::Observe(void* context, const SRecordEvent* event) {
    static_cast<CSchPrmFrame*>(context)->OnRecordChange(*event);
}

void CSchPrmFrame::OnRecordChange(const SRecordEvent& event) {
    if (!fEntry) return;
    const CRecord* record = event.record.Get();
    if (event.kind == SRecordEvent::kDeleting && record && CRecordRef(&fEntry).HasAncestor(record)) {
        Show(nullptr);  // the entry, or a record holding it, is leaving
        return;
    }
    if (record == fEntry && event.kind == SRecordEvent::kValueChanged && !fStoring) Refresh();
}
