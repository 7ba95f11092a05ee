#include "Platform/AppKit/x11/X11Backend.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Foundation/TextEncoding.h"

namespace plat::x11 {

namespace {

constexpr long kInputMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            KeyPressMask | KeyReleaseMask | StructureNotifyMask | FocusChangeMask;

// Ctrl is Command, Alt is Option, Super is Control.
uint32_t Flags(unsigned int state) {
    uint32_t f = 0;
    if (state & ShiftMask) f |= kShiftKeyMask;
    if (state & LockMask) f |= kAlphaShiftKeyMask;
    if (state & ControlMask) f |= kCommandKeyMask;
    if (state & Mod1Mask) f |= kAlternateKeyMask;
    if (state & Mod4Mask) f |= kControlKeyMask;
    return f;
}

// UTF-8 of one code point.
std::string Utf8(uint32_t c) {
    uint8_t b[4];
    return std::string(reinterpret_cast<const char*>(b), EncodeUtf8Char(c, b));
}

// The characters of a key the way the application expects them (function keys in the private
// range, Return as CR, BackSpace as DEL).
std::string KeyText(XKeyEvent* key) {
    char buf[32];
    KeySym sym = 0;
    int n = XLookupString(key, buf, sizeof buf, &sym, nullptr);
    switch (sym) {
        case XK_Up:
            return Utf8(0xF700);
        case XK_Down:
            return Utf8(0xF701);
        case XK_Left:
            return Utf8(0xF702);
        case XK_Right:
            return Utf8(0xF703);
        case XK_Return:
        case XK_KP_Enter:
            return "\r";
        case XK_BackSpace:
            return "\x7f";
        case XK_ISO_Left_Tab:
            return "\x19";
        default:
            break;
    }
    return std::string(buf, size_t(std::max(n, 0)));
}

Rect ContentOf(const Window* w) {
    Rect c = w->ContentRect();
    return {std::round(c.x), std::round(c.y), std::max(1.0, std::round(c.width)),
            std::max(1.0, std::round(c.height))};
}

// A request about a window the server no longer has is not fatal (Xlib's own handler exits).
int IgnoreError(::Display*, XErrorEvent*) {
    return 0;
}

}  // namespace

X11Backend* X11Backend::Open(const char* displayName) {
    XSetErrorHandler(&IgnoreError);
    ::Display* d = XOpenDisplay(displayName);
    return d ? new X11Backend(d) : nullptr;
}

X11Backend::X11Backend(::Display* display) : fDisplay(display) {
    fDeleteAtom = XInternAtom(fDisplay, "WM_DELETE_WINDOW", False);
    fNameAtom = XInternAtom(fDisplay, "_NET_WM_NAME", False);
    fUtf8Atom = XInternAtom(fDisplay, "UTF8_STRING", False);
}

X11Backend::~X11Backend() {
    Stop();
    for (auto& [xw, w] : fWindows) {
        XDestroyWindow(fDisplay, xw);
        w->SetBackendData(nullptr);
    }
    XCloseDisplay(fDisplay);
}

bool X11Backend::Start() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fSource) return true;
    fSource = FdSource::Create(ConnectionNumber(fDisplay), FdSource::kReadable, &Readable, this);
    RunLoop::Main()->AddFdSource(fSource, kRunLoopCommonModes);
    fPump = RunLoopSource::Create(&PumpPerform, this);
    RunLoop::Main()->AddSource(fPump, kRunLoopCommonModes);
    SchedulePump();
    return true;
}

void X11Backend::Stop() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fSource) {
        fSource->Invalidate();
        fSource->Release();
        fSource = nullptr;
    }
    if (fPump) {
        fPump->Invalidate();
        fPump->Release();
        fPump = nullptr;
    }
}

void X11Backend::SchedulePump() const {
    if (fPump && XQLength(fDisplay) > 0) fPump->Signal();
}

void X11Backend::Readable(FdSource*, int, uint32_t, void* self) {
    static_cast<X11Backend*>(self)->Pump();
}

void X11Backend::PumpPerform(void* self) {
    static_cast<X11Backend*>(self)->Pump();
}

std::vector<Screen> X11Backend::Screens() const {
    int n = DefaultScreen(fDisplay);
    Screen s;
    s.displayId = 1;
    s.frame = {0, 0, double(DisplayWidth(fDisplay, n)), double(DisplayHeight(fDisplay, n))};
    s.visibleFrame = s.frame;
    // The window manager's work area, when it publishes one.
    Atom area = XInternAtom(fDisplay, "_NET_WORKAREA", True);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (area != None &&
        XGetWindowProperty(fDisplay, RootWindow(fDisplay, n), area, 0, 4, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) == Success &&
        data && format == 32 && count == 4) {
        const long* v = reinterpret_cast<const long*>(data);
        if (v[2] > 0 && v[3] > 0) s.visibleFrame = {double(v[0]), double(v[1]), double(v[2]), double(v[3])};
    }
    if (data) XFree(data);
    SchedulePump();
    return {s};
}

Point X11Backend::MouseLocation() const {
    ::Window root, child;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    XQueryPointer(fDisplay, DefaultRootWindow(fDisplay), &root, &child, &rx, &ry, &wx, &wy, &mask);
    SchedulePump();
    return {double(rx), double(ry)};
}

uint32_t X11Backend::ModifierFlags() const {
    ::Window root, child;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    XQueryPointer(fDisplay, DefaultRootWindow(fDisplay), &root, &child, &rx, &ry, &wx, &wy, &mask);
    SchedulePump();
    return Flags(mask);
}

void X11Backend::Beep() {
    PLAT_DCHECK_MAIN_THREAD();
    XBell(fDisplay, 0);
    XFlush(fDisplay);
}

unsigned long X11Backend::XWindowOf(const Window* window) const {
    for (const auto& [xw, w] : fWindows)
        if (w == window) return xw;
    return 0;
}

Window* X11Backend::WindowOf(unsigned long xwindow) const {
    auto it = fWindows.find(xwindow);
    return it == fWindows.end() ? nullptr : it->second;
}

void X11Backend::Create(Window* window) {
    PLAT_DCHECK_MAIN_THREAD();
    Rect c = ContentOf(window);
    XSetWindowAttributes attrs = {};
    attrs.event_mask = kInputMask;
    attrs.background_pixel = WhitePixel(fDisplay, DefaultScreen(fDisplay));
    ::Window xw = XCreateWindow(fDisplay, DefaultRootWindow(fDisplay), int(c.x), int(c.y), unsigned(c.width),
                                unsigned(c.height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                CWEventMask | CWBackPixel, &attrs);
    XSetWMProtocols(fDisplay, xw, &fDeleteAtom, 1);
    // The application places its windows itself.
    XSizeHints hints = {};
    hints.flags = USPosition | USSize;
    hints.x = int(c.x);
    hints.y = int(c.y);
    hints.width = int(c.width);
    hints.height = int(c.height);
    XSetWMNormalHints(fDisplay, xw, &hints);
    StoreTitle(xw, window->Title());
    fWindows[xw] = window;
}

// Window managers show the UTF-8 _NET_WM_NAME; WM_NAME is for those that do not read it.
void X11Backend::StoreTitle(unsigned long xwindow, const std::string& title) {
    XStoreName(fDisplay, xwindow, title.c_str());
    XChangeProperty(fDisplay, xwindow, fNameAtom, fUtf8Atom, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), int(title.size()));
}

void X11Backend::Destroy(Window* window) {
    PLAT_DCHECK_MAIN_THREAD();
    unsigned long xw = XWindowOf(window);
    if (!xw) return;
    fWindows.erase(xw);
    XDestroyWindow(fDisplay, xw);
}

// The server's stacking follows the application's order of visible windows.
void X11Backend::Restack() {
    PLAT_DCHECK_MAIN_THREAD();
    Application* app = Application::Shared();
    std::vector<::Window> order;
    for (int64_t n : app->WindowNumbers())
        if (unsigned long xw = XWindowOf(app->WindowWithNumber(n))) order.push_back(xw);
    if (order.size() > 1) XRestackWindows(fDisplay, order.data(), int(order.size()));
}

void X11Backend::WindowChanged(Window* window, WindowChange change) {
    PLAT_DCHECK_MAIN_THREAD();
    switch (change) {
        case kCreated:
            Create(window);
            break;
        case kDestroyed:
            Destroy(window);
            break;
        case kOrdered:
            if (unsigned long xw = XWindowOf(window)) {
                if (window->IsVisible()) {
                    XMapWindow(fDisplay, xw);
                    Restack();
                } else {
                    XUnmapWindow(fDisplay, xw);
                }
            }
            break;
        case kFrame:
            if (unsigned long xw = XWindowOf(window); xw && !fApplyingServerFrame) {
                Rect c = ContentOf(window);
                XMoveResizeWindow(fDisplay, xw, int(c.x), int(c.y), unsigned(c.width), unsigned(c.height));
            }
            break;
        case kTitle:
            if (unsigned long xw = XWindowOf(window)) StoreTitle(xw, window->Title());
            break;
        default:
            break;
    }
    XFlush(fDisplay);
    SchedulePump();
}

