#include "Platform/AppKit/x11/X11HotKeys.h"

#include <algorithm>

#include "Platform/Foundation/Check.h"

// Xlib last: its macros must not reach the headers above.
// clang-format off
#include <X11/Xlib.h>
#include <X11/keysym.h>
// clang-format on

namespace plat::x11 {

namespace {

// The error a trapped request raised (0: none). Main thread only, as the trap.
int gTrappedError = 0;

int TrapError(::Display*, XErrorEvent* e) {
    if (!gTrappedError) gTrappedError = e->error_code;
    return 0;
}

// Catches the errors of the requests made while it lives: the server's answers are awaited on both
// ends, so an error belongs to the requests in between.
class ErrorTrap {
public:
    explicit ErrorTrap(::Display* d) : fDisplay(d) {
        XSync(fDisplay, False);
        gTrappedError = 0;
        fPrevious = XSetErrorHandler(&TrapError);
    }
    ~ErrorTrap() { XSetErrorHandler(fPrevious); }
    // Waits for the server; the first error since the trap was set, 0 when none.
    int Error() {
        XSync(fDisplay, False);
        return gTrappedError;
    }

private:
    ::Display* fDisplay;
    XErrorHandler fPrevious;
};

struct FunctionKey {
    uint32_t code;
    KeySym sym;
};
constexpr FunctionKey kFunctionKeys[] = {
    {122, XK_F1}, {120, XK_F2}, {99, XK_F3},  {118, XK_F4},  {96, XK_F5},   {97, XK_F6},
    {98, XK_F7},  {100, XK_F8}, {101, XK_F9}, {109, XK_F10}, {103, XK_F11}, {111, XK_F12},
};

// The mask of the modifier whose keys include one of the keysyms, 0 when none does.
unsigned MaskOf(::Display* d, const XModifierKeymap* map, std::initializer_list<KeySym> syms) {
    for (KeySym sym : syms) {
        const KeyCode code = XKeysymToKeycode(d, sym);
        if (!code) continue;
        for (int mod = 0; mod < 8; ++mod)
            for (int k = 0; k < map->max_keypermod; ++k)
                if (map->modifiermap[mod * map->max_keypermod + k] == code) return 1u << mod;
    }
    return 0;
}

}  // namespace

X11HotKeys::X11HotKeys(::Display* display, RoundTrip roundTrip, void* context)
    : fDisplay(display), fRoundTrip(roundTrip), fContext(context) {}

X11HotKeys::~X11HotKeys() {
    for (const Grab& g : fGrabs) Ungrab(g);
    if (!fGrabs.empty()) XFlush(fDisplay);
}

unsigned long X11HotKeys::KeysymForKeyCode(uint32_t keyCode) {
    for (const FunctionKey& k : kFunctionKeys)
        if (k.code == keyCode) return k.sym;
    return 0;
}

X11HotKeys::Masks X11HotKeys::ReadMasks(::Display* d) {
    Masks m;
    if (XModifierKeymap* map = XGetModifierMapping(d)) {
        m.alt = MaskOf(d, map, {XK_Alt_L, XK_Alt_R, XK_Meta_L, XK_Meta_R});
        m.super = MaskOf(d, map, {XK_Super_L, XK_Super_R});
        m.capsLock = MaskOf(d, map, {XK_Caps_Lock});
        m.numLock = MaskOf(d, map, {XK_Num_Lock});
        XFreeModifiermap(map);
    }
    if (!m.alt) m.alt = Mod1Mask;
    if (!m.super) m.super = Mod4Mask;
    if (!m.capsLock) m.capsLock = LockMask;
    return m;
}

unsigned X11HotKeys::XModifiers(uint32_t modifiers, const Masks& masks) {
    unsigned x = 0;
    if (modifiers & kHotKeyCommand) x |= ControlMask;
    if (modifiers & kHotKeyShift) x |= ShiftMask;
    if (modifiers & kHotKeyOption) x |= masks.alt;
    if (modifiers & kHotKeyControl) x |= masks.super;
    return x;
}

std::vector<unsigned> X11HotKeys::LockVariants(unsigned modifiers, const Masks& masks) {
    std::vector<unsigned> out;
    for (unsigned caps : {0u, masks.capsLock})
        for (unsigned num : {0u, masks.numLock}) {
            const unsigned m = modifiers | caps | num;
            if (std::find(out.begin(), out.end(), m) == out.end()) out.push_back(m);
        }
    return out;
}

void X11HotKeys::Ungrab(const Grab& grab) {
    for (unsigned m : grab.grabbed) XUngrabKey(fDisplay, grab.keycode, m, DefaultRootWindow(fDisplay));
}

uint32_t X11HotKeys::Register(uint32_t keyCode, uint32_t modifiers, HotKeyID id) {
    PLAT_DCHECK_MAIN_THREAD();
    const KeySym sym = KeysymForKeyCode(keyCode);
    if (!sym) return 0;
    const int keycode = XKeysymToKeycode(fDisplay, sym);
    if (!keycode) return 0;
    const Masks masks = ReadMasks(fDisplay);
    RoundTripped();
    const unsigned xmods = XModifiers(modifiers, masks);
    for (const Grab& g : fGrabs)
        if (g.keycode == keycode && g.modifiers == xmods) return 0;  // ours already
    const ::Window root = DefaultRootWindow(fDisplay);
    const std::vector<unsigned> variants = LockVariants(xmods, masks);
    {
        ErrorTrap trap(fDisplay);
        for (unsigned m : variants) XGrabKey(fDisplay, keycode, m, root, False, GrabModeAsync, GrabModeAsync);
        if (trap.Error()) {
            // Another client holds one of the combinations: release those that were granted.
            for (unsigned m : variants) XUngrabKey(fDisplay, keycode, m, root);
            (void)trap.Error();
            RoundTripped();
            return 0;
        }
    }
    RoundTripped();
    const uint32_t ref = fNextRef++;
    fGrabs.push_back({ref, keycode, xmods, variants, id});
    return ref;
}

void X11HotKeys::Unregister(uint32_t ref) {
    PLAT_DCHECK_MAIN_THREAD();
    auto it = std::find_if(fGrabs.begin(), fGrabs.end(), [ref](const Grab& g) { return g.ref == ref; });
    if (it == fGrabs.end()) return;
    Ungrab(*it);
    XFlush(fDisplay);
    fGrabs.erase(it);
}

bool X11HotKeys::HandleKeyPress(const XEvent& event) {
    PLAT_DCHECK_MAIN_THREAD();
    if (event.type != KeyPress) return false;
    const Masks masks = ReadMasks(fDisplay);
    RoundTripped();
    const unsigned state = event.xkey.state & ~(masks.capsLock | masks.numLock) & 0xFF;
    for (const Grab& g : fGrabs) {
        if (g.keycode == int(event.xkey.keycode) && g.modifiers == state) {
            const HotKeyID id = g.id;  // the handlers may unregister it
            Deliver(id);
            return true;
        }
    }
    return false;
}

}  // namespace plat::x11
