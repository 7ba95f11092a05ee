#include "Platform/AppKit/Window.h"

#include <cmath>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/MenuDrawing.h"
#include "Platform/AppKit/MenuStrip.h"
#include "Platform/AppKit/NotificationCenter.h"
#include "Platform/AppKit/TextView.h"
#include "Platform/AppKit/View.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Graphics/DrawContext.h"

namespace plat {

namespace {

int64_t gNextNumber = 0;
bool gInPass = false;

int32_t Pixels(double v) {
    double c = std::ceil(v);
    return c < 1 ? 1 : c > 16384 ? 16384 : int32_t(c);
}

double TitleBar(uint32_t style) {
    if (!(style & kTitledWindowMask)) return 0;
    return (style & kUtilityWindowMask) ? kUtilityTitleBarHeight : kTitleBarHeight;
}

void Tell(Window* w, Backend::WindowChange change) {
    if (Backend* b = CurrentBackend()) b->WindowChanged(w, change);
}

}  // namespace

Ref<Window> Window::Create(const Rect& contentRect, uint32_t styleMask) {
    PLAT_DCHECK_MAIN_THREAD();
    return Adopt(new Window(contentRect, styleMask, false));
}

Ref<Window> Window::CreatePanel(const Rect& contentRect, uint32_t styleMask) {
    PLAT_DCHECK_MAIN_THREAD();
    return Adopt(new Window(contentRect, styleMask, true));
}

Window::Window(const Rect& contentRect, uint32_t style, bool panel)
    : fNumber(++gNextNumber),
      fPanel(panel),
      fStyle(style),
      fFrame(FrameRectForContentRect(contentRect, style)) {
    PLAT_DCHECK_MAIN_THREAD();
    Application::Shared()->fAll.push_back(this);
    Tell(this, Backend::kCreated);
}

Window::~Window() {
    Application::Shared()->WindowGone(this);
    Tell(this, Backend::kDestroyed);
    fFirstResponder = nullptr;
    if (fContentView) fContentView->AttachWindow(nullptr);
}

Rect Window::FrameRectForContentRect(const Rect& content) const {
    Rect f = FrameRectForContentRect(content, fStyle);
    const double strip = StripHeight();
    return {f.x, f.y - strip, f.width, f.height + strip};
}

Rect Window::ContentRectForFrameRect(const Rect& frame) const {
    const double strip = StripHeight();
    Rect c = ContentRectForFrameRect({frame.x, frame.y + strip, frame.width, frame.height - strip}, fStyle);
    if (!(c.height > 0)) c.height = 0;
    return c;
}

double Window::StripHeight() const {
    return fStrip ? kMenuStripHeight : 0;
}

Rect Window::NativeRect() const {
    Rect c = ContentRect();
    const double strip = StripHeight();
    return {c.x, c.y - strip, c.width, c.height + strip};
}

void Window::SetHasMenuStrip(bool has) {
    PLAT_DCHECK_MAIN_THREAD();
    if (has == bool(fStrip)) return;
    const Rect content = ContentRect();
    if (has)
        fStrip = std::make_unique<MenuStrip>(this);
    else
        fStrip.reset();
    fFrame = FrameRectForContentRect(content);
    Tell(this, Backend::kFrame);
}

Rect Window::FrameRectForContentRect(const Rect& content, uint32_t style) {
    double bar = TitleBar(style);
    return {content.x, content.y - bar, content.width, content.height + bar};
}

Rect Window::ContentRectForFrameRect(const Rect& frame, uint32_t style) {
    double bar = TitleBar(style);
    double h = frame.height - bar;
    return {frame.x, frame.y + bar, frame.width, h > 0 ? h : 0};
}

void Window::RegisterForDraggedTypes(const std::vector<std::string>& types) {
    PLAT_DCHECK_MAIN_THREAD();
    for (const std::string& t : types) {
        bool held = false;
        for (const std::string& h : fDraggedTypes) held = held || h == t;
        if (!held && !t.empty()) fDraggedTypes.push_back(t);
    }
}

Point Window::ConvertToScreen(Point p) const {
    Rect c = ContentRect();
    return {p.x + c.x, p.y + c.y};
}

Point Window::ConvertFromScreen(Point p) const {
    Rect c = ContentRect();
    return {p.x - c.x, p.y - c.y};
}

void Window::SetStyleMask(uint32_t style) {
    PLAT_DCHECK_MAIN_THREAD();
    Rect content = ContentRect();
    fStyle = style;
    fFrame = FrameRectForContentRect(content);
    Tell(this, Backend::kStyle);
}

void Window::SetLevel(int32_t level) {
    PLAT_DCHECK_MAIN_THREAD();
    fLevel = level;
    if (fVisible) Application::Shared()->Restack(this, WindowOrder::kAbove, 0);
}

void Window::SetFrame(const Rect& frame, bool display) {
    PLAT_DCHECK_MAIN_THREAD();
    Rect old = fFrame;
    fFrame = frame;
    if (fContentView) {
        Rect c = ContentRect();
        fContentView->SetFrame({0, 0, c.width, c.height});
    }
    if (fBacking) {
        Rect c = ContentRect();
        const double scale = fBacking->DeviceScale();
        if (fBacking->Width() != int32_t(Pixels(c.width) * scale) ||
            fBacking->Height() != int32_t(Pixels(c.height) * scale)) {
            fBacking = nullptr;
            // The new store is blank: every view draws again, not only the content view.
            std::vector<View*> stack;
            if (fContentView) stack.push_back(fContentView.get());
            while (!stack.empty()) {
                View* v = stack.back();
                stack.pop_back();
                v->SetNeedsDisplay(true);
                for (const Ref<View>& sub : v->Subviews()) stack.push_back(sub.get());
            }
            ContentNeedsDisplay({0, -StripHeight(), c.width, c.height + StripHeight()});
        }
    }
    Tell(this, Backend::kFrame);
    if (fDelegate && (old.width != frame.width || old.height != frame.height))
        fDelegate->WindowDidResize(this);
    if (fDelegate && (old.x != frame.x || old.y != frame.y)) fDelegate->WindowDidMove(this);
    if (display) Display();
}

void Window::SetTitle(const std::string& title) {
    PLAT_DCHECK_MAIN_THREAD();
    fTitle = title;
    Tell(this, Backend::kTitle);
}

void Window::SetMiniaturized(bool miniaturized) {
    PLAT_DCHECK_MAIN_THREAD();
    if (fClosed) return;
    const bool was = fMiniaturized;
    fMiniaturized = miniaturized;
    if (miniaturized) {
        Application::Shared()->Restack(this, WindowOrder::kOut, 0);
    } else if (was) {
        // Back from the icon, in front.
        if (CanBecomeKey())
            MakeKeyAndOrderFront();
        else
            OrderFront();
    }
}

bool Window::IsKeyWindow() const {
    PLAT_DCHECK_MAIN_THREAD();
    return Application::Shared()->KeyWindow() == this;
}

bool Window::IsMainWindow() const {
    PLAT_DCHECK_MAIN_THREAD();
    return Application::Shared()->MainWindow() == this;
}

bool Window::CanBecomeKey() const {
    PLAT_DCHECK_MAIN_THREAD();
    return !fClosed && (fStyle & (kTitledWindowMask | kResizableWindowMask)) != 0;
}

bool Window::CanBecomeMain() const {
    PLAT_DCHECK_MAIN_THREAD();
    return !fPanel && CanBecomeKey();
}

void Window::OrderFront() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fClosed) return;
    fMiniaturized = false;
    Application::Shared()->Restack(this, WindowOrder::kAbove, 0);
    Application::Shared()->PickKeyAndMain();
}

