#include "Orbilume/CSources/Editors/CMonitorWin.h"

#include <algorithm>

#include "Common/ObjC/CMacWindowKind.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LLayoutDesc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/CoreUI/LWindowPlacer.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Orbilume/CSources/Engine/COutRenderWin.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"

LFrameSpec CMonitorWin::SpecFor(bool fullScreen) {
    if (fullScreen)
        return LFrameSpec(LFrameSpec::kDocument, CMacWindowKindH(new CMacWinKind(kFullScreenKind)));
    auto* menus = new LOwningMenuBar(nullptr, SRsrcRequest(kMenuBarName));
    return LFrameSpec(LFrameSpec::kDocument, CMacWindowKindH(new CMacWinKind(kWindowedKind)), menus);
}

CMonitorWin::CMonitorWin(LHandler* upper, CMixEngine* engine, bool fullScreen, uint32_t display)
    : LFrame(upper, nullptr, SpecFor(fullScreen)), fFullScreen(fullScreen), fDisplay(display) {
    PLAT_DCHECK_MAIN_THREAD();
    fRender = new COutRenderWin(this, engine);
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    SetWindowTitle(strings.GetString(0));
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    if (!Window()) return;
    if (!fFullScreen) {
        FitWindowToLayout();
        return;
    }
    // Full screen: no menu strip above the picture, and the screen's size whatever the layout
    // prefers (a window that cannot be resized is fitted to its layout when that changes).
    if (plat::Window* native = Window()->NativeWindow()) {
        native->SetHasMenuStrip(false);
        native->SetStyleMask(native->StyleMask() | plat::kResizableWindowMask);
    }
    CLRect screen;
    if (!ScreenBounds(fDisplay ? fDisplay : 1, false, &screen)) (void)ScreenBounds(1, false, &screen);
    if (!screen.IsEmpty()) SetWindowFrame(screen);
}

CMonitorWin::~CMonitorWin() {
    PLAT_DCHECK_MAIN_THREAD();
    // The render pane stops its thread before anything else of the window goes.
    delete fRender;
    fRender = nullptr;
}

LMessage CMonitorWin::Handle(const LMessage& msg) {
    // No size limits of its own: back to the placer unanswered.
    if (msg.Is(LWindowPlacer_Grow)) return msg.Retarget(msg.sender);
    return LFrame::Handle(msg);
}

void CMonitorWin::DescriptionPrefer(LDrawContext& ctx, LLayoutDesc& desc) {
    LFrame::DescriptionPrefer(ctx, desc);
    if (fViewWidth > 0 && fViewHeight > 0) {
        desc.DefineVariable(LString("vw"), fViewWidth);
        desc.DefineVariable(LString("vh"), fViewHeight);
    }
}

CLRect CMonitorWin::ContentRect() const {
    LWindowServices* services = LWindowServices::Get();
    return Window() && services ? services->ContentRect(Window()) : CLRect();
}

CLRect CMonitorWin::ViewBounds() const {
    return fRender ? fRender->Bounds() : CLRect();
}

void CMonitorWin::SetViewSize(int32_t width, int32_t height) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!Window() || width <= 0 || height <= 0) return;
    fViewWidth = width;
    fViewHeight = height;
    LPanePort port(this);
    LDrawContext ctx(port);
    const int32_t w = HasLayout() ? PreferredWidth(ctx, 0) : width;
    const int32_t h = HasLayout() ? PreferredHeight(ctx, 0) : height;
    const CLRect content = ContentRect();
    const CLRect wanted{content.left, content.top, content.left + std::max(w, 1),
                        content.top + std::max(h, 1)};
    SetWindowFrame(ConstrainRect(Window(), wanted));
}

bool CMonitorWin::IsOnScreen(const CLRect& rect) {
    for (uint32_t display = 1;; ++display) {
        CLRect screen;
        if (!ScreenBounds(display, false, &screen)) return false;
        const int32_t w = std::min(rect.right, screen.right) - std::max(rect.left, screen.left);
        const int32_t h = std::min(rect.bottom, screen.bottom) - std::max(rect.top, screen.top);
        if (w >= kMinOnScreen && h >= kMinOnScreen) return true;
    }
}

bool CMonitorWin::IsProperPlace(const CLRect& r) {
    constexpr int32_t kLimit = 1 << 20;
    for (const int32_t v : {r.left, r.top, r.right, r.bottom})
        if (v < -kLimit || v > kLimit) return false;
    return r.left < r.right && r.top < r.bottom && IsOnScreen(r);
}

void CMonitorWin::PlaceOnScreen(const CLRect& rect) {
    PLAT_DCHECK_MAIN_THREAD();
    if (rect.IsEmpty() || !Window()) return;
    if (IsOnScreen(rect)) {
        SetWindowFrame(rect);
        return;
    }
    // Off every screen: onto the main display at the same size, then inside its visible part.
    CLRect main;
    CLRect moved = rect;
    if (ScreenBounds(1, true, &main)) moved.Shift(main.left - rect.left, main.top - rect.top);
    SetWindowFrame(ConstrainRect(Window(), moved));
}

void CMonitorWin::SetFixedSize(bool fixed) {
    PLAT_DCHECK_MAIN_THREAD();
    if (fFullScreen || !Window() || !Window()->NativeWindow()) return;
    plat::Window* native = Window()->NativeWindow();
    const uint32_t style = native->StyleMask();
    native->SetStyleMask(fixed ? style & ~uint32_t(plat::kResizableWindowMask)
                               : style | plat::kResizableWindowMask);
}
