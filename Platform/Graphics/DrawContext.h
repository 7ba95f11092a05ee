#pragma once

#include <cstdint>

#include "Platform/Foundation/Object.h"
#include "Platform/Graphics/GraphicsTypes.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace plat {

class BitmapImage;
class Layer;

// A 2-D drawing context over Cairo with a top-left origin. State (transformation, clip, colours,
// blend mode, line width) is saved and restored as a stack. Not thread-safe; one thread at a time.
class DrawContext : public Object {
public:
    // A context over a new transparent 32-bit image of that size; null for a bad size.
    static Ref<DrawContext> CreateImage(int32_t width, int32_t height);
    // A context drawing into an existing surface (retained).
    static Ref<DrawContext> CreateForSurface(cairo_surface_t* surface);

    void SaveGState();
    void RestoreGState();
    int32_t GStateDepth() const { return fDepth; }

    void TranslateCTM(double dx, double dy);
    void ScaleCTM(double sx, double sy);
    GfxMatrix CTM() const;
    void SetCTM(const GfxMatrix& m);

    // Intersects the clip with the union of the rectangles; an empty set clips everything away.
    void ClipToRects(const Rect* rects, uint32_t count);
    // Back to no clip at all (state saved earlier keeps its own clip).
    void ResetClip();
    void FillRects(const Rect* rects, uint32_t count);
    void FillRect(const Rect& rect) { FillRects(&rect, 1); }

    void SetFillColor(const GfxColor& colour) { fFill = colour; }
    void SetStrokeColor(const GfxColor& colour) { fStroke = colour; }
    const GfxColor& FillColor() const { return fFill; }
    void SetBlendMode(BlendMode mode);
    void SetLineWidth(double width);

    // Paths: the current path is consumed by StrokePath and FillPath.
    void BeginPath();
    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    void QuadTo(double cx, double cy, double x, double y);
    void ClosePath();
    void StrokePath();
    void FillPath();

    // Draws the image scaled into the rectangle, upright.
    void DrawImage(const Rect& rect, const BitmapImage* image);
    void DrawLayer(const Rect& rect, const Layer* layer);

    // Size of the surface in pixels (0 for surfaces without one).
    int32_t Width() const;
    int32_t Height() const;
    // Pixels per point of the surface (1 unless set): drawing stays in points.
    void SetDeviceScale(double scale);
    double DeviceScale() const;
    // Premultiplied 0xAARRGGBB of one pixel of an image surface; 0 elsewhere.
    virtual uint32_t PixelAt(int32_t x, int32_t y);
    // Writes the surface as a PNG file (for looking at test output).
    [[nodiscard]] bool WritePNG(const char* path);

    cairo_t* Cairo() const { return fCairo; }
    cairo_surface_t* Surface() const { return fSurface; }

protected:
    explicit DrawContext(cairo_surface_t* surface);
    ~DrawContext() override;

private:
    cairo_surface_t* fSurface;
    cairo_t* fCairo;
    GfxColor fFill;
    GfxColor fStroke;
    int32_t fDepth = 0;
};

// Keeps a context's state saved for the length of a scope.
class GStateScope {
public:
    explicit GStateScope(DrawContext& ctx) : fCtx(ctx) { fCtx.SaveGState(); }
    ~GStateScope() { fCtx.RestoreGState(); }
    GStateScope(const GStateScope&) = delete;
    GStateScope& operator=(const GStateScope&) = delete;

private:
    DrawContext& fCtx;
};

}  // namespace plat
