#include "Lib3/LSources/Mac/LDrop.h"

#include "Lib3/LSources/CoreUI/LPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Cursor.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"

namespace {

LSLinkBase& Drops() {
    static LSLinkBase* const list = new LSLinkBase;  // kept for the process
    return *list;
}

LDrop::CursorLoader gAddCursor = nullptr;
LDropTargetList::RegisterHook gRegister = nullptr;

}  // namespace

// Keeps the LDrop alive through one callback; the last one out deletes a doomed object.
class LDrop::Busy {
public:
    explicit Busy(LDrop* drop) : fDrop(drop) { ++drop->fBusy; }
    ~Busy() {
        if (--fDrop->fBusy == 0 && fDrop->fDoomed) delete fDrop;
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    LDrop* fDrop;
};

LDrop::LDrop(plat::Window* window) : fWindow(window) {}

LDrop::~LDrop() {
    if (IsLinked()) Drops().Remove(this);
}

void LDrop::SetAddCursorLoader(CursorLoader loader) {
    gAddCursor = loader;
}

bool LDrop::IsShiftDown() const {
    return plat::Application::Shared()->ModifierFlags() & plat::kShiftKeyMask;
}

void LDrop::SetFeedback(uint32_t mode) {
    fFeedback = mode;
    using Shape = plat::Cursor::Shape;
    const plat::Cursor* add = mode == kAdd && gAddCursor ? gAddCursor() : nullptr;
    if (add) {
        add->Set();
        return;
    }
    Shape shape = Shape::kArrow;
    if (mode == kCopy || (mode == kDefault && IsCopyOnly())) shape = Shape::kDragCopy;
    if (mode == kLink) shape = Shape::kDragLink;
    plat::Cursor::Standard(shape)->Set();
}

uint32_t LDrop::OperationAnswer() const {
    switch (fFeedback) {
        case kDefault:
            return fSourceMask;
        case kMove:
            return plat::kDragOperationMove;
        case kCopy:
        case kAdd:
            return plat::kDragOperationCopy;
        case kLink:
            return plat::kDragOperationLink;
        default:
            return plat::kDragOperationNone;
    }
}

void LDrop::Refresh(const plat::DraggingInfo& info) {
    fInfo = info;
    fReader.Bind(info.pasteboard);
    fMouse = {int32_t(info.screenLocation.x), int32_t(info.screenLocation.y)};
    fSourceMask = info.sourceOperationMask;
    fFeedback = 0;
}

void LDrop::Forget(LHandler* target) {
    if (target && fTarget == target) fTarget = nullptr;
}

LMessage LDrop::Handle(const LMessage& msg) {
    if (msg.sender != this) return LMessage();
    if (msg.Is(LDrop_EnterWin)) {
        fAccepting = 1;
        return LMessage();
    }
    if (msg.Is(LDrop_Sense) || msg.Is(LDrop_Enter)) {
        // Nobody here wants the drag.
        fFeedback = 0;
        LHandler* former = fTarget;
        fTarget = nullptr;
        plat::Cursor::Arrow()->Set();
        if (former) return LMessage(LDrop_Leave, this, former);
    }
    return LMessage();
}

void LDrop::Target(LHandler* pane) {
    if (!pane) return;
    if (pane != fTarget) {
        if (LHandler* old = fTarget) {
            fTarget = nullptr;
            Dispatch(LMessage(LDrop_Leave, this, old));
        }
        fTarget = pane;
        Dispatch(LMessage(LDrop_Enter, this, pane));
    }
    if (fTarget == pane) Dispatch(LMessage(LDrop_Drag, this, pane));
}

void LDrop::SensePass() {
    LWindow* lw = LWindow::FindWindow(fWindow);
    LPane* root = lw ? lw->RootPane() : nullptr;
    LPane* pane = nullptr;
    if (root) {
        const CLPoint local{int32_t(fInfo.windowLocation.x), int32_t(fInfo.windowLocation.y)};
        pane = root->FindPaneAt(local);
    }
    Dispatch(LMessage(LDrop_Sense, this, pane ? static_cast<LHandler*>(pane) : this));
}

uint32_t LDrop::DraggingEntered(const plat::DraggingInfo& info) {
    Busy busy(this);
    Refresh(info);
    fAccepting = 0;
    LWindow* lw = LWindow::FindWindow(fWindow);
    Dispatch(LMessage(LDrop_EnterWin, this, lw ? static_cast<LHandler*>(lw) : this));
    if (fAccepting) SensePass();
    return OperationAnswer();
}

uint32_t LDrop::DraggingUpdated(const plat::DraggingInfo& info) {
    Busy busy(this);
    Refresh(info);
    if (fAccepting) SensePass();
    return OperationAnswer();
}

void LDrop::DraggingExited(const plat::DraggingInfo& info) {
    Busy busy(this);
    Refresh(info);
    if (!fAccepting) return;
    if (LHandler* t = fTarget) {
        fTarget = nullptr;
        Dispatch(LMessage(LDrop_Leave, this, t));
    }
}

bool LDrop::PrepareForDragOperation(const plat::DraggingInfo& info) {
    Busy busy(this);
    Refresh(info);
    return fAccepting;
}

bool LDrop::PerformDragOperation(const plat::DraggingInfo& info) {
    Busy busy(this);
    Refresh(info);
    if (fAccepting)
        if (LHandler* t = fTarget) {
            fTarget = nullptr;
            Dispatch(LMessage(LDrop_Drop, this, t));
        }
    return fFeedback != 0;
}

void LDrop::DeleteWhenIdle() {
    if (IsLinked()) Drops().Remove(this);
    fTarget = nullptr;
    if (fBusy)
        fDoomed = true;
    else
        delete this;
}

void LDropTargetList::SetRegisterHook(RegisterHook hook) {
    gRegister = hook;
}

LDrop* LDropTargetList::Find(const plat::Window* window) {
    if (!window) return nullptr;
    for (SSLink* n = Drops().First(); !n->IsEnd(); n = n->next) {
        auto* drop = static_cast<LDrop*>(n);
        if (drop->fWindow == window) return drop;
    }
    return nullptr;
}

LDrop* LDropTargetList::Acquire(plat::Window* window) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!window) return nullptr;
    LDrop* drop = Find(window);
    if (!drop) {
        drop = new LDrop(window);
        Drops().Insert(drop);
    }
    if (drop->fUseCount++ == 0) {
        window->RegisterForDraggedTypes({plat::Pasteboard::kTypeData});
        if (gRegister) gRegister(window, drop);
    }
    return drop;
}

void LDropTargetList::Release(plat::Window* window) {
    PLAT_DCHECK_MAIN_THREAD();
    LDrop* drop = Find(window);
    if (!drop || drop->fUseCount == 0 || --drop->fUseCount > 0) return;
    if (gRegister) gRegister(window, nullptr);
    window->UnregisterDraggedTypes();
    drop->DeleteWhenIdle();
}

bool LDropTargetList::AnyActive() {
    for (SSLink* n = Drops().First(); !n->IsEnd(); n = n->next)
        if (static_cast<LDrop*>(n)->fTarget) return true;
    return false;
}
