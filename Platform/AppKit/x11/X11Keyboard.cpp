#include "Platform/AppKit/x11/X11Keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <langinfo.h>

#include <clocale>
#include <cstdio>
#include <cstring>

#include "Platform/AppKit/Event.h"
#include "Platform/Foundation/TextEncoding.h"

namespace plat::x11 {

namespace {

std::string Utf8(uint32_t c) {
    uint8_t b[4];
    return std::string(reinterpret_cast<const char*>(b), EncodeUtf8Char(c, b));
}

// The Unicode character of a keysym, 0 when it has none.
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

// Keys whose text is fixed whatever the input method says.
const char* SpecialText(KeySym sym, std::string* buffer) {
    if (sym >= XK_F1 && sym <= XK_F12) return (*buffer = Utf8(0xF704 + uint32_t(sym - XK_F1))).c_str();
    uint32_t c = 0;
    switch (sym) {
        case XK_Up:
        case XK_KP_Up:
            c = 0xF700;
            break;
        case XK_Down:
        case XK_KP_Down:
            c = 0xF701;
            break;
        case XK_Left:
        case XK_KP_Left:
            c = 0xF702;
            break;
        case XK_Right:
        case XK_KP_Right:
            c = 0xF703;
            break;
        case XK_Delete:
        case XK_KP_Delete:
            c = 0xF728;
            break;
        case XK_Home:
        case XK_KP_Home:
            c = 0xF729;
            break;
        case XK_End:
        case XK_KP_End:
            c = 0xF72B;
            break;
        case XK_Prior:
        case XK_KP_Prior:
            c = 0xF72C;
            break;
        case XK_Next:
        case XK_KP_Next:
            c = 0xF72D;
            break;
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
            return nullptr;
    }
    return (*buffer = Utf8(c)).c_str();
}

bool IsUtf8Codeset() {
    const char* cs = nl_langinfo(CODESET);
    return cs && (std::strcmp(cs, "UTF-8") == 0 || std::strcmp(cs, "utf8") == 0);
}

}  // namespace

std::string UseUtf8CharacterLocale() {
    const char* set = std::setlocale(LC_CTYPE, "");
    if (!set || !IsUtf8Codeset()) set = std::setlocale(LC_CTYPE, "C.UTF-8");
    return set ? set : "C";
}

X11Keyboard::X11Keyboard(::Display* display) : fDisplay(display) {
    Bool supported = False;
    fDetectableRepeat = XkbSetDetectableAutoRepeat(fDisplay, True, &supported) && supported;
    RefreshModifiers();
    UseUtf8CharacterLocale();
    if (XSupportsLocale()) {
        XSetLocaleModifiers("");
        fIM = XOpenIM(fDisplay, nullptr, nullptr, nullptr);
        if (!fIM) {
            XSetLocaleModifiers("@im=none");
            fIM = XOpenIM(fDisplay, nullptr, nullptr, nullptr);
        }
    }
    if (!fIM) std::fprintf(stderr, "orbilume: no X input method; keys give their keysym's text\n");
}

X11Keyboard::~X11Keyboard() {
    if (fIM) XCloseIM(fIM);
}

void X11Keyboard::RefreshModifiers() {
    fOptionMask = fControlMask = fNumLockMask = 0;
    XModifierKeymap* map = XGetModifierMapping(fDisplay);
    if (!map) return;
    for (int mod = Mod1MapIndex; mod <= Mod5MapIndex; ++mod) {
        for (int k = 0; k < map->max_keypermod; ++k) {
            KeyCode code = map->modifiermap[mod * map->max_keypermod + k];
            if (!code) continue;
            KeySym sym = XkbKeycodeToKeysym(fDisplay, code, 0, 0);
            const unsigned mask = 1u << mod;
            if (sym == XK_Alt_L || sym == XK_Alt_R || sym == XK_Meta_L || sym == XK_Meta_R)
                fOptionMask |= mask;
            if (sym == XK_Super_L || sym == XK_Super_R || sym == XK_Hyper_L || sym == XK_Hyper_R)
                fControlMask |= mask;
            if (sym == XK_Num_Lock) fNumLockMask |= mask;
        }
    }
    XFreeModifiermap(map);
    // A server whose map names neither keeps the usual places.
    if (!fOptionMask) fOptionMask = Mod1Mask;
    if (!fControlMask) fControlMask = Mod4Mask;
    fOptionMask &= ~fNumLockMask;
    fControlMask &= ~fNumLockMask;
}

uint32_t X11Keyboard::Flags(unsigned state) const {
    uint32_t f = 0;
    if (state & ShiftMask) f |= kShiftKeyMask;
    if (state & LockMask) f |= kAlphaShiftKeyMask;
    if (state & ControlMask) f |= kCommandKeyMask;
    if (state & fOptionMask) f |= kAlternateKeyMask;
    if (state & fControlMask) f |= kControlKeyMask;
    return f;
}

unsigned X11Keyboard::MaskOfKey(unsigned long keysym) const {
    switch (keysym) {
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
            return fOptionMask;
        case XK_Super_L:
        case XK_Super_R:
        case XK_Hyper_L:
        case XK_Hyper_R:
            return fControlMask;
        case XK_Caps_Lock:
            return LockMask;
        default:
            return 0;
    }
}

XIC X11Keyboard::ContextFor(unsigned long xwindow) {
    if (!fIM) return nullptr;
    return XCreateIC(fIM, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, xwindow,
                     XNFocusWindow, xwindow, nullptr);
}

void X11Keyboard::Forget(XIC context) {
    if (context) XDestroyIC(context);
}

std::string X11Keyboard::Text(XEvent* event, XIC context, bool ignoringModifiers) const {
    XKeyEvent key = event->xkey;
    const bool super = (key.state & fControlMask) != 0;
    // Command (Ctrl) leaves the text alone; Control (Super) makes control characters; Option and
    // Num Lock are left to the keyboard map.
    key.state &= ~unsigned(ControlMask | fControlMask);
    if (ignoringModifiers)
        key.state &= ShiftMask | LockMask;
    else if (super)
        key.state |= ControlMask;
    KeySym sym = 0;
    char buf[64];
    int n = XLookupString(&key, buf, sizeof buf, &sym, nullptr);
    std::string special;
    if (key.keycode != 0)
        if (const char* s = SpecialText(sym, &special)) return s;
    if (n == 1 && (uint8_t(buf[0]) < 0x20 || buf[0] == 0x7f)) return std::string(buf, 1);
    if (context && event->type == KeyPress && !ignoringModifiers) {
        Status status = 0;
        KeySym typed = 0;
        int got = Xutf8LookupString(context, &key, buf, sizeof buf - 1, &typed, &status);
        if (status == XLookupChars || status == XLookupBoth) return std::string(buf, size_t(got));
        if (status == XLookupNone) return {};
    }
    uint32_t c = KeysymCharacter(sym);
    return c ? Utf8(c) : std::string();
}

}  // namespace plat::x11
