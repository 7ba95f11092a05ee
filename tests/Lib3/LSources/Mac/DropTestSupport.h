#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/ObjC/MWindowBridge.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPane.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "tests/support/HeadlessScreens.h"

// Records the id of every message that reaches it, then passes it on; gives the mouse to a pane
// that asks to capture it, as the application does.
class IdLog : public LHandler {
public:
    LMessage Handle(const LMessage& msg) override {
        ids.push_back(msg.id.Text());
        if (msg.Is(LPane_ReqCapture) && LMouse::Get()) {
            LMouse::Get()->SetTracker(msg.sender);
            return LMessage();
        }
        return LHandler::Handle(msg);
    }
    std::vector<std::string> ids;
};

// The root pane of a test window: finds its children (later ones on top), its port is the window's
// content at the origin.
class RootPane : public LPane {
public:
    RootPane(LHandler* upper, plat::Window* window) : LPane(upper, nullptr), fWindow(window) {
        SetBounds({0, 0, 400, 300});
        ChangeState(kChainShow);
        ChangeState(kChainEnable);
    }
    void FillPort(LPanePort& port) override {
        port.window = fWindow;
        port.contentView = fWindow ? fWindow->ContentView() : nullptr;
        port.clip = CRgn(Bounds());
        port.origin = {0, 0};
    }
    void Invalidate(const CRgn& invalid, const CRgn&) override { invalids.push_back(invalid); }
    LPane* FindPaneAt(const CLPoint& p) override {
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            if (LPane* hit = (*it)->FindPaneAt(p)) return hit;
        return nullptr;
    }
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LPane_Constructing)) return LMessage();
        if (msg.Is(LPane_Destructing)) {
            std::erase(children, static_cast<LPane*>(msg.sender));
            return LMessage();
        }
        return LPane::Handle(msg);
    }
    // Shows a child and lets the root find it.
    template <typename T>
    T* Adopt(T* pane) {
        pane->ChangeState(kChainShow);
        pane->ChangeState(kChainEnable);
        children.push_back(pane);
        return pane;
    }
    std::vector<LPane*> children;
    std::vector<CRgn> invalids;

private:
    plat::Window* fWindow;
};

// A framework window (bound to the native bridge) at content (100, 100) of 400 × 300 with a root
// pane; the mouse object made when none exists.
class DropWindow {
public:
    DropWindow() {
        if (!LMouse::Get()) fMouse = std::make_unique<LMouse>();
        plat::Application::Shared()->Activate();
        window = std::make_unique<LWindow>(&top, LWindow::kDocument, CMacWindowKindH(new CMacWinKind(6)));
        native = window->NativeWindow();
        native->SetFrame(plat::Window::FrameRectForContentRect({100, 100, 400, 300}, native->StyleMask()),
                         false);
        native->OrderFront();
        root = std::make_unique<RootPane>(&log, native);
        window->SetRootPane(root.get());
    }
    ~DropWindow() {
        root.reset();
        window.reset();
    }
    MWindowDelegate* Bridge() const { return static_cast<MWindowDelegate*>(window->BridgeObject()); }
    plat::Point Screen(int32_t x, int32_t y) const { return native->ConvertToScreen({double(x), double(y)}); }
    // Closes the window as its frame would: panes first, then the window.
    void Close() {
        root.reset();
        window.reset();
    }

    testsupport::HeadlessScreens screens;
    CMacWindowMgr mgr;
    LHandler top;
    IdLog log;
    std::unique_ptr<LMouse> fMouse;
    std::unique_ptr<LWindow> window;
    plat::Window* native = nullptr;
    std::unique_ptr<RootPane> root;
};
