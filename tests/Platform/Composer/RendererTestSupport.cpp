#include "tests/Platform/Composer/RendererTestSupport.h"

#include <epoxy/gl.h>

#include <cstdlib>
#include <cstring>

namespace composertest {

testing::AssertionResult PixelNear(uint32_t actual, uint32_t expected, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        int a = static_cast<int>((actual >> shift) & 0xFF);
        int e = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance)
            return testing::AssertionFailure() << std::hex << "0x" << actual << " is not near 0x" << expected;
    }
    return testing::AssertionSuccess();
}

uint32_t PatternPixel(uint32_t x, uint32_t y) {
    uint32_t b = 20 + x * 50, g = 30 + y * 60, r = 200 - x * 20 - y * 10;
    return 0xFF000000u | r << 16 | g << 8 | b;
}

uint32_t Inverted(uint32_t pixel) {
    return (pixel & 0xFF000000u) | (~pixel & 0x00FFFFFFu);
}

plat::Ref<plat::BufferImage> PatternBuffer() {
    plat::Ref<plat::BufferImage> image = plat::BufferImage::Create(kPatternWidth, kPatternHeight);
    for (uint32_t y = 0; y < kPatternHeight; ++y)
        for (uint32_t x = 0; x < kPatternWidth; ++x) {
            uint32_t p = PatternPixel(x, y);
            std::memcpy(image->MutableData() + image->BytesPerRow() * y + 4 * x, &p, 4);
        }
    return image;
}

plat::Ref<plat::PixelBuffer> PatternPixelBuffer() {
    plat::Ref<plat::PixelBuffer> pixels = plat::PixelBuffer::Create(kPatternWidth, kPatternHeight);
    if (!pixels || !pixels->Lock(0)) return nullptr;
    for (uint32_t y = 0; y < kPatternHeight; ++y)
        for (uint32_t x = 0; x < kPatternWidth; ++x) {
            uint32_t p = PatternPixel(x, y);
            std::memcpy(pixels->BaseAddress() + pixels->BytesPerRow() * y + 4 * x, &p, 4);
        }
    pixels->Unlock(0);
    return pixels;
}

uint32_t BufferPixel(const plat::BufferImage& image, uint32_t x, uint32_t y) {
    uint32_t p = 0;
    std::memcpy(&p, image.Row(y) + 4 * x, 4);
    return p;
}

RenderTarget MakeRenderTarget(uint32_t target, int32_t width, int32_t height) {
    RenderTarget t;
    glGenTextures(1, &t.texture);
    glBindTexture(target, t.texture);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(target, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(target, 0);
    glGenFramebuffers(1, &t.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, t.framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, target, t.texture, 0);
    glViewport(0, 0, width, height);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    return t;
}

void DeleteRenderTarget(const RenderTarget& t) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &t.framebuffer);
    glDeleteTextures(1, &t.texture);
}

}  // namespace composertest
