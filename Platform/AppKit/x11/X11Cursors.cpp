#include "Platform/AppKit/x11/X11Cursors.h"

#include <X11/Xcursor/Xcursor.h>
#include <X11/Xlib.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xfixes.h>

#include <cmath>

#include "Platform/AppKit/Cursor.h"
#include "Platform/Graphics/BitmapImage.h"

namespace plat::x11 {

X11Cursors::X11Cursors(::Display* display) : fDisplay(display) {
    int event = 0, error = 0;
    fFixes = XFixesQueryExtension(fDisplay, &event, &error);
}

X11Cursors::~X11Cursors() {
    for (auto& [name, c] : fNamed) XFreeCursor(fDisplay, c);
    if (fImage) XFreeCursor(fDisplay, fImage);
}

void X11Cursors::UseTheme(const std::string& theme, int32_t size) {
    if (!theme.empty()) XcursorSetTheme(fDisplay, theme.c_str());
    if (size > 0) XcursorSetDefaultSize(fDisplay, size);
}

const char* X11Cursors::XName(const Cursor* cursor) {
    switch (cursor ? cursor->GetShape() : Cursor::Shape::kArrow) {
        case Cursor::Shape::kImage:
            return "image";
        case Cursor::Shape::kIBeam:
            return "xterm";
        case Cursor::Shape::kCrosshair:
            return "crosshair";
        case Cursor::Shape::kResizeLeftRight:
            return "sb_h_double_arrow";
        case Cursor::Shape::kResizeUpDown:
            return "sb_v_double_arrow";
        case Cursor::Shape::kDragCopy:
            return "copy";
        case Cursor::Shape::kDragLink:
            return "alias";
        case Cursor::Shape::kArrow:
        default:
            return "left_ptr";
    }
}

unsigned long X11Cursors::Named(const char* name, unsigned int fontShape) {
    auto it = fNamed.find(name);
    if (it != fNamed.end()) return it->second;
    ::Cursor c = XcursorLibraryLoadCursor(fDisplay, name);
    if (!c) c = XCreateFontCursor(fDisplay, fontShape);
    if (c && fFixes) XFixesSetCursorName(fDisplay, c, name);
    fNamed[name] = c;
    return c;
}

unsigned long X11Cursors::CursorFor(const Cursor* cursor) {
    if (cursor && cursor->GetShape() == Cursor::Shape::kImage) {
        const BitmapImage* image = cursor->Image();
        if (!image || image->Width() <= 0 || image->Height() <= 0 || image->Width() > 256 ||
            image->Height() > 256)
            return Named("left_ptr", XC_left_ptr);
        XcursorImage* xi = XcursorImageCreate(image->Width(), image->Height());
        if (!xi) return Named("left_ptr", XC_left_ptr);
        for (int32_t y = 0; y < image->Height(); ++y)
            for (int32_t x = 0; x < image->Width(); ++x)
                xi->pixels[y * image->Width() + x] = image->PixelAt(x, y);
        const Point hot = cursor->HotSpot();
        xi->xhot = unsigned(std::lround(std::fmin(std::fmax(hot.x, 0), image->Width() - 1)));
        xi->yhot = unsigned(std::lround(std::fmin(std::fmax(hot.y, 0), image->Height() - 1)));
        ::Cursor c = XcursorImageLoadCursor(fDisplay, xi);
        XcursorImageDestroy(xi);
        if (c && fFixes) XFixesSetCursorName(fDisplay, c, "image");
        if (fImage) XFreeCursor(fDisplay, fImage);
        fImage = c;
        return c;
    }
    unsigned int font = XC_left_ptr;
    switch (cursor ? cursor->GetShape() : Cursor::Shape::kArrow) {
        case Cursor::Shape::kIBeam:
            font = XC_xterm;
            break;
        case Cursor::Shape::kCrosshair:
            font = XC_crosshair;
            break;
        case Cursor::Shape::kResizeLeftRight:
            font = XC_sb_h_double_arrow;
            break;
        case Cursor::Shape::kResizeUpDown:
            font = XC_sb_v_double_arrow;
            break;
        case Cursor::Shape::kDragCopy:
        case Cursor::Shape::kDragLink:
            font = XC_plus;
            break;
        default:
            break;
    }
    return Named(XName(cursor), font);
}

}  // namespace plat::x11
