#include "Lib3/LSources/CoreUI/CStateButton.h"

#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Text.h"

namespace {

struct MadeSpec {
    MadeSpec(const LStdCtlSpec& in, bool small)
        : spec(MakeStdCtlSpec(in, plat::ControlKind::kToggleButton)), owned(!in.control) {
        if (owned && spec.control && small) spec.control->SetControlSize(plat::ControlSize::kMini);
    }
    ~MadeSpec() {
        if (owned && spec.control) spec.control->Release();
    }
    LStdCtlSpec spec;
    bool owned;
};

}  // namespace

CStateButton::CStateButton(LPane* owner, const LStdCtlSpec& spec, uint32_t options)
    : LStdCtl(owner, MadeSpec(spec, options & kSmall).spec), fSmall(options & kSmall) {}

void CStateButton::SetHighlight(bool on, bool notify) {
    if (fHighlight == on) return;
    fHighlight = on;
    if (Control()) Control()->Highlight(on);
    if (notify) SendUp(on ? CStateButton_Push : CStateButton_Unpush);
}

void CStateButton::SetState(int32_t state) {
    if (!Control()) return;
    Control()->SetState(state == 1 ? 1 : 0);
    InvalidateOffscreen();
}

void CStateButton::SetImage(const LImageH& image) {
    if (image.Get() == fImage.Get()) return;
    fImage = image;
    plat::BitmapImage* native = nullptr;
    if (image.Get()->GetNativeImage(native) != LImage::kNativeKind) native = nullptr;
    if (Control()) Control()->SetImage(native);
    InvalidateOffscreen();
}

void CStateButton::InvalidateOffscreen() {
    if (!GetWindow()) Invalidate(CRgn(Bounds()), CRgn(Bounds()));
}

LMessage CStateButton::Track(const CLPoint&) {
    SetHighlight(true, true);
    return LMessage(LPane_ReqCapture, this, Upper());
}

LMessage CStateButton::Handle(const LMessage& msg) {
    LMouse* mouse = LMouse::Get();
    if (msg.Is(LMouse_Click) && mouse) {
        if (mouse->IsDoubleClick(fClickStamp)) return LMessage(CStateButton_DblClk, this, Upper());
        return LStdCtl::Handle(msg);
    }
    if (msg.Is(LMouse_Move)) {
        SetHighlight(Bounds().Contain(MouseInOwner()), true);
        return LMessage();
    }
    if (msg.Is(LMouse_Release)) {
        const bool inside = Bounds().Contain(MouseInOwner());
        SetHighlight(false, true);
        if (inside) return LMessage(LStdCtl_Selected, this, Upper());
        return LMessage();
    }
    if (msg.Is(CStateButton_DblClk) && msg.sender == this && mouse)
        return Handle(LMessage(LMouse_Click, mouse, this));
    return LStdCtl::Handle(msg);
}

int32_t CStateButton::PreferredWidth(LDrawContext&, int32_t kind) {
    const plat::Font* f = Style().Font();
    if (kind == -13) return f ? int32_t(plat::TextWidth(*f, "M", 1)) : 0;
    if (kind == -11) return fSmall ? 2 : 5;
    if (!GetTitle().IsEmpty()) return CellSize().Width();
    return fImage.GetSize().width + (fSmall ? 4 : 10);
}

int32_t CStateButton::PreferredHeight(LDrawContext& ctx, int32_t kind) {
    if (kind == -12) return BaselineFor(Bounds().Height());
    if (kind == -10) return BaselineFor(PreferredHeight(ctx, 0));
    if (!fImage.IsEmpty()) return fImage.GetSize().height + (fSmall ? 4 : 10);
    const plat::Font* f = Style().Font();
    const int32_t line = f ? int32_t(f->LineHeight()) : 0;
    return line + 4 + (fSmall ? 0 : 2);
}
