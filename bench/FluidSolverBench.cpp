// Steps per second of the GPU fluid solvers on llvmpipe, each beside a plain GL loop of the same
// full-grid passes (same grid, same iteration count) timed in the same run: the "ratio" counter is
// solver time over plain time per step (or per frame for the composition).

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/Composition.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "Platform/Composer/NodeClass.h"
#include "Platform/Composer/PlugInLoader.h"
#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLPixelFormat.h"
#include "Specific/Graph/CFD/CLSM_GL.h"
#include "Specific/Graph/CFD/CNS_GL.h"
#include "tests/Specific/Graph/CFD/CFDTestHost.h"

namespace {

struct Gl {
    plat::Ref<plat::GLPixelFormat> format;
    plat::Ref<plat::GLContext> context;
    Gl() {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        setenv("EGL_PLATFORM", "surfaceless", 0);
        format = plat::GLPixelFormat::Create({});
        if (format) context = plat::GLContext::Create(format.get(), nullptr);
        if (context && !context->MakeCurrent()) context = nullptr;
    }
    ~Gl() { (void)plat::GLContext::ClearCurrent(); }
};

const char* const kVS = R"(#version 120
void main() { gl_Position = gl_Vertex; })";

#define HEAD                                                                                \
    "#version 120\nuniform vec2 gTxl;\n"                                                    \
    "uniform sampler2D a; uniform sampler2D b; uniform sampler2D c; uniform sampler2D d;\n" \
    "#define AT(s, x, y) texture2D(s, (gl_FragCoord.xy + vec2(x, y)) * gTxl)\n"

// The full-grid passes with the solvers' arithmetic and texture reads, without boundary handling.
const char* const kWeights = HEAD
    "void main() { float w = AT(a,0.,0.).x;"
    " gl_FragColor = vec4(min(w, AT(a,-1.,0.).x), min(w, AT(a,0.,-1.).x), 0., 0.); }";
const char* const kPredict = HEAD R"(
uniform float dt; uniform float nu;
vec4 I(vec2 p) { vec2 q = clamp(p - 0.5, vec2(1.0), 1.0 / gTxl - 1.0001); vec2 f = floor(q); vec2 t = q - f;
  vec2 o = (f + 0.5) * gTxl;
  return mix(mix(texture2D(b, o), texture2D(b, o + vec2(gTxl.x, 0.)), t.x),
             mix(texture2D(b, o + vec2(0., gTxl.y)), texture2D(b, o + gTxl), t.x), t.y); }
void main() {
  vec4 u = AT(b,0.,0.), l = AT(b,-1.,0.), r = AT(b,1.,0.), bo = AT(b,0.,-1.), t = AT(b,0.,1.);
  float vl = (l.y + u.y + AT(b,-1.,1.).y + t.y) * 0.25, ub = (bo.x + AT(b,1.,-1.).x + u.x + r.x) * 0.25;
  vec2 uc = vec2(I(gl_FragCoord.xy - vec2(u.x, vl) * dt).x, I(gl_FragCoord.xy - vec2(ub, u.y) * dt).y);
  vec2 us = uc + ((l + r + bo + t - 4.0 * u).xy * nu + AT(a,0.,0.).xy + vec2(0., -0.1)) * dt;
  float w = AT(c,0.,0.).x;
  gl_FragColor = vec4(us * min(vec2(w), vec2(AT(c,-1.,0.).x, AT(c,0.,-1.).x)), 0., 0.); })";
const char* const kDivergence = HEAD R"(void main() { vec4 u = AT(a,0.,0.), r = AT(b,0.,0.);
  float s = r.x + r.y + AT(b,1.,0.).x + AT(b,0.,1.).y;
  gl_FragColor = vec4(AT(a,1.,0.).x - u.x + AT(a,0.,1.).y - u.y, s != 0. ? 1. / s : 0., 0., 0.); })";
