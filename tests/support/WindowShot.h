#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on

namespace testsupport {

// A pixel of the root window (0xRRGGBB, 0xDEADBEEF when it cannot be read), after the server caught up.
inline uint32_t ScreenPixel(::Display* d, int x, int y) {
    XSync(d, False);
    XImage* image = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0xDEADBEEF;
    const uint32_t p = uint32_t(XGetPixel(image, 0, 0) & 0xFFFFFF);
    XDestroyImage(image);
    return p;
}

// Whether two 0xRRGGBB colours differ by at most tolerance in each channel.
inline bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int x = int((a >> shift) & 0xFF), y = int((b >> shift) & 0xFF);
        if (x - y > tolerance || y - x > tolerance) return false;
    }
    return true;
}

// A rectangle of an X window read back from the server (XGetImage), in the window's coordinates.
class WindowShot {
public:
    WindowShot(const std::string& display, unsigned long window, int32_t left, int32_t top, int32_t width,
               int32_t height)
        : fLeft(left), fTop(top) {
        fDisplay = XOpenDisplay(display.c_str());
        if (!fDisplay || width <= 0 || height <= 0) return;
        XSync(fDisplay, False);
        fImage = XGetImage(fDisplay, window, left, top, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    }
    ~WindowShot() {
        if (fImage) XDestroyImage(fImage);
        if (fDisplay) XCloseDisplay(fDisplay);
    }
    WindowShot(const WindowShot&) = delete;
    WindowShot& operator=(const WindowShot&) = delete;

    bool Ok() const { return fImage != nullptr; }
    // Outside the rectangle: 0xFF000000, no colour.
    uint32_t Pixel(int32_t x, int32_t y) const {
        if (x < fLeft || y < fTop || x - fLeft >= fImage->width || y - fTop >= fImage->height) return 0xFF000000u;
        return uint32_t(XGetPixel(fImage, x - fLeft, y - fTop) & 0xFFFFFF);
    }
    // Luminance 0 (black) .. 255 (white).
    int Lum(int32_t x, int32_t y) const {
        const uint32_t p = Pixel(x, y);
        return int(((p >> 16) & 0xFF) * 30 + ((p >> 8) & 0xFF) * 59 + (p & 0xFF) * 11) / 100;
    }
    int Darkest(int32_t x0, int32_t y0, int32_t x1, int32_t y1) const {
        int darkest = 255;
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = x0; x < x1; ++x) darkest = std::min(darkest, Lum(x, y));
        return darkest;
    }
    int Brightest(int32_t x0, int32_t y0, int32_t x1, int32_t y1) const {
        int brightest = 0;
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = x0; x < x1; ++x) brightest = std::max(brightest, Lum(x, y));
        return brightest;
    }
    // Whether every pixel of the rectangle has the colour.
    bool AllOf(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour) const {
        for (int32_t y = y0; y < y1; ++y)
            for (int32_t x = x0; x < x1; ++x)
                if (Pixel(x, y) != colour) return false;
        return true;
    }

private:
    ::Display* fDisplay = nullptr;
    XImage* fImage = nullptr;
    int32_t fLeft;
    int32_t fTop;
};

}  // namespace testsupport
