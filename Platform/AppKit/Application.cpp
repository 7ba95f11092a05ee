#include "Platform/AppKit/Application.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string_view>

#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/MenuStrip.h"
#include "Platform/AppKit/NotificationCenter.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Graphics/BitmapImage.h"

namespace plat {

namespace {

constexpr double kDistantFuture = 3153600000.0;

std::mutex& QueueLock() {
    static std::mutex m;
    return m;
}

// Guards Application::fModalRun and the runs' stop fields against StopModal from other threads.
std::mutex& ModalLock() {
    static std::mutex m;
    return m;
}

constexpr double kModalStepSeconds = 1.0;

// Written by the signal handler, read by the run loop.
int gSignalFd = -1;
struct sigaction gOldTerm;
struct sigaction gOldInt;

void OnSignal(int sig) {
    int saved = errno;
    if (gSignalFd >= 0) {
        unsigned char b = static_cast<unsigned char>(sig);
        ssize_t n = write(gSignalFd, &b, 1);
        (void)n;
    }
    errno = saved;
}

bool Matches(const Event& e, uint64_t mask) {
    uint32_t t = uint32_t(e.type);
    return t < 64 && (mask & (uint64_t(1) << t));
}

}  // namespace

bool Event::IsMouse() const {
    switch (type) {
        case EventType::kLeftMouseDown:
        case EventType::kLeftMouseUp:
        case EventType::kRightMouseDown:
        case EventType::kRightMouseUp:
        case EventType::kMouseMoved:
        case EventType::kLeftMouseDragged:
        case EventType::kRightMouseDragged:
        case EventType::kOtherMouseDown:
        case EventType::kOtherMouseUp:
        case EventType::kOtherMouseDragged:
        case EventType::kScrollWheel:
            return true;
        default:
            return false;
    }
}

Application* Application::Shared() {
    static Application* app = new Application;
    return app;
}

Application::Application() {
    fWake = RunLoopSource::Create(&WakePerform, this);
    (void)RunLoop::Main()->AddSource(fWake.get(), kRunLoopCommonModes);  // new and valid: cannot fail
}

Application::~Application() = default;

void Application::SetApplicationIconImage(const BitmapImage* image) {
    PLAT_DCHECK_MAIN_THREAD();
    fIcon = Ref<const BitmapImage>(image);
    if (Backend* b = CurrentBackend()) b->SetApplicationIcon(image);
}

void Application::WakePerform(void*) {
    // Only wakes the loop; the waiting caller looks at the queue and its flags.
}

void Application::EnsureSources() {
    if (!fWake->IsValid()) return;
    if (!RunLoop::Main()->Contains(fWake.get(), kRunLoopDefaultMode))
        (void)RunLoop::Main()->AddSource(fWake.get(), kRunLoopCommonModes);  // valid, checked above
}

void Application::InstallSignals() {
    if (fSignalPipe[0] >= 0) return;
    if (pipe2(fSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    gSignalFd = fSignalPipe[1];
    fSignalSource = FdSource::Create(fSignalPipe[0], FdSource::kReadable, &SignalReadable, this);
    (void)RunLoop::Main()->AddFdSource(fSignalSource.get(), kRunLoopCommonModes);  // new: cannot fail
    struct sigaction sa = {};
    sa.sa_handler = &OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, &gOldTerm);
    sigaction(SIGINT, &sa, &gOldInt);
}

void Application::RemoveSignals() {
    if (fSignalPipe[0] < 0) return;
    sigaction(SIGTERM, &gOldTerm, nullptr);
    sigaction(SIGINT, &gOldInt, nullptr);
    gSignalFd = -1;
    fSignalSource->Invalidate();
    fSignalSource = nullptr;
    close(fSignalPipe[0]);
    close(fSignalPipe[1]);
    fSignalPipe[0] = fSignalPipe[1] = -1;
}

void Application::SignalReadable(FdSource*, int fd, uint32_t, void* self) {
    unsigned char buf[16];
    bool any = false;
    while (read(fd, buf, sizeof buf) > 0) any = true;
    if (any) static_cast<Application*>(self)->Terminate();
}

void Application::Launch(int argc, char** argv) {
    if (fDelegate) fDelegate->WillFinishLaunching();
    bool opened = false;
    for (int i = 1; i < argc; ++i) {
        if (!argv[i] || !argv[i][0]) continue;
        opened = true;
        if (fDelegate) fDelegate->OpenFile(argv[i]);
    }
    if (fDelegate) fDelegate->DidFinishLaunching();
    if (!opened && fDelegate) fDelegate->OpenUntitledFile();
    Activate();
}

int Application::Run(int argc, char** argv) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!CurrentBackend()) {
        fOwnBackend = MakeBackendFromEnvironment();
        SetBackend(fOwnBackend.get());
    }
    Backend* backend = CurrentBackend();
    if (!backend->Start()) {
        std::fprintf(stderr, "orbilume: the %s window system did not start\n", backend->Name());
        if (fOwnBackend) {
            SetBackend(nullptr);
            fOwnBackend.reset();
        }
        return 1;
    }
    if (fIcon) backend->SetApplicationIcon(fIcon.get());
    EnsureSources();
    InstallSignals();
    fRunning = true;
    fTerminateAsked = false;
    {
        AutoreleasePool pool;
        Launch(argc, argv);
    }
    for (;;) {
        AutoreleasePool pool;
        if (fTerminateAsked) {
            fTerminateAsked = false;
            if (backend->ConnectionLost() || ApproveTermination()) break;
        }
        if (fNeedsUpdate) UpdateWindows();
        Event ev;
        if (WaitForEvent(kAnyEventMask, ClockNow() + kDistantFuture, kRunLoopDefaultMode, true, &ev,
                         WaitStop::kLoop))
            SendEvent(ev);
        DisplayWindowsIfNeeded();
    }
    {
        AutoreleasePool pool;
        if (fDelegate) fDelegate->WillTerminate();
    }
    fRunning = false;
    RemoveSignals();
    backend->Stop();
    const int status = backend->ConnectionLost() ? 1 : 0;
    if (fOwnBackend) {
        SetBackend(nullptr);
        fOwnBackend.reset();
    }
    return status;
}

