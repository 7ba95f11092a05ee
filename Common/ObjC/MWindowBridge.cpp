#include "Common/ObjC/MWindowBridge.h"

#include "Common/ObjC/CMacCursor.h"
#include <cstring>

#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/MCocoaU.h"
#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/CoreUI/LWindowPlacer.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Dragging.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/TextField.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/Clock.h"

namespace {

// The timestamp of the last event whose context menu a pane took: the press AppKit delivers for the
// same event is skipped.
double gLastContextStamp = 0;

void Bind(LWindow* window) {
    plat::Window* native = window->NativeWindow();
    if (!native) return;
    plat::Ref<MWindowDelegate> delegate = MWindowDelegate::Create(window);
    window->SetBridgeObject(delegate.get());
    native->SetDelegate(delegate.get());
    plat::Ref<MWindowView> view = MWindowView::Create(window);
    delegate->SetView(view.get());
    native->SetContentView(view.get());
    native->SetAcceptsMouseMovedEvents(true);
}

void Unbind(LWindow* window) {
    plat::Window* native = window->NativeWindow();
    auto* delegate = static_cast<MWindowDelegate*>(window->BridgeObject());
    MWindowView* view = delegate ? delegate->View() : nullptr;
    if (native && view && native->ContentView() == view) native->SetContentView(nullptr);
    if (native && delegate && native->Delegate() == delegate) native->SetDelegate(nullptr);
    if (delegate) delegate->Detach();
}

const LWindow::Bridge kBridge = {&Bind, &Unbind};

}  // namespace

namespace {

void RegisterDropWithBridge(plat::Window* native, LDrop* drop) {
    LWindow* window = LWindow::FindWindow(native);
    auto* delegate = window ? static_cast<MWindowDelegate*>(window->BridgeObject()) : nullptr;
    if (delegate) delegate->RegisterDrop(drop);
}

const plat::Cursor* AddCursor() {
    static CMacCursor* const cursor = new CMacCursor;  // kept for the process once loaded
    if (!cursor->IsValid()) (void)cursor->Load("kPlusCursor");
    return cursor->Native();
}

bool DragOverApplication() {
    return LDropTargetList::AnyActive();
}

}  // namespace

void InstallWindowBridge() {
    LWindow::SetBridge(&kBridge);
    LDropTargetList::SetRegisterHook(&RegisterDropWithBridge);
    LDrop::SetAddCursorLoader(&AddCursor);
    LMouse::SetDragInProgressHook(&DragOverApplication);
}

// MWindowDelegate -----------------------------------------------------------------------------------

// Dragging: a window without drop object answers none.
uint32_t MWindowDelegate::DraggingEntered(plat::Window*, const plat::DraggingInfo& info) {
    return mDrop ? mDrop->DraggingEntered(info) : 0;
}

uint32_t MWindowDelegate::DraggingUpdated(plat::Window*, const plat::DraggingInfo& info) {
    return mDrop ? mDrop->DraggingUpdated(info) : 0;
}

void MWindowDelegate::DraggingExited(plat::Window*, const plat::DraggingInfo& info) {
    if (mDrop) mDrop->DraggingExited(info);
}

bool MWindowDelegate::PrepareForDragOperation(plat::Window*, const plat::DraggingInfo& info) {
    return mDrop && mDrop->PrepareForDragOperation(info);
}

bool MWindowDelegate::PerformDragOperation(plat::Window*, const plat::DraggingInfo& info) {
    return mDrop && mDrop->PerformDragOperation(info);
}

plat::Ref<MWindowDelegate> MWindowDelegate::Create(LWindow* owner) {
    return plat::Adopt(new MWindowDelegate(owner));
}

void MWindowDelegate::SetView(MWindowView* view) {
    mView = plat::RetainRef(view);
}

void MWindowDelegate::Detach() {
    mOwner = nullptr;
    if (mView) mView->Detach();
    mView = nullptr;
}

void MWindowDelegate::Send(const char* id) {
    if (mOwner) LHandler::Dispatch(LMessage(LMsgId(id), mOwner, mOwner->Upper()));
}

bool MWindowDelegate::WindowShouldClose(plat::Window*) {
    Send("LWindow_Close");
    return false;  // the frame decides
}

