#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Engine/CLayer.h"
#include "Orbilume/CSources/Engine/CMediaCache.h"
#include "Orbilume/CSources/Engine/CMediaUnit.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Orbilume/CSources/Media/CAVMovie.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"
#include "Platform/GL/GLObjectCounts.h"
#include "Platform/Video/PixelBuffer.h"

// The mix engine's frame beside the same work in plain GL (the floor): N layers of a
// time-dependent full-frame shader, each rendered into its own target and blended into the
// output, then a one-pixel read (flush and wait).
namespace {

using T = CDocModelTypes;

constexpr char kFragment[] =
    "uniform float time; uniform vec2 resolution;"
    "void main() { vec2 p = gl_FragCoord.xy / resolution; float v = sin(p.x * 10.0 + time * 2.0) + cos(p.y * "
    "7.0 - time);"
    " gl_FragColor = vec4(0.5 + 0.5 * sin(v), 0.5 + 0.5 * cos(v * 2.0), p.x, 1.0); }";

std::string CompositionXml() {
    return std::string(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>rootPatch</key><dict><key>state</key><dict><key>nodes</key><array>
<dict><key>key</key><string>g</string><key>class</key><string>glsl</string><key>state</key><dict>
<key>fragment</key><string>)") +
           kFragment + R"(</string><key>uniforms</key><array/></dict></dict>
</array></dict></dict></dict></plist>
)";
}

struct Env {
    Env() {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        setenv("EGL_PLATFORM", "surfaceless", 0);
        common = COpenGLCommonCtx::Use();
        COpenGLContext_Cca::SetShared(common);
        MQcRenderer_::SetInternalFolder(std::string(ORBILUME_SOURCE_DIR) + "/SharedSupport/privatecompo");
        char pattern[] = "/tmp/mixbench-XXXXXX";
        if (mkdtemp(pattern)) dir = pattern;
        FILE* f = std::fopen((dir + "/plasma.qtz").c_str(), "w");
        if (f) {
            const std::string xml = CompositionXml();
            std::fwrite(xml.data(), 1, xml.size(), f);
            std::fclose(f);
        }
        // The file layer's composition, beside the show.
        const std::string copy = "cp " + std::string(ORBILUME_SOURCE_DIR) +
                                 "/SharedSupport/compositions/obImageInput.qtz " + dir + "/";
        if (std::system(copy.c_str()) != 0) std::fprintf(stderr, "no obImageInput.qtz\n");
    }
    COpenGLContext_Cca* common = nullptr;
    std::string dir;
    CAppPrefs prefs;
};

Env& Environment() {
    static Env* env = new Env;
    return *env;
}

// A window stand-in: a target whose framebuffer stays bound in its context.
COpenGLFBOTarget* MakeWindow(int32_t w, int32_t h) {
    auto* window = new COpenGLFBOTarget(static_cast<uint32_t>(w), static_cast<uint32_t>(h), nullptr);
    COpenGLScope_Cca scope(window->context());
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, window->fbo());
    glViewport(0, 0, w, h);
    return window;
}

void ReadOnePixel(COpenGLContext_Cca& context) {
    COpenGLScope_Cca scope(context);
    uint8_t pixel[4];
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    benchmark::DoNotOptimize(pixel[0]);
}