void Application::Terminate() {
    PLAT_DCHECK_MAIN_THREAD();
    fTerminateAsked = true;
    fWake->Signal();
}

bool Application::ApproveTermination() {
    if (!fDelegate) return true;
    return fDelegate->ShouldTerminate() == ApplicationDelegate::TerminateReply::kNow;
}

void Application::PostEvent(const Event& event, bool atStart) {
    {
        std::lock_guard<std::mutex> g(QueueLock());
        if (atStart)
            fQueue.push_front(event);
        else
            fQueue.push_back(event);
    }
    fWake->Signal();
}

bool Application::TakeEvent(uint64_t mask, bool dequeue, Event* out) {
    std::lock_guard<std::mutex> g(QueueLock());
    for (auto it = fQueue.begin(); it != fQueue.end(); ++it) {
        if (!Matches(*it, mask)) continue;
        if (out) *out = *it;
        if (dequeue) fQueue.erase(it);
        return true;
    }
    return false;
}

size_t Application::QueuedEventCount() const {
    std::lock_guard<std::mutex> g(QueueLock());
    return fQueue.size();
}

void Application::DiscardEvents(uint64_t mask) {
    PLAT_DCHECK_MAIN_THREAD();
    std::lock_guard<std::mutex> g(QueueLock());
    fQueue.erase(
        std::remove_if(fQueue.begin(), fQueue.end(), [mask](const Event& e) { return Matches(e, mask); }),
        fQueue.end());
}

bool Application::NextEvent(uint64_t mask, double untilDate, RunLoopMode mode, bool dequeue, Event* out) {
    PLAT_DCHECK_MAIN_THREAD();
    return WaitForEvent(mask, untilDate, mode, dequeue, out, WaitStop::kNever);
}