plat::Size MWindowDelegate::WindowWillResize(plat::Window* window, plat::Size proposed) {
    if (!mOwner || !window) return proposed;
    plat::Rect content = window->ContentRectForFrameRect({0, 0, proposed.width, proposed.height});
    LWindowPlacer placer(mOwner, true);
    LHandler::Dispatch(LMessage(LWindowPlacer_Grow, &placer, mOwner->Upper()));
    const int32_t w = placer.ClampWidth(int32_t(content.width));
    const int32_t h = placer.ClampHeight(int32_t(content.height));
    placer.SetSize(w, h);
    LHandler::Dispatch(LMessage(LWindowPlacer_Sizing, &placer, mOwner->Upper()));
    plat::Rect frame = window->FrameRectForContentRect(
        {content.x, content.y, double(placer.Width()), double(placer.Height())});
    return {frame.width, frame.height};
}

void MWindowDelegate::WindowDidResize(plat::Window*) {
    Send("LWindow_Place");
}

void MWindowDelegate::WindowDidMove(plat::Window*) {
    Send("LWindow_Place");
}

void MWindowDelegate::WindowDidBecomeMain(plat::Window*) {
    mActivated = plat::ClockNow();
    Send("LWindow_Activate");
}

void MWindowDelegate::WindowDidResignMain(plat::Window*) {
    Send("LWindow_Deativate");
}

void MWindowDelegate::WindowDidBecomeKey(plat::Window* window) {
    Send("LWindow_Focus");
    if (window && !window->FirstResponder()) (void)window->MakeFirstResponder(window->ContentView());
}

plat::TextView* MWindowDelegate::WindowWillReturnFieldEditor(plat::Window*, plat::TextField* client) {
    if (!client || std::strcmp(client->ClassName(), "MTextField") != 0) return nullptr;
    if (!mFieldEditor) mFieldEditor = MTextView::Create();
    mFieldEditor->SetFieldEditor(client->IsSingleLine());
    return mFieldEditor.get();
}

plat::Ref<MTextView> MTextView::Create() {
    PLAT_DCHECK_MAIN_THREAD();
    return plat::Adopt(new MTextView());
}

void MTextView::MouseMoved(const plat::Event& event) {
    plat::Window* w = GetWindow();
    if (w && w->ContentView()) w->ContentView()->MouseMoved(event);
}

void MWindowDelegate::WindowDidResignKey(plat::Window*) {
    Send("LWindow_Unfocus");
}

// MWindowView ---------------------------------------------------------------------------------------

plat::Ref<MWindowView> MWindowView::Create(LWindow* owner) {
    PLAT_DCHECK_MAIN_THREAD();
    return plat::Adopt(new MWindowView(owner));
}

CLPoint MWindowView::GlobalLocation(const plat::Event& event) {
    plat::Window* w = plat::Application::Shared()->WindowWithNumber(event.windowNumber);
    return MCocoaU::ToCLPoint(w ? w->ConvertToScreen(event.location) : event.location);
}

void MWindowView::FillMouse(const plat::Event& event) {
    if (LMouse* mouse = LMouse::Get()) mouse->Fill(event, GlobalLocation(event));
}

LPane* MWindowView::KeyTarget() const {
    LPane* root = mOwner ? mOwner->RootPane() : nullptr;
    return root ? root->FindFocusable() : nullptr;
}

void MWindowView::RefreshCursor() {
    LMouse* mouse = LMouse::Get();
    if (mouse) mouse->UpdateCursor(CMainLoopBase::AppRoot());
}

plat::View* MWindowView::HitTest(plat::Point p) {
    return Frame().Contains(p) ? this : nullptr;
}

void MWindowView::DrawRect(const plat::Rect&) {
    if (mOwner) LHandler::Dispatch(LMessage(LWindow_Update, mOwner, mOwner->Upper()));
}

bool MWindowView::ShouldDelayWindowOrdering(const plat::Event& event) {
    if (!mOwner) return false;
    FillMouse(event);
    LHandler::Dispatch(LMessage(LWindow_Bkgnd, mOwner, mOwner->Upper()));
    LMouse* mouse = LMouse::Get();
    return mouse && mouse->EventLive();
}

bool MWindowView::AcceptsFirstMouse(const plat::Event&) {
    plat::Window* w = GetWindow();
    if (w && w->Level() == plat::kFloatingWindowLevel) return true;
    auto* delegate = mOwner ? static_cast<MWindowDelegate*>(mOwner->BridgeObject()) : nullptr;
    if (!delegate || delegate->ActivationDate() < 0) return false;
    return plat::ClockNow() - delegate->ActivationDate() > kFirstMouseDelay;
}

