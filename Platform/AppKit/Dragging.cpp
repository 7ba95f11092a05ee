#include "Platform/AppKit/Dragging.h"

#include <utility>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/Cursor.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"

namespace plat {

namespace {

constexpr double kPoll = 0.05;
int64_t gSequence = 0;
int gLoops = 0;

// The window is still one a drag may reach.
bool Reachable(Window* w) {
    return w && w->IsVisible() && !w->RegisteredDraggedTypes().empty() && w->Delegate();
}

}  // namespace

DragSession::DragSession(Pasteboard* pasteboard, uint32_t localMask, DraggingSource* source)
    : fPasteboard(RetainRef(pasteboard)), fMask(localMask), fSource(source), fSequence(++gSequence) {}

DragSession::~DragSession() {
    Leave();
}

Window* DragSession::Destination() const {
    return fWindow.get();
}

Window* DragSession::DestinationAt(Point screen) {
    // The window system's stacking, other programs' windows included.
    Window* shown = nullptr;
    if (Backend* backend = CurrentBackend(); backend && backend->WindowAt(screen, &shown))
        return Reachable(shown) ? shown : nullptr;
    Application* app = Application::Shared();
    for (int64_t number : app->WindowNumbers()) {
        Window* w = app->WindowWithNumber(number);
        if (!w || w->IgnoresMouseEvents() || !w->Frame().Contains(screen)) continue;
        return Reachable(w) ? w : nullptr;  // the frontmost window under the point takes it or nobody
    }
    return nullptr;
}

DraggingInfo DragSession::Info(Window* window) const {
    DraggingInfo info;
    info.screenLocation = fLast;
    info.windowLocation = window ? window->ConvertFromScreen(fLast) : fLast;
    info.pasteboard = fPasteboard.get();
    info.sourceOperationMask = fMask;
    info.source = fSource;
    info.sequence = fSequence;
    return info;
}

uint32_t DragSession::MoveTo(Point screen) {
    PLAT_DCHECK_MAIN_THREAD();
    fLast = screen;
    if (fWindow && !Reachable(fWindow.get())) {
        fWindow = nullptr;  // closed or unregistered meanwhile: nothing more to tell it
        fOperation = 0;
    }
    Ref<Window> under = RetainRef(DestinationAt(screen));
    if (under != fWindow) {
        Leave();
        fWindow = under;
        if (!fWindow) {
            Cursor::Arrow()->Set();
            return 0;
        }
        Ref<Window> keep = fWindow;
        fOperation = keep->Delegate()->DraggingEntered(keep.get(), Info(keep.get())) & fMask;
    } else if (fWindow) {
        Ref<Window> keep = fWindow;
        fOperation = keep->Delegate()->DraggingUpdated(keep.get(), Info(keep.get())) & fMask;
    }
    if (fWindow && !Reachable(fWindow.get())) {
        fWindow = nullptr;
        fOperation = 0;
    }
    return fOperation;
}

void DragSession::Leave() {
    Ref<Window> w = std::move(fWindow);
    fWindow = nullptr;
    fOperation = 0;
    if (Reachable(w.get())) w->Delegate()->DraggingExited(w.get(), Info(w.get()));
}

uint32_t DragSession::Drop() {
    PLAT_DCHECK_MAIN_THREAD();
    Ref<Window> w = std::move(fWindow);
    fWindow = nullptr;
    const uint32_t operation = std::exchange(fOperation, 0);
    if (!Reachable(w.get())) return 0;
    if (operation == 0) {
        w->Delegate()->DraggingExited(w.get(), Info(w.get()));
        return 0;
    }
    const DraggingInfo info = Info(w.get());
    uint32_t done = 0;
    if (w->Delegate()->PrepareForDragOperation(w.get(), info) && Reachable(w.get()) &&
        w->Delegate()->PerformDragOperation(w.get(), info)) {
        done = operation;
        if (Reachable(w.get())) w->Delegate()->ConcludeDragOperation(w.get(), info);
    }
    if (Reachable(w.get())) w->Delegate()->DraggingEnded(w.get(), info);
    return done;
}

bool IsDragLoopRunning() {
    return gLoops > 0;
}

uint32_t RunDragLoop(const BitmapImage* image, Point imageScreen, const Event& mouseDown,
                     Pasteboard* pasteboard, DraggingSource* source, bool slideBack) {
    PLAT_DCHECK_MAIN_THREAD();
    Application* app = Application::Shared();
    Backend* backend = CurrentBackend();
    const uint32_t mask = source ? source->SourceOperationMask(true) : kDragOperationEvery;
    Window* downWindow = app->WindowWithNumber(mouseDown.windowNumber);
    const Point downScreen =
        downWindow ? downWindow->ConvertToScreen(mouseDown.location) : mouseDown.location;
    const Point grab = {downScreen.x - imageScreen.x, downScreen.y - imageScreen.y};
    DragSession session(pasteboard, mask, source);
    ++gLoops;
    if (backend) backend->ShowDragImage(image, imageScreen);
    Point at = downScreen;
    uint32_t done = 0;
    bool dropped = false;
    for (;;) {
        Event e;
        if (!app->NextEvent(kAnyEventMask, ClockNow() + kPoll, kEventTrackingRunLoopMode, true, &e)) {
            if (!app->IsActive() || app->TerminationRequested()) break;
            continue;
        }
        if (e.type == EventType::kKeyDown) {
            if (e.characters == "\x1b") break;
            continue;
        }
        if (!e.IsMouse()) {
            if (e.type != EventType::kKeyUp && e.type != EventType::kFlagsChanged) app->SendEvent(e);
            continue;
        }
        Window* ew = e.windowNumber ? app->WindowWithNumber(e.windowNumber) : nullptr;
        if (e.windowNumber && !ew) continue;  // its window went away
        at = ew ? ew->ConvertToScreen(e.location) : e.location;
        if (e.type == EventType::kLeftMouseDragged || e.type == EventType::kMouseMoved) {
            if (backend) backend->MoveDragImage({at.x - grab.x, at.y - grab.y});
            session.MoveTo(at);
        } else if (e.type == EventType::kLeftMouseUp) {
            if (at.x != session.LastPoint().x || at.y != session.LastPoint().y || !session.Destination())
                session.MoveTo(at);
            done = session.Drop();
            dropped = true;
            break;
        }
    }
    if (!dropped) session.Leave();
    --gLoops;
    if (backend) backend->HideDragImage(slideBack && done == 0);
    if (source) source->DraggedImageEnded(at, done);
    return done;
}

}  // namespace plat