bool Application::NextEventUnlessTerminating(uint64_t mask, double untilDate, RunLoopMode mode, bool dequeue,
                                             Event* out) {
    PLAT_DCHECK_MAIN_THREAD();
    return WaitForEvent(mask, untilDate, mode, dequeue, out, WaitStop::kTermination);
}

bool Application::WaitForEvent(uint64_t mask, double untilDate, RunLoopMode mode, bool dequeue, Event* out,
                               WaitStop stop) {
    bool polled = false;
    for (;;) {
        if (TakeEvent(mask, dequeue, out)) return true;
        if (stop != WaitStop::kNever && fTerminateAsked) return false;
        if (stop == WaitStop::kLoop && fNeedsUpdate) return false;
        // What timers and handlers invalidated appears before the wait.
        DisplayWindowsIfNeeded();
        double left = untilDate - ClockNow();
        if (left <= 0) {
            if (polled) return false;
            polled = true;
            RunLoop::Main()->RunInMode(mode, 0, true);
            continue;
        }
        RunLoop::Main()->RunInMode(mode, left, true);
    }
}

void Application::DisplayWindowsIfNeeded() {
    PLAT_DCHECK_MAIN_THREAD();
    std::vector<Ref<Window>> shown;
    for (Window* w : fOrder)
        if (w->NeedsDisplay()) shown.push_back(RetainRef(w));
    for (const Ref<Window>& w : shown) w->Display();
}

void Application::SetWindowsNeedUpdate(bool needed) {
    PLAT_DCHECK_MAIN_THREAD();
    fNeedsUpdate = needed;
    if (needed) fWake->Signal();
}

void Application::UpdateWindows() {
    PLAT_DCHECK_MAIN_THREAD();
    fNeedsUpdate = false;
    if (fDelegate) fDelegate->WillUpdate();
}

void Application::SendEvent(const Event& event) {
    PLAT_DCHECK_MAIN_THREAD();
    const Event* outer = fCurrent;
    fCurrent = &event;
    switch (event.type) {
        case EventType::kKeyDown:
        case EventType::kKeyUp:
        case EventType::kFlagsChanged: {
            if (event.type == EventType::kKeyDown && fKeyHook && fKeyHook(event, fKeyHookContext)) break;
            // F10 opens the key window's menu strip when no menu item took it.
            if (event.type == EventType::kKeyDown && event.charactersIgnoringModifiers == "\xEF\x9C\x8D" &&
                fKey && fKey->Strip() && fKey->Strip()->OpenFirst())
                break;
            View* responder = fKey ? fKey->FirstResponder() : nullptr;
            if (!responder) break;
            Ref<View> keep = RetainRef(responder);
            if (event.type == EventType::kKeyDown)
                responder->KeyDown(event);
            else if (event.type == EventType::kKeyUp)
                responder->KeyUp(event);
            else
                responder->FlagsChanged(event);
            break;
        }
        default:
            if (event.IsMouse()) {
                if (Window* w = WindowWithNumber(event.windowNumber)) DispatchMouse(w, event);
            }
            break;
    }
    fCurrent = outer;
}