const char* const kJacobi = HEAD R"(void main() { vec4 dr = AT(a,0.,0.), r = AT(b,0.,0.);
  float p = -dr.x + AT(c,-1.,0.).x * r.x + AT(c,0.,-1.).x * r.y + AT(c,1.,0.).x * AT(b,1.,0.).x +
            AT(c,0.,1.).x * AT(b,0.,1.).y;
  gl_FragColor = vec4(p * dr.y, 0., 0., 0.); })";
const char* const kCorrect = HEAD R"(void main() { float p = AT(c,0.,0.).x, w = AT(d,0.,0.).x;
  vec2 g = vec2(p) - vec2(AT(c,-1.,0.).x, AT(c,0.,-1.).x);
  gl_FragColor = vec4((AT(a,0.,0.).xy - g * AT(b,0.,0.).xy) * min(vec2(w), vec2(AT(d,-1.,0.).x, AT(d,0.,-1.).x)), 0., 0.); })";
const char* const kAdvectD = HEAD R"(uniform float dt; void main() { vec4 u = AT(a,0.,0.);
  vec2 q = gl_FragCoord.xy - (u.xy + vec2(AT(a,1.,0.).x, AT(a,0.,1.).y)) * 0.5 * dt - 0.5; vec2 f = floor(q);
  vec2 t = q - f; vec2 o = (f + 0.5) * gTxl;
  gl_FragColor = vec4(mix(mix(texture2D(b, o).x, texture2D(b, o + vec2(gTxl.x, 0.)).x, t.x),
                          mix(texture2D(b, o + vec2(0., gTxl.y)).x, texture2D(b, o + gTxl).x, t.x), t.y), 0., 0., 0.); })";
const char* const kSign = HEAD R"(void main() { float x = clamp(AT(a,0.,0.).x / 1.3, -1., 1.);
  float h = x >= 0. ? 1. - 0.5 * (1. - x) * (1. - x) : 0.5 * (x + 1.) * (x + 1.);
  gl_FragColor = vec4(2. * h - 1., 1. + h, 0.1 * h, 0.); })";
const char* const kReinit = HEAD R"(void main() { float v = AT(b,0.,0.).x;
  float dl = v - AT(b,-1.,0.).x, dr = AT(b,1.,0.).x - v, db = v - AT(b,0.,-1.).x, dt = AT(b,0.,1.).x - v;
  float w = AT(c,0.,0.).x; float s = AT(a,0.,0.).x * step(w, AT(c,-1.,0.).x) * step(w, AT(c,1.,0.).x);
  vec2 g = vec2(s >= 0. ? dl : dr, s >= 0. ? db : dt);
  gl_FragColor = vec4(abs(v) <= 0.65 ? v : v + 0.5 * s * (1. - length(g)), 0., 0., 0.); })";

// The plain loop: one framebuffer object, RGBA32F textures, one full-grid quad per pass.
class PlainPasses {
public:
    PlainPasses(int32_t side, uint32_t iterations, bool twoPhase)
        : fSide(side), fIterations(iterations), fTwoPhase(twoPhase) {
        glGenTextures(kCount, fTex);
        for (GLuint t : fTex) {
            glBindTexture(GL_TEXTURE_2D, t);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, side, side, 0, GL_RGBA, GL_FLOAT, nullptr);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        }
        glGenFramebuffers(1, &fFbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fFbo);
        glViewport(0, 0, side, side);
        for (GLuint t : fTex) {
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t, 0);
            glClearColor(t == fTex[kWt] ? 1.f : 0.f, 0, 0, 0);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        const char* sources[] = {kWeights, kPredict, kDivergence, kJacobi,
                                 kCorrect, kAdvectD, kSign,       kReinit};
        for (int i = 0; i < 8; ++i) fProg[i] = Link(sources[i]);
        const float quad[8] = {-1, -1, -1, 1, 1, -1, 1, 1};
        glGenBuffers(1, &fBuffer);
        glBindBuffer(GL_ARRAY_BUFFER, fBuffer);
        glBufferData(GL_ARRAY_BUFFER, sizeof quad, quad, GL_STATIC_DRAW);
        glVertexPointer(2, GL_FLOAT, 0, nullptr);
        glEnableClientState(GL_VERTEX_ARRAY);
    }
    ~PlainPasses() {
        glDisableClientState(GL_VERTEX_ARRAY);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glDeleteBuffers(1, &fBuffer);
        for (GLuint p : fProg) glDeleteProgram(p);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &fFbo);
        glDeleteTextures(kCount, fTex);
    }
    void Step() {
        Pass(0, kRr, {kWt});
        Pass(1, kU_, {kF, kU, kWt});
        Pass(2, kDr, {kU_, kRr});
        for (uint32_t i = 0; i < fIterations; ++i) {
            Pass(3, kP0 + fCur, {kDr, kRr, kP0 + (1 - fCur)});
            fCur = 1 - fCur;
        }
        Pass(4, kU, {kU_, kRr, kP0 + fCur, kWt});
        if (fTwoPhase) {
            Pass(5, kD0 + 1 - fD, {kU, kD0 + fD});
            fD = 1 - fD;
            Pass(6, kSrv, {kD0 + fD});
            for (int i = 0; i < 3; ++i) {
                Pass(7, kD0 + 1 - fD, {kSrv, kD0 + fD, kWt});
                fD = 1 - fD;
            }
            Pass(6, kSrv, {kD0 + fD});
        }
        glFlush();
    }

