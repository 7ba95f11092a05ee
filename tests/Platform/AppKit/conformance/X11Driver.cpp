#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/Cursor.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/AppKit/x11/X11Cursors.h"
#include "Platform/AppKit/x11/X11HotKeys.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/GL/GLDisplay.h"
#include "tests/Platform/AppKit/conformance/BackendDriver.h"
#include "tests/support/BackgroundCommand.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/XvfbServer.h"

namespace conformance {

namespace {

using plat::x11::X11Backend;

// Command is Ctrl, Option is Alt, Control is Super.
unsigned XState(uint32_t modifiers) {
    unsigned s = 0;
    if (modifiers & plat::kShiftKeyMask) s |= ShiftMask;
    if (modifiers & plat::kAlphaShiftKeyMask) s |= LockMask;
    if (modifiers & plat::kCommandKeyMask) s |= ControlMask;
    if (modifiers & plat::kAlternateKeyMask) s |= Mod1Mask;
    if (modifiers & plat::kControlKeyMask) s |= Mod4Mask;
    return s;
}

// One private X server for every test of the process, stopped at exit.
testsupport::XvfbServer& Server() {
    static testsupport::XvfbServer server{"1440x900x24"};
    return server;
}

// The backend on a private X server; input comes from a second client, as another program's would.
class X11Driver : public BackendDriver {
public:
    explicit X11Driver(int32_t scale) : fPrevious(plat::CurrentBackend()), fScale(scale) {
        if (!Server().Ok()) {
            fFailure = "Xvfb did not start";
            return;
        }
        X11Backend::Options options;
        options.scale = scale;
        options.glWindows = true;  // the process's EGL display goes on this server, once
        fBackend = X11Backend::Open(Server().Display().c_str(), options);
        fSender = XOpenDisplay(Server().Display().c_str());
        if (!fBackend || !fSender) {
            fFailure = "no connection to " + Server().Display();
            return;
        }
        plat::SetBackend(fBackend.get());
        if (!fBackend->Start()) fFailure = "the backend did not start";
    }
    ~X11Driver() override {
        if (fSender) XCloseDisplay(fSender);
        if (fBackend) {
            plat::SetBackend(fPrevious);
            fBackend.reset();
        }
    }

    bool Ok() const override { return fFailure.empty(); }
    std::string Failure() const override { return fFailure; }
    int32_t Scale() const override { return fScale; }
    std::string GLSkip() const override {
        return plat::GLDisplay::WindowSurfaces() ? ""
                                                 : "the process's EGL display has no window surfaces here";
    }