void Application::DispatchMouse(Window* w, const Event& event) {
    if (w->IgnoresMouseEvents() || !w->IsVisible()) return;
    const bool press = event.type == EventType::kLeftMouseDown || event.type == EventType::kRightMouseDown;
    if (event.location.y < 0 && w->Strip()) {
        if (press) {
            if (!w->IsKeyWindow() && w->CanBecomeKey()) w->MakeKeyAndOrderFront();
            if (event.type == EventType::kLeftMouseDown) w->Strip()->MouseDown(event);
        }
        return;
    }
    View* content = w->ContentView();
    if (!content) return;
    View* target = content->HitTest(event.location);
    Ref<View> keep = RetainRef(target);
    if (press && !w->IsKeyWindow() && w->CanBecomeKey()) {
        // A press in a window that is not key activates it; the view decides, before that, whether the
        // window comes to the front and whether the press also goes on.
        const bool delay = target && target->ShouldDelayWindowOrdering(event);
        const bool accept = target && target->AcceptsFirstMouse(event);
        if (delay) {
            w->MakeKeyWindow();
            w->MakeMainWindow();
        } else {
            w->MakeKeyAndOrderFront();
        }
        if (!accept) return;
    }
    if (!target) return;
    const bool context = event.type == EventType::kRightMouseDown ||
                         (event.type == EventType::kLeftMouseDown && (event.modifierFlags & kControlKeyMask));
    // A view's context menu pops up; the press is delivered as usual either way.
    if (context)
        if (Menu* menu = target->MenuForEvent(event)) (void)menu->PopUpContextMenu(event, target);
    if (target->GetWindow() != w) return;
    switch (event.type) {
        case EventType::kLeftMouseDown:
            target->MouseDown(event);
            break;
        case EventType::kLeftMouseUp:
            target->MouseUp(event);
            break;
        case EventType::kLeftMouseDragged:
            target->MouseDragged(event);
            break;
        case EventType::kMouseMoved:
            if (w->AcceptsMouseMovedEvents()) target->MouseMoved(event);
            break;
        case EventType::kRightMouseDown:
            target->RightMouseDown(event);
            break;
        case EventType::kRightMouseUp:
            target->RightMouseUp(event);
            break;
        case EventType::kOtherMouseDown:
            target->OtherMouseDown(event);
            break;
        case EventType::kOtherMouseUp:
            target->OtherMouseUp(event);
            break;
        case EventType::kScrollWheel:
            target->ScrollWheel(event);
            break;
        default:
            break;
    }
}

Application::ModalSession* Application::BeginModalSession(Window* window) {
    PLAT_DCHECK_MAIN_THREAD();
    auto* s = new ModalSession{window};
    fSessions.push_back(s);
    if (window) window->MakeKeyAndOrderFront();
    return s;
}

int32_t Application::RunModalSession(ModalSession* session) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!session) return kRunStoppedResponse;
    RunLoop::Main()->RunInMode(kModalPanelRunLoopMode, 0, false);
    // Only what is queued now: handlers may post more.
    size_t n = QueuedEventCount();
    Event ev;
    while (n-- > 0 && TakeEvent(kAnyEventMask, true, &ev)) {
        bool foreign = ev.IsMouse() && session->window && ev.windowNumber != session->window->Number();
        if (foreign && (ev.type == EventType::kLeftMouseDown || ev.type == EventType::kRightMouseDown)) {
            if (Backend* b = CurrentBackend()) b->Beep();
            continue;
        }
        if (foreign) continue;
        SendEvent(ev);
    }
    return kRunContinuesResponse;
}

void Application::EndModalSession(ModalSession* session) {
    PLAT_DCHECK_MAIN_THREAD();
    auto it = std::find(fSessions.begin(), fSessions.end(), session);
    if (it == fSessions.end()) return;
    fSessions.erase(it);
    delete session;
}

struct Application::ModalRun {
    ModalRun* outer;
    bool stopped;
    int32_t code;
};

int32_t Application::RunModalForWindow(Window* window) {
    PLAT_DCHECK_MAIN_THREAD();
    EnsureSources();
    ModalRun run{nullptr, false, kRunStoppedResponse};
    {
        std::lock_guard<std::mutex> g(ModalLock());
        run.outer = fModalRun;
        fModalRun = &run;
    }
    ModalSession* session = BeginModalSession(window);
    int32_t answer = kRunAbortedResponse;
    for (;;) {
        {
            std::lock_guard<std::mutex> g(ModalLock());
            if (run.stopped) {
                answer = run.code;
                break;
            }
        }
        if (fTerminateAsked) break;
        AutoreleasePool pool;
        // Any source handled (a posted event, a stop's wake) ends the wait.
        DisplayWindowsIfNeeded();
        if (QueuedEventCount() == 0)
            RunLoop::Main()->RunInMode(kModalPanelRunLoopMode, kModalStepSeconds, true);
        RunModalSession(session);
        DisplayWindowsIfNeeded();
    }
    EndModalSession(session);
    {
        std::lock_guard<std::mutex> g(ModalLock());
        fModalRun = run.outer;
    }
    return answer;
}

