#pragma once

#include <cstdint>
#include <memory>

#include "Platform/GL/GLSurface.h"

typedef struct _XDisplay Display;

namespace plat::x11 {

// A GL window surface of a window's content: a child X window on the config's visual at the
// surface's origin (below the menu strip), background none and input-transparent, with an EGL
// window surface on it. Above the window it shows whole; below the window it is shaped to the
// holes the window leaves (unshaped when the server has no SHAPE); an empty size unmaps it. Parts
// the server lost (exposed when the holes grow or the surface moves) are rendered again: Expose on
// the child asks its window for a pass, in which the owner renders. Size,
// origin and holes are in window points; the X window and the EGL surface have scale × as many
// pixels.
// Created and placed on the main thread; resized from the thread that renders into it.
class X11GLSurface final : public GLSurface {
public:
    // Null when EGL or the server refuses (the caller falls back to an offscreen surface).
    static Ref<X11GLSurface> Create(::Display* display, std::shared_ptr<bool> alive, unsigned long parent,
                                    int32_t stripHeight, int32_t scale, GLPixelFormat* format, int32_t width,
                                    int32_t height);

    [[nodiscard]] bool Resize(int32_t width, int32_t height) override;
    // Applies the surface's origin, order and holes to its child window (main thread).
    void Place(int32_t stripHeight);
    // Places every live surface of a parent window.
    static void PlaceAll(unsigned long parent, int32_t stripHeight);
    // The parent of a live surface's child window, 0 for other windows.
    static unsigned long ParentOf(unsigned long xwindow);
    unsigned long Parent() const { return fParent; }
    unsigned long XWindow() const { return fWindow; }

private:
    X11GLSurface(GLPixelFormat* format, ::Display* display, std::shared_ptr<bool> alive, unsigned long parent,
                 unsigned long window, void* surface, int32_t width, int32_t height, int32_t scale);
    ~X11GLSurface() override;

    ::Display* fDisplay;
    std::shared_ptr<bool> fAlive;  // false once the backend closed the connection
    unsigned long fParent;
    unsigned long fWindow;
    unsigned long fColormap = 0;
    bool fShapes = false;
    bool fMapped = false;
};

}  // namespace plat::x11