    void Mouse(plat::Window* w, plat::EventType type, plat::Point location, uint32_t modifiers) override {
        XEvent x = {};
        location = Pixels(w, location);
        if (type == plat::EventType::kMouseMoved || type == plat::EventType::kLeftMouseDragged ||
            type == plat::EventType::kRightMouseDragged) {
            x.type = MotionNotify;
            x.xmotion.x = int(location.x);
            x.xmotion.y = int(location.y);
            x.xmotion.state = XState(modifiers);
            if (type == plat::EventType::kLeftMouseDragged) x.xmotion.state |= Button1Mask;
            if (type == plat::EventType::kRightMouseDragged) x.xmotion.state |= Button3Mask;
        } else {
            const bool down = type == plat::EventType::kLeftMouseDown ||
                              type == plat::EventType::kRightMouseDown ||
                              type == plat::EventType::kOtherMouseDown;
            const bool right =
                type == plat::EventType::kRightMouseDown || type == plat::EventType::kRightMouseUp;
            const bool middle =
                type == plat::EventType::kOtherMouseDown || type == plat::EventType::kOtherMouseUp;
            x.type = down ? ButtonPress : ButtonRelease;
            x.xbutton.button = right ? 3 : middle ? 2 : 1;
            x.xbutton.x = int(location.x);
            x.xbutton.y = int(location.y);
            x.xbutton.state = XState(modifiers);
        }
        Send(w, x);
    }
    void Wheel(plat::Window* w, plat::Point location, double dy) override {
        XEvent x = {};
        x.type = ButtonPress;
        x.xbutton.button = dy > 0 ? 4 : 5;
        location = Pixels(w, location);
        x.xbutton.x = int(location.x);
        x.xbutton.y = int(location.y);
        Send(w, x);
    }
    void PressKey(plat::Window* w, const Key& key, bool down) override {
        XEvent x = {};
        x.type = down ? KeyPress : KeyRelease;
        x.xkey.keycode = Keycode(key.keysym);
        x.xkey.state = XState(key.modifiers);
        Send(w, x);
    }
    // The state of the event is the one before the key, as a server reports it.
    void PressModifier(plat::Window* w, unsigned long keysym, uint32_t flags, bool down) override {
        XEvent x = {};
        x.type = down ? KeyPress : KeyRelease;
        x.xkey.keycode = Keycode(keysym);
        unsigned mask = XState(flags);
        x.xkey.state = down ? 0 : mask | ShiftMask;
        Send(w, x);
    }
    // Real key presses (XTest) into the window, given the focus as a window manager would, so that
    // the input method composes them.
    void Compose(plat::Window* w, const std::vector<unsigned long>& keysyms, const std::string&) override {
        struct Stroke {
            unsigned code;
            bool shift;  // the keysym is the key's second level
        };
        std::vector<Stroke> strokes;
        for (unsigned long k : keysyms) {
            const unsigned code = Keycode(k);
            strokes.push_back({code, XkbKeycodeToKeysym(fSender, KeyCode(code), 0, 0) != k &&
                                         XkbKeycodeToKeysym(fSender, KeyCode(code), 0, 1) == k});
        }
        XSetInputFocus(fSender, fBackend->XWindowOf(w), RevertToParent, CurrentTime);
        XSync(fSender, False);
        Settle();  // the focus and a changed keyboard map reach the application before the keys
        const unsigned shift = Keycode(XK_Shift_L);
        for (const Stroke& k : strokes) {
            if (k.shift) XTestFakeKeyEvent(fSender, shift, True, 0);
            XTestFakeKeyEvent(fSender, k.code, True, 0);
            XTestFakeKeyEvent(fSender, k.code, False, 0);
            if (k.shift) XTestFakeKeyEvent(fSender, shift, False, 0);
        }
        XFlush(fSender);
    }
    // Real key presses (XTest): a passive grab sees no key sent with XSendEvent.
    void PressHotKey(uint32_t keyCode, uint32_t modifiers) override {
        std::vector<unsigned> held;
        if (modifiers & plat::kHotKeyCommand) held.push_back(Keycode(XK_Control_L));
        if (modifiers & plat::kHotKeyShift) held.push_back(Keycode(XK_Shift_L));
        if (modifiers & plat::kHotKeyOption) held.push_back(Keycode(XK_Alt_L));
        if (modifiers & plat::kHotKeyControl) held.push_back(Keycode(XK_Super_L));
        const unsigned key = Keycode(plat::x11::X11HotKeys::KeysymForKeyCode(keyCode));
        for (unsigned m : held) XTestFakeKeyEvent(fSender, m, True, 0);
        XTestFakeKeyEvent(fSender, key, True, 0);
        XTestFakeKeyEvent(fSender, key, False, 0);
        for (auto m = held.rbegin(); m != held.rend(); ++m) XTestFakeKeyEvent(fSender, *m, False, 0);
        XFlush(fSender);
    }
    void HoldHotKeyOutside(uint32_t keyCode) override {
        const unsigned key = Keycode(plat::x11::X11HotKeys::KeysymForKeyCode(keyCode));
        XGrabKey(fSender, int(key), 0, DefaultRootWindow(fSender), False, GrabModeAsync, GrabModeAsync);
        XSync(fSender, False);
    }
    void UserResize(plat::Window* w, plat::Size content) override {
        XResizeWindow(fSender, fBackend->XWindowOf(w), unsigned(content.width * fScale),
                      unsigned(content.height * fScale));
        XFlush(fSender);
    }