void X11Backend::ApplyServerGeometry(Window* window, unsigned long xwindow) {
    XWindowAttributes a;
    ::Window child;
    int x = 0, y = 0;
    if (!XGetWindowAttributes(fDisplay, xwindow, &a)) return;
    XTranslateCoordinates(fDisplay, xwindow, DefaultRootWindow(fDisplay), 0, 0, &x, &y, &child);
    Rect content{double(x), double(y), double(a.width), double(a.height)};
    Rect now = ContentOf(window);
    if (content.x == now.x && content.y == now.y && content.width == now.width &&
        content.height == now.height)
        return;
    fApplyingServerFrame = true;
    window->SetFrame(window->FrameRectForContentRect(content), false);
    fApplyingServerFrame = false;
}

void X11Backend::Pump() {
    Application* app = Application::Shared();
    while (XPending(fDisplay) > 0) {
        XEvent x;
        XNextEvent(fDisplay, &x);
        Window* w = WindowOf(x.xany.window);
        if (!w) {
            if (x.type == MappingNotify) XRefreshKeyboardMapping(&x.xmapping);
            continue;
        }
        Event e;
        e.windowNumber = w->Number();
        e.timestamp = ClockNow();
        switch (x.type) {
            case ButtonPress:
            case ButtonRelease: {
                const bool down = x.type == ButtonPress;
                const unsigned b = x.xbutton.button;
                e.location = {double(x.xbutton.x), double(x.xbutton.y)};
                e.modifierFlags = Flags(x.xbutton.state);
                if (b >= 4 && b <= 7) {
                    if (!down) continue;
                    e.type = EventType::kScrollWheel;
                    (b <= 5 ? e.deltaY : e.deltaX) = (b == 4 || b == 6) ? 1 : -1;
                    break;
                }
                e.clickCount = down ? 1 : 0;
                if (b == 1)
                    e.type = down ? EventType::kLeftMouseDown : EventType::kLeftMouseUp;
                else if (b == 3)
                    e.type = down ? EventType::kRightMouseDown : EventType::kRightMouseUp;
                else
                    e.type = down ? EventType::kOtherMouseDown : EventType::kOtherMouseUp;
                break;
            }
            case MotionNotify:
                e.location = {double(x.xmotion.x), double(x.xmotion.y)};
                e.modifierFlags = Flags(x.xmotion.state);
                e.type = (x.xmotion.state & Button1Mask)   ? EventType::kLeftMouseDragged
                         : (x.xmotion.state & Button3Mask) ? EventType::kRightMouseDragged
                                                           : EventType::kMouseMoved;
                break;
            case KeyPress:
            case KeyRelease: {
                e.type = x.type == KeyPress ? EventType::kKeyDown : EventType::kKeyUp;
                e.modifierFlags = Flags(x.xkey.state);
                e.keyCode = uint16_t(x.xkey.keycode);
                // Command (Ctrl) leaves the text as it is; Control (Super) makes control characters.
                XKeyEvent typed = x.xkey;
                typed.state &= ~unsigned(ControlMask);
                if (x.xkey.state & Mod4Mask) typed.state |= ControlMask;
                e.characters = KeyText(&typed);
                XKeyEvent plain = x.xkey;
                plain.state &= ShiftMask | LockMask;
                e.charactersIgnoringModifiers = KeyText(&plain);
                break;
            }
            case Expose:
                if (View* v = w->ContentView())
                    v->SetNeedsDisplayInRect({double(x.xexpose.x), double(x.xexpose.y),
                                              double(x.xexpose.width), double(x.xexpose.height)});
                // Wakes the event loop, which draws what needs display after each event.
                e.type = EventType::kAppKitDefined;
                break;
            case ConfigureNotify:
                ApplyServerGeometry(w, x.xany.window);
                continue;
            case ClientMessage:
                if (Atom(x.xclient.data.l[0]) == fDeleteAtom) w->PerformClose();
                continue;
            case FocusIn:
                app->Activate();
                if (!w->IsKeyWindow() && w->CanBecomeKey()) w->MakeKeyWindow();
                continue;
            default:
                continue;
        }
        e.eventNumber = app->NextEventNumber();
        app->PostEvent(e, false);
    }
}

}  // namespace plat::x11
