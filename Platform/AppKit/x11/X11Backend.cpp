#include "Platform/AppKit/x11/X11Backend.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>
#include <epoxy/egl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Cursor.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/MenuStrip.h"
#include "Platform/AppKit/MenuTracker.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Cursors.h"
#include "Platform/AppKit/x11/X11Dnd.h"
#include "Platform/AppKit/x11/X11ErrorTrap.h"
#include "Platform/AppKit/x11/X11GLSurface.h"
#include "Platform/AppKit/x11/X11HotKeys.h"
#include "Platform/AppKit/x11/X11Keyboard.h"
#include "Platform/AppKit/x11/X11Pointer.h"
#include "Platform/AppKit/x11/X11Presenter.h"
#include "Platform/AppKit/x11/X11Screens.h"
#include "Platform/AppKit/x11/X11Selections.h"
#include "Platform/AppKit/x11/X11Settings.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/GL/GLDisplay.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/DrawContext.h"

namespace plat::x11 {

struct X11Backend::XWin {
    Window* window;  // not retained
    ::Window xw;
    XIC ic = nullptr;
    Size asked;    // the size last asked of the server: other sizes it reports are the user's
    Rect exposed;  // X pixels, collected during a pump
    bool configured = false;
    bool presented = false;  // the backing store holds a pass
    bool glExposed = false;  // a GL surface's child lost contents: its owner renders again
    bool grabbed = false;
    bool fullScreen = false;
    int32_t extents[4] = {};  // the window manager's frame: left, right, top, bottom (pixels)
};

namespace {

constexpr long kInputMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            KeyPressMask | KeyReleaseMask | StructureNotifyMask | FocusChangeMask |
                            EnterWindowMask | LeaveWindowMask | PropertyChangeMask;

// The X window covers the menu strip and the content, in pixels.
Rect NativeOf(const Window* w, double scale) {
    Rect c = w->NativeRect();
    return {std::round(c.x * scale), std::round(c.y * scale), std::max(1.0, std::round(c.width * scale)),
            std::max(1.0, std::round(c.height * scale))};
}

bool IsPopUp(const Window* w) {
    return w->Level() >= kPopUpMenuWindowLevel && !(w->StyleMask() & kTitledWindowMask);
}

X11Backend* gLostWatch = nullptr;

// The process's EGL display on the X11 platform, over a connection of its own that lives as long as
// the process (GL objects outlive backends in tests).
void InstallGLDisplay(const char* displayName) {
    static ::Display* connection = nullptr;
    if (connection) return;
    connection = XOpenDisplay(displayName);
    if (!connection) return;
    EGLDisplay egl = EGL_NO_DISPLAY;
    if (epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_KHR_platform_x11") ||
        epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_EXT_platform_x11"))
        egl = eglGetPlatformDisplayEXT(EGL_PLATFORM_X11_KHR, connection, nullptr);
    if (egl == EGL_NO_DISPLAY || !GLDisplay::Install(egl, true))
        std::fprintf(stderr, "orbilume: no EGL display on the X server; GL panes draw offscreen\n");
}

}  // namespace

std::unique_ptr<X11Backend> X11Backend::Open(const char* displayName) {
    return Open(displayName, Options{});
}

std::unique_ptr<X11Backend> X11Backend::Open(const char* displayName, const Options& options) {
    InstallErrorHandlers(&Lost);
    // Render threads swap GL surfaces of our windows.
    static const bool threads = XInitThreads() != 0;
    (void)threads;
    ::Display* d = XOpenDisplay(displayName);
    if (!d) return nullptr;
    InstallIOExitHandler(d);
    if (options.glWindows) InstallGLDisplay(displayName);
    return std::unique_ptr<X11Backend>(new X11Backend(d, options));
}

X11Backend::X11Backend(::Display* display, const Options& options) : fDisplay(display) {
    fPresenter = std::make_unique<X11Presenter>(fDisplay, options.sharedMemory);
    fKeyboard = std::make_unique<X11Keyboard>(fDisplay);
    fPointer = std::make_unique<X11Pointer>(fDisplay);
    fCursors = std::make_unique<X11Cursors>(fDisplay);
    fSelections = std::make_unique<X11Selections>(fDisplay);
    fSelections->SetAfterWait([](void* self) { static_cast<X11Backend*>(self)->SchedulePump(); }, this);
    fDnd = std::make_unique<X11Dnd>(fDisplay, fSelections.get());
    int error = 0;
    // libXrandr keeps a record per display it asked, freed only when the server has RandR.
    int opcode = 0;
    fRandR = XQueryExtension(fDisplay, "RANDR", &opcode, &fRandREvent, &error) &&
             XRRQueryExtension(fDisplay, &fRandREvent, &error);
    if (fRandR)
        XRRSelectInput(fDisplay, DefaultRootWindow(fDisplay), RRScreenChangeNotifyMask);
    else
        std::fprintf(stderr, "orbilume: the X server has no RandR; one screen\n");
    int shapeEvent = 0, shapeError = 0;
    if (!XShapeQueryExtension(fDisplay, &shapeEvent, &shapeError))
        std::fprintf(stderr,
                     "orbilume: the X server has no SHAPE; GL panes show whole over panes above them\n");
    ::Window root, child;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    XQueryPointer(fDisplay, DefaultRootWindow(fDisplay), &root, &child, &rx, &ry, &wx, &wy, &mask);
    fModifiers = fKeyboard->Flags(mask);
    X11Settings settings;
    const bool desktop = ReadDesktopSettings(&settings);
    fScale = options.scale >= 1 && options.scale <= 3 ? options.scale
                                                      : DesktopScale(desktop ? settings.Scale() : 0);
    // Cursors as the desktop shows them (before the first is made).
    if (desktop) fCursors->UseTheme(settings.CursorTheme(), settings.CursorSize());
    fMouse = {rx / fScale, ry / fScale};
    gLostWatch = this;
}

X11Backend::~X11Backend() {
    Stop();
    fHotKeys.reset();
    if (gLostWatch == this) gLostWatch = nullptr;
    HideDragImage(false);
    fSelections->HandOverAtExit();
    for (auto& [xw, s] : fWindows) {
        fKeyboard->Forget(s->ic);
        XDestroyWindow(fDisplay, xw);
        s->window->SetBackendData(nullptr);
    }
    fWindows.clear();
    fDnd.reset();
    fSelections.reset();
    fCursors.reset();
    fKeyboard.reset();
    fPresenter.reset();
    *fAlive = false;
    XCloseDisplay(fDisplay);
}

// The server is gone: every later call on the connection does nothing; the application ends
// through its own path and reports a failure.
void X11Backend::Lost(::Display* display) {
    X11Backend* b = gLostWatch;
    if (!b || b->fDisplay != display || b->fLost) return;
    b->fLost = true;
    std::fprintf(stderr, "orbilume: lost the connection to the X server\n");
    if (b->fSource) b->fSource->Invalidate();
    Application::Shared()->Terminate();
}

unsigned long X11Backend::Intern(const char* name) {
    auto it = fAtoms.find(name);
    if (it != fAtoms.end()) return it->second;
    return fAtoms[name] = XInternAtom(fDisplay, name, False);
}

// The settings the XSETTINGS manager of the screen publishes; false without one (or a sane blob).
bool X11Backend::ReadDesktopSettings(X11Settings* settings) {
    bool read = false;
    char name[32];
    std::snprintf(name, sizeof(name), "_XSETTINGS_S%d", DefaultScreen(fDisplay));
    const ::Window owner = XGetSelectionOwner(fDisplay, Intern(name));
    if (owner != None) {
        X11ErrorTrap trap(fDisplay);
        ::Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const ::Atom property = Intern("_XSETTINGS_SETTINGS");
        if (XGetWindowProperty(fDisplay, owner, property, 0, long(X11Settings::kMaxBlob / 4), False, property,
                               &type, &format, &count, &after, &data) == Success &&
            data && format == 8 && after == 0)
            read = settings->Parse(data, count);
        if (data) XFree(data);
        (void)trap.Failed();
    }
    return read;
}

// The desktop's scale: ORBILUME_SCALE, else the XSETTINGS manager's, else the Xft.dpi resource's.
int32_t X11Backend::DesktopScale(int32_t fromSettings) {
    int32_t fromDpi = 0;
    if (const char* resources = XResourceManagerString(fDisplay))
        fromDpi = X11Settings::ScaleFromDpiText(X11Settings::DpiResource(resources));
    return X11Settings::ChooseScale(std::getenv("ORBILUME_SCALE"), fromSettings, fromDpi);
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
    fSelections->Start();
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
    if (fSelections) fSelections->Stop();
}

void X11Backend::SchedulePump() const {
    if (fPump && !fLost && XQLength(fDisplay) > 0) fPump->Signal();
}

void X11Backend::Readable(FdSource*, int, uint32_t, void* self) {
    static_cast<X11Backend*>(self)->Pump();
}

void X11Backend::PumpPerform(void* self) {
    static_cast<X11Backend*>(self)->Pump();
}

std::vector<Screen> X11Backend::Screens() const {
    Rect work;
    ::Atom area = XInternAtom(fDisplay, "_NET_WORKAREA", True);
    ::Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (area != None &&
        XGetWindowProperty(fDisplay, DefaultRootWindow(fDisplay), area, 0, 4, False, XA_CARDINAL, &type,
                           &format, &count, &after, &data) == Success &&
        data && format == 32 && count == 4) {
        const long* v = reinterpret_cast<const long*>(data);
        if (v[2] > 0 && v[3] > 0) work = {double(v[0]), double(v[1]), double(v[2]), double(v[3])};
    }
    if (data) XFree(data);
    SchedulePump();
    std::vector<Screen> screens = ScreensFromMonitors(QueryMonitors(fDisplay), work);
    // Points on the framework's side.
    const double k = fScale;
    for (Screen& sc : screens) {
        sc.frame = {sc.frame.x / k, sc.frame.y / k, sc.frame.width / k, sc.frame.height / k};
        sc.visibleFrame = {sc.visibleFrame.x / k, sc.visibleFrame.y / k, sc.visibleFrame.width / k,
                           sc.visibleFrame.height / k};
        sc.backingScaleFactor = k;
    }
    return screens;
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
    fCursorX = fCursors->CursorFor(fCursor.get());
    for (auto& [xw, s] : fWindows) XDefineCursor(fDisplay, xw, fCursorX);
    XFlush(fDisplay);
    SchedulePump();
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

X11Backend::XWin* X11Backend::StateOf(unsigned long xwindow) const {
    auto it = fWindows.find(xwindow);
    return it == fWindows.end() ? nullptr : it->second.get();
}

X11Backend::XWin* X11Backend::StateOf(const Window* window) const {
    if (!window) return nullptr;
    auto* s = static_cast<XWin*>(window->BackendData());
    return s && StateOf(s->xw) == s ? s : nullptr;
}

// Callers may ask about a window already gone: only compared, never read.
unsigned long X11Backend::XWindowOf(const Window* window) const {
    for (const auto& [xw, s] : fWindows)
        if (s->window == window) return xw;
    return 0;
}

void X11Backend::Create(Window* window) {
    PLAT_DCHECK_MAIN_THREAD();
    Rect c = NativeOf(window, fScale);
    XSetWindowAttributes attrs = {};
    attrs.event_mask = kInputMask;
    // Nothing is cleared on exposure: the backing store paints it.
    attrs.background_pixmap = None;
    attrs.bit_gravity = NorthWestGravity;
    attrs.override_redirect = IsPopUp(window);
    attrs.cursor = fCursorX;
    ::Window xw =
        XCreateWindow(fDisplay, DefaultRootWindow(fDisplay), int(c.x), int(c.y), unsigned(c.width),
                      unsigned(c.height), 0, CopyFromParent, InputOutput, CopyFromParent,
                      CWEventMask | CWBackPixmap | CWBitGravity | CWOverrideRedirect | CWCursor, &attrs);
    auto s = std::make_unique<XWin>();
    s->window = window;
    s->xw = xw;
    s->asked = {c.width, c.height};
    s->ic = fKeyboard->ContextFor(xw);
    window->SetBackendData(s.get());
    fWindows[xw] = std::move(s);
    fPointer->Select(xw);
    ::Atom protocols[] = {Intern("WM_DELETE_WINDOW"), Intern("_NET_WM_PING")};
    XSetWMProtocols(fDisplay, xw, protocols, 2);
    if (!IsPopUp(window)) fDnd->MarkAware(xw);
    StoreHints(window, xw);
    StoreTitle(xw, window->Title());
    StoreIcon(xw);
}

void X11Backend::StoreIcon(unsigned long xw) {
    if (fIcon.empty())
        XDeleteProperty(fDisplay, xw, Intern("_NET_WM_ICON"));
    else
        XChangeProperty(fDisplay, xw, Intern("_NET_WM_ICON"), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(fIcon.data()), int(fIcon.size()));
}

void X11Backend::SetApplicationIcon(const BitmapImage* image) {
    PLAT_DCHECK_MAIN_THREAD();
    fIcon.clear();
    const int32_t w = image ? image->Width() : 0, h = image ? image->Height() : 0;
    if (w > 0 && h > 0 && w <= 512 && h <= 512) {
        Ref<DrawContext> ctx = DrawContext::CreateImage(w, h);
        if (ctx) {
            ctx->DrawImage({0, 0, double(w), double(h)}, image);
            // Width, height, then ARGB rows, one CARDINAL (a long on the client side) a pixel.
            fIcon.reserve(2 + size_t(w) * size_t(h));
            fIcon.push_back(w);
            fIcon.push_back(h);
            for (int32_t y = 0; y < h; ++y)
                for (int32_t x = 0; x < w; ++x) fIcon.push_back(long(ctx->PixelAt(x, y)));
        }
    }
    if (!fDisplay) return;
    for (auto& [xw, s] : fWindows) StoreIcon(xw);
    XFlush(fDisplay);
}

Rect X11Backend::FrameExtents(const Window* window) const {
    const XWin* s = StateOf(window);
    if (!s) return {};
    return {double(s->extents[0]), double(s->extents[2]), double(s->extents[1]), double(s->extents[3])};
}

// A borderless window covering a whole screen is shown full screen (the output window).
bool X11Backend::CoversAScreen(const Window* window) const {
    if ((window->StyleMask() & kTitledWindowMask) || IsPopUp(window)) return false;
    const Rect f = window->Frame();
    for (const Screen& sc : Screens())
        if (f.x == sc.frame.x && f.y == sc.frame.y && f.width == sc.frame.width &&
            f.height == sc.frame.height)
            return true;
    return false;
}

// Panels and dialogs stay with the main window.
void X11Backend::StoreTransientFor(Window* window, unsigned long xw) {
    if (!window->IsPanel() || IsPopUp(window)) return;
    Window* main = Application::Shared()->MainWindow();
    if (!main || main == window) return;
    if (unsigned long owner = XWindowOf(main)) XSetTransientForHint(fDisplay, xw, owner);
}

// Asks the window manager to add or remove a state of a mapped window.
void X11Backend::SendState(unsigned long xw, bool add, const char* state) {
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.window = xw;
    e.xclient.message_type = Intern("_NET_WM_STATE");
    e.xclient.format = 32;
    e.xclient.data.l[0] = add ? 1 : 0;
    e.xclient.data.l[1] = long(Intern(state));
    e.xclient.data.l[3] = 1;  // from an application
    XSendEvent(fDisplay, DefaultRootWindow(fDisplay), False,
               SubstructureNotifyMask | SubstructureRedirectMask, &e);
}

void X11Backend::Activate(unsigned long xw) {
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.window = xw;
    e.xclient.message_type = Intern("_NET_ACTIVE_WINDOW");
    e.xclient.format = 32;
    e.xclient.data.l[0] = 1;  // from an application
    e.xclient.data.l[1] = long(fSelections->Time());
    XSendEvent(fDisplay, DefaultRootWindow(fDisplay), False,
               SubstructureNotifyMask | SubstructureRedirectMask, &e);
}

// Class, process, type, placement and decoration hints for the window manager.
void X11Backend::StoreHints(Window* window, unsigned long xw) {
    Rect c = NativeOf(window, fScale);
    XSizeHints* size = XAllocSizeHints();
    // The application places its windows itself; the content lands where it asked.
    size->flags = USPosition | USSize | PWinGravity;
    size->x = int(c.x);
    size->y = int(c.y);
    size->width = int(c.width);
    size->height = int(c.height);
    size->win_gravity = StaticGravity;
    if (!(window->StyleMask() & kResizableWindowMask) && (window->StyleMask() & kTitledWindowMask)) {
        size->flags |= PMinSize | PMaxSize;
        size->min_width = size->max_width = int(c.width);
        size->min_height = size->max_height = int(c.height);
    }
    XClassHint* cls = XAllocClassHint();
    char name[] = "orbilume", klass[] = "Orbilume";
    cls->res_name = name;
    cls->res_class = klass;
    XWMHints* wm = XAllocWMHints();
    wm->flags = InputHint;
    wm->input = !IsPopUp(window);
    Xutf8SetWMProperties(fDisplay, xw, nullptr, nullptr, nullptr, 0, size, wm, cls);
    XFree(size);
    XFree(cls);
    XFree(wm);

    const long pid = long(getpid());
    XChangeProperty(fDisplay, xw, Intern("_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    const char* type = "_NET_WM_WINDOW_TYPE_NORMAL";
    if (IsPopUp(window))
        type = "_NET_WM_WINDOW_TYPE_POPUP_MENU";
    else if (window->IsFloatingPanel() || (window->StyleMask() & kUtilityWindowMask))
        type = "_NET_WM_WINDOW_TYPE_UTILITY";
    else if (window->IsPanel() && window->Level() >= kModalPanelWindowLevel)
        type = "_NET_WM_WINDOW_TYPE_DIALOG";
    // A borderless window that does not cover a screen is a splash (the start-up window).
    else if (!window->IsPanel() && window->StyleMask() == kBorderlessWindowMask && !CoversAScreen(window))
        type = "_NET_WM_WINDOW_TYPE_SPLASH";
    const long typeAtom = long(Intern(type));
    XChangeProperty(fDisplay, xw, Intern("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&typeAtom), 1);
    std::vector<long> states;
    if (window->Level() > kNormalWindowLevel && !IsPopUp(window))
        states.push_back(long(Intern("_NET_WM_STATE_ABOVE")));
    if (window->Level() >= kModalPanelWindowLevel && !IsPopUp(window))
        states.push_back(long(Intern("_NET_WM_STATE_MODAL")));
    if (XWin* s = StateOf(xw); s && (s->fullScreen = CoversAScreen(window)))
        states.push_back(long(Intern("_NET_WM_STATE_FULLSCREEN")));
    StoreTransientFor(window, xw);
    XChangeProperty(fDisplay, xw, Intern("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(states.data()), int(states.size()));
    // Borderless windows get no decoration from window managers that read the Motif hints.
    struct {
        long flags, functions, decorations, inputMode, status;
    } motif = {2, 0, (window->StyleMask() & kTitledWindowMask) ? 1 : 0, 0, 0};
    XChangeProperty(fDisplay, xw, Intern("_MOTIF_WM_HINTS"), Intern("_MOTIF_WM_HINTS"), 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&motif), 5);
}

// WM_NAME through Xutf8SetWMProperties (compound text where Latin-1 cannot hold it) and the UTF-8
// _NET_WM_NAME that window managers show.
void X11Backend::StoreTitle(unsigned long xwindow, const std::string& title) {
    Xutf8SetWMProperties(fDisplay, xwindow, title.c_str(), title.c_str(), nullptr, 0, nullptr, nullptr,
                         nullptr);
    XChangeProperty(fDisplay, xwindow, Intern("_NET_WM_NAME"), Intern("UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), int(title.size()));
    XChangeProperty(fDisplay, xwindow, Intern("_NET_WM_ICON_NAME"), Intern("UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), int(title.size()));
}

void X11Backend::Destroy(Window* window) {
    PLAT_DCHECK_MAIN_THREAD();
    XWin* s = StateOf(window);
    if (!s) return;
    const ::Window xw = s->xw;
    if (s->grabbed) {
        XUngrabPointer(fDisplay, CurrentTime);
        XUngrabKeyboard(fDisplay, CurrentTime);
    }
    fKeyboard->Forget(s->ic);
    window->SetBackendData(nullptr);
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

// A pop-up holds the pointer and keyboard while it shows; a refused grab dismisses it.
void X11Backend::Mapped(Window* window, XWin* s) {
    if (!IsPopUp(window) || s->grabbed) return;
    XSync(fDisplay, False);
    const unsigned mask =
        ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask | LeaveWindowMask;
    int pointer = GrabNotViewable, keyboard = GrabNotViewable;
    for (int attempt = 0; attempt < 20 && (pointer != GrabSuccess || keyboard != GrabSuccess); ++attempt) {
        if (pointer != GrabSuccess)
            pointer = XGrabPointer(fDisplay, s->xw, True, mask, GrabModeAsync, GrabModeAsync, None, None,
                                   CurrentTime);
        if (keyboard != GrabSuccess)
            keyboard = XGrabKeyboard(fDisplay, s->xw, True, GrabModeAsync, GrabModeAsync, CurrentTime);
        if (pointer != GrabSuccess || keyboard != GrabSuccess) usleep(5000);
    }
    s->grabbed = pointer == GrabSuccess && keyboard == GrabSuccess;
    if (!s->grabbed) {
        if (pointer == GrabSuccess) XUngrabPointer(fDisplay, CurrentTime);
        if (keyboard == GrabSuccess) XUngrabKeyboard(fDisplay, CurrentTime);
        std::fprintf(stderr, "orbilume: a pop-up could not take the pointer and keyboard; dismissed\n");
        Event e;
        e.type = EventType::kKeyDown;
        e.windowNumber = window->Number();
        e.characters = e.charactersIgnoringModifiers = "\x1b";
        e.timestamp = ClockNow();
        e.eventNumber = Application::Shared()->NextEventNumber();
        Application::Shared()->PostEvent(e, false);
    }
}

void X11Backend::WindowChanged(Window* window, WindowChange change) {
    PLAT_DCHECK_MAIN_THREAD();
    if (fLost) {
        // Nothing reaches the server any more; a window going still leaves the books.
        if (change == kDestroyed)
            if (XWin* s = StateOf(window)) {
                window->SetBackendData(nullptr);
                fWindows.erase(s->xw);
            }
        return;
    }
    switch (change) {
        case kCreated:
            Create(window);
            break;
        case kDestroyed:
            Destroy(window);
            break;
        case kOrdered:
            if (XWin* s = StateOf(window)) {
                if (window->IsVisible()) {
                    StoreTransientFor(window, s->xw);
                    XMapWindow(fDisplay, s->xw);
                    Restack();
                    Mapped(window, s);
                    if (window->IsKeyWindow() && !IsPopUp(window)) Activate(s->xw);
                } else {
                    if (s->grabbed) {
                        XUngrabPointer(fDisplay, CurrentTime);
                        XUngrabKeyboard(fDisplay, CurrentTime);
                        s->grabbed = false;
                    }
                    // A miniaturized window becomes an icon of the window manager; without one
                    // it only leaves the screen.
                    if (window->IsMiniaturized() && !IsPopUp(window) && HasWindowManager())
                        XIconifyWindow(fDisplay, s->xw, DefaultScreen(fDisplay));
                    else
                        XUnmapWindow(fDisplay, s->xw);
                }
            }
            break;
        case kFrame:
            if (XWin* s = StateOf(window); s && !fApplyingServerFrame) {
                Rect c = NativeOf(window, fScale);
                s->asked = {c.width, c.height};
                // The title bar the manager adds above stays on the screen.
                if (s->extents[2] > 0 && c.y < s->extents[2]) c.y = s->extents[2];
                XMoveResizeWindow(fDisplay, s->xw, int(c.x), int(c.y), unsigned(c.width), unsigned(c.height));
                if (s->fullScreen != CoversAScreen(window)) {
                    s->fullScreen = !s->fullScreen;
                    SendState(s->xw, s->fullScreen, "_NET_WM_STATE_FULLSCREEN");
                    // A window without a title bar has its type and, while unmapped, its state
                    // follow (a splash only while it covers no screen).
                    if (!(window->StyleMask() & kTitledWindowMask)) StoreHints(window, s->xw);
                }
            }
            break;
        case kTitle:
            if (XWin* s = StateOf(window)) StoreTitle(s->xw, window->Title());
            break;
        case kStyle:
            if (XWin* s = StateOf(window)) StoreHints(window, s->xw);
            break;
        default:
            break;
    }
    XFlush(fDisplay);
    SchedulePump();
}

Ref<DrawContext> X11Backend::CreateBackingStore(Window*, int32_t width, int32_t height) {
    Ref<DrawContext> store = fPresenter->CreateImage(width, height);
    return store ? store : DrawContext::CreateImage(width, height);
}

// area: X pixels of the window (the strip above the content).
void X11Backend::Present(Window* w, XWin* s, const Rect& area) {
    if (fLost) return;
    const double strip = w->StripHeight() * fScale;
    if (MenuStrip* m = w->Strip(); m && area.y < strip) {
        const Rect part = area.Intersection({0, 0, area.x + area.width, strip});
        if (!part.IsEmpty()) {
            fPresenter->Present(s->xw, m->Image(), part, 0, 0);
            fStats.presented.push_back(part);
        }
    }
    const Rect content = area.Intersection({0, strip, 1e9, 1e9});
    if (content.IsEmpty()) return;
    fPresenter->Present(s->xw, w->BackingStore(),
                        {content.x, content.y - strip, content.width, content.height}, 0, int32_t(strip));
    fStats.presented.push_back(content);
}

void X11Backend::PresentWindow(Window* window, const Rect& damage) {
    PLAT_DCHECK_MAIN_THREAD();
    XWin* s = StateOf(window);
    if (!s) return;
    s->presented = true;
    const double strip = window->StripHeight();
    const double k = fScale;
    Rect area{std::floor(damage.x * k), std::floor((damage.y + strip) * k), 0, 0};
    area.width = std::ceil((damage.x + damage.width) * k) - area.x;
    area.height = std::ceil((damage.y + strip + damage.height) * k) - area.y;
    Present(window, s, area);
    X11GLSurface::PlaceAll(s->xw, int32_t(strip * k));
    XFlush(fDisplay);
    SchedulePump();
}

Ref<GLSurface> X11Backend::CreateGLSurface(Window* window, GLPixelFormat* format, int32_t width,
                                           int32_t height) {
    PLAT_DCHECK_MAIN_THREAD();
    if (XWin* s = StateOf(window); s && !fLost)
        if (Ref<X11GLSurface> surface =
                X11GLSurface::Create(fDisplay, fAlive, s->xw, int32_t(window->StripHeight() * fScale),
                                     int32_t(fScale), format, width, height))
            return surface;
    return Backend::CreateGLSurface(window, format, width, height);
}

// Exposed parts come from the backing store; the framework draws only a window it never drew or
// whose store is being replaced.
void X11Backend::Exposed(Window* w, XWin* s) {
    const Rect pixels = s->exposed;
    s->exposed = {};
    const double k = fScale;
    const Rect area{std::floor(pixels.x / k), std::floor(pixels.y / k), std::ceil(pixels.width / k + 1),
                    std::ceil(pixels.height / k + 1)};
    if (area.IsEmpty() || !w->IsVisible()) return;
    const double strip = w->StripHeight();
    if (!s->presented || !w->Damage().IsEmpty() || w->NeedsDisplay()) {
        ++fStats.exposesToFramework;
        w->ContentNeedsDisplay({area.x, area.y - strip, area.width, area.height});
        if (View* v = w->ContentView())
            v->SetNeedsDisplayInRect({area.x, area.y - strip, area.width, area.height});
        return;
    }
    ++fStats.exposesFromStore;
    Present(w, s, pixels);
}

void X11Backend::ReadFrameExtents(XWin* s) {
    ::Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    for (int32_t& e : s->extents) e = 0;
    if (XGetWindowProperty(fDisplay, s->xw, Intern("_NET_FRAME_EXTENTS"), 0, 4, False, XA_CARDINAL, &type,
                           &format, &count, &after, &data) == Success &&
        data && format == 32 && count == 4) {
        const long* v = reinterpret_cast<const long*>(data);
        // A frame wider than a screen is nonsense.
        for (int i = 0; i < 4; ++i) s->extents[i] = v[i] >= 0 && v[i] <= 4096 ? int32_t(v[i]) : 0;
    }
    if (data) XFree(data);
}

void X11Backend::ApplyServerGeometry(Window* window, XWin* s) {
    s->configured = false;
    XWindowAttributes a;
    ::Window child;
    int x = 0, y = 0;
    if (!XGetWindowAttributes(fDisplay, s->xw, &a)) return;
    XTranslateCoordinates(fDisplay, s->xw, DefaultRootWindow(fDisplay), 0, 0, &x, &y, &child);
    const Rect pixels{double(x), double(y), double(a.width), double(a.height)};
    Rect now = NativeOf(window, fScale);
    if (pixels.x == now.x && pixels.y == now.y && pixels.width == now.width && pixels.height == now.height)
        return;
    const double k = fScale;
    const Rect native{pixels.x / k, pixels.y / k, pixels.width / k, pixels.height / k};
    now = {now.x / k, now.y / k, now.width / k, now.height / k};
    const double strip = window->StripHeight();
    const Rect content{native.x, native.y + strip, native.width, std::max(0.0, native.height - strip)};
    now.y += strip;
    now.height -= strip;
    const bool resized = content.width != now.width || content.height != now.height;
    const bool ours = s->asked.width == pixels.width && s->asked.height == pixels.height;
    fApplyingServerFrame = true;
    if (resized && !ours) {
        // The user's resize: the delegate has its say, and the server gets the answer when it differs.
        Rect frame = window->FrameRectForContentRect(content);
        window->SetFrame({frame.x, frame.y, now.width, now.height + (frame.height - content.height)}, false);
        window->ResizeByUser({frame.width, frame.height});
        Rect applied = NativeOf(window, fScale);
        if (applied.width != pixels.width || applied.height != pixels.height) {
            s->asked = {applied.width, applied.height};
            XResizeWindow(fDisplay, s->xw, unsigned(applied.width), unsigned(applied.height));
            XFlush(fDisplay);
        }
    } else {
        window->SetFrame(window->FrameRectForContentRect(content), false);
    }
    fApplyingServerFrame = false;
}

// Turns one X event of a window into the application's event; false when it posts none.
bool X11Backend::Translate(XEvent* x, Window* w, XWin* s) {
    Application* app = Application::Shared();
    Event e;
    e.windowNumber = w->Number();
    e.timestamp = ClockNow();
    const double strip = w->StripHeight();
    const double k = fScale;
    switch (x->type) {
        case ButtonPress:
        case ButtonRelease: {
            const bool down = x->type == ButtonPress;
            const unsigned b = x->xbutton.button;
            fMouse = {x->xbutton.x_root / k, x->xbutton.y_root / k};
            e.location = {x->xbutton.x / k, x->xbutton.y / k - strip};
            e.modifierFlags = fModifiers = fKeyboard->Flags(x->xbutton.state);
            if (b >= 4 && b <= 7) {
                // A line a notch, as the framework scrolls it.
                if (down)
                    PostScroll(w, e.location, x->xbutton.state, b >= 6 ? (b == 6 ? 1 : -1) : 0,
                               b <= 5 ? (b == 4 ? 1 : -1) : 0, false);
                return down;
            }
            if (down) {
                const double interval = DoubleClickInterval() * 1000;
                const bool near = std::fabs(e.location.x - fLastPressAt.x) <= 4 &&
                                  std::fabs(e.location.y - fLastPressAt.y) <= 4;
                const bool again = fClicks > 0 && b == fLastButton && near &&
                                   x->xbutton.time - fLastPressTime <= static_cast<unsigned long>(interval);
                fClicks = again ? fClicks + 1 : 1;
                fLastButton = b;
                fLastPressTime = x->xbutton.time;
                fLastPressAt = e.location;
                e.clickCount = fClicks;
            } else {
                e.clickCount = 0;
            }
            // 0 left, 1 right, 2 middle; the buttons past the wheel's follow.
            e.buttonNumber = b == 1 ? 0 : b == 3 ? 1 : b == 2 ? 2 : int32_t(b) - 5;
            if (b == 1)
                e.type = down ? EventType::kLeftMouseDown : EventType::kLeftMouseUp;
            else if (b == 3)
                e.type = down ? EventType::kRightMouseDown : EventType::kRightMouseUp;
            else
                e.type = down ? EventType::kOtherMouseDown : EventType::kOtherMouseUp;
            if (down && b == 2) fSelections->NoteMiddleClick(x->xbutton.time);
            break;
        }
        case MotionNotify:
            fMouse = {x->xmotion.x_root / k, x->xmotion.y_root / k};
            e.location = {x->xmotion.x / k, x->xmotion.y / k - strip};
            e.modifierFlags = fModifiers = fKeyboard->Flags(x->xmotion.state);
            e.buttonNumber = (x->xmotion.state & Button1Mask)   ? 0
                             : (x->xmotion.state & Button3Mask) ? 1
                             : (x->xmotion.state & Button2Mask) ? 2
                                                                : 0;
            e.type = (x->xmotion.state & Button1Mask)   ? EventType::kLeftMouseDragged
                     : (x->xmotion.state & Button3Mask) ? EventType::kRightMouseDragged
                     : (x->xmotion.state & Button2Mask) ? EventType::kOtherMouseDragged
                                                        : EventType::kMouseMoved;
            break;
        case EnterNotify:
        case LeaveNotify:
            fMouse = {x->xcrossing.x_root / k, x->xcrossing.y_root / k};
            fModifiers = fKeyboard->Flags(x->xcrossing.state);
            return false;
        case KeyPress:
        case KeyRelease: {
            const bool down = x->type == KeyPress;
            fSelections->NoteTime(x->xkey.time);
            e.keyCode = uint16_t(x->xkey.keycode);
            KeySym sym = x->xkey.keycode ? XkbKeycodeToKeysym(fDisplay, KeyCode(x->xkey.keycode), 0, 0) : 0;
            if (unsigned mask = fKeyboard->MaskOfKey(sym)) {
                // The state of the event is the one before the key: apply the key to it.
                unsigned state = down ? (x->xkey.state | mask) : (x->xkey.state & ~mask);
                if (mask == LockMask) state = x->xkey.state ^ LockMask;
                e.type = EventType::kFlagsChanged;
                e.modifierFlags = fModifiers = fKeyboard->Flags(state);
                break;
            }
            e.type = down ? EventType::kKeyDown : EventType::kKeyUp;
            e.modifierFlags = fModifiers = fKeyboard->Flags(x->xkey.state);
            auto held = std::find(fKeysDown.begin(), fKeysDown.end(), x->xkey.keycode);
            if (down) {
                e.isRepeat = held != fKeysDown.end() && x->xkey.keycode != 0;
                if (!e.isRepeat && x->xkey.keycode && fKeysDown.size() < 64)
                    fKeysDown.push_back(x->xkey.keycode);
            } else if (held != fKeysDown.end()) {
                fKeysDown.erase(held);
            }
            e.characters = fKeyboard->Text(x, s->ic, false);
            e.charactersIgnoringModifiers = fKeyboard->Text(x, s->ic, true);
            if (x->xkey.keycode == 0) e.charactersIgnoringModifiers = e.characters;
            break;
        }
        default:
            return false;
    }
    e.eventNumber = app->NextEventNumber();
    app->PostEvent(e, false);
    return true;
}

// One wheel step: notches as line deltas; scrolling deltas in points (a line is 20) from devices that
// scroll smoothly, else in lines.
void X11Backend::PostScroll(Window* w, Point local, unsigned state, double linesX, double linesY,
                            bool precise) {
    constexpr double kLine = 20;
    Event e;
    e.type = EventType::kScrollWheel;
    e.windowNumber = w->Number();
    e.timestamp = ClockNow();
    e.location = local;
    e.modifierFlags = fModifiers = fKeyboard->Flags(state);
    e.deltaX = linesX;
    e.deltaY = linesY;
    e.hasScrollingDeltas = true;
    e.scrollingDeltaX = precise ? linesX * kLine : linesX;
    e.scrollingDeltaY = precise ? linesY * kLine : linesY;
    e.hasPreciseScrollingDeltas = precise;
    e.eventNumber = Application::Shared()->NextEventNumber();
    Application::Shared()->PostEvent(e, false);
}

void X11Backend::Pump() {
    if (fLost) return;
    Application* app = Application::Shared();
    bool focusLeft = false;
    std::vector<XWin*> touched;
    auto touch = [&touched](XWin* s) {
        if (std::find(touched.begin(), touched.end(), s) == touched.end()) touched.push_back(s);
    };
    while (!fLost && XPending(fDisplay) > 0) {
        XEvent x;
        XNextEvent(fDisplay, &x);
        if (fHotKeys && x.type == KeyPress && fHotKeys->HandleKeyPress(x)) continue;
        // The input method takes the keys it composes (dead keys, Compose) and sends the result back.
        if (XFilterEvent(&x, None)) continue;
        if (fSelections->HandleEvent(&x)) continue;
        if (x.type == MappingNotify) {
            XRefreshKeyboardMapping(&x.xmapping);
            fKeyboard->RefreshModifiers();
            continue;
        }
        if (fRandR && x.type == fRandREvent + RRScreenChangeNotify) {
            XRRUpdateConfiguration(&x);
            continue;
        }
        if (x.type == GenericEvent) {
            XEvent core;
            X11Pointer::Scroll scroll;
            switch (fPointer->Convert(&x, &core, &scroll)) {
                case X11Pointer::Result::kCore:
                    x = core;
                    break;
                case X11Pointer::Result::kScroll:
                    if (XWin* s = StateOf(scroll.window)) {
                        fMouse = {scroll.rootX / fScale, scroll.rootY / fScale};
                        PostScroll(s->window,
                                   {scroll.x / fScale, scroll.y / fScale - s->window->StripHeight()},
                                   scroll.state, scroll.linesX, scroll.linesY, true);
                    }
                    continue;
                default:
                    continue;
            }
        }
        if (x.type == Expose)
            if (XWin* p = StateOf(X11GLSurface::ParentOf(x.xexpose.window))) {
                p->glExposed = true;
                touch(p);
                continue;
            }
        XWin* s = StateOf(x.xany.window);
        if (!s) continue;  // windows already gone, or another client's
        if (x.type == ClientMessage && fDnd->HandleClientMessage(&x, fScale)) continue;
        Window* w = s->window;
        switch (x.type) {
            case Expose:
                s->exposed = s->exposed.Union({double(x.xexpose.x), double(x.xexpose.y),
                                               double(x.xexpose.width), double(x.xexpose.height)});
                touch(s);
                continue;
            case ConfigureNotify:
                s->configured = true;
                touch(s);
                continue;
            case PropertyNotify:
                if (x.xproperty.atom == Intern("_NET_FRAME_EXTENTS")) ReadFrameExtents(s);
                if (x.xproperty.atom == Intern("WM_STATE")) StateChanged(w, s);
                continue;
            case ClientMessage:
                if (::Atom(x.xclient.data.l[0]) == Intern("_NET_WM_PING") &&
                    ::Atom(x.xclient.message_type) == Intern("WM_PROTOCOLS")) {
                    XEvent reply = x;
                    reply.xclient.window = DefaultRootWindow(fDisplay);
                    XSendEvent(fDisplay, reply.xclient.window, False,
                               SubstructureNotifyMask | SubstructureRedirectMask, &reply);
                } else if (::Atom(x.xclient.data.l[0]) == Intern("WM_DELETE_WINDOW")) {
                    // The close box is the framework's close request.
                    w->PerformClose();
                }
                continue;
            case FocusIn:
                if (s->ic) XSetICFocus(s->ic);
                // A pop-up's grab moves no focus.
                if (x.xfocus.mode == NotifyGrab || x.xfocus.mode == NotifyUngrab) continue;
                focusLeft = false;
                app->Activate();
                if (!w->IsKeyWindow() && w->CanBecomeKey()) w->MakeKeyWindow();
                continue;
            case FocusOut:
                if (s->ic) XUnsetICFocus(s->ic);
                fKeysDown.clear();
                if (x.xfocus.mode != NotifyGrab && x.xfocus.mode != NotifyUngrab &&
                    x.xfocus.detail != NotifyInferior && x.xfocus.detail != NotifyPointer)
                    focusLeft = true;
                continue;
            default:
                Translate(&x, w, s);
                continue;
        }
    }
    // Once per window and pump, however many the server sent.
    for (XWin* s : touched) {
        if (StateOf(s->xw) != s) continue;
        if (s->configured) ApplyServerGeometry(s->window, s);
        if (StateOf(s->xw) == s && !s->exposed.IsEmpty()) Exposed(s->window, s);
        if (StateOf(s->xw) == s && s->glExposed) {
            s->glExposed = false;
            if (s->window->IsVisible()) s->window->GLSurfaceNeedsDisplay(nullptr);
        }
    }
    if (!touched.empty()) {
        // Wakes the event loop, which draws what needs display.
        app->SetWindowsNeedUpdate(true);
        XFlush(fDisplay);
    }
    // The focus left one of our windows and came to none of the others: the application is inactive.
    if (focusLeft && !fLost && !FocusIsOurs()) app->Deactivate();
    SchedulePump();
}

// Whether the server's input focus is in one of our windows (focus following the pointer counts).
bool X11Backend::FocusIsOurs() {
    ::Window focus = None;
    int revert = 0;
    XGetInputFocus(fDisplay, &focus, &revert);
    if (focus == PointerRoot) return true;
    if (focus == None) return false;
    return OursAtTop(TopLevelOf(focus));
}

// The child of the root holding an X window (a manager's frame, or the window itself); 0 when gone
// (the error is ignored: no trap, whose syncs would double the round trips).
unsigned long X11Backend::TopLevelOf(unsigned long xw) {
    const ::Window root = DefaultRootWindow(fDisplay);
    for (int depth = 0; depth < 16 && xw != root; ++depth) {
        ::Window r = None, parent = None, *children = nullptr;
        unsigned int n = 0;
        if (!XQueryTree(fDisplay, xw, &r, &parent, &children, &n)) return 0;
        if (children) XFree(children);
        if (parent == root) return xw;
        xw = parent;
    }
    return 0;
}

// The state of ours held by a child of the root (its frame, or our window itself), null for
// another program's.
X11Backend::XWin* X11Backend::OursAtTop(unsigned long top) {
    if (!top) return nullptr;
    if (XWin* s = StateOf(top)) return s;
    for (auto& [xw, s] : fWindows)
        if (TopLevelOf(xw) == top) return s.get();
    return nullptr;
}

// The window manager iconified or restored a window: the framework follows.
void X11Backend::StateChanged(Window* window, XWin* s) {
    ::Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long state = -1;
    if (XGetWindowProperty(fDisplay, s->xw, Intern("WM_STATE"), 0, 2, False, AnyPropertyType, &type, &format,
                           &count, &after, &data) == Success &&
        data && format == 32 && count >= 1)
        state = reinterpret_cast<const long*>(data)[0];
    if (data) XFree(data);
    Ref<Window> keep = RetainRef(window);
    if (state == IconicState && window->IsVisible() && !window->IsMiniaturized())
        window->SetMiniaturized(true);
    else if (state == NormalState && window->IsMiniaturized())
        window->SetMiniaturized(false);
}

// A window manager is running (it names its supporting window on the root).
bool X11Backend::HasWindowManager() {
    ::Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(fDisplay, DefaultRootWindow(fDisplay), Intern("_NET_SUPPORTING_WM_CHECK"), 0, 1,
                           False, XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
        data && format == 32 && count == 1)
        found = reinterpret_cast<const long*>(data)[0] != 0;
    if (data) XFree(data);
    return found;
}

// With a compositing manager the drag image is an ARGB window the manager blends; without one
// the window has the image's unpremultiplied colours and is shaped to its non-transparent pixels.
void X11Backend::ShowDragImage(const BitmapImage* image, Point screen) {
    PLAT_DCHECK_MAIN_THREAD();
    HideDragImage(false);
    if (!image || image->Width() <= 0 || image->Height() <= 0 || fLost) return;
    const int32_t w = int32_t(std::ceil(image->Width() * fScale)),
                  h = int32_t(std::ceil(image->Height() * fScale));
    std::vector<uint32_t> px(size_t(w) * size_t(h));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            px[size_t(y) * size_t(w) + size_t(x)] = image->PixelAt(int32_t(x / fScale), int32_t(y / fScale));

    const int screenNumber = DefaultScreen(fDisplay);
    const std::string cm = "_NET_WM_CM_S" + std::to_string(screenNumber);
    XVisualInfo argb = {};
    const bool composited = XGetSelectionOwner(fDisplay, Intern(cm.c_str())) != None &&
                            XMatchVisualInfo(fDisplay, screenNumber, 32, TrueColor, &argb) &&
                            argb.red_mask == 0xff0000 && argb.green_mask == 0xff00 && argb.blue_mask == 0xff;
    XSetWindowAttributes attrs = {};
    attrs.override_redirect = True;
    attrs.background_pixmap = None;
    unsigned long mask = CWOverrideRedirect | CWBackPixmap;
    int depth = CopyFromParent;
    Visual* visual = CopyFromParent;
    if (composited) {
        fDragColormap = XCreateColormap(fDisplay, DefaultRootWindow(fDisplay), argb.visual, AllocNone);
        attrs.colormap = fDragColormap;
        attrs.border_pixel = 0;
        mask |= CWColormap | CWBorderPixel;
        depth = 32;
        visual = argb.visual;
    }
    fDragWindow =
        XCreateWindow(fDisplay, DefaultRootWindow(fDisplay), int(screen.x * fScale), int(screen.y * fScale),
                      unsigned(w), unsigned(h), 0, depth, InputOutput, visual, mask, &attrs);
    fDragOrigin = screen;
    const long type = long(Intern("_NET_WM_WINDOW_TYPE_DND"));
    XChangeProperty(fDisplay, fDragWindow, Intern("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&type), 1);
    // Input passes through it to the window under the pointer.
    int event = 0, error = 0;
    if (XFixesQueryExtension(fDisplay, &event, &error)) {
        XserverRegion empty = XFixesCreateRegion(fDisplay, nullptr, 0);
        XFixesSetWindowShapeRegion(fDisplay, fDragWindow, ShapeInput, 0, 0, empty);
        XFixesDestroyRegion(fDisplay, empty);
    }
    if (!composited) {
        // Runs of non-transparent pixels make the shape; their colours show opaque.
        std::vector<XRectangle> runs;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w;) {
                if ((px[size_t(y) * size_t(w) + size_t(x)] >> 24) == 0) {
                    ++x;
                    continue;
                }
                const int32_t start = x;
                while (x < w && (px[size_t(y) * size_t(w) + size_t(x)] >> 24) != 0) ++x;
                runs.push_back({short(start), short(y), static_cast<unsigned short>(x - start), 1});
            }
        if (XShapeQueryExtension(fDisplay, &event, &error))
            XShapeCombineRectangles(fDisplay, fDragWindow, ShapeBounding, 0, 0, runs.data(), int(runs.size()),
                                    ShapeSet, YXBanded);
        for (uint32_t& p : px) {
            const uint32_t a = p >> 24;
            if (a == 0 || a == 255) continue;
            auto un = [&](int shift) {
                return std::min<uint32_t>(255, (((p >> shift) & 0xff) * 255 + a / 2) / a);
            };
            p = 0xff000000u | un(16) << 16 | un(8) << 8 | un(0);
        }
    }
    XMapRaised(fDisplay, fDragWindow);
    if (composited) {
        // Premultiplied ARGB, as the manager blends it.
        XImage* x = XCreateImage(fDisplay, argb.visual, 32, ZPixmap, 0, reinterpret_cast<char*>(px.data()),
                                 unsigned(w), unsigned(h), 32, w * 4);
        if (x) {
            const uint32_t probe = 1;
            x->byte_order = *reinterpret_cast<const uint8_t*>(&probe) ? LSBFirst : MSBFirst;
            GC gc = XCreateGC(fDisplay, fDragWindow, 0, nullptr);
            XPutImage(fDisplay, fDragWindow, gc, x, 0, 0, 0, 0, unsigned(w), unsigned(h));
            XFreeGC(fDisplay, gc);
            x->data = nullptr;
            XDestroyImage(x);
        }
    } else {
        Ref<BitmapImage> opaque = BitmapImage::Create(
            w, h, PixelFormat::kARGB32, reinterpret_cast<const uint8_t*>(px.data()), size_t(w) * 4);
        Ref<DrawContext> store = opaque ? fPresenter->CreateImage(w, h) : nullptr;
        if (store) {
            store->DrawImage({0, 0, double(w), double(h)}, opaque.get());
            fPresenter->Present(fDragWindow, store.get(), {0, 0, double(w), double(h)}, 0, 0);
        }
    }
    XFlush(fDisplay);
    SchedulePump();
}

bool X11Backend::WindowAt(Point screen, Window** window) {
    PLAT_DCHECK_MAIN_THREAD();
    *window = nullptr;
    if (fLost) return false;
    const ::Window root = DefaultRootWindow(fDisplay);
    const int px = int(std::floor(screen.x * fScale)), py = int(std::floor(screen.y * fScale));
    // Our shown windows by the root's child that holds each.
    std::unordered_map<unsigned long, XWin*> tops;
    for (auto& [xw, s] : fWindows)
        if (s->window->IsVisible())
            if (unsigned long top = TopLevelOf(xw)) tops[top] = s.get();
    ::Window r = None, parent = None, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(fDisplay, root, &r, &parent, &children, &n)) {
        SchedulePump();
        return false;
    }
    // Children come bottom to top.
    for (unsigned int i = n; i-- > 0;) {
        const ::Window c = children[i];
        if (c == fDragWindow) continue;
        XWindowAttributes a;
        if (!XGetWindowAttributes(fDisplay, c, &a) || a.map_state != IsViewable || a.c_class == InputOnly)
            continue;
        const int border = 2 * a.border_width;
        if (px < a.x || py < a.y || px >= a.x + a.width + border || py >= a.y + a.height + border) continue;
        auto ours = tops.find(c);
        if (ours == tops.end()) {
            // Another program's window; its pop-ups, tooltips and drag icons float over the
            // windows they belong to and take no drop.
            if (a.override_redirect) continue;
            break;
        }
        Window* w = ours->second->window;
        if (w->IgnoresMouseEvents()) continue;
        // A manager's title bar is no part of the window.
        if (NativeOf(w, fScale).Contains({double(px), double(py)})) *window = w;
        break;
    }
    if (children) XFree(children);
    // The round trips may have read events into Xlib's queue.
    SchedulePump();
    return true;
}

void X11Backend::MoveDragImage(Point screen) {
    if (!fDragWindow || fLost) return;
    XMoveWindow(fDisplay, fDragWindow, int(screen.x * fScale), int(screen.y * fScale));
    XFlush(fDisplay);
}

void X11Backend::HideDragImage(bool slideBack) {
    if (!fDragWindow) return;
    if (!fLost) {
        if (slideBack) MoveDragImage(fDragOrigin);
        XDestroyWindow(fDisplay, fDragWindow);
        if (fDragColormap) XFreeColormap(fDisplay, fDragColormap);
        XFlush(fDisplay);
    }
    fDragWindow = 0;
    fDragColormap = 0;
}

}  // namespace plat::x11
