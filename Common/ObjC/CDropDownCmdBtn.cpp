#include "Common/ObjC/CDropDownCmdBtn.h"

#include "Lib3/LSources/CoreUI/LColorSpec.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LImage.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LRsrcImage.h"
#include "Platform/AppKit/Theme.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Graphics/DrawContext.h"

namespace {

// The arrow image, shared by every button from the first one on; released at exit.
LImageH& ArrowImage() {
    static LImageH image;
    return image;
}

constexpr uint32_t kOneLine = 0;
constexpr uint32_t kCentred = 1;

}  // namespace

CDropDownCmdBtn::CDropDownCmdBtn(LPane* owner) : LPane(owner, owner) {
    fTitle.SetMode(kOneLine);
    fTitle.SetAlignment(kCentred);
    if (ArrowImage().IsEmpty()) ArrowImage() = LImageH(new LRsrcImage(SRsrcRequest("CDROPDOWNCMDBTN")));
}

CDropDownCmdBtn::~CDropDownCmdBtn() = default;

void CDropDownCmdBtn::SetMenu(LMenu* menu) {
    fMenu = menu;
    if (menu) SetTitle(menu->Title());
}

void CDropDownCmdBtn::SetTitle(const LString& title) {
    if (fTitle.SetText(title)) Redraw();
}

void CDropDownCmdBtn::Redraw() {
    if (!IsVisible()) return;
    // The theme gives the bevel no background bounds of its own: the pane's, grown by 2 for its
    // shadow.
    CLRect r = Bounds();
    r.left -= 2;
    r.top -= 2;
    r.right += 2;
    r.bottom += 2;
    CRgn area(r);
    Invalidate(area, area);
}

void CDropDownCmdBtn::StateChanged(uint32_t op) {
    LPane::StateChanged(op);
    switch (op) {
        case kChainEnable:
        case kChainDisable:
            if (State() & kEnabled) Redraw();
            break;
        case kEnable:
        case kDisable:
            if (State() & kChainEnabled) Redraw();
            break;
        default:
            break;
    }
}

void CDropDownCmdBtn::BoundsChanged(const CLRect& old) {
    LPane::BoundsChanged(old);
    fTitle.SetRect(Bounds());
}

int32_t CDropDownCmdBtn::PreferredWidth(LDrawContext&, int32_t kind) {
    if (kind == -11) return 8;
    if (kind == -13) return fTitle.WidthOf("M");
    return fTitle.Width() + ArrowImage().GetSize().width + 16;
}

int32_t CDropDownCmdBtn::Baseline() {
    const int32_t text = fTitle.LineHeight();
    return (Bounds().Height() + text) / 2 + fTitle.Ascent() - text;
}

int32_t CDropDownCmdBtn::PreferredHeight(LDrawContext&, int32_t kind) {
    if (kind == -10 || kind == -12) return Baseline();
    const int32_t text = fTitle.LineHeight();
    if (text < 13) return 17;
    if (text < 16) return 20;
    return text + 6;
}

LMessage CDropDownCmdBtn::Handle(const LMessage& msg) {
    LMouse* mouse = LMouse::Get();
    if (msg.Is(LMouse_Click) && mouse && msg.sender == mouse) {
        if (!fMenu) return LMessage();
        LHandlerWatch self(this);
        fPressed = 1;
        Redraw();
        UpdateNow();
        CLRect screen = Bounds();
        if (plat::Window* window = GetWindow()) {
            const CLPoint origin = GetOriginIn(nullptr);
            const plat::Point at =
                window->ConvertToScreen({double(screen.left + origin.x), double(screen.top + origin.y)});
            screen = {int32_t(at.x), int32_t(at.y), int32_t(at.x) + screen.Width(),
                      int32_t(at.y) + screen.Height()};
        }
        LMenuItem* chosen = LMenu::PopupMenuAt(this, fMenu, screen);
        // The menu's nested loop runs timers, which may have destroyed this button.
        if (self.IsGone()) return LMessage();
        fPressed = 0;
        Redraw();
        UpdateNow();
        if (self.IsGone()) return LMessage();
        if (chosen) return LMessage(LMenuItem_Selected, chosen, Upper());
        return LMessage();
    }
    if (msg.Is(LMenuItem_Selected)) return LMessage();
    return LPane::Handle(msg);
}

void CDropDownCmdBtn::Draw(LDrawContext& ctx) {
    ctx.ApplyPending();
    plat::DrawContext* native = ctx.Native();
    if (!native) return;
    const CLRect b = Bounds();
    const plat::Rect r{double(b.left), double(b.top), double(b.Width()), double(b.Height())};
    using plat::theme::BezelState;
    const BezelState state = fPressed     ? BezelState::kPressed
                             : IsUsable() ? BezelState::kNormal
                                          : BezelState::kDisabled;
    plat::theme::DrawBezel(*native, r, state, false);

    const int32_t baseline = b.top + Baseline();
    const LImageSize arrow = ArrowImage().GetSize();
    const CLRect arrowRect{b.right - 11, baseline - 4 - arrow.height, b.right - 11 + arrow.width,
                           baseline - 4};
    ArrowImage()->Draw(ctx, arrowRect);

    const bool usable = (State() & (kEnabled | kChainEnabled)) == (kEnabled | kChainEnabled);
    const uint32_t colour = !usable ? 8 : fPressed ? 7 : 6;
    fTitle.SetColor(LColorSpec::MakeIndexed(colour).Resolve());
    const int32_t text = fTitle.LineHeight();
    const int32_t top = b.top + (b.Height() - text) / 2;
    fTitle.SetRect({b.left + 8, top, b.right - 15, top + text});
    fTitle.Draw(ctx);
    fTitle.SetRect(b);
}
