#pragma once

#include "Platform/AppKit/x11/X11ScrollValuators.h"

typedef struct _XDisplay Display;
union _XEvent;

namespace plat::x11 {

// Pointer input through XInput 2.2 when the server has it: motion and buttons come as XI2 events
// and are handed on as their core equivalents; scroll valuators give precise wheel deltas, and the
// wheel buttons the server emulates from them are dropped. Without XInput 2.2, core events.
class X11Pointer {
public:
    explicit X11Pointer(::Display* display);
    X11Pointer(const X11Pointer&) = delete;
    X11Pointer& operator=(const X11Pointer&) = delete;

    bool Available() const { return fOpcode >= 0; }
    // Selects pointer events of one of our windows.
    void Select(unsigned long xwindow);

    struct Scroll {
        unsigned long window = 0;
        double x = 0, y = 0;          // in the window
        double rootX = 0, rootY = 0;  // on the root
        unsigned state = 0;           // core modifier and button state
        unsigned long time = 0;
        double linesX = 0, linesY = 0;  // notches, positive up and left
    };
    enum class Result { kNotOurs, kNone, kCore, kScroll };
    // One event from the server: not an XInput 2 event; nothing to post; a core button, motion or
    // crossing event written to core; a precise scroll.
    Result Convert(_XEvent* event, _XEvent* core, Scroll* scroll);
    X11ScrollValuators& Valuators() { return fValuators; }

private:
    void LoadDevices();
    void Classes(int device, void* classes, int count);

    ::Display* fDisplay;
    int fOpcode = -1;
    X11ScrollValuators fValuators;
};

}  // namespace plat::x11
