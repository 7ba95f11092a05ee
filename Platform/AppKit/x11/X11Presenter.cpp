#include "Platform/AppKit/x11/X11Presenter.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <cairo.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "Platform/AppKit/x11/X11ErrorTrap.h"
#include "Platform/Graphics/DrawContext.h"

namespace plat::x11 {

// One image in shared memory, freed with the Cairo surface drawn into it.
struct X11Presenter::Segment {
    ::Display* display;
    std::shared_ptr<bool> alive;
    XShmSegmentInfo info = {};
    XImage* image = nullptr;
};

namespace {

const cairo_user_data_key_t kSegmentKey = {};

// The image's pixels and segment info belong to the segment, not to Xlib.
void DropImage(XImage* image) {
    if (!image) return;
    image->data = nullptr;
    image->obdata = nullptr;
    XDestroyImage(image);
}

void FreeSegment(void* data) {
    auto* s = static_cast<X11Presenter::Segment*>(data);
    if (*s->alive) XShmDetach(s->display, &s->info);
    DropImage(s->image);
    shmdt(s->info.shmaddr);
    delete s;
}

// Cairo's ARGB32 on a little-endian host: 32 bits per pixel, red in bits 16–23.
bool MatchesCairo(::Display* d, Visual* v, int depth) {
    if (!v || v->c_class != TrueColor || (depth != 24 && depth != 32)) return false;
    if (v->red_mask != 0xff0000 || v->green_mask != 0xff00 || v->blue_mask != 0xff) return false;
    if (ImageByteOrder(d) != LSBFirst) return false;
    int n = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(d, &n);
    bool ok = false;
    for (int i = 0; i < n; ++i)
        if (formats[i].depth == depth) ok = formats[i].bits_per_pixel == 32;
    if (formats) XFree(formats);
    return ok;
}

}  // namespace

X11Presenter::X11Presenter(::Display* display, bool allowSharedMemory)
    : fDisplay(display), fAlive(std::make_shared<bool>(true)) {
    const int screen = DefaultScreen(fDisplay);
    Visual* visual = DefaultVisual(fDisplay, screen);
    fVisual = visual;
    fDepth = DefaultDepth(fDisplay, screen);
    fGC = reinterpret_cast<unsigned long>(XCreateGC(fDisplay, RootWindow(fDisplay, screen), 0, nullptr));
    if (!MatchesCairo(fDisplay, visual, fDepth)) {
        fPath = Path::kConverted;
        return;
    }
    fPath = Path::kPutImage;
    if (!allowSharedMemory) return;
    if (!XShmQueryExtension(fDisplay)) {
        std::fprintf(stderr, "orbilume: the X server has no MIT-SHM; windows are sent as plain images\n");
        return;
    }
    // Attaching fails on a server on another machine: try once.
    fPath = Path::kSharedMemory;
    Ref<DrawContext> probe = CreateImage(1, 1);
    if (!probe) {
        fPath = Path::kPutImage;
        std::fprintf(stderr, "orbilume: MIT-SHM does not work here; windows are sent as plain images\n");
    }
}

X11Presenter::~X11Presenter() {
    *fAlive = false;

    XFreeGC(fDisplay, reinterpret_cast<GC>(fGC));
}

Ref<DrawContext> X11Presenter::CreateImage(int32_t width, int32_t height) {
    if (fPath != Path::kSharedMemory) return DrawContext::CreateImage(width, height);
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    auto* s = new Segment{fDisplay, fAlive};
    s->image = XShmCreateImage(fDisplay, static_cast<Visual*>(fVisual), unsigned(fDepth), ZPixmap, nullptr,
                               &s->info, unsigned(width), unsigned(height));
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
    if (!s->image || s->image->bytes_per_line != stride) {
        DropImage(s->image);
        delete s;
        return DrawContext::CreateImage(width, height);
    }
    s->info.shmid = shmget(IPC_PRIVATE, size_t(stride) * size_t(height), IPC_CREAT | 0600);
    s->info.shmaddr = s->info.shmid >= 0 ? static_cast<char*>(shmat(s->info.shmid, nullptr, 0))
                                         : reinterpret_cast<char*>(-1);
    if (s->info.shmaddr == reinterpret_cast<char*>(-1)) {
        if (s->info.shmid >= 0) shmctl(s->info.shmid, IPC_RMID, nullptr);
        DropImage(s->image);
        delete s;
        return nullptr;
    }
    s->image->data = s->info.shmaddr;
    s->info.readOnly = True;
    bool attached = false;
    {
        X11ErrorTrap trap(fDisplay);
        attached = XShmAttach(fDisplay, &s->info) && !trap.Failed();
    }
    // The segment goes once both sides let go of it.
    shmctl(s->info.shmid, IPC_RMID, nullptr);
    if (!attached) {
        DropImage(s->image);
        shmdt(s->info.shmaddr);
        delete s;
        return nullptr;
    }
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(s->info.shmaddr), CAIRO_FORMAT_ARGB32, width, height, stride);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        FreeSegment(s);
        return nullptr;
    }
    cairo_surface_set_user_data(surface, &kSegmentKey, s, &FreeSegment);
    Ref<DrawContext> ctx = DrawContext::CreateForSurface(surface);
    cairo_surface_destroy(surface);
    return ctx;
}

