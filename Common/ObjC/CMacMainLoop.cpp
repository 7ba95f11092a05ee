#include "Common/ObjC/CMacMainLoop.h"

#include <algorithm>
#include <cmath>

#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/CMacMenuBridge.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/ObjC/MCocoaU.h"
#include "Common/ObjC/MMainMenu.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LRsrcImage.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/Mac/CMacTimer.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/AppKit/NotificationCenter.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"

namespace {

constexpr double kParked = 3153600000.0;  // about a century
constexpr uint32_t kMinWaitMs = 10;
constexpr uint32_t kMaxModalWaitMs = 1000;
constexpr double kWheelMerge = 0.01;

CMacMainLoop* gMacLoop = nullptr;
CMacMainLoop::CursorUpdate gCursorUpdate = nullptr;
bool gCursorSuppressed = false;

// Toward zero, after dropping the rounding noise of summed fractions (ten times 0.4 is 4, not 3).
int32_t Truncate(double v) {
    if (!(v == v)) return 0;
    v = std::round(v * 1e6) / 1e6;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return int32_t(-2147483647 - 1);
    return int32_t(std::trunc(v));
}

// F1 to F35 (U+F704 to U+F726 in the key's text).
bool IsFunctionKey(const plat::Event& event) {
    const std::string& t = event.charactersIgnoringModifiers;
    if (t.size() != 3 || uint8_t(t[0]) != 0xEF) return false;
    const uint32_t c =
        ((uint8_t(t[0]) & 0x0F) << 12) | ((uint8_t(t[1]) & 0x3F) << 6) | (uint8_t(t[2]) & 0x3F);
    return c >= 0xF704 && c <= 0xF726;
}

}  // namespace

LHandler* CMacMainLoop::FrontModalOwner() {
    CMacWindowMgr* mgr = CMacWindowMgr::Get();
    LWindow* front = mgr ? mgr->FrontWindowOfKind(LWindow::kModal) : nullptr;
    return front ? front->Upper() : CMainLoopBase::FrontModalOwner();
}

CMacMainLoop::CMacMainLoop(LHandler* root) : CMainLoopBase(root) {
    PLAT_DCHECK_MAIN_THREAD();
    if (AppDelegate* d = AppDelegate::Get()) d->SetMain(this);
    plat::Application::Shared()->SetKeyEquivalentHook(&KeyEquivalent, this);
    gMacLoop = this;
    CMacMenuBridge::InstallFactory(true);
    mMenuBar = new LMenuBar(this, SRsrcRequest("APP"));
    // Every window shows the application's picture as its icon.
    const LRsrcImage icon(SRsrcRequest("APP"));
    plat::BitmapImage* native = nullptr;
    if (icon.GetNativeImage(native) && native) plat::Application::Shared()->SetApplicationIconImage(native);
    if (AppDelegate* d = AppDelegate::Get()) {
        plat::NotificationCenter::Default().AddObserver(d, &AppDelegate::MenuAction,
                                                        plat::kMenuDidSendActionNotification, nullptr);
        plat::NotificationCenter::Default().AddObserver(d, &AppDelegate::MenuBarTracking,
                                                        plat::kMenuDidBeginTrackingNotification, nullptr);
    }
}

CMacMainLoop::~CMacMainLoop() {
    plat::Application* app = plat::Application::Shared();
    app->SetKeyEquivalentHook(nullptr, nullptr);
    if (AppDelegate* d = AppDelegate::Get()) {
        plat::NotificationCenter::Default().RemoveObserver(d);
        d->SetMain(nullptr);
    }
    delete mMenuBar;
    mMenuBar = nullptr;
    CMacMenuBridge::InstallFactory(false);
    if (mIdle) {
        mIdle->Invalidate();
        mIdle = nullptr;
    }
    for (Session& s : mSessions) app->EndModalSession(s.session);
    mSessions.clear();
    if (gMacLoop == this) gMacLoop = nullptr;
}

