#pragma once

#include <cstdint>

#include "Platform/Foundation/Geometry.h"
#include "Platform/Foundation/Object.h"

namespace plat {

class BitmapImage;
class Pasteboard;
class Window;
struct Event;

// Drag operations (bits).
enum : uint32_t {
    kDragOperationNone = 0,
    kDragOperationCopy = 1,
    kDragOperationLink = 2,
    kDragOperationGeneric = 4,
    kDragOperationPrivate = 8,
    kDragOperationMove = 16,
    kDragOperationDelete = 32,
    kDragOperationEvery = 0xFFFFFFFFu,
};

class DraggingSource;

// What a destination window's delegate learns at each dragging callback.
struct DraggingInfo {
    Point windowLocation;  // content coordinates of the destination window
    Point screenLocation;  // top-left screen coordinates
    Pasteboard* pasteboard = nullptr;
    uint32_t sourceOperationMask = 0;
    DraggingSource* source = nullptr;  // null for a drag from another program
    int64_t sequence = 0;              // one number per drag
};

// The side a drag starts from.
class DraggingSource {
public:
    virtual ~DraggingSource() = default;
    // The operations offered inside the application (local) or to other programs.
    virtual uint32_t SourceOperationMask(bool local) = 0;
    // The drag ended at the screen point with the operation the destination did (none: refused,
    // cancelled or left).
    virtual void DraggedImageEnded(Point /*screen*/, uint32_t /*operation*/) {}
};

// The engine of one drag over the application's windows: finds the registered window under each
// point, sends exited to the old destination before entered to a new one, updated otherwise, and on
// a drop prepare, perform, conclude and ended. Windows are held while they are destinations; a
// window closed meanwhile is dropped quietly. Main thread only.
class DragSession {
public:
    DragSession(Pasteboard* pasteboard, uint32_t localMask, DraggingSource* source);
    ~DragSession();
    DragSession(const DragSession&) = delete;
    DragSession& operator=(const DragSession&) = delete;

    // The pointer is at the screen point; answers the destination's operation (0 without one).
    uint32_t MoveTo(Point screen);
    // Releases over the current destination: the operation done, none when refused.
    uint32_t Drop();
    // Leaves the current destination (Escape, or the drag went elsewhere).
    void Leave();

    Window* Destination() const;
    uint32_t Operation() const { return fOperation; }
    Point LastPoint() const { return fLast; }

    // The visible window of the application under a screen point that is registered for drags.
    static Window* DestinationAt(Point screen);

private:
    DraggingInfo Info(Window* window) const;

    Ref<Pasteboard> fPasteboard;
    uint32_t fMask;
    DraggingSource* fSource;
    Ref<Window> fWindow;
    Point fLast;
    uint32_t fOperation = 0;
    int64_t fSequence;
};

// A drag from another program (tests; the X11 backend's drag protocol later): the pasteboard and
// the operations it offers, then moves, and a drop or a leave.
class ForeignDrag {
public:
    ForeignDrag(Pasteboard* pasteboard, uint32_t sourceMask) : fSession(pasteboard, sourceMask, nullptr) {}
    uint32_t MoveTo(Point screen) { return fSession.MoveTo(screen); }
    uint32_t Drop() { return fSession.Drop(); }
    void Leave() { fSession.Leave(); }
    Window* Destination() const { return fSession.Destination(); }

private:
    DragSession fSession;
};

// Runs a drag from the application: the nested loop of View::DragImage. The image's top-left sits
// at the screen point; each pointer move moves it and the session. Ends on the button's release or
// Escape; answers the operation done.
uint32_t RunDragLoop(const BitmapImage* image, Point imageScreen, const Event& mouseDown,
                     Pasteboard* pasteboard, DraggingSource* source, bool slideBack);

// True while a drag started by the application runs.
bool IsDragLoopRunning();

}  // namespace plat
