#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/Foundation/Object.h"
#include "Platform/Foundation/RunLoop.h"

namespace plat {

class Backend;
class FdSource;
class RunLoopSource;
class Window;
enum class WindowOrder : int32_t;

// What the application asks of its delegate. Every callback has a harmless default. Actions of menu
// items without a target reach the delegate first (MenuTarget).
class ApplicationDelegate : public MenuTarget {
public:
    enum class TerminateReply { kNow, kCancel };

    virtual ~ApplicationDelegate() = default;
    virtual void WillFinishLaunching() {}
    virtual void DidFinishLaunching() {}
    // Once per path given at launch (files on the command line), or later from a backend.
    virtual bool OpenFile(const char* /*path*/) { return false; }
    // At launch when no file was given.
    virtual bool OpenUntitledFile() { return false; }
    virtual TerminateReply ShouldTerminate() { return TerminateReply::kNow; }
    virtual void WillTerminate() {}
    virtual void DidBecomeActive() {}
    virtual void DidResignActive() {}
    // Once per event-loop cycle after SetWindowsNeedUpdate(true).
    virtual void WillUpdate() {}
    // An Apple event and the reply to fill (descriptors owned by the caller).
    virtual void HandleAppleEvent(const Object* /*event*/, Object* /*reply*/) {}
};

// The key-equivalent hook of the main menu: offered every key-down before the key window.
using KeyEquivalentHook = bool (*)(const Event& event, void* context);

// The application object: launch sequence, event queue, termination, activation, modal sessions,
// the window list and the main menu. One per process, main thread only (PostEvent and the modal
// stops excepted).
// As the target of actions that name none (menu items, "changeFont:") it passes each along the
// responder chain: the key window's first responder and its superviews, the key window's delegate,
// the same for the main window when it is another, the next responder, the delegate, and last
// itself ("terminate:").
class Application : public MenuTarget {
public:
    static constexpr int32_t kRunContinuesResponse = -1002;
    static constexpr int32_t kRunStoppedResponse = -1000;
    static constexpr int32_t kRunAbortedResponse = -1001;

    struct ModalSession {
        Window* window;
    };

    static Application* Shared();

    ApplicationDelegate* Delegate() const { return fDelegate; }
    void SetDelegate(ApplicationDelegate* delegate) { fDelegate = delegate; }

    // Launches (will finish, one OpenFile per argument or OpenUntitledFile, did finish, became
    // active), runs the event loop until termination is approved, then WillTerminate. SIGTERM and
    // SIGINT request termination while it runs. Uses the installed backend, or one chosen from the
    // environment. Returns the exit status.
    int Run(int argc, char** argv);
    bool IsRunning() const { return fRunning; }
    // The icon of every window, handed to the backend now and to the one Run starts.
    void SetApplicationIconImage(const BitmapImage* image);
    // Asks the delegate (at the top of the event loop) whether to terminate now.
    void Terminate();
    // A request not yet put to the delegate; Withdraw drops it (tests, outside Run).
    bool TerminationRequested() const { return fTerminateAsked; }
    void WithdrawTermination() { fTerminateAsked = false; }

    // Any thread.
    void PostEvent(const Event& event, bool atStart);
    // The first queued event matching the mask, waiting in the run-loop mode until the date (run-loop
    // clock seconds); false when none came.
    bool NextEvent(uint64_t mask, double untilDate, RunLoopMode mode, bool dequeue, Event* out);
    // NextEvent that a termination request (pending, or made while it waits) also ends, answering
    // false without an event: modal steps wait with it so that they end at once.
    bool NextEventUnlessTerminating(uint64_t mask, double untilDate, RunLoopMode mode, bool dequeue,
                                    Event* out);
    void DiscardEvents(uint64_t mask);
    size_t QueuedEventCount() const;
    // Dispatches an event to its window and view.
    void SendEvent(const Event& event);
    // The event being sent, or null.
    const Event* CurrentEvent() const { return fCurrent; }
    int64_t NextEventNumber() { return ++fEventNumber; }

    // Draws the visible windows that need it (nothing inside a draw pass).
    void DisplayWindowsIfNeeded();
    void SetWindowsNeedUpdate(bool needed);
    // Runs the update cycle now (WillUpdate to the delegate).
    void UpdateWindows();