private:
    enum { kU, kU_, kDr, kRr, kWt, kF, kP0, kP1, kD0, kD1, kSrv, kCount };
    GLuint Link(const char* fragment) {
        GLuint p = glCreateProgram();
        for (auto [type, source] :
             {std::pair{GL_VERTEX_SHADER, kVS}, std::pair{GL_FRAGMENT_SHADER, fragment}}) {
            GLuint s = glCreateShader(type);
            glShaderSource(s, 1, &source, nullptr);
            glCompileShader(s);
            glAttachShader(p, s);
            glDeleteShader(s);
        }
        glLinkProgram(p);
        glUseProgram(p);
        const char* names[] = {"a", "b", "c", "d"};
        for (int i = 0; i < 4; ++i) glUniform1i(glGetUniformLocation(p, names[i]), i);
        glUniform2f(glGetUniformLocation(p, "gTxl"), 1.0f / float(fSide), 1.0f / float(fSide));
        glUniform1f(glGetUniformLocation(p, "dt"), 0.017f);
        glUniform1f(glGetUniformLocation(p, "nu"), 0.1f);
        return p;
    }
    void Pass(int program, int target, std::initializer_list<int> inputs) {
        glUseProgram(fProg[program]);
        int unit = 0;
        for (int in : inputs) {
            glActiveTexture(GLenum(GL_TEXTURE0 + unit++));
            glBindTexture(GL_TEXTURE_2D, fTex[in]);
        }
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, fTex[target], 0);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    }

    int32_t fSide;
    uint32_t fIterations;
    bool fTwoPhase;
    GLuint fTex[kCount] = {};
    GLuint fFbo = 0, fBuffer = 0, fProg[8] = {};
    int fCur = 0, fD = 0;
};

