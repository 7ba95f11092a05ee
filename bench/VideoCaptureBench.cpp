#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/OpenGL/CPixBufTarget.h"
#include "Orbilume/CSources/Media/CVideoCapture.h"
#include "Platform/Media/CaptureRegistry.h"
#include "Platform/Media/synthetic/SyntheticCapture.h"

namespace {

COpenGLContext_Cca& Common() {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    // Registered as the shared context, as the application does: the capture's context joins it.
    COpenGLContext_Cca* common = COpenGLCommonCtx::Use();
    COpenGLContext_Cca::SetShared(common);
    return *common;
}

// A 1920 x 1080 camera frame drawn into a 1280 x 720 texture: the capture's DrawFrame beside a bare
// glDrawPixels with the same zoom into the same texture, by turns; ratio = ours / bare.
void BM_CaptureDrawFrame(benchmark::State& state) {
    COpenGLContext_Cca& common = Common();
    plat::CaptureRegistry registry;
    auto synthetic = std::make_shared<plat::SyntheticCapture>();
    registry.AddProvider(synthetic);
    synthetic->AddDevice({"Bench", 1920, 1080, 30, plat::kCaptureVideo});
    CVideoCapture* capture = CVideoCapture::OpenCapture(nullptr, "Bench", registry);
    if (!capture) return state.SkipWithError("no capture");
    capture->Start();
    uint32_t w = 0, h = 0;
    for (int i = 0; i < 500 && capture->GetFrameInfo(w, h) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    capture->Stop();  // the newest frame stays
    if (w == 0) return state.SkipWithError("no frame");

    CPixBufTarget target;
    plat::Ref<plat::GLTexture> texture;
    GLuint fbo = 0;
    {
        COpenGLScope_Cca scope(common);
        texture = target.GetTexture(1280, 720);
        glGenFramebuffersEXT(1, &fbo);
    }
    plat::Ref<plat::PixelBuffer> frame = plat::PixelBuffer::Create(1920, 1080);
    if (!texture || !frame || !frame->Lock(0)) return state.SkipWithError("no texture");

    auto bare = [&] {
        COpenGLScope_Cca scope(common);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo);
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, texture->Target(),
                                  texture->Name(), 0);
        glViewport(0, 0, 1280, 720);
        glWindowPos2i(0, 0);
        glPixelZoom(1280.0f / 1920.0f, 720.0f / 1080.0f);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(frame->BytesPerRow() / 4));
        glDrawPixels(1920, 1080, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, frame->BaseAddress());
        glFinish();
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    };
    auto ours = [&] {
        capture->DrawFrame(texture.get());
        COpenGLScope_Cca scope(capture->context());
        glFinish();
    };
    using Clock = std::chrono::steady_clock;
    double oursTotal = 0, bareTotal = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        ours();
        auto t1 = Clock::now();
        bare();
        auto t2 = Clock::now();
        const double a = std::chrono::duration<double>(t1 - t0).count();
        const double b = std::chrono::duration<double>(t2 - t1).count();
        oursTotal += a, bareTotal += b;
        state.SetIterationTime(a + b);
    }
    state.counters["ours_ms"] = 1e3 * oursTotal / double(state.iterations());
    state.counters["bare_ms"] = 1e3 * bareTotal / double(state.iterations());
    state.counters["ratio"] = oursTotal / bareTotal;
    frame->Unlock(0);
    {
        COpenGLScope_Cca scope(common);
        glDeleteFramebuffersEXT(1, &fbo);
        texture = nullptr;
    }
    capture->Release();
    COpenGLContext_Cca::SetShared(nullptr);
}
BENCHMARK(BM_CaptureDrawFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
