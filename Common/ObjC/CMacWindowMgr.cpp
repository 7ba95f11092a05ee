#include "Common/ObjC/CMacWindowMgr.h"

#include <algorithm>

#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacMainLoopUI.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/MCocoaU.h"
#include "Common/ObjC/MWindowBridge.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/CLRectConvert.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/Mac/GetEventTimeMs.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Cursor.h"
#include "Platform/AppKit/NotificationCenter.h"
#include "Platform/AppKit/Screen.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Graphics/DrawContext.h"

namespace {

CMacWindowMgr* gWindowMgr = nullptr;
LHandler* gViewPrefs = nullptr;

constexpr LMsgId kViewPrefsChanged{"CViewPrefs_Changed"};

const char* const kListNotes[] = {
    plat::kWindowDidBecomeKeyNotification, plat::kWindowDidBecomeMainNotification,
    plat::kWindowDidResignKeyNotification, plat::kWindowDidResignMainNotification,
    plat::kWindowWillCloseNotification,
};

void EndSession(LWindow* window) {
    if (auto* loop = CMacMainLoop::Get()) loop->EndModalSession(window->NativeWindow());
}

void TellViewPrefs(LWindow* window) {
    if (gViewPrefs) LHandler::Dispatch(LMessage(kViewPrefsChanged, gViewPrefs, window->Upper()));
}

}  // namespace

CMacWindowMgr::CMacWindowMgr() {
    PLAT_DCHECK_MAIN_THREAD();
    gWindowMgr = this;
    LWindowServices::Install(this);
    InstallWindowBridge();
    if (!CMainLoopUI::Get()) {
        mUI = std::make_unique<CMacMainLoopUI>();
        CMainLoopUI::Install(mUI.get());
    }
    for (const char* note : kListNotes)
        plat::NotificationCenter::Default().AddObserver(this, &WindowListMayChange, note, nullptr);
}

CMacWindowMgr::~CMacWindowMgr() {
    plat::NotificationCenter::Default().RemoveObserver(this);
    if (gWindowMgr == this) gWindowMgr = nullptr;
    if (LWindowServices::Get() == this) LWindowServices::Install(nullptr);
    if (mUI && CMainLoopUI::Get() == mUI.get()) CMainLoopUI::Install(nullptr);
}

CMacWindowMgr* CMacWindowMgr::Get() {
    return gWindowMgr;
}

void CMacWindowMgr::SetViewPrefs(LHandler* viewPrefs) {
    PLAT_DCHECK_MAIN_THREAD();
    gViewPrefs = viewPrefs;
}

void CMacWindowMgr::OrderChanged() {
    PLAT_DCHECK_MAIN_THREAD();
    EmptyCache();
    LTimer::RequestRearm();  // timers held behind a modal window may be free now
}

void CMacWindowMgr::WindowListMayChange(const char*, const void*, void* self) {
    PLAT_DCHECK_MAIN_THREAD();
    static_cast<CMacWindowMgr*>(self)->EmptyCache();
}

plat::Ref<plat::Window> CMacWindowMgr::CreateNativeWindow(LWindow* window, const LHandleBase& kindObject) {
    PLAT_DCHECK_MAIN_THREAD();
    EmptyCache();
    // Window kind objects are CMacWindowKind blocks (see LFrameSpec).
    const CMacWindowKind* kind = CMacWindowKindH::From(kindObject);
    if (!kind) return nullptr;
    plat::Ref<plat::Window> native = kind->CreateNativeWindow();
    // Document windows show the menu bar as a strip above their content.
    if (native && window && window->Kind() == LWindow::kDocument) native->SetHasMenuStrip(true);
    return native;
}

void CMacWindowMgr::ForgetNativeWindow(LWindow* window) {
    PLAT_DCHECK_MAIN_THREAD();
    EndSession(window);
    OrderChanged();
}

void CMacWindowMgr::Show(LWindow* window) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Window* w = window->NativeWindow();
    if (!w) return;
    plat::Application* app = plat::Application::Shared();
    if (window->Kind() == LWindow::kModal && app->IsHidden()) return;
    if (!w->IsVisible()) TellViewPrefs(window);
    if (window->Kind() == LWindow::kFloating) {
        w->OrderFront();
        LHandler::Dispatch(LMessage(LWindow_Activate, window, window->Upper()));
    } else if (!w->IsKeyWindow()) {
        w->MakeKeyAndOrderFront();
    }
    OrderChanged();
    WaitUntilListed(w);
}