    bool Shown(const plat::Window* w) override { return Attributes(w).map_state == IsViewable; }
    plat::Rect ShownContent(const plat::Window* w) override {
        XWindowAttributes a = Attributes(w);
        ::Window child;
        int x = 0, y = 0;
        XTranslateCoordinates(fBackend->XDisplay(), fBackend->XWindowOf(w),
                              DefaultRootWindow(fBackend->XDisplay()), 0, 0, &x, &y, &child);
        const double k = fScale;
        return {x / k, y / k, a.width / k, a.height / k};
    }
    // The UTF-8 title a window manager shows (_NET_WM_NAME).
    std::string ShownTitle(const plat::Window* w) override {
        ::Display* d = fBackend->XDisplay();
        XSync(d, False);
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::string title = "(no _NET_WM_NAME)";
        if (XGetWindowProperty(d, fBackend->XWindowOf(w), XInternAtom(d, "_NET_WM_NAME", False), 0, 1024,
                               False, XInternAtom(d, "UTF8_STRING", False), &type, &format, &count, &after,
                               &data) == Success &&
            data && format == 8)
            title.assign(reinterpret_cast<const char*>(data), count);
        if (data) XFree(data);
        return title;
    }
    // Decorations from the Motif hints, the type from _NET_WM_TYPE, a fixed size from the normal hints.
    Style ShownStyle(const plat::Window* w) override {
        ::Display* d = fBackend->XDisplay();
        XSync(d, False);
        const ::Window xw = fBackend->XWindowOf(w);
        const std::vector<long> motif = Longs(xw, "_MOTIF_WM_HINTS");
        const std::vector<long> type = Longs(xw, "_NET_WM_WINDOW_TYPE");
        Style s{};
        s.titleBar = motif.size() < 3 || !(motif[0] & 2) || motif[2] != 0;
        s.utility =
            !type.empty() && ::Atom(type[0]) == XInternAtom(d, "_NET_WM_WINDOW_TYPE_UTILITY", False);
        XSizeHints hints = {};
        long supplied = 0;
        const bool fixed = XGetWMNormalHints(d, xw, &hints, &supplied) && (hints.flags & PMinSize) &&
                           (hints.flags & PMaxSize) && hints.min_width == hints.max_width &&
                           hints.min_height == hints.max_height;
        s.resizable = s.titleBar && !fixed;
        return s;
    }
    std::vector<const plat::Window*> ShownOrder(const std::vector<plat::Window*>& among) override {
        ::Display* d = fBackend->XDisplay();
        XSync(d, False);
        ::Window root, parent, *children = nullptr;
        unsigned n = 0;
        std::vector<const plat::Window*> out;
        if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) return out;
        for (unsigned i = n; i-- > 0;) {  // children come bottom to top
            for (const plat::Window* w : among)
                if (fBackend->XWindowOf(w) == children[i] && Shown(w)) out.push_back(w);
        }
        if (children) XFree(children);
        return out;
    }

