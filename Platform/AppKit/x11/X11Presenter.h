#pragma once

#include <cstdint>
#include <memory>

#include "Platform/Foundation/Geometry.h"
#include "Platform/Foundation/Object.h"

typedef struct _XDisplay Display;

namespace plat {
class DrawContext;
}

namespace plat::x11 {

// Shows client-side Cairo images in X drawables. On a 24/32-bit TrueColor visual laid out as Cairo's
// ARGB32 the images live in shared memory and go out with XShmPutImage (plain XPutImage from the
// same bytes when MIT-SHM does not work); any other TrueColor visual (depth 16, ...) gets the
// pixels converted to its masks. Main thread only.
class X11Presenter {
public:
    enum class Path { kSharedMemory, kPutImage, kConverted };

    // allowSharedMemory false: plain images even where MIT-SHM works.
    explicit X11Presenter(::Display* display, bool allowSharedMemory = true);
    ~X11Presenter();
    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;

    Path UsedPath() const { return fPath; }
    // A transparent image of that size for drawing into (in shared memory when presented from
    // there); null for a bad size.
    Ref<DrawContext> CreateImage(int32_t width, int32_t height);
    // Copies the area of the image (its pixels, clipped to it) to the drawable with the image's
    // top-left at (x, y). The server has read the pixels when this returns.
    void Present(unsigned long drawable, DrawContext* image, const Rect& area, int32_t x, int32_t y);

    struct Segment;

private:
    ::Display* fDisplay;
    Path fPath = Path::kConverted;
    void* fVisual = nullptr;  // Visual*
    int fDepth = 0;
    unsigned long fGC = 0;         // GC
    std::shared_ptr<bool> fAlive;  // false once the connection is gone: segments only unmap
};

}  // namespace plat::x11
