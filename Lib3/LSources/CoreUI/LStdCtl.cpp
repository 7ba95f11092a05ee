#include "Lib3/LSources/CoreUI/LStdCtl.h"

#include <cmath>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/DrawContext.h"
#include "Platform/Graphics/Font.h"

namespace {

plat::Rect ToRect(const CLRect& r) {
    return {double(r.left), double(r.top), double(r.Width()), double(r.Height())};
}

// Whether the view is the one being drawn now or inside it.
bool IsBeingDrawn(plat::View* view) {
    plat::View* focus = plat::View::FocusView();
    for (plat::View* v = view; v && focus; v = v->Superview())
        if (v == focus) return true;
    return false;
}

}  // namespace

LStdCtl::LStdCtl(LPane* owner, const LStdCtlSpec& spec)
    : LPane(owner, owner), fStyle(spec.style), fTimer(this) {
    if (!owner || !spec.control) return;
    LPanePort port(this);
    fHost = port.contentView;
    fControl = plat::RetainRef(spec.control);
    fControl->SetEnabled(EffectivelyEnabled());
    fControl->SetTarget(this);
    fControl->SetAction("action:");
    ApplyStyle();
}

LStdCtl::~LStdCtl() {
    if (fControl) {
        fControl->SetTarget(nullptr);
        fControl->RemoveFromSuperview();
    }
    if (fClip) fClip->RemoveFromSuperview();
}

void LStdCtl::ApplyStyle() {
    if (!fControl) return;
    plat::Font* font = fStyle.Font();
    fControl->SetFont(font);
    const bool small = font && font->Size() <= plat::Font::SmallSystemFontSize();
    fControl->SetControlSize(small ? plat::ControlSize::kSmall : plat::ControlSize::kRegular);
}

void LStdCtl::ControlAction(const char*, plat::Control*) {
    Action();
}

void LStdCtl::Action() {
    SendUp(LStdCtl_Selected);
}

LMessage LStdCtl::Track(const CLPoint&) {
    LMouse* mouse = LMouse::Get();
    if (fControl && mouse) fControl->MouseDown(mouse->CurrentEvent());
    return LMessage();
}

void LStdCtl::SetTitle(const LString& title) {
    if (fControl && !(GetTitle() == title)) fControl->SetTitle(title.CStr());
}

LString LStdCtl::GetTitle() const {
    return fControl ? LString(fControl->Title().c_str()) : LString();
}

CLRect LStdCtl::CellSize() const {
    if (!fControl) return {};
    const plat::Size s = fControl->CellSize();
    return {0, 0, int32_t(s.width), int32_t(s.height)};
}

int32_t LStdCtl::BaselineFor(int32_t height) const {
    const plat::Font* f = fStyle.Font();
    if (!f) return 0;
    // Descent is positive here: the baseline of one line centred in the height.
    return int32_t(f->Ascent() + (height - f->Descent() - f->Ascent()) / 2);
}

LMessage LStdCtl::Handle(const LMessage& msg) {
    if (msg.Is(LMouse_Click) && fControl && IsUsable()) {
        LMouse* mouse = LMouse::Get();
        if (!fControl->GetWindow()) Replace();
        LPanePort port(this);
        CLPoint local = mouse ? mouse->Location() : CLPoint{};
        if (port.window) {
            const plat::Point content = port.window->ConvertFromScreen({double(local.x), double(local.y)});
            local = {int32_t(content.x) - port.origin.x, int32_t(content.y) - port.origin.y};
        }
        SendReqFocusIfClickFocus();
        return Track(local);
    }
    if (msg.Is(LTimer_Expire) && msg.sender == &fTimer) {
        Replace();
        return LMessage();
    }
    return LPane::Handle(msg);
}

