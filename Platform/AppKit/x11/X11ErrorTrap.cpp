#include "Platform/AppKit/x11/X11ErrorTrap.h"

#include <X11/Xlib.h>

namespace plat::x11 {

namespace {

X11ErrorTrap* gInnermost = nullptr;
ConnectionLostFunction gLost = nullptr;

}  // namespace

struct ErrorTrapAccess {
    static int Handle(::Display* display, XErrorEvent* error) {
        for (X11ErrorTrap* t = gInnermost; t; t = t->fOuter)
            if (t->fDisplay == display) {
                if (!t->fCode) t->fCode = error->error_code ? error->error_code : -1;
                break;
            }
        return 0;
    }
};

namespace {

int HandleError(::Display* display, XErrorEvent* error) {
    return ErrorTrapAccess::Handle(display, error);
}

// Xlib calls this first; the exit handler after it decides what happens.
int HandleIOError(::Display*) {
    return 0;
}

// Returning keeps the process alive: the display is marked broken and every later call on it does
// nothing, so the application can end through its own path.
void HandleIOExit(::Display* display, void*) {
    if (gLost) gLost(display);
}

}  // namespace

X11ErrorTrap::X11ErrorTrap(::Display* display) : fDisplay(display), fOuter(gInnermost) {
    XSync(fDisplay, False);
    gInnermost = this;
}

X11ErrorTrap::~X11ErrorTrap() {
    XSync(fDisplay, False);
    gInnermost = fOuter;
}

bool X11ErrorTrap::Failed() {
    XSync(fDisplay, False);
    return fCode != 0;
}

void InstallErrorHandlers(ConnectionLostFunction lost) {
    gLost = lost;
    XSetErrorHandler(&HandleError);
    XSetIOErrorHandler(&HandleIOError);
}

// Per display: the exit handler lives on the connection.
void InstallIOExitHandler(::Display* display) {
    XSetIOErrorExitHandler(display, &HandleIOExit, nullptr);
}

}  // namespace plat::x11