// The floor: the shader and composite in plain GL, in one context.
class RawLayers {
public:
    RawLayers(int32_t w, int32_t h, int32_t n) : fW(w), fH(h), fWindow(MakeWindow(w, h)) {
        COpenGLScope_Cca scope(fWindow->context());
        const char* src = kFragment;
        GLuint fs = glCreateShader(GL_FRAGMENT_SHADER);
        glShaderSource(fs, 1, &src, nullptr);
        glCompileShader(fs);
        fProgram = glCreateProgram();
        glAttachShader(fProgram, fs);
        glLinkProgram(fProgram);
        glDeleteShader(fs);
        fTextures.resize(static_cast<size_t>(n));
        fFbos.resize(static_cast<size_t>(n));
        glGenTextures(n, fTextures.data());
        glGenFramebuffers(n, fFbos.data());
        for (int32_t i = 0; i < n; ++i) {
            glBindTexture(GL_TEXTURE_2D, fTextures[static_cast<size_t>(i)]);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glBindFramebuffer(GL_FRAMEBUFFER, fFbos[static_cast<size_t>(i)]);
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                                   fTextures[static_cast<size_t>(i)], 0);
        }
        glBindTexture(GL_TEXTURE_2D, 0);
        glBindFramebuffer(GL_FRAMEBUFFER, fWindow->fbo());
    }
    ~RawLayers() {
        {
            COpenGLScope_Cca scope(fWindow->context());
            glDeleteFramebuffers(static_cast<GLsizei>(fFbos.size()), fFbos.data());
            glDeleteTextures(static_cast<GLsizei>(fTextures.size()), fTextures.data());
            glDeleteProgram(fProgram);
        }
        fWindow->Release();
    }
    void Frame(float time) {
        static const float kQuad[8] = {-1, -1, -1, 1, 1, -1, 1, 1};
        static const float kCoords[8] = {0, 0, 0, 1, 1, 0, 1, 1};
        COpenGLScope_Cca scope(fWindow->context());
        glBindFramebuffer(GL_FRAMEBUFFER, fWindow->fbo());
        glViewport(0, 0, fW, fH);
        glClear(GL_COLOR_BUFFER_BIT);
        glVertexPointer(2, GL_FLOAT, 0, kQuad);
        glTexCoordPointer(2, GL_FLOAT, 0, kCoords);
        glEnableClientState(GL_VERTEX_ARRAY);
        for (size_t i = 0; i < fFbos.size(); ++i) {
            glBindFramebuffer(GL_FRAMEBUFFER, fFbos[i]);
            glUseProgram(fProgram);
            glUniform1f(glGetUniformLocation(fProgram, "time"), time);
            glUniform2f(glGetUniformLocation(fProgram, "resolution"), static_cast<float>(fW),
                        static_cast<float>(fH));
            glDisable(GL_BLEND);
            glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
            glUseProgram(0);
            glBindFramebuffer(GL_FRAMEBUFFER, fWindow->fbo());
            if (i > 0) {
                glEnable(GL_BLEND);
                glBlendFunc(GL_ONE, GL_ONE);
                glBlendEquation(i % 2 ? GL_FUNC_ADD : GL_MAX);
            }
            glEnable(GL_TEXTURE_2D);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glBindTexture(GL_TEXTURE_2D, fTextures[i]);
            glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            glDisable(GL_TEXTURE_2D);
            glFlush();
        }
        glDisable(GL_BLEND);
        glDisableClientState(GL_VERTEX_ARRAY);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    COpenGLContext_Cca& context() { return fWindow->context(); }

private:
    int32_t fW, fH;
    COpenGLFBOTarget* fWindow;
    GLuint fProgram = 0;
    std::vector<GLuint> fTextures;
    std::vector<GLuint> fFbos;
};

