#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Platform/AppKit/Menu.h"
#include "Platform/Foundation/Geometry.h"
#include "Platform/Foundation/Object.h"
#include "Platform/GL/GLSurface.h"

namespace plat {

class DrawContext;
struct DraggingInfo;
class MenuStrip;
class TextField;
class TextView;
class View;
class Window;

enum : uint32_t {
    kBorderlessWindowMask = 0,
    kTitledWindowMask = 1u << 0,
    kClosableWindowMask = 1u << 1,
    kMiniaturizableWindowMask = 1u << 2,
    kResizableWindowMask = 1u << 3,
    kUtilityWindowMask = 1u << 4,
};

enum : int32_t {
    kNormalWindowLevel = 0,
    kFloatingWindowLevel = 3,
    kTornOffMenuWindowLevel = 3,
    kModalPanelWindowLevel = 8,
};

enum class WindowOrder : int32_t { kBelow = -1, kOut = 0, kAbove = 1 };

// Heights of the title bar that a titled window adds above its content.
inline constexpr double kTitleBarHeight = 22;
inline constexpr double kUtilityTitleBarHeight = 16;

// Callbacks of one window; every one has a default that does nothing (or agrees). The delegate
// follows the window's views in the responder chain (MenuTarget).
class WindowDelegate : public MenuTarget {
public:
    virtual ~WindowDelegate() = default;
    virtual bool WindowShouldClose(Window*) { return true; }
    // The frame size the user's resize should get.
    virtual Size WindowWillResize(Window*, Size proposedFrameSize) { return proposedFrameSize; }
    virtual void WindowDidResize(Window*) {}
    virtual void WindowDidMove(Window*) {}
    virtual void WindowDidBecomeMain(Window*) {}
    virtual void WindowDidResignMain(Window*) {}
    virtual void WindowDidBecomeKey(Window*) {}
    virtual void WindowDidResignKey(Window*) {}
    virtual void WindowWillClose(Window*) {}
    // Drags over a window registered for dragged types: the operation the window would do (bits of
    // Dragging.h, none by default); prepare and perform agree to the drop.
    virtual uint32_t DraggingEntered(Window*, const DraggingInfo&) { return 0; }
    virtual uint32_t DraggingUpdated(Window*, const DraggingInfo&) { return 0; }
    virtual void DraggingExited(Window*, const DraggingInfo&) {}
    virtual bool PrepareForDragOperation(Window*, const DraggingInfo&) { return false; }
    virtual bool PerformDragOperation(Window*, const DraggingInfo&) { return false; }
    virtual void ConcludeDragOperation(Window*, const DraggingInfo&) {}
    virtual void DraggingEnded(Window*, const DraggingInfo&) {}
    // The field editor for a text field of the window that starts editing; null: the window's own.
    virtual TextView* WindowWillReturnFieldEditor(Window*, TextField* /*client*/) { return nullptr; }
};

// Window notifications posted to the default notification centre (object: the window).
inline constexpr const char* kWindowDidBecomeKeyNotification = "WindowDidBecomeKey";
inline constexpr const char* kWindowDidBecomeMainNotification = "WindowDidBecomeMain";
inline constexpr const char* kWindowDidResignKeyNotification = "WindowDidResignKey";
inline constexpr const char* kWindowDidResignMainNotification = "WindowDidResignMain";
inline constexpr const char* kWindowWillCloseNotification = "WindowWillClose";

// A window or panel of the application. Created hidden; the application's window list keeps
// the visible ones front to back by level. Main thread only. GL window contexts get their surface
// from it.
class Window : public Object, public GLWindowHost {
public:
    // A new window with the given content rectangle (screen coordinates).
    static Ref<Window> Create(const Rect& contentRect, uint32_t styleMask);
    static Ref<Window> CreatePanel(const Rect& contentRect, uint32_t styleMask);

    int64_t Number() const { return fNumber; }
    bool IsPanel() const { return fPanel; }

    uint32_t StyleMask() const { return fStyle; }
    // Keeps the content rectangle; the frame follows the new title bar.
    void SetStyleMask(uint32_t style);
    int32_t Level() const { return fLevel; }
    void SetLevel(int32_t level);

    // Frame and content geometry in screen coordinates.
    Rect Frame() const { return fFrame; }
    Rect ContentRect() const { return ContentRectForFrameRect(fFrame); }
    void SetFrame(const Rect& frame, bool display);
    // These two count the menu strip as part of the frame; the static ones do not.
    Rect FrameRectForContentRect(const Rect& content) const;
    Rect ContentRectForFrameRect(const Rect& frame) const;
    static Rect FrameRectForContentRect(const Rect& content, uint32_t style);
    static Rect ContentRectForFrameRect(const Rect& frame, uint32_t style);
    // Between content coordinates and screen coordinates.
    Point ConvertToScreen(Point content) const;
    Point ConvertFromScreen(Point screen) const;

    const std::string& Title() const { return fTitle; }
    void SetTitle(const std::string& title);

    bool IsVisible() const { return fVisible; }
    bool IsMiniaturized() const { return fMiniaturized; }
    // Miniaturizing orders the window out (an icon where the window system has them); coming
    // back orders it front again.
    void SetMiniaturized(bool miniaturized);
    bool IsKeyWindow() const;
    bool IsMainWindow() const;
    bool CanBecomeKey() const;
    bool CanBecomeMain() const;