void LStdCtl::StateChanged(uint32_t op) {
    LPane::StateChanged(op);
    if (!fControl) return;
    switch (op) {
        case kShow:
        case kChainShow:
            if ((State() & 5) == 5) Replace();
            if (op == kChainShow && fControl->Superview()) fControl->SetNeedsDisplay(true);
            break;
        case kHide:
            if (State() & kChainShown) {
                Replace();
                InvalidateOuter();
            }
            break;
        case kChainHide:
            if (State() & kShown) {
                Replace();
                InvalidateOuter();
            }
            break;
        case kEnable:
        case kDisable:
        case kChainEnable:
        case kChainDisable:
        case kLock:
        case kUnlock:
        case kChainLock:
        case kChainUnlock:
            if (fControl->IsEnabled() != EffectivelyEnabled()) fControl->SetEnabled(EffectivelyEnabled());
            break;
        case kMoved:
            Replace();
            break;
        case kRelayout:
            ApplyStyle();
            break;
        default:
            break;
    }
}

void LStdCtl::BoundsChanged(const CLRect& old) {
    LPane::BoundsChanged(old);
    Replace();
}

bool LStdCtl::IntersectsRegion(const CRgn& region) {
    if (!(State() & kShown)) return false;  // hidden: nothing to draw
    CRgn outer(GetOuterRect(Bounds()));
    outer &= region;
    return !outer.IsEmpty();
}

void LStdCtl::InvalidateOuter() {
    // The removed control leaves its pixels behind: the owner fills its background there.
    const CRgn outer(GetOuterRect(Bounds()));
    if (LPane* owner = Owner()) owner->Invalidate(outer, outer);
}

void LStdCtl::RemoveControl() {
    if (fControl) fControl->RemoveFromSuperview();
    if (fClip) {
        fClip->RemoveFromSuperview();
        fClip = nullptr;
    }
}

void LStdCtl::Replace() {
    if (!fControl) return;
    const CLRect r = GetControlRect();
    if ((State() & 5) != 5 || r.IsEmpty()) {
        RemoveControl();
        return;
    }
    if (fHost && IsBeingDrawn(fHost)) {
        fControl->SetFrame({0, 0, double(r.Width()), double(r.Height())});
        fTimer.StartOnce(0, 0);
        return;
    }
    LPanePort port(this);
    if (!fHost) fHost = port.contentView;
    if (!fHost) return;
    CLRect inWindow = r;
    inWindow.Shift(port.origin.x, port.origin.y);
    CLRect visible = inWindow;
    if (!port.clip.IsEmpty())
        visible &= port.clip.bounds();
    else
        visible = {};
    if (visible.IsEmpty()) {
        RemoveControl();
        return;
    }
    if (visible == inWindow && !AlwaysClip()) {
        if (fControl->Superview() != fHost) fHost->AddSubview(fControl.get());
        fControl->SetFrame(ToRect(inWindow));
        if (fClip) {
            fClip->RemoveFromSuperview();
            fClip = nullptr;
        }
        return;
    }
    if (!fClip) fClip = plat::View::Create(ToRect(visible));
    fClip->SetFrame(ToRect(visible));
    if (fClip->Superview() != fHost) fHost->AddSubview(fClip.get());
    if (fControl->Superview() != fClip.get()) fClip->AddSubview(fControl.get());
    fControl->SetFrame({double(inWindow.left - visible.left), double(inWindow.top - visible.top),
                        double(inWindow.Width()), double(inWindow.Height())});
}

void LStdCtl::Draw(LDrawContext& ctx) {
    if (!fControl || fControl->GetWindow() || !ctx.Native()) return;
    const CLRect r = GetControlRect();
    fControl->SetFrame(ToRect(r));
    plat::Ref<plat::BitmapImage> img = fControl->CacheDisplayInRect(fControl->Bounds());
    if (!img) return;
    ctx.ApplyPending();  // this pane's clip, not the one last drawn
    plat::GStateScope g(*ctx.Native());
    ctx.Native()->DrawImage(ToRect(r), img.get());
}