void X11Presenter::Present(unsigned long drawable, DrawContext* image, const Rect& area, int32_t x,
                           int32_t y) {
    if (!image || !drawable) return;
    cairo_surface_t* surface = image->Surface();
    if (!surface || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) return;
    const int32_t w = cairo_image_surface_get_width(surface);
    const int32_t h = cairo_image_surface_get_height(surface);
    const int32_t x0 = std::max(0, int32_t(std::floor(area.x)));
    const int32_t y0 = std::max(0, int32_t(std::floor(area.y)));
    const int32_t x1 = std::min(w, int32_t(std::ceil(area.x + area.width)));
    const int32_t y1 = std::min(h, int32_t(std::ceil(area.y + area.height)));
    if (x1 <= x0 || y1 <= y0) return;
    cairo_surface_flush(surface);
    GC gc = reinterpret_cast<GC>(fGC);
    if (auto* s = static_cast<Segment*>(cairo_surface_get_user_data(surface, &kSegmentKey))) {
        XShmPutImage(fDisplay, drawable, gc, s->image, x0, y0, x + x0, y + y0, unsigned(x1 - x0),
                     unsigned(y1 - y0), False);
        // The server reads the segment later: done before the next pass draws into it.
        XSync(fDisplay, False);
        return;
    }
    if (fPath != Path::kConverted) {
        XImage* xi = XCreateImage(fDisplay, static_cast<Visual*>(fVisual), unsigned(fDepth), ZPixmap, 0,
                                  reinterpret_cast<char*>(cairo_image_surface_get_data(surface)), unsigned(w),
                                  unsigned(h), 32, cairo_image_surface_get_stride(surface));
        if (xi) {
            XPutImage(fDisplay, drawable, gc, xi, x0, y0, x + x0, y + y0, unsigned(x1 - x0),
                      unsigned(y1 - y0));
            xi->data = nullptr;
            XDestroyImage(xi);
        }
        XFlush(fDisplay);
        return;
    }
    // Any other TrueColor visual (depth 16, 15, ...): the pixels converted to its masks.
    Visual* v = static_cast<Visual*>(fVisual);
    XImage* xi = XCreateImage(fDisplay, v, unsigned(fDepth), ZPixmap, 0, nullptr, unsigned(x1 - x0),
                              unsigned(y1 - y0), 32, 0);
    if (!xi) return;
    xi->data = static_cast<char*>(std::calloc(size_t(xi->bytes_per_line), size_t(y1 - y0)));
    if (!xi->data) {
        XDestroyImage(xi);
        return;
    }
    auto shiftOf = [](unsigned long mask) {
        int shift = 0;
        while (mask && !(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        return shift;
    };
    const int rs = shiftOf(v->red_mask), gs = shiftOf(v->green_mask), bs = shiftOf(v->blue_mask);
    const unsigned long rm = v->red_mask >> rs, gm = v->green_mask >> gs, bm = v->blue_mask >> bs;
    const uint8_t* base = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int32_t row = y0; row < y1; ++row) {
        const uint32_t* src = reinterpret_cast<const uint32_t*>(base + size_t(row) * size_t(stride));
        for (int32_t col = x0; col < x1; ++col) {
            const uint32_t p = src[col];
            const unsigned long pixel = (((((p >> 16) & 0xFF) * rm + 127) / 255) << rs) |
                                        (((((p >> 8) & 0xFF) * gm + 127) / 255) << gs) |
                                        ((((p & 0xFF) * bm + 127) / 255) << bs);
            XPutPixel(xi, col - x0, row - y0, pixel);
        }
    }
    XPutImage(fDisplay, drawable, gc, xi, 0, 0, x + x0, y + y0, unsigned(x1 - x0), unsigned(y1 - y0));
    XDestroyImage(xi);
    XFlush(fDisplay);
}

}  // namespace plat::x11