void MWindowView::MouseDown(const plat::Event& event) {
    if (!mOwner || mMouseDown || event.timestamp == gLastContextStamp) return;
    mMouseDown = 1;
    FillMouse(event);
    LHandler::Dispatch(LMessage(LWindow_Click, mOwner, mOwner->Upper()));
    mMouseDown = 0;
}

void MWindowView::MouseDragged(const plat::Event& event) {
    plat::Application* app = plat::Application::Shared();
    plat::Event used = event;
    // The newest of the drags waiting, unless a press waits behind them.
    if (!app->NextEvent(plat::EventMaskOf(plat::EventType::kLeftMouseDown), 0, plat::kRunLoopDefaultMode,
                        false, nullptr)) {
        plat::Event next;
        while (app->NextEvent(plat::EventMaskOf(plat::EventType::kLeftMouseDragged), 0,
                              plat::kRunLoopDefaultMode, true, &next))
            used = next;
    }
    FillMouse(used);
    RefreshCursor();
    LMouse* mouse = LMouse::Get();
    if (mouse && mouse->Tracker()) LHandler::Dispatch(LMessage(LMouse_Move, mouse, mouse->Tracker()));
}

void MWindowView::MouseUp(const plat::Event&) {
    LMouse* mouse = LMouse::Get();
    if (!mouse) return;
    LHandler* tracker = mouse->Tracker();
    mouse->SetTracker(nullptr);
    if (tracker) LHandler::Dispatch(LMessage(LMouse_Release, mouse, tracker));
}

void MWindowView::MouseMoved(const plat::Event& event) {
    FillMouse(event);
    RefreshCursor();
}

void MWindowView::OtherMouseDown(const plat::Event& event) {
    // A view that does not take the press hands it back up here.
    if (!mOwner || mOtherDown) return;
    plat::View* target = plat::View::HitTest(event.location);
    if (!target || target == this) return;
    plat::Ref<plat::View> keep = plat::RetainRef(target);
    plat::Ref<MWindowView> self = plat::RetainRef(this);
    mOtherDown = 1;
    target->OtherMouseDown(event);
    mOtherDown = 0;
}

void MWindowView::ScrollWheel(const plat::Event& event) {
    if (CMacMainLoop* loop = CMacMainLoop::Get()) loop->ScrollWheel(event);
}

void MWindowView::KeyDown(const plat::Event& event) {
    if (mKeyEv || !mOwner) return;
    mKeyEv = 1;
    LKeyboard* kb = LKeyboard::Get();
    LPane* target = KeyTarget();
    if (kb && target) {
        kb->Fill(event);
        LHandler::Dispatch(LMessage(LKeyboard_Down, kb, target));
        if (!kb->Handled()) {
            kb->SetHandled(true);
            // The first handler may have moved the focus or closed the window.
            if (LPane* again = mOwner ? KeyTarget() : nullptr)
                LHandler::Dispatch(LMessage(LKeyboard_Char, kb, again));
        }
    }
    --mKeyEv;
}

void MWindowView::KeyUp(const plat::Event& event) {
    if (!mOwner || !GetWindow() || !GetWindow()->Delegate()) return;
    LKeyboard* kb = LKeyboard::Get();
    LPane* target = KeyTarget();
    if (!kb || !target) return;
    kb->Fill(event);
    LHandler::Dispatch(LMessage(LKeyboard_Up, kb, target));
}

void MWindowView::FlagsChanged(const plat::Event& event) {
    if (LMouse* mouse = LMouse::Get()) mouse->SetModifiers(event.modifierFlags);
    if (LKeyboard* kb = LKeyboard::Get()) kb->Fill(event);
    RefreshCursor();
    plat::View::FlagsChanged(event);
}

void MWindowView::DoCommandBySelector(const char* selector) {
    const plat::Event* current = plat::Application::Shared()->CurrentEvent();
    if (mKeyEv == 0 && current && current->type == plat::EventType::kKeyDown) {
        KeyDown(*current);
        return;
    }
    plat::View::DoCommandBySelector(selector);
}

plat::Menu* MWindowView::MenuForEvent(const plat::Event& event) {
    if (!mOwner) return nullptr;
    FillMouse(event);
    LHandler::Dispatch(LMessage(LWindow_Context, mOwner, mOwner->Upper()));
    LMouse* mouse = LMouse::Get();
    if (mouse && mouse->EventLive()) gLastContextStamp = event.timestamp;
    return nullptr;
}
