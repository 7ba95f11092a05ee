#include "Orbilume/CSources/Editors/CInParamPane.h"

#include <algorithm>

#include "Lib3/LSources/CoreData/URsrc.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LLayoutDesc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LTextStyle.h"
#include "Orbilume/CSources/Editors/CInCtlFrm.h"
#include "Orbilume/CSources/Editors/CInParamFrm.h"
#include "Orbilume/CSources/Editors/CInParamNote.h"
#include "Orbilume/CSources/Engine/CCompoRepository.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr int32_t kGap = 4;
constexpr int32_t kNestedGap = 4;

constexpr uint32_t kAnimatorList = 2;

}  // namespace

LMenu* CInParamPane::sMenu = nullptr;
uint32_t CInParamPane::sPanes = 0;

CInParamPane::CInParamPane(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key,
                           bool rangeCapable, bool withEditor)
    : LFrame(upper, owner), fUnitId(unitId), fKey(key), fRangeCapable(rangeCapable) {
    PLAT_DCHECK_MAIN_THREAD();
    if (sPanes++ == 0) {
        sMenu = new LMenu(nullptr, LString());
        if (const CCompoRepository* repository = CCompoRepository::Global())
            repository->FillMenu(sMenu, kAnimatorList);
    }
    fLabel = new LTextPane(this, 0);
    (void)fLabel->SetTextStyle(LTextStyleH(2));
    if (withEditor) {
        fEditor = new CInCtlFrm(this, this, key, rangeCapable);
        fEditor->ChangeState(kHide);
    }
}

CInParamPane::~CInParamPane() {
    if (--sPanes == 0) {
        delete sMenu;
        sMenu = nullptr;
    }
}

bool CInParamPane::AnimatorMenuHit(const CLPoint& local) const {
    if (!fExpandable) return false;
    const CLRect label = fLabel->Bounds();
    const CLRect right{label.left + label.Width() / 2, label.top, label.right, label.bottom};
    return right.Contain(local);
}

void CInParamPane::ChooseAnimator(const LMenuItem* item) {
    if (!item) return;
    const CCompoRepository* repository = CCompoRepository::Global();
    const LString identifier = repository ? repository->LookupEntry(item->Text()) : LString();
    CInParamNote note{fUnitId, fKey, identifier};
    Dispatch(LMessage(CInParamNote_Anim, &note, Upper()));
}

void CInParamPane::SetDisabled(bool disabled) {
    if (fControl) fControl->ChangeState(disabled ? kDisable : kEnable);
}

CInParamPane* CInParamPane::FindPane(uint32_t unitId, const LString& key) {
    if (unitId == fUnitId && key == fKey) return this;
    return fNested ? fNested->FindPane(unitId, key) : nullptr;
}

void CInParamPane::NotifyChange() {
    CInParamNote note{fUnitId, fKey, GetValueText()};
    Dispatch(LMessage(CInParamNote_Change, &note, Upper()));
}

void CInParamPane::SetShowControls(bool show) {
    if (show == fShowControls) return;
    fShowControls = show;
    if (fEditor) fEditor->ChangeState(show ? kShow : kHide);
    Relayout();
}

void CInParamPane::SetLabel(const LString& text) {
    (void)fLabel->SetText(text);
}

CInParamFrm* CInParamPane::NestedFrame(bool create) {
    if (!fNested && create) {
        fNested = new CInParamFrm(this, this, 3);
        Relayout();
    }
    return fNested;
}

void CInParamPane::DropNestedFrame() {
    if (!fNested) return;
    delete fNested;
    fNested = nullptr;
    Relayout();
}

void CInParamPane::Relayout() {
    BoundsChanged(Bounds());
    Dispatch(LMessage(LPane_Pref, this, Upper()));
}