// Milliseconds per frame of the floor, measured now.
double FloorMs(int32_t w, int32_t h, int32_t n) {
    RawLayers raw(w, h, n);
    raw.Frame(0);
    ReadOnePixel(raw.context());
    const auto start = std::chrono::steady_clock::now();
    constexpr int kFrames = 8;
    for (int i = 0; i < kFrames; ++i) {
        raw.Frame(static_cast<float>(i) * 0.016f);
        ReadOnePixel(raw.context());
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() /
           kFrames;
}

// A document of n plasma layers, modes alternating (and, with movie, a file layer on top), and
// its engine at w × h.
struct Mix {
    Mix(int32_t w, int32_t h, int32_t n, bool movie = false) {
        Env& env = Environment();
        doc.SetDocumentPath(CMacFileU::LFsSpecFromPath((env.dir + "/show.obm").c_str()));
        static const char* const kModes[] = {"add", "max"};
        for (int32_t i = 0; i < n; ++i) {
            const int32_t at = UDocUnits::AddCompositionLayer(doc.Mix(), nullptr, 99, LString("plasma.qtz"));
            CRecord* unit =
                doc.Mix()->GetElement(T::kMixsLayers, static_cast<uint32_t>(at))->GetSubRecord(T::kLayrUnit);
            (void)UDocUnits::SetUnitInput(doc.Mix(), nullptr, unit, LString("_oblayer_MixFunc"),
                                          LString(kModes[i % 2]), false);
            (void)UDocUnits::SetUnitInput(doc.Mix(), nullptr, unit, LString("_oblayer_Blend"), LString("1"),
                                          false);
        }
        if (movie) {
            const int32_t at = UDocUnits::AddMediaLayer(
                doc, nullptr, 99, CMacFileU::LFsSpecFromPath((env.dir + "/movie.mov").c_str()));
            CRecord* layer =
                at >= 0 ? doc.Mix()->GetElement(T::kMixsLayers, static_cast<uint32_t>(at)) : nullptr;
            if (CRecord* unit = layer ? layer->GetSubRecord(T::kLayrUnit) : nullptr)
                (void)UDocUnits::SetUnitInput(doc.Mix(), nullptr, unit, LString("_oblayer_Blend"),
                                              LString("1"), false);
        }
        engine = std::make_unique<CMixEngine>(&doc, &env.prefs);
        engine->SetOutputSize(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
        engine->LoadLayers();
        window = MakeWindow(w, h);
    }
    ~Mix() {
        engine.reset();
        window->Release();
    }
    void Frame() {
        engine->RenderFrame(window->context(), CMixEngine::SFrameRequest{0});
        ReadOnePixel(window->context());
    }
    CDocModelHolder doc;
    std::unique_ptr<CMixEngine> engine;
    COpenGLFBOTarget* window = nullptr;
};

void BM_RawLayers(benchmark::State& state) {
    const auto w = static_cast<int32_t>(state.range(0)), h = static_cast<int32_t>(state.range(1));
    const auto n = static_cast<int32_t>(state.range(2));
    (void)Environment();
    RawLayers raw(w, h, n);
    float t = 0;
    double totalMs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        raw.Frame(t += 0.016f);
        ReadOnePixel(raw.context());
        totalMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    const double frameMs = state.iterations() ? totalMs / static_cast<double>(state.iterations()) : 0;
    state.counters["frame_ms"] = frameMs;
    state.counters["ms_per_layer"] = frameMs / n;
}

void RunMix(benchmark::State& state, bool adjusted) {
    const auto w = static_cast<int32_t>(state.range(0)), h = static_cast<int32_t>(state.range(1));
    const auto n = static_cast<int32_t>(state.range(2));
    (void)Environment();
    const double floorMs = FloorMs(w, h, n);
    Mix mix(w, h, n);
    static std::atomic<uint32_t> afterFrames{0};
    if (adjusted) {
        mix.engine->ApplyOutputKey(LString("gmode"), LString("1"));
        mix.engine->ApplyOutputKey(LString("gcnrtrx"), LString("0.9"));
        mix.engine->ApplyOutputKey(LString("gcnrbly"), LString("0.1"));
        mix.engine->AddAfterFrameCallback(
            nullptr, +[](void*, CMixEngine*) { afterFrames.fetch_add(1); });
    }
    for (int i = 0; i < 10; ++i) mix.Frame();
    const uint64_t objects = plat::GLCreated().Total();
    double totalMs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        mix.Frame();
        totalMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    const double frameMs = state.iterations() ? totalMs / static_cast<double>(state.iterations()) : 0;
    state.counters["frame_ms"] = frameMs;
    state.counters["ms_per_layer"] = frameMs / n;
    state.counters["floor_ms"] = floorMs;
    state.counters["ratio_to_floor"] = floorMs > 0 ? frameMs / floorMs : 0;
    state.counters["gl_objects_per_frame"] = state.iterations()
                                                 ? static_cast<double>(plat::GLCreated().Total() - objects) /
                                                       static_cast<double>(state.iterations())
                                                 : 0;
}

// A movie that hands out a new frame (BGRA, three buffers filled beforehand, in turn) whenever
// asked while playing: the decoder's side of playback at no cost.
class FrameSource final : public CAVMovie {
public:
    FrameSource(int32_t w, int32_t h) : CAVMovie(LFsSpec()) {
        for (auto& frame : fFrames) {
            frame = plat::PixelBuffer::Create(w, h);
            if (frame && frame->Lock(0)) {
                std::fill(frame->BaseAddress(), frame->BaseAddress() + frame->DataSize(), uint8_t{0x80});
                frame->Unlock(0);
            }
        }
    }
    int32_t GetStatus() override { return kReady; }
    bool HasVideo() override { return true; }
    bool HasAudio() override { return false; }
    float GetDuration() override { return 1000; }
    float GetTime() override { return 0; }
    float GetRate() override { return 1; }
    void GetRange(float& s, float& e) override { s = 0, e = 1000; }
    void SetRange(float, float) override {}
    void SetLoop(bool) override {}
    void SetVolume(float) override {}
    void QueueRate(float) override {}
    void QueueSeek(float, float) override {}
    void QueueStep(bool, float) override {}
    plat::Ref<plat::PixelBuffer> CopyFrame() override {
        if (!playing) return nullptr;
        fNext = (fNext + 1) % 3;
        return fFrames[fNext];
    }
    bool playing = false;

private:
    plat::Ref<plat::PixelBuffer> fFrames[3];
    size_t fNext = 0;
};

// Milliseconds of one w × h BGRA upload into an existing texture in plain GL (the peer of a
// movie frame), with the same one-pixel wait.
double UploadMs(int32_t w, int32_t h) {
    COpenGLFBOTarget* window = MakeWindow(w, h);
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4, 0x80);
    double ms = 0;
    {
        COpenGLScope_Cca scope(window->context());
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
        constexpr int kFrames = 8;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kFrames; ++i) {
            pixels[0] = static_cast<uint8_t>(i);
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                            pixels.data());
            ReadOnePixel(window->context());
        }
        ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() /
             kFrames;
        glDeleteTextures(1, &texture);
    }
    window->Release();
    return ms;
}