void Application::StopModalWithCode(int32_t code) {
    {
        std::lock_guard<std::mutex> g(ModalLock());
        if (!fModalRun) return;
        fModalRun->stopped = true;
        fModalRun->code = code;
    }
    fWake->Signal();
}

Window* Application::ModalWindow() const {
    PLAT_DCHECK_MAIN_THREAD();
    return fSessions.empty() ? nullptr : fSessions.back()->window;
}

void Application::Activate() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fActive) return;
    fActive = true;
    if (fDelegate) fDelegate->DidBecomeActive();
}

void Application::Deactivate() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fActive) return;
    fActive = false;
    if (fDelegate) fDelegate->DidResignActive();
}

void Application::Hide() {
    PLAT_DCHECK_MAIN_THREAD();
    fHidden = true;
}
void Application::Unhide() {
    PLAT_DCHECK_MAIN_THREAD();
    fHidden = false;
}

std::vector<int64_t> Application::WindowNumbers() const {
    PLAT_DCHECK_MAIN_THREAD();
    std::vector<int64_t> numbers;
    if (fHidden) return numbers;
    for (Window* w : fOrder) numbers.push_back(w->Number());
    return numbers;
}

Window* Application::WindowWithNumber(int64_t number) const {
    PLAT_DCHECK_MAIN_THREAD();
    if (number <= 0) return nullptr;
    for (Window* w : fAll)
        if (w->Number() == number && !w->fClosed) return w;
    return nullptr;
}

void Application::DeliverAppleEvent(const Object* event, Object* reply) {
    PLAT_DCHECK_MAIN_THREAD();
    if (fDelegate) fDelegate->HandleAppleEvent(event, reply);
}

void Application::SetMainMenu(Menu* menu) {
    PLAT_DCHECK_MAIN_THREAD();
    fMainMenu.reset(menu);
    MainMenuChanged();
}

void Application::MainMenuChanged() {
    PLAT_DCHECK_MAIN_THREAD();
    for (Window* w : fAll)
        if (MenuStrip* strip = w->Strip()) {
            strip->SetNeedsDisplay();
            w->ContentNeedsDisplay({0, -w->StripHeight(), w->ContentRect().width, w->StripHeight()});
        }
}

namespace {

MenuTarget* WindowChainTarget(Window* w, const char* action) {
    if (!w) return nullptr;
    for (View* v = w->FirstResponder(); v; v = v->Superview())
        if (v->RespondsToAction(action)) return v;
    if (WindowDelegate* d = w->Delegate())
        if (d->RespondsToAction(action)) return d;
    return nullptr;
}

}  // namespace

MenuTarget* Application::TargetForAction(const char* action, MenuTarget* to) const {
    PLAT_DCHECK_MAIN_THREAD();
    if (!action || !*action) return nullptr;
    if (to && to != this) return to->RespondsToAction(action) ? to : nullptr;
    if (MenuTarget* t = WindowChainTarget(fKey, action)) return t;
    if (fMain != fKey)
        if (MenuTarget* t = WindowChainTarget(fMain, action)) return t;
    if (fNextResponder && fNextResponder->RespondsToAction(action)) return fNextResponder;
    if (fDelegate && fDelegate->RespondsToAction(action)) return fDelegate;
    if (std::string_view(action) == kTerminateAction) return const_cast<Application*>(this);
    return nullptr;
}

bool Application::SendAction(const char* action, MenuTarget* to, MenuItem* sender) {
    PLAT_DCHECK_MAIN_THREAD();
    MenuTarget* target = TargetForAction(action, to);
    if (!target) return false;
    if (target == this)
        Terminate();
    else
        target->PerformAction(action, sender);
    return true;
}

bool Application::RespondsToAction(const char* action) const {
    PLAT_DCHECK_MAIN_THREAD();
    return TargetForAction(action) != nullptr;
}

void Application::PerformAction(const char* action, MenuItem* sender) {
    PLAT_DCHECK_MAIN_THREAD();
    (void)SendAction(action, nullptr, sender);
}