LMessage CInParamPane::Handle(const LMessage& msg) {
    if (msg.Is(LMouse_Click) && fExpandable && sMenu) {
        const CLPoint at = MouseInOwner();
        if (AnimatorMenuHit({at.x - Bounds().left, at.y - Bounds().top})) {
            LHandlerWatch self(this);
            LMenuItem* chosen = LMenu::PopupContextMenu(this, sMenu, false);
            if (!self.IsGone()) ChooseAnimator(chosen);
            return LMessage();
        }
    }
    if (msg.Is(LPane_Pref) && msg.sender != this) {
        BoundsChanged(Bounds());
        return LMessage(LPane_Pref, this, Upper());
    }
    return LFrame::Handle(msg);
}

void CInParamPane::UseLayout(const char* name) {
    LLayoutParts parts;
    if (LoadLayout(SRsrcRequest(name), parts)) SetLayout(parts, kDescriptionMode);
}

void CInParamPane::DescriptionPrefer(LDrawContext& ctx, LLayoutDesc& desc) {
    LFrame::DescriptionPrefer(ctx, desc);
    desc.DefineVariable(LString("wholew"), Bounds().Width());
    desc.DefineVariable(LString("ctltop"), fCtlTop);
    desc.DefineVariable(LString("ctlw"), fCtlWidth);
    desc.DefineVariable(LString("lines"), std::max<int32_t>(LayoutLines(), 1));
}

int32_t CInParamPane::ControlsHeight(LDrawContext& ctx) {
    if (HasLayout()) return LFrame::PreferredHeight(ctx, 0);
    int32_t h = fLabel->PreferredHeight(ctx, 0);
    if (fControl) h = std::max(h, fControl->PreferredHeight(ctx, 0));
    return h;
}

void CInParamPane::LayoutControls(const CLRect& area) {
    if (HasLayout()) {
        fCtlTop = area.top;
        fCtlWidth = area.Width();
        LPanePort port(this);
        LDrawContext ctx(port);
        ApplyLayout(ctx, false);
        return;
    }
    const int32_t labelWidth = area.Width() * 2 / 5;
    fLabel->SetBounds({area.left, area.top, area.left + labelWidth, area.bottom});
    if (fControl)
        fControl->SetBounds({area.left + labelWidth + kGap, area.top, area.right - kGap, area.bottom});
}

void CInParamPane::BoundsChanged(const CLRect& old) {
    LFrame::BoundsChanged(old);
    LPanePort port(this);
    LDrawContext ctx(port);
    // Children are placed in the pane's own coordinates.
    const CLRect b{0, 0, Bounds().Width(), Bounds().Height()};
    int32_t top = 0;
    if (fNested) {
        const int32_t h = fNested->PreferredHeight(ctx, 0);
        fNested->SetBounds({0, kNestedGap, b.right, kNestedGap + h});
        top = kNestedGap + h;
    }
    // With the editors shown the controls take the left half, the editor the right half.
    const bool editor = fShowControls && fEditor;
    const int32_t split = editor ? b.right / 2 : b.right;
    LayoutControls({0, top, split, top + ControlsHeight(ctx)});
    if (editor) fEditor->SetBounds({split, top, b.right, top + fEditor->PreferredHeight(ctx, 0)});
}

int32_t CInParamPane::PreferredWidth(LDrawContext& ctx, int32_t kind) {
    if (kind != 0) return LFrame::PreferredWidth(ctx, kind);
    int32_t w = fLabel->PreferredWidth(ctx, 0) + kGap + (fControl ? fControl->PreferredWidth(ctx, 0) : 0);
    if (fShowControls && fEditor) w = 2 * std::max(w, fEditor->PreferredWidth(ctx, 0));
    if (fNested) w = std::max(w, fNested->PreferredWidth(ctx, 0));
    return w;
}

int32_t CInParamPane::PreferredHeight(LDrawContext& ctx, int32_t kind) {
    if (kind != 0) return LFrame::PreferredHeight(ctx, kind);
    int32_t h = ControlsHeight(ctx);
    if (fShowControls && fEditor) h = std::max(h, fEditor->PreferredHeight(ctx, 0));
    if (fNested) h += fNested->PreferredHeight(ctx, 0) + kNestedGap;
    return h;
}