// n plasma layers and a file layer whose movie hands over a new w × h frame every render, beside
// the same mix with the movie standing still: what playing adds per frame against a plain upload.
void BM_MixFrameMovie(benchmark::State& state) {
    const auto w = static_cast<int32_t>(state.range(0)), h = static_cast<int32_t>(state.range(1));
    const auto n = static_cast<int32_t>(state.range(2));
    (void)Environment();
    const double uploadMs = UploadMs(w, h);
    Mix mix(w, h, n, true);
    CUnitParam* param = mix.engine->LayerAt(static_cast<uint32_t>(n))
                            ? mix.engine->LayerAt(static_cast<uint32_t>(n))->Param("_protocolInput_Image")
                            : nullptr;
    CMediaUnit* media = param ? param->mediaUnit() : nullptr;
    CMediaCache* cache = mix.engine->MediaCache();
    if (!media || !cache) {
        state.SkipWithError("no file layer");
        return;
    }
    plat::Ref<FrameSource> movie = plat::Adopt(new FrameSource(w, h));
    {
        std::lock_guard<std::mutex> lock(cache->Lock());
        CMediaEntry* entry = cache->FindEntry(media->id());
        if (!entry) {
            state.SkipWithError("no cache entry");
            return;
        }
        entry->current.movie = movie;
        entry->movieSource.SetMovie(movie);
    }
    movie->playing = true;
    for (int i = 0; i < 10; ++i) mix.Frame();  // warm-up: textures of the frame size join the pool
    const uint64_t objects = plat::GLCreated().Total();
    // Playing and still frames alternate, so that a load that changes over the run weighs on both.
    double playingMs = 0, stillMs = 0;
    uint64_t playing = 0, still = 0;
    for (auto _ : state) {
        movie->playing = !movie->playing;
        const auto start = std::chrono::steady_clock::now();
        mix.Frame();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        (movie->playing ? playingMs : stillMs) += ms;
        ++(movie->playing ? playing : still);
    }
    const double frameMs = playing ? playingMs / static_cast<double>(playing) : 0;
    const double stillFrameMs = still ? stillMs / static_cast<double>(still) : 0;
    state.counters["frame_ms"] = frameMs;
    state.counters["still_ms"] = stillFrameMs;
    state.counters["upload_ms"] = uploadMs;
    state.counters["added_to_upload"] = uploadMs > 0 ? (frameMs - stillFrameMs) / uploadMs : 0;
    state.counters["gl_objects_per_frame"] =
        playing ? static_cast<double>(plat::GLCreated().Total() - objects) / static_cast<double>(playing) : 0;
}

