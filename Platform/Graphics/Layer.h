#pragma once

#include <cstdint>

#include "Platform/Foundation/Object.h"

namespace plat {

class DrawContext;

// An offscreen drawing surface made to match a base context; drawn back with DrawContext::DrawLayer.
class Layer : public Object {
public:
    // Null for a bad size. Without a base context the layer is a 32-bit image.
    static Layer* Create(const DrawContext* base, int32_t width, int32_t height);

    DrawContext* Context() const { return fContext; }
    int32_t Width() const { return fWidth; }
    int32_t Height() const { return fHeight; }

private:
    Layer(DrawContext* ctx, int32_t w, int32_t h) : fContext(ctx), fWidth(w), fHeight(h) {}
    ~Layer() override;

    DrawContext* fContext;
    int32_t fWidth;
    int32_t fHeight;
};

}  // namespace plat