void Window::MakeKeyAndOrderFront() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fClosed) return;
    fMiniaturized = false;
    Application::Shared()->Restack(this, WindowOrder::kAbove, 0);
    MakeKeyWindow();
    MakeMainWindow();
}

void Window::MakeKeyWindow() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fVisible && CanBecomeKey()) Application::Shared()->SetKey(this);
}

void Window::MakeMainWindow() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fVisible && CanBecomeMain()) Application::Shared()->SetMain(this);
}

void Window::OrderOut() {
    PLAT_DCHECK_MAIN_THREAD();
    Application::Shared()->Restack(this, WindowOrder::kOut, 0);
}

void Window::OrderWindow(WindowOrder place, int64_t relativeTo) {
    PLAT_DCHECK_MAIN_THREAD();
    if (fClosed) return;
    Application::Shared()->Restack(this, place, relativeTo);
    if (place != WindowOrder::kOut) Application::Shared()->PickKeyAndMain();
}

void Window::PerformClose() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fDelegate && !fDelegate->WindowShouldClose(this)) return;
    Close();
}

void Window::Close() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fClosed) return;
    if (fDelegate) fDelegate->WindowWillClose(this);
    NotificationCenter::Default().Post(kWindowWillCloseNotification, this);
    OrderOut();
    fClosed = fReleasedWhenClosed;
}

