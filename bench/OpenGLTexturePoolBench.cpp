#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <cstdlib>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLTexture.h"
#include "Common/OpenGL/COpenGLTexturePool.h"

namespace {

COpenGLContext_Cca& Common() {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    return *COpenGLCommonCtx::Use();
}

// The render threads' hot path: take a texture of the frame size and give it back.
void BM_TexturePoolCheckoutReturn(benchmark::State& state) {
    COpenGLContext_Cca& common = Common();
    auto* pool = new COpenGLTexturePool(GL_TEXTURE_RECTANGLE_ARB);
    for (auto _ : state) {
        pool->magic(1920, 1080);
        plat::Ref<COpenGLTexture> texture = pool->AllocTexture(common);
        benchmark::DoNotOptimize(texture);
        texture = nullptr;
    }
    pool->Release();
}
BENCHMARK(BM_TexturePoolCheckoutReturn);

// Several textures out at once, returned in another order.
void BM_TexturePoolFourOut(benchmark::State& state) {
    COpenGLContext_Cca& common = Common();
    auto* pool = new COpenGLTexturePool(GL_TEXTURE_2D);
    pool->magic(256, 256);
    for (auto _ : state) {
        plat::Ref<COpenGLTexture> out[4];
        for (plat::Ref<COpenGLTexture>& t : out) t = pool->AllocTexture(common);
        out[1] = nullptr;
        out[3] = nullptr;
        out[0] = nullptr;
        out[2] = nullptr;
    }
    pool->Release();
}
BENCHMARK(BM_TexturePoolFourOut);

}  // namespace