int Application::ValidateMenuItem(const MenuItem* item) {
    PLAT_DCHECK_MAIN_THREAD();
    MenuTarget* target = item ? TargetForAction(item->Action().c_str()) : nullptr;
    if (!target || target == this) return -1;
    return target->ValidateMenuItem(item);
}

Point Application::MouseLocation() const {
    PLAT_DCHECK_MAIN_THREAD();
    Backend* b = CurrentBackend();
    return b ? b->MouseLocation() : Point{};
}

uint32_t Application::ModifierFlags() const {
    PLAT_DCHECK_MAIN_THREAD();
    Backend* b = CurrentBackend();
    return b ? b->ModifierFlags() : 0;
}

void Application::Restack(Window* w, WindowOrder place, int64_t relativeTo) {
    auto it = std::find(fOrder.begin(), fOrder.end(), w);
    if (it != fOrder.end()) fOrder.erase(it);
    if (place == WindowOrder::kOut) {
        w->fVisible = false;
        if (fKey == w) SetKey(nullptr);
        if (fMain == w) SetMain(nullptr);
        PickKeyAndMain();
    } else {
        w->fVisible = true;
        Window* rel = relativeTo > 0 ? WindowWithNumber(relativeTo) : nullptr;
        auto relIt = rel ? std::find(fOrder.begin(), fOrder.end(), rel) : fOrder.end();
        if (relIt != fOrder.end()) {
            fOrder.insert(place == WindowOrder::kAbove ? relIt : relIt + 1, w);
        } else if (place == WindowOrder::kAbove) {
            auto pos = std::find_if(fOrder.begin(), fOrder.end(),
                                    [w](Window* o) { return o->Level() <= w->Level(); });
            fOrder.insert(pos, w);
        } else {
            auto pos = std::find_if(fOrder.begin(), fOrder.end(),
                                    [w](Window* o) { return o->Level() < w->Level(); });
            fOrder.insert(pos, w);
        }
    }
    if (Backend* b = CurrentBackend()) b->WindowChanged(w, Backend::kOrdered);
}

void Application::WindowGone(Window* w) {
    auto it = std::find(fOrder.begin(), fOrder.end(), w);
    if (it != fOrder.end()) fOrder.erase(it);
    it = std::find(fAll.begin(), fAll.end(), w);
    if (it != fAll.end()) fAll.erase(it);
    if (fKey == w) fKey = nullptr;
    if (fMain == w) fMain = nullptr;
    for (ModalSession* s : fSessions)
        if (s->window == w) s->window = nullptr;
}

void Application::SetKey(Window* w) {
    if (fKey == w) return;
    Window* old = fKey;
    fKey = w;
    if (old) {
        if (old->Delegate()) old->Delegate()->WindowDidResignKey(old);
        NotificationCenter::Default().Post(kWindowDidResignKeyNotification, old);
    }
    if (w) {
        if (w->Delegate()) w->Delegate()->WindowDidBecomeKey(w);
        NotificationCenter::Default().Post(kWindowDidBecomeKeyNotification, w);
    }
}

void Application::SetMain(Window* w) {
    if (fMain == w) return;
    Window* old = fMain;
    fMain = w;
    if (old) {
        if (old->Delegate()) old->Delegate()->WindowDidResignMain(old);
        NotificationCenter::Default().Post(kWindowDidResignMainNotification, old);
    }
    if (w) {
        if (w->Delegate()) w->Delegate()->WindowDidBecomeMain(w);
        NotificationCenter::Default().Post(kWindowDidBecomeMainNotification, w);
    }
}

void Application::PickKeyAndMain() {
    if (!fMain) {
        for (Window* w : fOrder)
            if (w->CanBecomeMain()) {
                SetMain(w);
                break;
            }
    }
    if (!fKey) {
        if (fMain)
            SetKey(fMain);
        else
            for (Window* w : fOrder)
                if (w->CanBecomeKey() && !w->BecomesKeyOnlyIfNeeded()) {
                    SetKey(w);
                    break;
                }
    }
}

}  // namespace plat