// Seconds per call of f over n calls, each finished on the GPU.
template <class F>
double SecondsPer(int64_t n, F&& f) {
    const auto start = std::chrono::steady_clock::now();
    for (int64_t i = 0; i < n; ++i) {
        f();
        glFinish();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / double(n);
}

void Report(benchmark::State& state, double seconds, double plainSeconds, const char* unit) {
    state.counters[std::string(unit) + "_per_s"] = 1 / seconds;
    state.counters["plain_per_s"] = 1 / plainSeconds;
    state.counters["ratio"] = seconds / plainSeconds;
    state.counters["cores"] = double(std::thread::hardware_concurrency());
}

template <class Solver>
void SolverSteps(benchmark::State& state, bool twoPhase) {
    Gl gl;
    if (!gl.context) return state.SkipWithError("no GL context");
    const auto side = uint32_t(state.range(0));
    const auto iterations = uint32_t(state.range(1));
    cfdtest::GLHost host(gl.context.get());
    Solver solver;
    if (!solver.Init(host)) return state.SkipWithError("solver programs");
    solver.SetCall(&host);
    if (!solver.SetSize(side, side)) return state.SkipWithError("size");
    solver.fIterations = iterations;
    solver.fSide[cfd::CCFD_GL::kBottom].type = cfd::CCFD_GL::kNoSlip;
    solver.fSide[cfd::CCFD_GL::kLeft] = {cfd::CCFD_GL::kVelocity, 1, 0, false};
    solver.fFg[1] = -0.1f;
    auto step = [&] {
        if constexpr (std::is_same_v<Solver, cfd::CLSM_GL>)
            solver.Step(false);
        else
            solver.Step();
    };
    step();
    int64_t n = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        step();
        // The solver's context is the one that drew: finish there.
        (void)host.MakeCurrent(solver.GLContext());
        glFinish();
        (void)host.MakeCurrent(host.GLContext());
        ++n;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / double(n);
    solver.Release(host);
    PlainPasses plain(int32_t(side), iterations, twoPhase);
    plain.Step();
    Report(state, seconds, SecondsPer(n, [&] { plain.Step(); }), "steps");
}

void BM_CNS_GL_Step(benchmark::State& state) {
    SolverSteps<cfd::CNS_GL>(state, false);
}
BENCHMARK(BM_CNS_GL_Step)
    ->Args({64, 10})
    ->Args({128, 10})
    ->Args({256, 10})
    ->Args({256, 40})
    ->Args({512, 10})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_CLSM_GL_Step(benchmark::State& state) {
    SolverSteps<cfd::CLSM_GL>(state, true);
}
BENCHMARK(BM_CLSM_GL_Step)->Args({128, 10})->Args({256, 10})->Unit(benchmark::kMillisecond)->UseRealTime();

// A composition holding "Pelvane" at 256 x 256, one step per frame.
void BM_PelvaneCompositionFrame(benchmark::State& state) {
    Gl gl;
    if (!gl.context) return state.SkipWithError("no GL context");
    plat::NodeClassRegistry registry;
    plat::RegisterBuiltinNodeClasses(registry);
    if (plat::PlugInLoader::LoadFolder(ORBILUME_PLUGIN_DIR, registry) == 0)
        return state.SkipWithError("no plug-in modules (build plugin-Pelvane)");
    const std::string xml = R"(<plist version="1.0"><dict><key>rootPatch</key><dict><key>state</key><dict>
<key>nodes</key><array><dict><key>key</key><string>p</string><key>class</key><string>plugin</string>
<key>state</key><dict><key>patch</key><string>Pelvane</string><key>inputValues</key><dict>
<key>inputW</key><integer>256</integer><key>inputH</key><integer>256</integer>
<key>inputBcL</key><integer>3</integer><key>inputVlL</key><real>1</real><key>inputFgY</key><real>-0.1</real>
<key>inputBcB</key><integer>2</integer></dict></dict></dict></array>
<key>connections</key><array/><key>publishedOutputPorts</key><array>
<dict><key>key</key><string>U</string><key>node</key><string>p</string><key>port</key><string>outputU</string></dict>
</array></dict></dict></dict></plist>)";
    auto composition =
        plat::Composition::CreateFromData(reinterpret_cast<const uint8_t*>(xml.data()), xml.size(), registry);
    if (!composition) return state.SkipWithError("composition");
    auto renderer = plat::CompositionRenderer::Create(gl.context.get(), gl.format.get(),
                                                      plat::ColorSpace::kSRGB, composition.get());
    if (!renderer) return state.SkipWithError("renderer");
    double time = 0;
    (void)renderer->RenderAtTime(time);
    int64_t n = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        time += 0.017;
        (void)renderer->RenderAtTime(time);
        glFinish();
        ++n;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / double(n);
    renderer = nullptr;
    composition = nullptr;
    PlainPasses plain(256, 10, false);
    plain.Step();
    Report(state, seconds, SecondsPer(n, [&] { plain.Step(); }), "frames");
}
BENCHMARK(BM_PelvaneCompositionFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
