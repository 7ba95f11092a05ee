#pragma once

#include <cstdint>
#include <utility>

#include "Platform/Foundation/Object.h"
#include "Platform/Graphics/DrawContext.h"

namespace plat {

// An offscreen drawing surface made to match a base context; drawn back with DrawContext::DrawLayer.
class Layer : public Object {
public:
    // Null for a bad size. Without a base context the layer is a 32-bit image.
    static Ref<Layer> Create(const DrawContext* base, int32_t width, int32_t height);

    DrawContext* Context() const { return fContext.get(); }
    int32_t Width() const { return fWidth; }
    int32_t Height() const { return fHeight; }

private:
    Layer(Ref<DrawContext> ctx, int32_t w, int32_t h) : fContext(std::move(ctx)), fWidth(w), fHeight(h) {}

    Ref<DrawContext> fContext;
    int32_t fWidth;
    int32_t fHeight;
};

}  // namespace plat
