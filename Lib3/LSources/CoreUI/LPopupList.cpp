#include "Lib3/LSources/CoreUI/LPopupList.h"

#include <algorithm>
#include <cstring>

#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Text.h"

namespace {

struct MadeSpec {
    explicit MadeSpec(const LStdCtlSpec& in)
        : spec(MakeStdCtlSpec(in, plat::ControlKind::kPopUpButton)), owned(!in.control) {
        if (spec.control) spec.control->RemoveAllItems();
    }
    ~MadeSpec() {
        if (owned && spec.control) spec.control->Release();
    }
    LStdCtlSpec spec;
    bool owned;
};

}  // namespace

LPopupList::LPopupList(LPane* owner, const LStdCtlSpec& spec, uint32_t options)
    : LStdCtl(owner, MadeSpec(spec).spec), fOptions(options) {}

LMessage LPopupList::Handle(const LMessage& msg) {
    if (msg.Is(LStdCtl_Selected) && msg.sender == this && Control()) {
        const int32_t chosen = Control()->SelectedItem();
        if (chosen == fCurrent) return LMessage();
        fCurrent = chosen;
        return LMessage(LPopupList_Changed, this, Upper());
    }
    if (msg.Is(LTitlePane_Constructing) && !fTitle) {
        fTitle = msg.sender;
        return LMessage();
    }
    if (msg.Is(LTitlePane_Destructing) && fTitle && msg.sender == fTitle) {
        fTitle = nullptr;
        return LMessage();
    }
    return LStdCtl::Handle(msg);
}

void LPopupList::StateChanged(uint32_t op) {
    if (fPlaceholder && (op == kEnable || op == kDisable || op == kChainEnable || op == kChainDisable)) {
        LPane::StateChanged(op);
        return;
    }
    LStdCtl::StateChanged(op);
}

CLRect LPopupList::GetOuterRect(const CLRect& r) const {
    return {r.left - 1, r.top - 2, r.right + 1, r.bottom + 2};
}

int32_t LPopupList::PreferredWidth(LDrawContext&, int32_t kind) {
    const plat::Font* f = Style().Font();
    if (kind == -3) return 36;
    if (kind == -13) return f ? int32_t(plat::TextWidth(*f, "M", 1)) : 0;
    if (fOptions & kFixedWidth) return 36;
    double widest = 0;
    for (int32_t i = 0; f && i < Count(); ++i) {
        const LString t = ItemTitle(i);
        widest = std::max(widest, plat::TextWidth(*f, t.CStr(), t.Length()));
    }
    return 36 + int32_t(widest);
}

int32_t LPopupList::PreferredHeight(LDrawContext& ctx, int32_t kind) {
    if (kind == -12) return BaselineFor(Bounds().Height());
    if (kind == -11 || kind == -1) return 1;
    if (kind == -10) return BaselineFor(PreferredHeight(ctx, 0));
    const CLRect cell = CellSize();
    if (!cell.IsEmpty()) return cell.Height();
    const plat::Font* f = Style().Font();
    return f ? int32_t(f->LineHeight()) + 4 : 4;
}

int32_t LPopupList::Count() const {
    return Control() ? Control()->NumberOfItems() : 0;
}

LString LPopupList::ItemTitle(int32_t index) const {
    return Control() ? LString(Control()->ItemTitle(index).c_str()) : LString();
}

void LPopupList::AddItem(const LString& title) {
    int32_t at = Count();
    if ((fOptions & kSorted) && !title.IsEmpty())
        for (int32_t i = 0; i < Count(); ++i)
            if (!IsSeparator(i) && std::strcmp(ItemTitle(i).CStr(), title.CStr()) > 0) {
                at = i;
                break;
            }
    InsertItem(at, title);
}

void LPopupList::InsertItem(int32_t index, const LString& title) {
    if (!Control()) return;
    if (fPlaceholder && Count() > 0) {
        Control()->RemoveItemAt(0);
        if (index > 0) --index;
    }
    fPlaceholder = false;
    index = std::clamp(index, 0, Count());
    Control()->InsertItem(title.CStr(), index);
    if (fCurrent >= 0 && index <= fCurrent) ++fCurrent;
    if (fCurrent >= 0) Control()->SelectItem(fCurrent);
}

void LPopupList::RemoveItem(int32_t index) {
    if (!Control() || index < 0 || index >= Count()) return;
    Control()->RemoveItemAt(index);
    if (fCurrent >= index) --fCurrent;
    if (Count() == 0) fCurrent = -1;
    if (fCurrent >= 0) Control()->SelectItem(fCurrent);
}

void LPopupList::RemoveAll() {
    if (Control()) Control()->RemoveAllItems();
    fCurrent = -1;
}

int32_t LPopupList::FindItem(const LString& title) const {
    for (int32_t i = 0; i < Count(); ++i)
        if (!IsSeparator(i) && ItemTitle(i) == title) return i;
    return -1;
}

bool LPopupList::IsSeparator(int32_t index) const {
    return Control() && Control()->IsSeparatorItem(index);
}

int32_t LPopupList::SetValue(int32_t index) {
    if (!Control() || Count() == 0) {
        fCurrent = -1;
        return -1;
    }
    index = std::clamp(index, 0, Count() - 1);
    if (index != fCurrent) {
        fCurrent = index;
        Control()->SelectItem(index);
    }
    return fCurrent;
}
