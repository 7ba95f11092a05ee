#pragma once

#include <cstdint>
#include <vector>

#include "Platform/AppKit/HotKeys.h"

typedef struct _XDisplay Display;
union _XEvent;

namespace plat::x11 {

// Hot keys as passive grabs on the root window: the F-key's key code with the X modifiers of the
// registered ones, once with each combination of Caps Lock and Num Lock so that the locks do not
// matter. A grab the server refuses (another client holds the key) fails the registration. The
// backend hands root key presses to HandleKeyPress. Main thread only.
class X11HotKeys final : public HotKeys {
public:
    // After each round trip to the server, roundTrip(context) is called: events may then wait in
    // Xlib's queue, which the backend must read soon.
    using RoundTrip = void (*)(void* context);
    explicit X11HotKeys(::Display* display, RoundTrip roundTrip = nullptr, void* context = nullptr);
    ~X11HotKeys() override;  // releases every grab
    X11HotKeys(const X11HotKeys&) = delete;
    X11HotKeys& operator=(const X11HotKeys&) = delete;

    uint32_t Register(uint32_t keyCode, uint32_t modifiers, HotKeyID id) override;
    void Unregister(uint32_t ref) override;

    // A key press: true when it is a registered hot key (its handlers were called).
    bool HandleKeyPress(const _XEvent& event);

    // The keysym of a virtual function-key code (F1 to F12), 0 for any other code.
    static unsigned long KeysymForKeyCode(uint32_t keyCode);

    struct Masks {
        unsigned alt = 0;
        unsigned super = 0;
        unsigned capsLock = 0;
        unsigned numLock = 0;
    };
    // The modifier masks of the server's modifier map (the usual ones where a key is not mapped).
    static Masks ReadMasks(::Display* display);
    // The X modifiers of hot-key modifiers: Command Ctrl, Shift Shift, Option Alt, Control Super.
    static unsigned XModifiers(uint32_t modifiers, const Masks& masks);
    // Every mask a grab needs: the modifiers alone and with each combination of the locks.
    static std::vector<unsigned> LockVariants(unsigned modifiers, const Masks& masks);

private:
    struct Grab {
        uint32_t ref;
        int keycode;
        unsigned modifiers;
        std::vector<unsigned> grabbed;  // the masks grabbed, locks included
        HotKeyID id;
    };
    void Ungrab(const Grab& grab);

    void RoundTripped() const {
        if (fRoundTrip) fRoundTrip(fContext);
    }

    ::Display* fDisplay;
    RoundTrip fRoundTrip;
    void* fContext;
    std::vector<Grab> fGrabs;
    uint32_t fNextRef = 1;
};

}  // namespace plat::x11
