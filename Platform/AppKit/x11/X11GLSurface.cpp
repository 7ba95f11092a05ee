#include "Platform/AppKit/x11/X11GLSurface.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shape.h>
#include <epoxy/egl.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "Platform/AppKit/x11/X11ErrorTrap.h"
#include "Platform/GL/GLDisplay.h"
#include "Platform/GL/GLPixelFormat.h"

namespace plat::x11 {

namespace {

constexpr int32_t kMaxSide = 16384;  // pixels

// Live surfaces, for placing them when their window is presented.
std::mutex gSurfacesLock;
std::vector<X11GLSurface*> gSurfaces;

}  // namespace

unsigned long X11GLSurface::ParentOf(unsigned long xwindow) {
    std::lock_guard<std::mutex> g(gSurfacesLock);
    for (X11GLSurface* s : gSurfaces)
        if (s->fWindow == xwindow) return s->fParent;
    return 0;
}

void X11GLSurface::PlaceAll(unsigned long parent, int32_t stripHeight) {
    std::vector<Ref<X11GLSurface>> mine;
    {
        std::lock_guard<std::mutex> g(gSurfacesLock);
        for (X11GLSurface* s : gSurfaces)
            if (s->fParent == parent && s->RetainCount() > 0) mine.push_back(RetainRef(s));
    }
    for (const Ref<X11GLSurface>& s : mine) s->Place(stripHeight);
}

Ref<X11GLSurface> X11GLSurface::Create(::Display* d, std::shared_ptr<bool> alive, unsigned long parent,
                                       int32_t stripHeight, int32_t scale, GLPixelFormat* format,
                                       int32_t width, int32_t height) {
    auto egl = static_cast<EGLDisplay>(GLDisplay::Get());
    scale = std::clamp(scale, 1, 3);
    if (!egl || !format || !GLDisplay::WindowSurfaces() || width <= 0 || height <= 0 || width > kMaxSide ||
        height > kMaxSide || width * scale > kMaxSide || height * scale > kMaxSide)
        return nullptr;
    auto config = static_cast<EGLConfig>(format->NativeConfig());
    EGLint visualId = 0;
    if (!eglGetConfigAttrib(egl, config, EGL_NATIVE_VISUAL_ID, &visualId)) return nullptr;
    XVisualInfo wanted = {};
    wanted.visualid = VisualID(visualId);
    int n = 0;
    XVisualInfo* info = XGetVisualInfo(d, VisualIDMask, &wanted, &n);
    if (!info || n < 1) {
        if (info) XFree(info);
        return nullptr;
    }
    XSetWindowAttributes attrs = {};
    attrs.background_pixmap = None;
    attrs.border_pixel = 0;
    attrs.colormap = XCreateColormap(d, parent, info->visual, AllocNone);
    attrs.event_mask = ExposureMask;  // contents the server lost
    X11ErrorTrap trap(d);
    ::Window child = XCreateWindow(d, parent, 0, stripHeight, unsigned(width * scale),
                                   unsigned(height * scale), 0, info->depth, InputOutput, info->visual,
                                   CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attrs);
    XFree(info);
    if (trap.Failed()) {
        XFreeColormap(d, attrs.colormap);
        return nullptr;
    }
    // Clicks go to the window the framework draws, not to the surface.
    int event = 0, error = 0;
    const bool fixes = XFixesQueryExtension(d, &event, &error);
    if (fixes) {
        XserverRegion empty = XFixesCreateRegion(d, nullptr, 0);
        XFixesSetWindowShapeRegion(d, child, ShapeInput, 0, 0, empty);
        XFixesDestroyRegion(d, empty);
    }
    XSync(d, False);
    EGLSurface surface =
        eglCreateWindowSurface(egl, config, static_cast<EGLNativeWindowType>(child), nullptr);
    if (surface == EGL_NO_SURFACE) {
        XDestroyWindow(d, child);
        XFreeColormap(d, attrs.colormap);
        return nullptr;
    }
    auto* s = new X11GLSurface(format, d, std::move(alive), parent, child, surface, width, height, scale);
    s->fColormap = attrs.colormap;
    int shapeEvent = 0, shapeError = 0;
    s->fShapes = fixes && XShapeQueryExtension(d, &shapeEvent, &shapeError);
    s->Place(stripHeight);
    return Adopt(s);
}

X11GLSurface::X11GLSurface(GLPixelFormat* format, ::Display* display, std::shared_ptr<bool> alive,
                           unsigned long parent, unsigned long window, void* surface, int32_t width,
                           int32_t height, int32_t scale)
    : GLSurface(format, surface, width, height),
      fDisplay(display),
      fAlive(std::move(alive)),
      fParent(parent),
      fWindow(window) {
    fScale = scale;
    std::lock_guard<std::mutex> g(gSurfacesLock);
    gSurfaces.push_back(this);
}

X11GLSurface::~X11GLSurface() {
    {
        std::lock_guard<std::mutex> g(gSurfacesLock);
        gSurfaces.erase(std::remove(gSurfaces.begin(), gSurfaces.end(), this), gSurfaces.end());
    }
    // The EGL surface goes before its window.
    if (fSurface) eglDestroySurface(static_cast<EGLDisplay>(GLDisplay::Get()), fSurface);
    fSurface = nullptr;
    if (*fAlive) {
        X11ErrorTrap trap(fDisplay);  // the parent (and with it this window) may be gone
        XDestroyWindow(fDisplay, fWindow);
        XFreeColormap(fDisplay, fColormap);
        (void)trap.Failed();
    }
}

bool X11GLSurface::Resize(int32_t width, int32_t height) {
    if (width == fWidth && height == fHeight) return true;
    if (width < 0 || height < 0 || width > kMaxSide / fScale || height > kMaxSide / fScale) return false;
    fWidth = width;
    fHeight = height;
    if (*fAlive) {
        if (width > 0 && height > 0)
            XResizeWindow(fDisplay, fWindow, unsigned(width * fScale), unsigned(height * fScale));
        XFlush(fDisplay);
    }
    return true;
}

void X11GLSurface::Place(int32_t stripHeight) {
    if (!*fAlive) return;
    X11ErrorTrap trap(fDisplay);
    const bool empty = fWidth <= 0 || fHeight <= 0;
    const int32_t k = fScale;
    XMoveWindow(fDisplay, fWindow, X() * k, Y() * k + stripHeight);
    if (fShapes) {
        if (Order() == GLSurfaceOrder::kBelowWindow) {
            // Only the holes show; the window's own drawing stays around them.
            std::vector<XRectangle> holes;
            for (const GLSurfaceRect& r : Clips())
                if (r.width > 0 && r.height > 0)
                    holes.push_back({short(r.x * k), short(r.y * k), static_cast<unsigned short>(r.width * k),
                                     static_cast<unsigned short>(r.height * k)});
            XserverRegion region = XFixesCreateRegion(fDisplay, holes.data(), int(holes.size()));
            XFixesSetWindowShapeRegion(fDisplay, fWindow, ShapeBounding, 0, 0, region);
            XFixesDestroyRegion(fDisplay, region);
        } else {
            XFixesSetWindowShapeRegion(fDisplay, fWindow, ShapeBounding, 0, 0, None);
        }
    }
    if (empty && fMapped) {
        XUnmapWindow(fDisplay, fWindow);
        fMapped = false;
    } else if (!empty && !fMapped) {
        XMapWindow(fDisplay, fWindow);
        fMapped = true;
    }
    (void)trap.Failed();
}

}  // namespace plat::x11
