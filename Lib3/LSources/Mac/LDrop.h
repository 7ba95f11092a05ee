#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LSLinkBase.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/Mac/UPasteboard.h"
#include "Platform/AppKit/Dragging.h"
#include "Platform/Foundation/Object.h"

class LPane;
namespace plat {
class Cursor;
class Window;
}  // namespace plat

// Drop messages: sender the LDrop.
L_MESSAGE_ID(LDrop_EnterWin);
L_MESSAGE_ID(LDrop_Sense);
L_MESSAGE_ID(LDrop_Enter);
L_MESSAGE_ID(LDrop_Drag);
L_MESSAGE_ID(LDrop_Leave);
L_MESSAGE_ID(LDrop_Drop);

// The drop side of one window: takes the window's dragging callbacks, finds the pane under the
// mouse with "LDrop_Sense", keeps one current target and drives it with Enter, Drag, Leave and Drop.
// The target's feedback mode becomes the cursor and the operation answered. A callback that releases
// the last drop target of the window (a drop that closes it) does not free the object under itself:
// it goes once the callback is over. Main thread only.
class LDrop : public LHandler, public SSLink {
public:
    enum : uint32_t { kRefuse = 0, kDefault = 1, kMove = 2, kCopy = 3, kAdd = 4, kLink = 5 };

    explicit LDrop(plat::Window* window);
    ~LDrop() override;

    LMessage Handle(const LMessage& msg) override;

    // Called by a pane while it handles "LDrop_Sense": it takes the drag.
    void Target(LHandler* pane);
    void SetFeedback(uint32_t mode);
    uint32_t Feedback() const { return fFeedback; }
    // The source offers copy alone (of copy, link, generic and move).
    bool IsCopyOnly() const { return (fSourceMask & 23) == 1; }
    bool IsShiftDown() const;
    // Framework screen coordinates (top-left).
    const CLPoint& MouseLocation() const { return fMouse; }
    uint32_t SourceMask() const { return fSourceMask; }
    plat::DraggingSource* Source() const { return fInfo.source; }
    plat::Pasteboard* Pasteboard() const { return fInfo.pasteboard; }
    const LPasteboardReader& Reader() const { return fReader; }
    LHandler* CurrentTarget() const { return fTarget; }
    bool IsAccepting() const { return fAccepting; }
    plat::Window* Window() const { return fWindow; }
    uint32_t UseCount() const { return fUseCount; }
    // A target going away mid-drag.
    void Forget(LHandler* target);

    // The window's dragging callbacks.
    uint32_t DraggingEntered(const plat::DraggingInfo& info);
    uint32_t DraggingUpdated(const plat::DraggingInfo& info);
    void DraggingExited(const plat::DraggingInfo& info);
    bool PrepareForDragOperation(const plat::DraggingInfo& info);
    bool PerformDragOperation(const plat::DraggingInfo& info);

    // The loader of the "kPlusCursor" cursor (installed by the window bridge); none: the arrow.
    using CursorLoader = const plat::Cursor* (*)();
    static void SetAddCursorLoader(CursorLoader loader);

private:
    friend struct LDropTargetList;
    class Busy;

    void Refresh(const plat::DraggingInfo& info);
    void SensePass();
    uint32_t OperationAnswer() const;
    void DeleteWhenIdle();

    uint32_t fUseCount = 0;
    uint8_t fAccepting = 0;
    uint32_t fFeedback = 0;
    plat::Window* fWindow;  // borrowed: the LDrop goes before its window
    CLPoint fMouse;
    plat::DraggingInfo fInfo;
    LHandler* fTarget = nullptr;
    uint32_t fSourceMask = 0;
    LPasteboardReader fReader;
    uint32_t fBusy = 0;
    bool fDoomed = false;
};

// The LDrop objects, one per window with at least one drop target.
struct LDropTargetList {
    // Finds or makes the window's LDrop and counts it up; the first use registers the window for
    // "public.data" and tells the window's bridge.
    static LDrop* Acquire(plat::Window* window);
    // Counts down; at zero unregisters the window and deletes the LDrop (once its callback is over).
    static void Release(plat::Window* window);
    static LDrop* Find(const plat::Window* window);
    // Some LDrop has a current target.
    static bool AnyActive();

    // Tells the window's bridge which LDrop takes its callbacks (null: none any more).
    using RegisterHook = void (*)(plat::Window* window, LDrop* drop);
    static void SetRegisterHook(RegisterHook hook);
};
