#include "Melquor/MelquorOutput.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

MelquorOutput::MelquorOutput(std::shared_ptr<MelquorText> text, double flush, double lineFactor,
                             plat::PlugInColor color)
    : fText(std::move(text)), fFlush(flush), fLineFactor(lineFactor), fColor(color) {}

void MelquorOutput::Measure() const {
    fMeasured = true;
    fBounds = {0, 0, 1, 1};
    const auto& lines = fText->Lines();
    if (lines.empty()) return;
    double right = 0, minX = 0, sum = 0;
    for (const MelquorLineMetrics& m : lines) {
        right = std::max({right, m.inkX + m.inkWidth, m.width});
        minX = std::min(minX, m.inkX);
        sum += m.ascent + m.descent + m.leading;
    }
    const MelquorLineMetrics& last = lines.back();
    double height =
        (1 - fLineFactor) * (lines.front().ascent + last.descent + last.leading) + fLineFactor * sum;
    double x0 = std::floor(minX);
    double width = std::ceil(right) - x0;
    height = std::ceil(height);
    if (!(width > 0) || !(height > 0)) return;
    width = std::min(width, kMaxSide);
    height = std::min(height, kMaxSide);
    fLayoutWidth = width;
    fLayoutHeight = height;
    fBounds =
        fText->Vertical() ? plat::PlugInRect{0, x0, height, width} : plat::PlugInRect{x0, 0, width, height};
}

plat::PlugInRect MelquorOutput::Bounds() const {
    if (!fMeasured) Measure();
    return fBounds;
}

std::vector<plat::PlugInBufferFormat> MelquorOutput::BufferFormats() const {
    return {plat::PlugInBufferFormat::ARGB8, plat::PlugInBufferFormat::BGRA8,
            plat::PlugInBufferFormat::RGBAf};
}

bool MelquorOutput::RenderToBuffer(void* address, size_t bytesPerRow, plat::PlugInBufferFormat format,
                                   const plat::PlugInRect& band) {
    using plat::PlugInBufferFormat;
    if (format != PlugInBufferFormat::ARGB8 && format != PlugInBufferFormat::BGRA8 &&
        format != PlugInBufferFormat::RGBAf)
        return false;
    if (!address || !std::isfinite(band.x) || !std::isfinite(band.y) || !(band.width >= 1) ||
        !(band.height >= 1) || band.width > kMaxSide || band.height > kMaxSide)
        return false;
    const int w = int(band.width), h = int(band.height);
    const size_t pixelBytes = format == PlugInBufferFormat::RGBAf ? 16 : 4;
    if (bytesPerRow < size_t(w) * pixelBytes) return false;

    // Cairo draws into its own surface (native-endian premultiplied ARGB32), converted below.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return false;
    }
    const plat::PlugInRect image = Bounds();
    const auto& lines = fText->Lines();
    if (!lines.empty() && fLayoutWidth > 0) {
        cairo_t* cr = cairo_create(surface);
        // Image coordinates, y down, origin at the image's top left, then the band's offset.
        cairo_translate(cr, -(band.x - image.x), -((image.y + image.height) - (band.y + band.height)));
        double x0 = image.x;
        if (fText->Vertical()) {
            // A quarter turn clockwise: the first line ends on the right.
            x0 = image.y;
            cairo_translate(cr, fLayoutHeight, 0);
            cairo_rotate(cr, M_PI / 2);
        }
        auto clamp01 = [](float v) { return std::isfinite(v) ? std::clamp(double(v), 0.0, 1.0) : 1.0; };
        cairo_set_source_rgba(cr, clamp01(fColor.red), clamp01(fColor.green), clamp01(fColor.blue),
                              clamp01(fColor.alpha));
        double top = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            const MelquorLineMetrics& m = lines[i];
            double baseline = top + (i == 0 ? m.ascent : fLineFactor * m.ascent);
            if (baseline - m.ascent > fLayoutHeight) break;
            cairo_move_to(cr, fFlush * (fLayoutWidth - m.width) - x0, baseline);
            fText->DrawLine(cr, i);
            top = baseline + fLineFactor * (m.descent + m.leading);
        }
        cairo_destroy(cr);
    }
    cairo_surface_flush(surface);

    const unsigned char* src = cairo_image_surface_get_data(surface);
    const int srcStride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < h; ++y) {
        uint32_t row[1];
        const unsigned char* s = src + size_t(y) * size_t(srcStride);
        unsigned char* d = static_cast<unsigned char*>(address) + size_t(y) * bytesPerRow;
        for (int x = 0; x < w; ++x) {
            std::memcpy(row, s + 4 * x, 4);
            const uint32_t p = row[0];
            const unsigned char a = p >> 24, r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
            switch (format) {
                case PlugInBufferFormat::ARGB8:
                    d[4 * x] = a, d[4 * x + 1] = r, d[4 * x + 2] = g, d[4 * x + 3] = b;
                    break;
                case PlugInBufferFormat::BGRA8:
                    d[4 * x] = b, d[4 * x + 1] = g, d[4 * x + 2] = r, d[4 * x + 3] = a;
                    break;
                case PlugInBufferFormat::RGBAf: {
                    const float f[4] = {r / 255.f, g / 255.f, b / 255.f, a / 255.f};
                    std::memcpy(d + 16 * x, f, 16);
                    break;
                }
            }
        }
    }
    cairo_surface_destroy(surface);
    return true;
}
