#include "Lib3/LSources/CoreUI/CHeaderFrame.h"

#include <algorithm>
#include <vector>

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"

CHeaderFrame::CHeaderFrame(LHandler* upper, LPane* owner, uint32_t alignment, bool selectable,
                           bool background)
    : LFrame(upper, owner), mAlignment(alignment), mBackground(background), mSelectable(selectable) {}

CRespText* CHeaderFrame::Item(int32_t i) const {
    if (i < 0 || uint32_t(i) >= Children().Count()) return nullptr;
    return static_cast<CRespText*>(static_cast<LPane*>(Children()[uint32_t(i)]));
}

int32_t CHeaderFrame::IndexOf(const LHandler* item) const {
    int32_t i = 0;
    for (SSLink* l = Children().First(); l && !l->IsEnd(); l = l->next, ++i)
        if (static_cast<LHandler*>(static_cast<LPane*>(l)) == item) return i;
    return -1;
}

bool CHeaderFrame::IsItemVisible(int32_t i) const {
    CRespText* item = Item(i);
    if (!item) return false;
    const CLRect& b = item->Bounds();
    return item->FindPaneAt({b.left, b.top}) == item;
}

CRespText* CHeaderFrame::AddItem(const LString& text, const LTextStyleH& style) {
    auto* item = new CRespText(this, this, mBackground);
    item->SetAlignment(mAlignment);
    item->SetText(text);
    item->SetTextStyle(style);
    item->SetBounds({0, 0, 1, 1});
    const uint32_t s = State();
    if ((s & (kEnabled | kChainEnabled)) == (kEnabled | kChainEnabled)) item->ChangeState(kChainEnable);
    if ((s & (kShown | kChainShown)) == (kShown | kChainShown)) item->ChangeState(kChainShow);
    return item;
}

void CHeaderFrame::PlaceItem(int32_t i, int32_t position, uint32_t alignment, LDrawContext& ctx) {
    if (!IsItemVisible(i)) return;
    CRespText* item = Item(i);
    const int32_t w = std::max(item->PreferredWidth(ctx, 0), 0);
    int32_t left = position;
    if (alignment == kCentre) left = position - w / 2;
    if (alignment == kRight) left = position - w;
    item->SetBounds({left, 0, left + std::max(w, 1), std::max(Bounds().Height(), 1)});
    item->SetAlignment(alignment);
    Arrange(ctx);
}

void CHeaderFrame::Replace(CRespText* item, LDrawContext& ctx) {
    const CLRect b = item->Bounds();
    const int32_t w = std::max(item->PreferredWidth(ctx, 0), 1);
    int32_t left = b.left;
    const uint32_t alignment = item->Box().Alignment();
    if (alignment == kCentre) left = b.left + b.Width() / 2 - w / 2;
    if (alignment == kRight) left = b.right - w;
    item->SetBounds({left, b.top, left + w, b.bottom});
}

void CHeaderFrame::SetItemText(int32_t i, const LString& text, LDrawContext& ctx) {
    CRespText* item = Item(i);
    if (!item || !item->SetText(text)) return;
    Replace(item, ctx);
    Arrange(ctx);
}

void CHeaderFrame::SetItemStyle(int32_t i, const LTextStyleH& style, LDrawContext& ctx) {
    CRespText* item = Item(i);
    if (!item || !item->SetTextStyle(style)) return;
    Replace(item, ctx);
    Arrange(ctx);
}

void CHeaderFrame::SetItemVisible(int32_t i, bool visible) {
    if (CRespText* item = Item(i)) item->ChangeState(visible ? kShow : kHide);
}

bool CHeaderFrame::Select(int32_t i) {
    const int32_t before = mSelected;
    if (CRespText* old = Item(mSelected)) old->SetSelected(false, mSelectionColour);
    if (IsItemVisible(i)) {
        Item(i)->SetSelected(true, mSelectionColour);
        mSelected = i;
    } else {
        mSelected = -1;
    }
    return mSelected != before;
}

void CHeaderFrame::Arrange(LDrawContext& ctx) {
    std::vector<CRespText*> items;
    for (int32_t i = 0; i < ItemCount(); ++i)
        if (Item(i)->State() & kShown) items.push_back(Item(i));
    std::stable_sort(items.begin(), items.end(),
                     [](CRespText* a, CRespText* b) { return a->Bounds().left < b->Bounds().left; });
    for (size_t k = 0; k < items.size(); ++k) {
        CLRect b = items[k]->Bounds();
        int64_t right = int64_t(b.left) + std::max(items[k]->PreferredWidth(ctx, 0), 0);
        if (k + 1 < items.size()) right = std::min<int64_t>(right, items[k + 1]->Bounds().left);
        b.right = int32_t(std::max<int64_t>(right, int64_t(b.left) + 1));
        items[k]->SetBounds(b);
    }
}

void CHeaderFrame::Relayout(const CLRect& old) {
    if (old.Height() != Bounds().Height()) {
        for (int32_t i = 0; i < ItemCount(); ++i) {
            CLRect b = Item(i)->Bounds();
            Item(i)->SetBounds({b.left, 0, b.right, std::max(Bounds().Height(), 1)});
        }
        LPanePort port(this);
        LDrawContext ctx(port);
        Arrange(ctx);
    }
    TellListener();
}

int32_t CHeaderFrame::HeaderHeight(LDrawContext& ctx, int32_t kind) {
    int32_t out = 0;
    for (int32_t i = 0; i < ItemCount(); ++i) out = std::max(out, Item(i)->PreferredHeight(ctx, kind));
    return out;
}

void CHeaderFrame::TellListener() {
    if (mListener) Dispatch(LMessage(CHeaderFrame_Place, this, mListener));
}

void CHeaderFrame::StateChanged(uint32_t op) {
    LFrame::StateChanged(op);
    if (op == kMoved) TellListener();
}

void CHeaderFrame::BoundsChanged(const CLRect& old) {
    LFrame::BoundsChanged(old);
    TellListener();
}

LMessage CHeaderFrame::Handle(const LMessage& msg) {
    if (msg.Is(CRespText_Click) && msg.sender && msg.sender != this) {
        const int32_t i = IndexOf(msg.sender);
        if (mSelectable && i >= 0) {
            Select(i);
            return LMessage(CHeaderFrame_Selected, this, Upper());
        }
        return msg.Retarget(msg.sender);
    }
    if (msg.Is(LPane_Destructing) && msg.sender && msg.sender != this) {
        const int32_t i = IndexOf(msg.sender);
        if (i >= 0 && i == mSelected) mSelected = -1;
        if (i >= 0 && i < mSelected) --mSelected;
    }
    return LFrame::Handle(msg);
}