    // Read from the screen: the window's GL child windows show there whatever their visual.
    uint32_t ShownPixel(const plat::Window* w, int32_t x, int32_t y) override {
        ::Display* d = fBackend->XDisplay();
        XSync(d, False);
        ::Window child;
        int rx = 0, ry = 0;
        XTranslateCoordinates(d, fBackend->XWindowOf(w), DefaultRootWindow(d), x,
                              y + int32_t(w->StripHeight()) * fScale, &rx, &ry, &child);
        XImage* image = XGetImage(d, DefaultRootWindow(d), rx, ry, 1, 1, AllPlanes, ZPixmap);
        if (!image) return 0xDEADBEEF;
        const unsigned long p = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return uint32_t(p & 0xFFFFFF);
    }
    // The server's cursor with the pointer warped into the window, by its XFixes name.
    std::string ShownCursor(const plat::Window* w, plat::Point* hotSpot) override {
        ::Display* d = fBackend->XDisplay();
        XWarpPointer(d, None, fBackend->XWindowOf(w), 0, 0, 0, 0, 1, 1);
        XSync(d, False);
        XFixesCursorImage* image = XFixesGetCursorImage(d);
        const std::string name = image && image->name ? image->name : "(none)";
        if (image) *hotSpot = {double(image->xhot), double(image->yhot)};
        if (image) XFree(image);
        for (plat::Cursor::Shape shape :
             {plat::Cursor::Shape::kArrow, plat::Cursor::Shape::kIBeam, plat::Cursor::Shape::kCrosshair,
              plat::Cursor::Shape::kResizeLeftRight, plat::Cursor::Shape::kResizeUpDown,
              plat::Cursor::Shape::kDragCopy, plat::Cursor::Shape::kDragLink}) {
            plat::Ref<plat::Cursor> c = plat::Cursor::Standard(shape);
            if (name == plat::x11::X11Cursors::XName(c.get())) return c->Name();
        }
        return name;  // "image", or a name of no standard shape
    }
    std::vector<plat::Rect> TakePresented(const plat::Window* w) override {
        std::vector<plat::Rect> out;
        const double k = fScale;
        for (const plat::Rect& r : fBackend->PresentStats().presented)
            out.push_back({r.x / k, r.y / k - w->StripHeight(), r.width / k, r.height / k});
        fBackend->PresentStats().presented.clear();
        return out;
    }
    // xclip plays the other program.
    bool PutClipboardOutside(const std::string& text, std::string* skip) override {
        return PutOutside("clipboard", plat::Pasteboard::General(), text, skip);
    }
    bool ReadClipboardOutside(std::string* text, std::string* skip) override {
        return ReadOutside("clipboard", text, skip);
    }
    bool PutSelectionOutside(const std::string& text, std::string* skip) override {
        return PutOutside("primary", plat::Pasteboard::Selection(), text, skip);
    }
    bool ReadSelectionOutside(std::string* text, std::string* skip) override {
        return ReadOutside("primary", text, skip);
    }
    bool PutOutside(const char* selection, plat::Pasteboard* pb, const std::string& text, std::string* skip) {
        if (!testsupport::HaveProgram("xclip")) {
            *skip = "xclip is not installed";
            return false;
        }
        testsupport::BackgroundCommand put(
            "DISPLAY=" + Server().Display() + " xclip -selection " + selection + " -i", text);
        const int64_t before = pb->ChangeCount();
        // Until the new owner's types arrived.
        return Pump([&] {
            return put.Done() && pb->ChangeCount() != before && pb->HasType(plat::Pasteboard::kTypeString);
        });
    }
    bool ReadOutside(const char* selection, std::string* text, std::string* skip) {
        if (!testsupport::HaveProgram("xclip")) {
            *skip = "xclip is not installed";
            return false;
        }
        testsupport::BackgroundCommand read("DISPLAY=" + Server().Display() + " xclip -selection " +
                                            selection + " -o");
        int status = -1;
        if (!Pump([&] { return read.Done(&status); }) || status != 0) return false;
        *text = read.Output();
        return true;
    }

    // A plain window of the second connection, raised over everything.
    void CoverOutside(const plat::Rect& screen) override {
        const double k = fScale;
        const ::Window cover = XCreateSimpleWindow(fSender, DefaultRootWindow(fSender), int(screen.x * k),
                                                   int(screen.y * k), unsigned(screen.width * k),
                                                   unsigned(screen.height * k), 0, 0, 0x808080);
        XMapRaised(fSender, cover);
        XSync(fSender, False);
        Pump([&] {
            XWindowAttributes a;
            return XGetWindowAttributes(fSender, cover, &a) && a.map_state == IsViewable;
        });
    }