    void OrderFront();
    void MakeKeyAndOrderFront();
    void MakeKeyWindow();
    void MakeMainWindow();
    void OrderOut();
    // Places the window above or below another (0: at the front of its level) or takes it out.
    void OrderWindow(WindowOrder place, int64_t relativeTo);
    // Asks the delegate, then closes: WindowWillClose, ordered out for good.
    void PerformClose();
    void Close();
    // False (panels that are shown again): Close only orders the window out.
    bool IsReleasedWhenClosed() const { return fReleasedWhenClosed; }
    void SetReleasedWhenClosed(bool released) { fReleasedWhenClosed = released; }

    WindowDelegate* Delegate() const { return fDelegate; }
    void SetDelegate(WindowDelegate* delegate) { fDelegate = delegate; }
    // The content view is retained and sized to the content area.
    View* ContentView() const { return fContentView.get(); }
    void SetContentView(View* view);

    // Drag destinations: a registered window is offered every drag over it.
    void RegisterForDraggedTypes(const std::vector<std::string>& types);
    void UnregisterDraggedTypes() { fDraggedTypes.clear(); }
    const std::vector<std::string>& RegisteredDraggedTypes() const { return fDraggedTypes; }

    bool IgnoresMouseEvents() const { return fIgnoresMouse; }
    void SetIgnoresMouseEvents(bool ignore) { fIgnoresMouse = ignore; }
    bool AcceptsMouseMovedEvents() const { return fAcceptsMouseMoved; }
    void SetAcceptsMouseMovedEvents(bool accept) { fAcceptsMouseMoved = accept; }

    // The in-window menu strip above the content (document windows): the content rectangle stays, the
    // frame grows by its height. Null when none.
    void SetHasMenuStrip(bool has);
    MenuStrip* Strip() const { return fStrip.get(); }
    double StripHeight() const;
    // The content rectangle with the strip above it (screen): what a backend's native window covers.
    Rect NativeRect() const;

    // Panels.
    bool IsFloatingPanel() const { return fFloatingPanel; }
    void SetFloatingPanel(bool floating);
    bool BecomesKeyOnlyIfNeeded() const { return fKeyOnlyIfNeeded; }
    void SetBecomesKeyOnlyIfNeeded(bool flag) { fKeyOnlyIfNeeded = flag; }
    bool HidesOnDeactivate() const { return fHidesOnDeactivate; }
    void SetHidesOnDeactivate(bool flag) { fHidesOnDeactivate = flag; }

    // Draws every view that needs display now, into the backing store (never inside another pass).
    void Display();
    bool NeedsDisplay() const;
    // The image of the content area that draw passes paint into, sized with the content (at least
    // 1×1); made on first use.
    DrawContext* BackingStore();

    // The view that key events reach: the content view unless another view of the window was made
    // first responder. False when the view is not in this window.
    View* FirstResponder() const;
    [[nodiscard]] bool MakeFirstResponder(View* view);
    // The text view that edits a text field of this window: the delegate's answer, else the
    // window's own (made when create is true). Null when none.
    TextView* FieldEditor(bool create, TextField* client);

    // A size change the user made (the backend saw it): the delegate's WindowWillResize answer is
    // applied, keeping the frame's top-left. Answers the frame size applied.
    Size ResizeByUser(Size proposedFrameSize);
    // Called by views: an area of the content needs drawing (y below 0: the menu strip). The areas
    // collected since the last pass reach the backend's PresentWindow after the next one.
    void ContentNeedsDisplay(const Rect& area);
    // What the next pass presents (content coordinates), empty when nothing.
    Rect Damage() const { return fDamage; }

    // GL surfaces, made by the backend. A surface placed below the window needs it not opaque.
    Ref<GLSurface> CreateGLSurface(GLPixelFormat* format, int32_t width, int32_t height) override;
    void SetGLWindowOpaque(bool opaque) override { fOpaque = opaque; }
    void GLSurfaceNeedsDisplay(GLSurface* surface) override;
    bool IsOpaque() const { return fOpaque; }

    // Backend data.
    void* BackendData() const { return fBackendData; }
    void SetBackendData(void* data) { fBackendData = data; }

private:
    Window(const Rect& contentRect, uint32_t style, bool panel);
    ~Window() override;
    friend class Application;

    int64_t fNumber;
    bool fPanel;
    uint32_t fStyle;
    int32_t fLevel = kNormalWindowLevel;
    Rect fFrame;
    std::string fTitle;
    bool fVisible = false;
    bool fMiniaturized = false;
    bool fClosed = false;
    bool fReleasedWhenClosed = true;
    bool fIgnoresMouse = false;
    bool fAcceptsMouseMoved = false;
    bool fFloatingPanel = false;
    bool fKeyOnlyIfNeeded = false;
    bool fHidesOnDeactivate = false;
    bool fOpaque = true;
    WindowDelegate* fDelegate = nullptr;
    Ref<View> fContentView;
    Ref<View> fFirstResponder;
    Ref<TextView> fFieldEditor;
    Ref<DrawContext> fBacking;
    Rect fDamage;
    std::unique_ptr<MenuStrip> fStrip;
    void* fBackendData = nullptr;
    std::vector<std::string> fDraggedTypes;
};

}  // namespace plat
