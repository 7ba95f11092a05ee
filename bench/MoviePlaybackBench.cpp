// A render loop at 60 Hz of movie time over a 1080p60 H.264 file (made here with ffmpeg): CAVMovie's
// CopyFrame plus the upload of each new frame into a rectangle texture (glTexSubImage2D), beside a
// bare glTexSubImage2D of the same size. Counters: render-thread ms per frame, frames handed out, and
// "ratio" = our render-thread cost / the bare upload's.
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Media/CAVMovie.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLPixelFormat.h"
#include "Platform/Media/MovieItem.h"
#include "Platform/Media/MoviePlayer.h"
#include "Platform/Video/GLTextureCache.h"
#include "Platform/Video/PixelBuffer.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

const std::string& MoviePath() {
    static const std::string path = [] {
        std::string file = "/tmp/orbilume-movie-playback-1080p60.mp4";
        std::string cmd = "test -s " + file +
                          " || ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=1920x1080:r=60 -vf "
                          "noise=alls=30:allf=t -t 3 -c:v libx264 -preset veryfast -b:v 24M -g 60 -bf 2 "
                          "-pix_fmt yuv420p " +
                          file;
        return std::system(cmd.c_str()) == 0 ? file : std::string();
    }();
    return path;
}

class StepClock : public plat::Clock {
public:
    double Now() const override { return fNow.load(); }
    std::atomic<double> fNow{100};
};

struct GL {
    plat::Ref<plat::GLPixelFormat> format;
    plat::Ref<plat::GLContext> context;
    plat::Ref<plat::GLTextureCache> cache;
    GL() {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        setenv("EGL_PLATFORM", "surfaceless", 0);
        format = plat::GLPixelFormat::Create({});
        context = format ? plat::GLContext::Create(format.get(), nullptr) : nullptr;
        if (!context || !context->MakeCurrent()) return;
        cache = plat::GLTextureCache::Create(context.get(), format.get());
    }
};

void Pump() {
    plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
}

double BareUploadSeconds() {
    static const double seconds = [] {
        std::vector<uint8_t> bytes(size_t{1920} * 1080 * 4, 0x5a);
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_RECTANGLE, texture);
        glTexImage2D(GL_TEXTURE_RECTANGLE, 0, GL_RGBA8, 1920, 1080, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     nullptr);
        constexpr int kRounds = 60;
        auto start = Clock::now();
        for (int i = 0; i < kRounds; ++i) {
            bytes[i] = static_cast<uint8_t>(i);
            glTexSubImage2D(GL_TEXTURE_RECTANGLE, 0, 0, 0, 1920, 1080, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                            bytes.data());
            glFinish();
        }
        const double s = Seconds(Clock::now() - start) / kRounds;
        glDeleteTextures(1, &texture);
        return s;
    }();
    return seconds;
}

void BM_MoviePlaybackRenderLoop(benchmark::State& state) {
    if (MoviePath().empty()) return state.SkipWithError("ffmpeg could not make the movie");
    GL gl;
    if (!gl.cache) return state.SkipWithError("no GL context");
    const double bare = BareUploadSeconds();
    StepClock clock;
    plat::SetClock(&clock);
    double renderSeconds = 0;
    double copySeconds = 0;
    GLuint target = 0;
    glGenTextures(1, &target);
    glBindTexture(GL_TEXTURE_RECTANGLE, target);
    glTexImage2D(GL_TEXTURE_RECTANGLE, 0, GL_RGBA8, 1920, 1080, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 nullptr);
    int handed = 0;
    int expected = 0;
    for (auto _ : state) {
        plat::Ref<CAVMovie> movie;
        CreateMovie(movie, CMacFileU::LFsSpecFromPath(MoviePath().c_str()));
        std::thread loader([&] { PrepareMovie(movie); });
        loader.join();
        movie->QueueSeek(0, 1);
        movie->QueueRate(1);
        while (movie->IsSeeking() || movie->GetRate() != 1) Pump();
        plat::Ref<plat::MovieItem> item = movie->Player()->CurrentItem();
        const int frames = static_cast<int>(movie->GetDuration() * 60 + 0.5) - 1;
        for (int i = 0; i < frames; ++i) {
            // The decoder's side (not the render thread's): the frame for this tick is ready.
            const double t = movie->Player()->CurrentTime();
            while (!movie->Player()->HasNewPixelBufferForItemTime(t)) std::this_thread::yield();
            auto start = Clock::now();
            plat::Ref<plat::PixelBuffer> frame = movie->CopyFrame();
            copySeconds += Seconds(Clock::now() - start);
            if (frame && frame->Lock(plat::kPixelBufferLockReadOnly)) {
                glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(frame->BytesPerRow() / 4));
                glTexSubImage2D(GL_TEXTURE_RECTANGLE, 0, 0, 0, frame->Width(), frame->Height(), GL_BGRA,
                                GL_UNSIGNED_INT_8_8_8_8_REV, frame->BaseAddress());
                glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
                glFinish();
                frame->Unlock(plat::kPixelBufferLockReadOnly);
                ++handed;
            }
            renderSeconds += Seconds(Clock::now() - start);
            ++expected;
            clock.fNow.store(clock.fNow.load() + 1 / 60.0);
            Pump();
        }
        movie = nullptr;
        Pump();
    }
    plat::SetClock(nullptr);
    glDeleteTextures(1, &target);
    state.counters["render_ms_per_frame"] = renderSeconds / std::max(handed, 1) * 1000;
    state.counters["bare_upload_ms"] = bare * 1000;
    state.counters["ratio"] = renderSeconds / std::max(handed, 1) / bare;
    state.counters["missed_frames"] = expected - handed;
    state.counters["copy_ms_per_frame"] = copySeconds / std::max(handed, 1) * 1000;
}
BENCHMARK(BM_MoviePlaybackRenderLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace
