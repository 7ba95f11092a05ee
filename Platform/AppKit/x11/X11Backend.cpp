#include "Platform/AppKit/x11/X11Backend.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Cursor.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11HotKeys.h"
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

// The Unicode character of a keysym, 0 when it has none: Latin-1 keysyms are their code points,
// 0x01000000 + c is c, and a few legacy keysyms are mapped by hand.
uint32_t KeysymCharacter(KeySym sym) {
    if ((sym >= 0x20 && sym <= 0x7e) || (sym >= 0xa0 && sym <= 0xff)) return uint32_t(sym);
    if (sym >= 0x01000100 && sym <= 0x0110ffff) return uint32_t(sym - 0x01000000);
    if (sym >= XK_KP_0 && sym <= XK_KP_9) return uint32_t('0' + (sym - XK_KP_0));
    switch (sym) {
        case XK_EuroSign:
            return 0x20ac;
        case XK_KP_Space:
            return ' ';
        case XK_KP_Multiply:
            return '*';
        case XK_KP_Add:
            return '+';
        case XK_KP_Subtract:
            return '-';
        case XK_KP_Decimal:
            return '.';
        case XK_KP_Divide:
            return '/';
        case XK_KP_Equal:
            return '=';
        default:
            return 0;
    }
}

// The characters of a key the way the application expects them: UTF-8 from the keysym whatever the
// process locale, function keys in the private range, Return as CR, BackSpace as DEL.
std::string KeyText(XKeyEvent* key) {
    char buf[32];
    KeySym sym = 0;
    int n = XLookupString(key, buf, sizeof buf, &sym, nullptr);
    if (sym >= XK_F1 && sym <= XK_F12) return Utf8(0xF704 + uint32_t(sym - XK_F1));
    switch (sym) {
        case XK_Up:
        case XK_KP_Up:
            return Utf8(0xF700);
        case XK_Down:
        case XK_KP_Down:
            return Utf8(0xF701);
        case XK_Left:
        case XK_KP_Left:
            return Utf8(0xF702);
        case XK_Right:
        case XK_KP_Right:
            return Utf8(0xF703);
        case XK_Delete:
        case XK_KP_Delete:
            return Utf8(0xF728);
        case XK_Home:
        case XK_KP_Home:
            return Utf8(0xF729);
        case XK_End:
        case XK_KP_End:
            return Utf8(0xF72B);
        case XK_Prior:
        case XK_KP_Prior:
            return Utf8(0xF72C);
        case XK_Next:
        case XK_KP_Next:
            return Utf8(0xF72D);
        case XK_Return:
            return "\r";
        case XK_KP_Enter:
            return "\x03";
        case XK_BackSpace:
            return "\x7f";
        case XK_Escape:
            return "\x1b";
        case XK_Tab:
            return "\t";
        case XK_ISO_Left_Tab:
            return "\x19";
        default:
            break;
    }
    // Control characters (Control held) come from Xlib; everything else from the keysym.
    if (n == 1 && (uint8_t(buf[0]) < 0x20 || buf[0] == 0x7f)) return std::string(buf, 1);
    uint32_t c = KeysymCharacter(sym);
    return c ? Utf8(c) : std::string();
}

// The modifier mask a modifier key changes, 0 for other keys.
unsigned ModifierOfKey(KeySym sym) {
    switch (sym) {
        case XK_Shift_L:
        case XK_Shift_R:
            return ShiftMask;
        case XK_Control_L:
        case XK_Control_R:
            return ControlMask;
        case XK_Alt_L:
        case XK_Alt_R:
        case XK_Meta_L:
        case XK_Meta_R:
            return Mod1Mask;
        case XK_Super_L:
        case XK_Super_R:
            return Mod4Mask;
        case XK_Caps_Lock:
            return LockMask;
        default:
            return 0;
    }
}

// The X window covers the menu strip and the content.
Rect ContentOf(const Window* w) {
    Rect c = w->NativeRect();
    return {std::round(c.x), std::round(c.y), std::max(1.0, std::round(c.width)),
            std::max(1.0, std::round(c.height))};
}

// A request about a window the server no longer has is not fatal (Xlib's own handler exits).
int IgnoreError(::Display*, XErrorEvent*) {
    return 0;
}

}  // namespace

std::unique_ptr<X11Backend> X11Backend::Open(const char* displayName) {
    XSetErrorHandler(&IgnoreError);
    ::Display* d = XOpenDisplay(displayName);
    return d ? std::unique_ptr<X11Backend>(new X11Backend(d)) : nullptr;
}

X11Backend::X11Backend(::Display* display) : fDisplay(display) {
    fDeleteAtom = XInternAtom(fDisplay, "WM_DELETE_WINDOW", False);
    fNameAtom = XInternAtom(fDisplay, "_NET_WM_NAME", False);
    fUtf8Atom = XInternAtom(fDisplay, "UTF8_STRING", False);
}

