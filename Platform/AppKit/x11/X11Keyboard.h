#pragma once

#include <cstdint>
#include <string>

typedef struct _XDisplay Display;
typedef struct _XIM* XIM;
typedef struct _XIC* XIC;
union _XEvent;

namespace plat::x11 {

// Keys of an X server: modifier masks read from the server's modifier map (Ctrl is Command, Alt is
// Option, Super is Control; Num Lock never counts), the text of a key through an input method
// (dead keys and Compose work) with the keysym's text as fallback, and detectable auto-repeat.
// Main thread only.
class X11Keyboard {
public:
    explicit X11Keyboard(::Display* display);
    ~X11Keyboard();
    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;

    // Reads the modifier map again (after a MappingNotify).
    void RefreshModifiers();
    // Application modifier flags of an X state mask.
    uint32_t Flags(unsigned state) const;
    // The X mask a modifier key changes, 0 for other keys.
    unsigned MaskOfKey(unsigned long keysym) const;
    bool DetectableRepeat() const { return fDetectableRepeat; }
    bool HasInputMethod() const { return fIM != nullptr; }

    // An input context for a top-level window (null without an input method); freed by Forget.
    XIC ContextFor(unsigned long xwindow);
    void Forget(XIC context);
    // The text of a key press or release as the application expects it: function keys in the private
    // range, Return as CR, BackSpace as DEL; typed characters from the input context when there is
    // one (presses only), else from the keysym whatever the locale. controlChars: Super (Control)
    // makes control characters, Ctrl (Command) leaves the text as it is.
    std::string Text(_XEvent* key, XIC context, bool ignoringModifiers) const;

private:
    ::Display* fDisplay;
    XIM fIM = nullptr;
    unsigned fOptionMask = 0;
    unsigned fControlMask = 0;  // Super
    unsigned fNumLockMask = 0;
    bool fDetectableRepeat = false;
};

// Sets LC_CTYPE from the environment, or C.UTF-8 when that is not UTF-8; the rest of the locale
// stays "C". Answers the LC_CTYPE in use.
std::string UseUtf8CharacterLocale();

}  // namespace plat::x11