void CMacWindowMgr::ShowBehind(LWindow* window) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Window* w = window->NativeWindow();
    if (!w || w->IsVisible()) return;
    TellViewPrefs(window);
    if (!w->IsMiniaturized()) {
        LWindow* same = FrontWindowOfKind(window->Kind());
        if (same && same != window)
            w->OrderWindow(plat::WindowOrder::kBelow, same->NativeWindow()->Number());
        else
            w->OrderFront();
        if (window->Kind() == LWindow::kFloating)
            LHandler::Dispatch(LMessage(LWindow_Activate, window, window->Upper()));
    }
    OrderChanged();
    WaitUntilListed(w);
}

void CMacWindowMgr::Hide(LWindow* window) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Window* w = window->NativeWindow();
    if (!w) return;
    EndSession(window);
    w->OrderOut();
    OrderChanged();
}

void CMacWindowMgr::OrderBelow(LWindow* window, LWindow* other) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Window* w = window->NativeWindow();
    plat::Window* o = other ? other->NativeWindow() : nullptr;
    if (!w || !o) return;
    w->OrderWindow(plat::WindowOrder::kBelow, o->Number());
    OrderChanged();
    WaitUntilListed(w);
}

const std::vector<int64_t>& CMacWindowMgr::WindowNumbers() {
    PLAT_DCHECK_MAIN_THREAD();
    if (mNumbers.empty()) mNumbers = plat::Application::Shared()->WindowNumbers();
    return mNumbers;
}

plat::Window* CMacWindowMgr::FirstNativeWindow() {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Application* app = plat::Application::Shared();
    for (int64_t n : WindowNumbers())
        if (plat::Window* w = app->WindowWithNumber(n)) return w;
    return nullptr;
}

plat::Window* CMacWindowMgr::NextNativeWindow(plat::Window* after) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!after) return nullptr;
    plat::Application* app = plat::Application::Shared();
    const std::vector<int64_t> numbers = WindowNumbers();
    size_t i = 0;
    while (i + 1 < numbers.size() && numbers[i] != after->Number()) ++i;
    if (i + 1 >= numbers.size()) return nullptr;
    for (++i; i < numbers.size(); ++i)
        if (plat::Window* w = app->WindowWithNumber(numbers[i])) return w;
    return nullptr;
}

bool CMacWindowMgr::Listed(int64_t number) {
    PLAT_DCHECK_MAIN_THREAD();
    EmptyCache();
    const std::vector<int64_t>& numbers = WindowNumbers();
    return std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

void CMacWindowMgr::WaitUntilListed(plat::Window* native) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Application* app = plat::Application::Shared();
    if (!native || native->Number() < 1 || app->IsHidden()) return;
    int64_t start = GetEventTimeMs();
    // Also bounded by tries, for clocks that stand still.
    for (int tries = 0; !Listed(native->Number()); ++tries) {
        if (GetEventTimeMs() - start >= 1000 || tries >= 1000) return;
        app->NextEvent(0, plat::ClockNow() + 0.001, plat::kRunLoopDefaultMode, false, nullptr);
    }
}

LWindow* CMacWindowMgr::NextVisibleWindow(LWindow* after) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Window* w = after ? NextNativeWindow(after->NativeWindow()) : FirstNativeWindow();
    for (; w; w = NextNativeWindow(w)) {
        if (!w->IsVisible()) continue;
        if (LWindow* lw = LWindow::FindWindow(w)) return lw;
    }
    return nullptr;
}

LWindow* CMacWindowMgr::WindowAt(CLPoint global) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Application* app = plat::Application::Shared();
    plat::Point p{double(global.x), double(global.y)};
    for (int64_t n : WindowNumbers()) {
        plat::Window* w = app->WindowWithNumber(n);
        if (!w || w->IgnoresMouseEvents()) continue;
        if (w->ContentRect().Contains(p)) return LWindow::FindWindow(w);
    }
    return nullptr;
}

CLRect CMacWindowMgr::ContentRect(const LWindow* window) const {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Window* w = window ? window->NativeWindow() : nullptr;
    return w ? ToCLRect(w->ContentRect()) : CLRect{};
}

CLRect CMacWindowMgr::FrameRect(const LWindow* window) const {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Window* w = window ? window->NativeWindow() : nullptr;
    return w ? ToCLRect(w->Frame()) : CLRect{};
}

void CMacWindowMgr::SetContentRect(LWindow* window, const CLRect& content) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Window* w = window ? window->NativeWindow() : nullptr;
    if (!w) return;
    w->SetFrame(w->FrameRectForContentRect(ToPlatRect(content)), true);
}

CLRect CMacWindowMgr::FrameForContent(const LWindow* window, const CLRect& content) const {
    plat::Window* w = window ? window->NativeWindow() : nullptr;
    if (!w) return content;
    return ToCLRect(w->FrameRectForContentRect(ToPlatRect(content)));
}

bool CMacWindowMgr::IsVisible(const LWindow* window) const {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Window* w = window ? window->NativeWindow() : nullptr;
    return w && w->IsVisible();
}

bool CMacWindowMgr::IsClosable(const LWindow* window) const {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Window* w = window ? window->NativeWindow() : nullptr;
    return w && (w->StyleMask() & plat::kClosableWindowMask);
}

bool CMacWindowMgr::IsResizable(const LWindow* window) const {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Window* w = window ? window->NativeWindow() : nullptr;
    return w && (w->StyleMask() & plat::kResizableWindowMask);
}

void CMacWindowMgr::MakeKey(LWindow* window) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Window* w = window ? window->NativeWindow() : nullptr;
    if (w && window->Kind() == LWindow::kFloating) w->MakeKeyWindow();
}

void CMacWindowMgr::DisplayNow(LWindow* window) {
    PLAT_DCHECK_MAIN_THREAD();
    if (plat::Window* w = window ? window->NativeWindow() : nullptr) w->Display();
}

void CMacWindowMgr::InvalidateRect(LWindow* window, const CLRect& area) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Window* w = window ? window->NativeWindow() : nullptr;
    if (w && w->ContentView()) w->ContentView()->SetNeedsDisplayInRect(ToPlatRect(area));
}

void CMacWindowMgr::SetTitle(LWindow* window, const char* title) {
    PLAT_DCHECK_MAIN_THREAD();
    if (plat::Window* w = window ? window->NativeWindow() : nullptr) w->SetTitle(title ? title : "");
}

CLRect CMacWindowMgr::ScreensUnion() const {
    CLRect all;
    for (const plat::Screen& s : plat::Screens()) all.Union(ToCLRect(s.visibleFrame));
    return all;
}

CLRect CMacWindowMgr::MainDisplayBounds() const {
    plat::Screen s;
    return plat::FirstScreen(&s) ? ToCLRect(s.frame) : CLRect{};
}

CLRect CMacWindowMgr::DisplayOverlapping(const CLRect& r) const {
    CLRect best = MainDisplayBounds();
    int64_t bestArea = 0;
    for (const plat::Screen& s : plat::Screens()) {
        const CLRect d = ToCLRect(s.frame);
        const int64_t w = int64_t{std::min(d.right, r.right)} - std::max(d.left, r.left);
        const int64_t h = int64_t{std::min(d.bottom, r.bottom)} - std::max(d.top, r.top);
        if (w > 0 && h > 0 && w * h > bestArea) {
            bestArea = w * h;
            best = d;
        }
    }
    return best;
}

CLRect CMacWindowMgr::DisplaysUnion(bool withMain) const {
    CLRect all;
    bool first = true;
    for (const plat::Screen& s : plat::Screens()) {
        if (first && !withMain) {
            first = false;
            continue;
        }
        first = false;
        all.Union(ToCLRect(s.frame));
    }
    return all;
}

bool CMacWindowMgr::HasSecondDisplay() const {
    return plat::Screens().size() > 1;
}

bool CMacWindowMgr::IsKey(const LWindow* window) const {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Window* w = window ? window->NativeWindow() : nullptr;
    return w && w->IsKeyWindow();
}

LWindow* CMacWindowMgr::KeyWindow() {
    PLAT_DCHECK_MAIN_THREAD();
    return LWindow::FindWindow(plat::Application::Shared()->KeyWindow());
}

void CMacWindowMgr::SetResizable(LWindow* window, bool resizable) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Window* w = window ? window->NativeWindow() : nullptr;
    if (!w) return;
    uint32_t style = w->StyleMask() & ~uint32_t(plat::kResizableWindowMask);
    w->SetStyleMask(resizable ? style | plat::kResizableWindowMask : style);
}

// The pass's context with the clip of the rectangles being drawn, when the window's content view is
// the one being drawn.
bool CMacWindowMgr::DrawingOf(LWindow* window, plat::DrawContext** native, CRgn* area) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Window* w = window ? window->NativeWindow() : nullptr;
    plat::View* focus = plat::View::FocusView();
    if (!w || !focus || focus != w->ContentView() || !plat::CurrentDrawContext()) return false;
    CRgn rgn;
    for (const plat::Rect& r : focus->RectsBeingDrawn()) rgn |= CRgn(MCocoaU::ConvertToCLRect(r));
    *native = plat::CurrentDrawContext();
    *area = rgn;
    return true;
}

void CMacWindowMgr::SetArrowCursor() {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Cursor::Arrow()->Set();
}