    ModalSession* BeginModalSession(Window* window);
    // Handles the queued events once in the modal-panel mode; events for other windows are dropped.
    int32_t RunModalSession(ModalSession* session);
    void EndModalSession(ModalSession* session);
    Window* ModalWindow() const;
    // Runs a modal session for the window until StopModal or StopModalWithCode (kRunStoppedResponse
    // or the code), or a termination request (kRunAbortedResponse; the request stays pending).
    // Each step waits at most a second in the modal-panel mode, so a stop from another thread is
    // seen within a second even without a wake.
    int32_t RunModalForWindow(Window* window);
    // End the innermost RunModalForWindow; nothing outside one. Any thread.
    void StopModal() { StopModalWithCode(kRunStoppedResponse); }
    void StopModalWithCode(int32_t code);

    bool IsActive() const { return fActive; }
    void Activate();
    void Deactivate();
    bool IsHidden() const { return fHidden; }
    void Hide();
    void Unhide();

    // Visible windows of the application, front to back.
    std::vector<int64_t> WindowNumbers() const;
    Window* WindowWithNumber(int64_t number) const;
    Window* KeyWindow() const { return fKey; }
    Window* MainWindow() const { return fMain; }

    void SetKeyEquivalentHook(KeyEquivalentHook hook, void* context) {
        fKeyHook = hook;
        fKeyHookContext = context;
    }
    void DeliverAppleEvent(const Object* event, Object* reply);

    // The main menu (retained), null when none: its top-level items' submenus are the menu bar.
    Menu* MainMenu() const { return fMainMenu.get(); }
    void SetMainMenu(Menu* menu);
    // The main menu or its top-level items changed: every menu strip draws again.
    void MainMenuChanged();

    // Follows the delegate in the responder chain (not retained); null by default.
    MenuTarget* NextResponder() const { return fNextResponder; }
    void SetNextResponder(MenuTarget* responder) { fNextResponder = responder == this ? nullptr : responder; }
    // The target the action goes to: `to` when given and it responds, else the first responder of
    // the chain that does; null when none.
    MenuTarget* TargetForAction(const char* action, MenuTarget* to = nullptr) const;
    // Sends the action to TargetForAction; false when nothing took it. The sender is the menu item,
    // or null when a panel or the font manager sends (the target asks the shared one).
    bool SendAction(const char* action, MenuTarget* to, MenuItem* sender);

    bool RespondsToAction(const char* action) const override;
    void PerformAction(const char* action, MenuItem* sender) override;
    int ValidateMenuItem(const MenuItem* item) override;

    Point MouseLocation() const;
    uint32_t ModifierFlags() const;

private:
    friend class Window;
    Application();
    ~Application() override;

    void Launch(int argc, char** argv);
    bool TakeEvent(uint64_t mask, bool dequeue, Event* out);
    // What ends a wait early besides an event: nothing, a termination request, or either that or an
    // update request (the main loop's).
    enum class WaitStop { kNever, kTermination, kLoop };
    bool WaitForEvent(uint64_t mask, double untilDate, RunLoopMode mode, bool dequeue, Event* out,
                      WaitStop stop);
    bool ApproveTermination();
    void EnsureSources();
    void InstallSignals();
    void RemoveSignals();
    static void WakePerform(void* self);
    static void SignalReadable(FdSource* source, int fd, uint32_t ready, void* self);

    // Window server, called by Window.
    void WindowGone(Window* window);
    void SetKey(Window* window);
    void SetMain(Window* window);
    void PickKeyAndMain();
    void Restack(Window* window, WindowOrder place, int64_t relativeTo);
    void DispatchMouse(Window* window, const Event& event);

    ApplicationDelegate* fDelegate = nullptr;
    std::unique_ptr<Backend> fOwnBackend;
    Ref<RunLoopSource> fWake;
    Ref<FdSource> fSignalSource;
    int fSignalPipe[2] = {-1, -1};
    bool fRunning = false;
    bool fTerminateAsked = false;
    bool fNeedsUpdate = false;
    bool fActive = false;
    bool fHidden = false;
    const Event* fCurrent = nullptr;
    int64_t fEventNumber = 0;
    std::deque<Event> fQueue;     // guarded by the queue lock
    std::vector<Window*> fOrder;  // visible windows, front to back, not retained
    std::vector<Window*> fAll;    // every live window, not retained
    std::vector<ModalSession*> fSessions;
    struct ModalRun;
    ModalRun* fModalRun = nullptr;  // innermost RunModalForWindow
    MenuTarget* fNextResponder = nullptr;
    Window* fKey = nullptr;
    Window* fMain = nullptr;
    Ref<Menu> fMainMenu;
    Ref<const BitmapImage> fIcon;
    KeyEquivalentHook fKeyHook = nullptr;
    void* fKeyHookContext = nullptr;
};

}  // namespace plat