X11Backend::~X11Backend() {
    Stop();
    fHotKeys.reset();
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
    fPump = RunLoopSource::Create(&PumpPerform, this);
    if (!RunLoop::Main()->AddFdSource(fSource.get(), kRunLoopCommonModes) ||
        !RunLoop::Main()->AddSource(fPump.get(), kRunLoopCommonModes)) {
        Stop();
        return false;
    }
    SchedulePump();
    return true;
}

void X11Backend::Stop() {
    PLAT_DCHECK_MAIN_THREAD();
    if (fSource) {
        fSource->Invalidate();
        fSource = nullptr;
    }
    if (fPump) {
        fPump->Invalidate();
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

HotKeys* X11Backend::GlobalHotKeys() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fHotKeys)
        fHotKeys = std::make_unique<X11HotKeys>(
            fDisplay, [](void* self) { static_cast<X11Backend*>(self)->SchedulePump(); }, this);
    return fHotKeys.get();
}

void X11Backend::SetCursor(const Cursor* cursor) {
    PLAT_DCHECK_MAIN_THREAD();
    fCursor = cursor ? RetainRef(cursor) : Ref<const Cursor>(Cursor::Arrow());
}

namespace {

// The server's auto-repeat delay and interval in ticks of 1/60 s; false when it reports none.
bool RepeatTicks(::Display* display, int32_t* delay, int32_t* interval) {
    unsigned int delayMs = 0, intervalMs = 0;
    if (!display || !XkbGetAutoRepeatRate(display, XkbUseCoreKbd, &delayMs, &intervalMs)) return false;
    *delay = std::max(1, int32_t(std::lround(delayMs * 60.0 / 1000)));
    *interval = std::max(1, int32_t(std::lround(intervalMs * 60.0 / 1000)));
    return true;
}

}  // namespace

int32_t X11Backend::KeyRepeatDelayTicks() const {
    int32_t delay = 0, interval = 0;
    return RepeatTicks(fDisplay, &delay, &interval) ? delay : Backend::KeyRepeatDelayTicks();
}

int32_t X11Backend::KeyRepeatIntervalTicks() const {
    int32_t delay = 0, interval = 0;
    return RepeatTicks(fDisplay, &delay, &interval) ? interval : Backend::KeyRepeatIntervalTicks();
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
    fAskedSizes[xw] = {c.width, c.height};
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
    fAskedSizes.erase(xw);
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
                fAskedSizes[xw] = {c.width, c.height};
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
    const Rect native{double(x), double(y), double(a.width), double(a.height)};
    Rect now = ContentOf(window);
    if (native.x == now.x && native.y == now.y && native.width == now.width && native.height == now.height)
        return;
    const double strip = window->StripHeight();
    const Rect content{native.x, native.y + strip, native.width, std::max(0.0, native.height - strip)};
    now.y += strip;
    now.height -= strip;
    const bool resized = content.width != now.width || content.height != now.height;
    auto asked = fAskedSizes.find(xwindow);
    const bool ours = asked != fAskedSizes.end() && asked->second.width == native.width &&
                      asked->second.height == native.height;
    fApplyingServerFrame = true;
    if (resized && !ours) {
        // The user's resize: the delegate has its say, and the server gets the answer when it differs.
        Rect frame = window->FrameRectForContentRect(content);
        window->SetFrame({frame.x, frame.y, now.width, now.height + (frame.height - content.height)}, false);
        window->ResizeByUser({frame.width, frame.height});
        Rect applied = ContentOf(window);
        if (applied.width != native.width || applied.height != native.height) {
            fAskedSizes[xwindow] = {applied.width, applied.height};
            XResizeWindow(fDisplay, xwindow, unsigned(applied.width), unsigned(applied.height));
            XFlush(fDisplay);
        }
    } else {
        window->SetFrame(window->FrameRectForContentRect(content), false);
    }
    fApplyingServerFrame = false;
}

void X11Backend::Pump() {
    Application* app = Application::Shared();
    while (XPending(fDisplay) > 0) {
        XEvent x;
        XNextEvent(fDisplay, &x);
        if (fHotKeys && x.type == KeyPress && fHotKeys->HandleKeyPress(x)) continue;
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
                e.location = {double(x.xbutton.x), double(x.xbutton.y) - w->StripHeight()};
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
                e.location = {double(x.xmotion.x), double(x.xmotion.y) - w->StripHeight()};
                e.modifierFlags = Flags(x.xmotion.state);
                e.type = (x.xmotion.state & Button1Mask)   ? EventType::kLeftMouseDragged
                         : (x.xmotion.state & Button3Mask) ? EventType::kRightMouseDragged
                                                           : EventType::kMouseMoved;
                break;
            case KeyPress:
            case KeyRelease: {
                if (unsigned mask = ModifierOfKey(XLookupKeysym(&x.xkey, 0))) {
                    // The state of the event is the one before the key: apply the key to it.
                    unsigned state = x.type == KeyPress ? (x.xkey.state | mask) : (x.xkey.state & ~mask);
                    if (mask == LockMask) state = x.xkey.state ^ LockMask;
                    e.type = EventType::kFlagsChanged;
                    e.modifierFlags = Flags(state);
                    e.keyCode = uint16_t(x.xkey.keycode);
                    break;
                }
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
            case DestroyNotify:
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
