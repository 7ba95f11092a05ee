#include "Platform/Graphics/Layer.h"

#include <cairo.h>

#include "Platform/Graphics/DrawContext.h"

namespace plat {

Ref<Layer> Layer::Create(const DrawContext* base, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || width > 32768 || height > 32768) return nullptr;
    cairo_surface_t* s =
        base ? cairo_surface_create_similar(base->Surface(), CAIRO_CONTENT_COLOR_ALPHA, width, height)
             : cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    Ref<DrawContext> ctx = DrawContext::CreateForSurface(s);
    cairo_surface_destroy(s);
    if (!ctx) return nullptr;
    return Adopt(new Layer(std::move(ctx), width, height));
}

}  // namespace plat
