#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/Mac/LScrapType.h"

class CDragger;
class LPane;
namespace plat {
class Window;
}

// A drag of one typed item (a single zero byte) out of a pane and back onto it. The pane hands its
// drag and drop messages to Dispatch; while the tracker lives the pane's window takes drops. Only
// the tracker's own drag is answered: other drags pass by. Main thread only.
class CDimDragTracker {
public:
    enum : int32_t { kNone = 0, kConsumed = 1, kMoved = 2, kDropped = 3, kEnded = 4 };

    explicit CDimDragTracker(LPane* owner);
    ~CDimDragTracker();
    CDimDragTracker(const CDimDragTracker&) = delete;
    CDimDragTracker& operator=(const CDimDragTracker&) = delete;

    // On a press in the owner: the drag starts once the mouse has moved (CDragger's threshold).
    void StartDrag(const LScrapType& type);
    // Results while a drag of the tracker is active, else kNone: "CDragger_Drag" 1 (reply: the
    // message back to the dragger), "CDragger_End" 4, "LDrop_Sense" 1, "LDrop_Enter" 1, "LDrop_Drag" 2,
    // "LDrop_Drop" 3; Enter, Drag and Drop give 0 for a drag that does not carry the type. reply is
    // what the owner's Handle answers (empty: consumed); it is left alone for kNone.
    int32_t Dispatch(const LMessage& msg, LMessage* reply);

    bool IsActive() const { return fActive; }
    // The mouse at the last Drag or Drop, in screen coordinates (top-left).
    const CLPoint& DropPoint() const { return fDropPoint; }
    // The last drop offered copy alone.
    bool IsCopy() const { return fCopy; }
    const LScrapType& Type() const { return fType; }
    LPane* Owner() const { return fOwner; }
    CDragger* Dragger() const { return fDragger; }

private:
    void Retire();

    LPane* fOwner;
    plat::Window* fWindow = nullptr;
    CDragger* fDragger = nullptr;
    LScrapType fType;
    CLPoint fDropPoint;
    bool fCopy = false;
    bool fActive = false;
};