CMacMainLoop* CMacMainLoop::Get() {
    return gMacLoop;
}

LMessage CMacMainLoop::Handle(const LMessage& msg) {
    PLAT_DCHECK_MAIN_THREAD();
    if (msg.Is(CMainLoopBase_Quit) && msg.sender == this) {
        mQuitPending = false;
        return LMessage();
    }
    return CMainLoopBase::Handle(msg);
}

bool CMacMainLoop::KeyEquivalent(const plat::Event& event, void*) {
    // Only keys with Command, Control or Option, and function keys: plain typing goes to the window.
    const uint32_t menuMods = plat::kCommandKeyMask | plat::kControlKeyMask | plat::kAlternateKeyMask;
    if (!(event.modifierFlags & menuMods) && !IsFunctionKey(event)) return false;
    return MMainMenu::PerformKeyEquivalent(event);
}

void CMacMainLoop::Quit() {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Application::Shared()->Terminate();
}

void CMacMainLoop::RequestUpdate() {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Application::Shared()->SetWindowsNeedUpdate(true);
}

CMacTimer* CMacMainLoop::CreateTimer(TimerCallback callback, void* context) {
    return new CMacTimer(callback, context);
}

void CMacMainLoop::Arm(double seconds) {
    if (!mIdle) {
        mIdle = plat::RunLoopTimer::Create(plat::ClockNow() + kParked, kParked, &IdleFired, this);
        (void)plat::RunLoop::Main()->AddTimer(mIdle.get(), plat::kRunLoopCommonModes);  // new: cannot fail
    }
    mIdle->SetNextFireDate(plat::ClockNow() + seconds);
}

double CMacMainLoop::IdleTimerDelay() const {
    if (!mIdle) return -1;
    double d = mIdle->NextFireDate() - plat::ClockNow();
    return d >= kParked / 2 ? -1 : d;
}

// A pass already pending keeps its (sooner) arming. Otherwise a timer that may fire now gives a
// pass at once; else the next due time, never sooner than 10 ms; nothing due parks the timer.
void CMacMainLoop::RearmIdleTimer() {
    PLAT_DCHECK_MAIN_THREAD();
    if (mPending) return;
    uint32_t ms = LTimer::TimeToNext(ModalTop(), FrontModalOwner(), IsActive());
    if (ms == 0) {
        mPending = true;
        Arm(0);
        return;
    }
    if (ms == LTimer::kForever) {
        Arm(kParked);
        return;
    }
    Arm(double(std::max(ms, kMinWaitMs)) * 0.001);
}

void CMacMainLoop::IdleFired(plat::RunLoopTimer*, void* self) {
    static_cast<CMacMainLoop*>(self)->IdleCallback();
}

void CMacMainLoop::IdleCallback() {
    plat::AutoreleasePool pool;
    DeliverWheel();
    mPending = false;
    IdlePass();
    mPending = false;
    RearmIdleTimer();
    UpdateCursor();
}

void CMacMainLoop::SetCursorUpdate(CursorUpdate update) {
    PLAT_DCHECK_MAIN_THREAD();
    gCursorUpdate = update;
}

void CMacMainLoop::SuppressCursorUpdates(bool suppress) {
    PLAT_DCHECK_MAIN_THREAD();
    gCursorSuppressed = suppress;
}

void CMacMainLoop::UpdateCursor() {
    PLAT_DCHECK_MAIN_THREAD();
    if (gCursorSuppressed || plat::RunLoop::Main()->CurrentMode() == plat::kEventTrackingRunLoopMode) return;
    // Screen coordinates are global (top-left) already.
    mMouse = MCocoaU::ToCLPoint(plat::Application::Shared()->MouseLocation());
    if (gCursorUpdate) gCursorUpdate(mMouse);
    if (LMouse* mouse = LMouse::Get()) {
        mouse->SetLocation(mMouse);
        mouse->UpdateCursor(AppRoot());
    }
}

