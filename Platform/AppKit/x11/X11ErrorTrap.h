#pragma once

typedef struct _XDisplay Display;

namespace plat::x11 {

// Catches the X errors of the requests made while it lives, for requests whose failure matters
// (grabs, shared-memory attaches, drawables that may be gone): it syncs first, so earlier errors
// stay out, and Failed() syncs again and answers whether any request since failed. Errors outside
// a trap are ignored (a request about a window the server already dropped). Traps nest. Main
// thread only.
class X11ErrorTrap {
public:
    explicit X11ErrorTrap(::Display* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    [[nodiscard]] bool Failed();
    // The error code of the first failure, 0 when none.
    int ErrorCode() const { return fCode; }

private:
    friend struct ErrorTrapAccess;
    ::Display* fDisplay;
    X11ErrorTrap* fOuter;
    int fCode = 0;
};

// Installs the process's X error handlers once: errors go to the innermost trap of their display,
// and losing a server calls the function (once per display) instead of ending the process.
using ConnectionLostFunction = void (*)(::Display* display);
void InstallErrorHandlers(ConnectionLostFunction lost);
// Makes a lost connection of this display call the function InstallErrorHandlers was given.
void InstallIOExitHandler(::Display* display);

}  // namespace plat::x11
