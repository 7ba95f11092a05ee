#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "Platform/Composer/BufferImage.h"
#include "Platform/Composer/Composition.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "Platform/Composer/Image.h"
#include "Platform/Video/PixelBuffer.h"
#include "tests/support/GLFixture.h"

namespace composertest {

using plat::Ref;

// Per-channel comparison of two 0xAARRGGBB pixels.
testing::AssertionResult PixelNear(uint32_t actual, uint32_t expected, int tolerance = 1);

// A 4 x 3 opaque test pattern, distinct in every pixel; (x, y) counted from the top left.
constexpr uint32_t kPatternWidth = 4, kPatternHeight = 3;
uint32_t PatternPixel(uint32_t x, uint32_t y);
uint32_t Inverted(uint32_t pixel);
plat::Ref<plat::BufferImage> PatternBuffer();
// The same pattern in a new pixel buffer (top row first); null when it cannot be locked.
plat::Ref<plat::PixelBuffer> PatternPixelBuffer();
// A pixel of a buffer image, top row first, as 0xAARRGGBB.
uint32_t BufferPixel(const plat::BufferImage& image, uint32_t x, uint32_t y);

// A texture of the target with a framebuffer around it, bound, with the viewport set.
struct RenderTarget {
    uint32_t texture = 0;
    uint32_t framebuffer = 0;
};
RenderTarget MakeRenderTarget(uint32_t target, int32_t width, int32_t height);
void DeleteRenderTarget(const RenderTarget& t);

}  // namespace composertest