void Window::SetContentView(View* view) {
    PLAT_DCHECK_MAIN_THREAD();
    if (view == fContentView) return;
    Ref<View> keep(view);
    if (fContentView) fContentView->AttachWindow(nullptr);
    fContentView = std::move(keep);
    if (view) {
        view->RemoveFromSuperview();
        view->AttachWindow(this);
        Rect c = ContentRect();
        view->SetFrame({0, 0, c.width, c.height});
    }
}

void Window::SetFloatingPanel(bool floating) {
    PLAT_DCHECK_MAIN_THREAD();
    fFloatingPanel = floating;
    SetLevel(floating ? kFloatingWindowLevel : kNormalWindowLevel);
}

void Window::Display() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fVisible || gInPass) return;
    Ref<Window> keep = RetainRef(this);
    gInPass = true;
    if (fContentView) fContentView->DisplayIfNeeded();
    gInPass = false;
    if (fStrip && fStrip->NeedsDisplay())
        fDamage = fDamage.Union({0, -StripHeight(), ContentRect().width, StripHeight()});
    const Rect damage = fDamage;
    fDamage = {};
    if (!damage.IsEmpty())
        if (Backend* b = CurrentBackend()) b->PresentWindow(this, damage);
}

bool Window::NeedsDisplay() const {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fDamage.IsEmpty() || (fStrip && fStrip->NeedsDisplay())) return true;
    if (!fContentView) return false;
    std::vector<const View*> stack{fContentView.get()};
    while (!stack.empty()) {
        const View* v = stack.back();
        stack.pop_back();
        if (v->NeedsDisplay()) return true;
        for (const Ref<View>& s : v->Subviews()) stack.push_back(s.get());
    }
    return false;
}

DrawContext* Window::BackingStore() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fBacking) {
        Rect c = ContentRect();
        Backend* b = CurrentBackend();
        const double scale = CurrentBackingScale();
        const int32_t w = int32_t(Pixels(c.width) * scale), h = int32_t(Pixels(c.height) * scale);
        fBacking = b ? b->CreateBackingStore(this, w, h) : DrawContext::CreateImage(w, h);
        if (fBacking && scale != 1) fBacking->SetDeviceScale(scale);
    }
    return fBacking.get();
}

View* Window::FirstResponder() const {
    PLAT_DCHECK_MAIN_THREAD();
    if (fFirstResponder && fFirstResponder->GetWindow() == this) return fFirstResponder.get();
    return fContentView.get();
}

bool Window::MakeFirstResponder(View* view) {
    PLAT_DCHECK_MAIN_THREAD();
    if (view && view->GetWindow() != this) return false;
    if (view && view == fFirstResponder.get()) return true;
    Ref<View> old = fFirstResponder;
    if (old && old->GetWindow() == this && !old->ResignFirstResponder()) return false;
    if (fFirstResponder == old) fFirstResponder = nullptr;
    View* taker = view ? view->BecomeFirstResponder() : nullptr;
    if (view && !taker) return false;
    fFirstResponder = RetainRef(taker);
    return true;
}

TextView* Window::FieldEditor(bool create, TextField* client) {
    PLAT_DCHECK_MAIN_THREAD();
    if (fDelegate)
        if (TextView* editor = fDelegate->WindowWillReturnFieldEditor(this, client)) return editor;
    if (!fFieldEditor && create) {
        fFieldEditor = TextView::Create({0, 0, 1, 1});
        fFieldEditor->SetFieldEditor(true);
    }
    return fFieldEditor.get();
}

Size Window::ResizeByUser(Size proposed) {
    PLAT_DCHECK_MAIN_THREAD();
    Size size = fDelegate ? fDelegate->WindowWillResize(this, proposed) : proposed;
    if (!(size.width >= 0)) size.width = 0;
    if (!(size.height >= 0)) size.height = 0;
    SetFrame({fFrame.x, fFrame.y, size.width, size.height}, false);
    return size;
}

void Window::ContentNeedsDisplay(const Rect& area) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!area.IsEmpty()) fDamage = fDamage.Union(area);
    Tell(this, Backend::kNeedsDisplay);
}

Ref<GLSurface> Window::CreateGLSurface(GLPixelFormat* format, int32_t width, int32_t height) {
    Backend* b = CurrentBackend();
    return b ? b->CreateGLSurface(this, format, width, height)
             : GLSurface::CreateOffscreen(format, width, height);
}

void Window::GLSurfaceNeedsDisplay(GLSurface*) {
    if (fContentView)
        fContentView->SetNeedsDisplay(true);
    else
        ContentNeedsDisplay(Rect{0, 0, fFrame.width, fFrame.height});
}

}  // namespace plat