    // The XDND source peer plays the other program, at the root points of the content points.
    bool DragFromOutside(plat::Window* w, const OutsideDrag& drag, bool* accepted, std::string* skip) override {
        if (testsupport::CommandOutput("/usr/bin/python3 -c 'import Xlib' 2>&1 && echo ok").find("ok") ==
            std::string::npos) {
            *skip = "python3-xlib is not installed";
            return false;
        }
        std::string args = " --display " + Server().Display();
        for (const std::string& path : drag.paths) args += " --uri '" + path + "'";
        if (drag.paths.empty()) args += " --text '" + drag.text + "'";
        for (const plat::Point& p : drag.points) {
            const plat::Point root = w->ConvertToScreen(p);
            args += " --at " + std::to_string(int(root.x * fScale)) + "," + std::to_string(int(root.y * fScale));
        }
        if (!drag.drop) args += " --leave";
        testsupport::BackgroundCommand source(std::string(ORBILUME_SOURCE_DIR) + "/tests/support/xdnd-source" +
                                              args + " 2>&1");
        int status = -1;
        const double until = plat::ClockNow() + 20;
        while (!source.Done(&status) && plat::ClockNow() < until)
            plat::Application::Shared()->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.02,
                                                   plat::kRunLoopDefaultMode, true, nullptr);
        if (status != 0 && status != 1) return false;
        // What it sent last (the leave, the drop) is read before the answer: a round trip brings
        // every event the server holds for us into the queue, and a pump hands them on.
        XSync(fBackend->XDisplay(), False);
        fBackend->Pump();
        // Why the other program found no taker ("no XdndAware window ...", "no status"), for a
        // failure's report.
        if (status == 1 && source.Output().find("no ") != std::string::npos)
            std::fprintf(stderr, "xdnd-source: %s", source.Output().c_str());
        *accepted = status == 0;
        return true;
    }

private:
    // Turns the application's event loop until done() holds (at most 5 s).
    template <typename F>
    bool Pump(F done) {
        const double until = plat::ClockNow() + 5;
        while (!done()) {
            if (plat::ClockNow() > until) return false;
            plat::Application::Shared()->NextEvent(plat::kAnyEventMask, plat::ClockNow() + 0.02,
                                                   plat::kRunLoopDefaultMode, true, nullptr);
        }
        return true;
    }
    // A format-32 property of a window as longs (empty when it has none).
    std::vector<long> Longs(::Window xw, const char* name) {
        ::Display* d = fBackend->XDisplay();
        ::Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::vector<long> out;
        if (XGetWindowProperty(d, xw, XInternAtom(d, name, False), 0, 64, False, AnyPropertyType, &type,
                               &format, &count, &after, &data) == Success &&
            data && format == 32)
            out.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
        if (data) XFree(data);
        return out;
    }
    // Turns the event loop a little: what the server sent meanwhile is read.
    void Settle() {
        const double until = plat::ClockNow() + 0.2;
        Pump([&] { return plat::ClockNow() > until; });
    }
    // The key for a keysym; one the keyboard map lacks is put on a spare key first, as typing tools do.
    unsigned Keycode(unsigned long keysym) {
        KeyCode code = XKeysymToKeycode(fSender, keysym);
        if (code) return code;
        int min = 0, max = 0, per = 0;
        XDisplayKeycodes(fSender, &min, &max);
        KeySym* map = XGetKeyboardMapping(fSender, KeyCode(min), max - min + 1, &per);
        for (int k = max; k >= min && map; --k) {
            bool empty = true;
            for (int i = 0; i < per; ++i) empty = empty && map[(k - min) * per + i] == NoSymbol;
            if (!empty) continue;
            KeySym syms[2] = {KeySym(keysym), KeySym(keysym)};
            XChangeKeyboardMapping(fSender, k, 2, syms, 1);
            XSync(fSender, False);
            code = KeyCode(k);
            break;
        }
        if (map) XFree(map);
        return code;
    }
    // A point of a window's content as X pixels of its X window (menu strip included).
    plat::Point Pixels(const plat::Window* w, plat::Point p) const {
        return {p.x * fScale, (p.y + w->StripHeight()) * fScale};
    }
    XWindowAttributes Attributes(const plat::Window* w) {
        XSync(fBackend->XDisplay(), False);
        XWindowAttributes a = {};
        XGetWindowAttributes(fBackend->XDisplay(), fBackend->XWindowOf(w), &a);
        return a;
    }
    void Send(plat::Window* w, XEvent x) {
        x.xany.window = fBackend->XWindowOf(w);
        x.xany.display = fSender;
        XSendEvent(fSender, x.xany.window, False, 0, &x);
        XFlush(fSender);
    }

    plat::Backend* fPrevious;
    int32_t fScale;
    std::unique_ptr<X11Backend> fBackend;
    ::Display* fSender = nullptr;
    std::string fFailure;
};

}  // namespace

std::unique_ptr<BackendDriver> MakeX11Driver(int32_t scale) {
    return std::make_unique<X11Driver>(scale);
}

}  // namespace conformance