void BM_MixFrame(benchmark::State& state) {
    RunMix(state, false);
}

void BM_MixFrameAdjusted(benchmark::State& state) {
    RunMix(state, true);
}

// Value edits every millisecond and a layer inserted and removed while a render thread renders:
// the p99 of one value edit against the frame time.
void BM_MainThreadEdits(benchmark::State& state) {
    (void)Environment();
    Mix mix(1280, 720, 4);
    CRecord* unit = mix.doc.Mix()->GetElement(T::kMixsLayers, 0)->GetSubRecord(T::kLayrUnit);
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> frames{0};
    std::atomic<double> frameMsSum{0};
    std::thread render([&] {
        while (!stop.load()) {
            const auto start = std::chrono::steady_clock::now();
            mix.Frame();
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            frameMsSum.store(frameMsSum.load() + ms);
            frames.fetch_add(1);
        }
    });
    std::vector<double> edits;
    std::vector<double> structure;
    uint32_t i = 0;
    for (auto _ : state) {
        char value[32];
        std::snprintf(value, sizeof value, "%.3f", (i % 100) / 100.0);
        const auto start = std::chrono::steady_clock::now();
        (void)UDocUnits::SetUnitInput(mix.doc.Mix(), nullptr, unit, LString("_oblayer_Blend"), LString(value),
                                      false);
        edits.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (i % 200 == 100) {
            const auto s = std::chrono::steady_clock::now();
            (void)UDocUnits::AddCompositionLayer(mix.doc.Mix(), nullptr, 99, LString("plasma.qtz"));
            UDocUnits::DeleteLayer(mix.doc, nullptr, mix.doc.Mix()->ArrayCount(T::kMixsLayers) - 1);
            structure.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - s).count());
        }
        ++i;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    stop.store(true);
    render.join();
    std::sort(edits.begin(), edits.end());
    const double p99 = edits.empty() ? 0 : edits[std::min(edits.size() - 1, edits.size() * 99 / 100)];
    const double frameMs = frames.load() ? frameMsSum.load() / static_cast<double>(frames.load()) : 0;
    state.counters["edit_p99_ms"] = p99;
    state.counters["frame_ms"] = frameMs;
    state.counters["edit_p99_to_frame"] = frameMs > 0 ? p99 / frameMs : 0;
    state.counters["structure_max_ms"] =
        structure.empty() ? 0 : *std::max_element(structure.begin(), structure.end());
}

}  // namespace

BENCHMARK(BM_RawLayers)
    ->Args({1280, 720, 1})
    ->Args({1280, 720, 4})
    ->Args({1920, 1080, 8})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_MixFrame)
    ->ArgsProduct({{1280}, {720}, {1, 4, 8}})
    ->Args({1920, 1080, 1})
    ->Args({1920, 1080, 4})
    ->Args({1920, 1080, 8})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_MixFrameMovie)
    ->Args({1280, 720, 1})
    ->Args({1280, 720, 4})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_MixFrameAdjusted)->Args({1280, 720, 4})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MainThreadEdits)->Iterations(1000)->Unit(benchmark::kMillisecond)->UseRealTime();