void CMacMainLoop::DeliverWheel() {
    if (mWheelX == 0 && mWheelY == 0) return;
    SWheel wheel{mWheelWindow, mWheelLocation, mWheelModifiers, Truncate(mWheelX), Truncate(mWheelY)};
    mWheelX = mWheelY = 0;
    if (wheel.deltaX == 0 && wheel.deltaY == 0) return;
    LWindow* window = LWindow::FindWindow(plat::Application::Shared()->WindowWithNumber(wheel.windowNumber));
    if (!window) return;
    mLastWheel = wheel;
    if (LMouse* mouse = LMouse::Get())
        mouse->SetWheel(wheel.location, wheel.deltaX, wheel.deltaY, wheel.modifiers);
    LHandler::Dispatch(LMessage(LWindow_Wheel, window, window->Upper()));
}

void CMacMainLoop::ScrollWheel(const plat::Event& event) {
    PLAT_DCHECK_MAIN_THREAD();
    double dx, dy;
    if (event.hasScrollingDeltas) {
        dx = event.scrollingDeltaX;
        dy = event.scrollingDeltaY;
        if (!event.hasPreciseScrollingDeltas) {
            dx *= 20;
            dy *= 20;
        }
    } else {
        dx = event.deltaX * 20;
        dy = event.deltaY * 20;
    }
    if (mWheelX == 0 && mWheelY == 0) {
        plat::Window* w = plat::Application::Shared()->WindowWithNumber(event.windowNumber);
        mWheelWindow = w ? w->Number() : 0;
        mWheelLocation = MCocoaU::ToCLPoint(w ? w->ConvertToScreen(event.location) : event.location);
        mWheelModifiers = event.modifierFlags;
    }
    mWheelX += dx;
    mWheelY += dy;
    mPending = true;
    Arm(kWheelMerge);
}

void CMacMainLoop::RunModalStep() {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Application* app = plat::Application::Shared();
    plat::Application::ModalSession* session = nullptr;
    CMacWindowMgr* mgr = CMacWindowMgr::Get();
    LWindow* front = mgr ? mgr->FrontWindowOfKind(LWindow::kModal) : nullptr;
    if (front && front->NativeWindow()) {
        plat::Window* w = front->NativeWindow();
        for (size_t i = mSessions.size(); i-- > 0;)
            if (mSessions[i].window == w) {
                session = mSessions[i].session;
                break;
            }
        if (!session) {
            session = app->BeginModalSession(w);
            mSessions.push_back({w, session});
        }
    } else if (!mSessions.empty()) {
        session = mSessions.back().session;
    }

    uint32_t ms = LTimer::TimeToNext(ModalTop(), front ? front->Upper() : nullptr, IsActive());
    ms = std::clamp(ms, kMinWaitMs, kMaxModalWaitMs);
    double until = plat::ClockNow() + double(ms) * 0.001;
    // A termination request ends the wait: the modal handler sees it and ends its run.
    if (session) {
        app->NextEventUnlessTerminating(plat::kAnyEventMask, until, plat::kModalPanelRunLoopMode, false,
                                        nullptr);
        app->RunModalSession(session);
        return;
    }
    plat::Event event;
    if (app->NextEventUnlessTerminating(plat::kAnyEventMask, until, plat::kModalPanelRunLoopMode, true,
                                        &event))
        app->SendEvent(event);
}

bool CMacMainLoop::TerminationRequested() const {
    return plat::Application::Shared()->TerminationRequested();
}

void CMacMainLoop::EndModalSession(plat::Window* window) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!window) return;
    for (size_t i = mSessions.size(); i-- > 0;) {
        if (mSessions[i].window != window) continue;
        plat::Application::Shared()->EndModalSession(mSessions[i].session);
        mSessions.erase(mSessions.begin() + long(i));
        return;
    }
}
