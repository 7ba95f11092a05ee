#pragma once

#include <cstdint>
#include <map>
#include <string>

typedef struct _XDisplay Display;

namespace plat {
class Cursor;
}

namespace plat::x11 {

// X cursors for the application's cursors: standard shapes from the Xcursor theme (theme and size
// from XSETTINGS, else the server's resources), else the core cursor font; image cursors as ARGB
// with their hot spot. Each is named with XFixes ("left_ptr", "xterm", ...; "image" for images) so
// other clients can tell them apart. Made once per shape and kept; image cursors are made each time.
// Main thread.
class X11Cursors {
public:
    explicit X11Cursors(::Display* display);
    ~X11Cursors();
    X11Cursors(const X11Cursors&) = delete;
    X11Cursors& operator=(const X11Cursors&) = delete;

    // The desktop's Xcursor theme and size (empty, 0: Xcursor's own choice), before any cursor is
    // made.
    void UseTheme(const std::string& theme, int32_t size);
    // The X cursor for a cursor (null: the arrow); 0 when the server cannot make one.
    unsigned long CursorFor(const Cursor* cursor);
    // The X cursor name of a standard shape.
    static const char* XName(const Cursor* cursor);

private:
    unsigned long Named(const char* name, unsigned int fontShape);

    ::Display* fDisplay;
    bool fFixes = false;
    std::map<std::string, unsigned long> fNamed;
    unsigned long fImage = 0;  // the last image cursor
};

}  // namespace plat::x11
