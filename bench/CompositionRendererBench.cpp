#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <cstdlib>
#include <string>

#include "Platform/Composer/Composition.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLPixelFormat.h"

namespace {

// A time-dependent shader rendering into an image, drawn fitted over a cleared target.
constexpr char kFrame[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>rootPatch</key><dict><key>state</key><dict>
<key>nodes</key><array>
  <dict><key>key</key><string>clear</string><key>class</key><string>clear</string></dict>
  <dict><key>key</key><string>draw</string><key>class</key><string>imageDraw</string></dict>
  <dict><key>key</key><string>plasma</string><key>class</key><string>imageShader</string>
    <key>state</key><dict>
      <key>fragment</key><string>uniform float time; uniform vec2 resolution; uniform float speed;
void main() { vec2 p = gl_FragCoord.xy / resolution; float v = sin(p.x * 10.0 + time * speed) + cos(p.y * 7.0 - time);
gl_FragColor = vec4(0.5 + 0.5 * sin(v), 0.5 + 0.5 * cos(v * 2.0), p.x, 1.0); }</string>
      <key>uniforms</key><array><dict><key>key</key><string>speed</string><key>type</key><string>number</string></dict></array>
      <key>inputValues</key><dict><key>width</key><integer>64</integer><key>height</key><integer>64</integer>
        <key>speed</key><real>2</real></dict>
    </dict></dict>
</array>
<key>connections</key><array>
  <dict><key>sourceNode</key><string>plasma</string><key>sourcePort</key><string>image</string>
    <key>destinationNode</key><string>draw</string><key>destinationPort</key><string>image</string></dict>
</array>
</dict></dict></dict></plist>
)";

struct Setup {
    plat::GLPixelFormat* format = nullptr;
    plat::GLContext* context = nullptr;
    GLuint texture = 0, framebuffer = 0;

    explicit Setup(int32_t size) {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        setenv("EGL_PLATFORM", "surfaceless", 0);
        format = plat::GLPixelFormat::Create({}).release();
        context = format ? plat::GLContext::Create(format, nullptr).release() : nullptr;
        if (!context || !context->MakeCurrent()) return;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, size, size, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
        glViewport(0, 0, size, size);
    }
    ~Setup() {
        if (context && context->IsCurrent()) {
            glDeleteFramebuffers(1, &framebuffer);
            glDeleteTextures(1, &texture);
        }
        (void)plat::GLContext::ClearCurrent();
        plat::Release(context);
        plat::Release(format);
    }
};

plat::CompositionRenderer* MakeRenderer(const Setup& setup, const std::string& xml) {
    plat::Composition* composition =
        plat::Composition::CreateFromData(reinterpret_cast<const uint8_t*>(xml.data()), xml.size()).release();
    if (!composition) return nullptr;
    plat::CompositionRenderer* renderer =
        plat::CompositionRenderer::Create(setup.context, setup.format, plat::ColorSpace::kSRGB, composition).release();
    composition->Release();
    return renderer;
}

// One frame of a small composition on the render thread: evaluation, an image render and a draw.
void BM_RenderSmallCompositionFrame(benchmark::State& state) {
    Setup setup(128);
    plat::CompositionRenderer* renderer = setup.context ? MakeRenderer(setup, kFrame) : nullptr;
    if (!renderer) {
        state.SkipWithError("no GL context or composition");
        return;
    }
    double time = 0;
    for (auto _ : state) {
        (void)renderer->RenderAtTime(time);
        glFinish();
        time += 1.0 / 60;
    }
    renderer->Release();
}
BENCHMARK(BM_RenderSmallCompositionFrame)->Unit(benchmark::kMicrosecond);

// The graph walk alone: a value passed through a chain of splitters to a published output.
void BM_EvaluateSplitterChain(benchmark::State& state) {
    Setup setup(16);
    std::string xml =
        "<plist "
        "version=\"1.0\"><dict><key>rootPatch</key><dict><key>state</key><dict><key>nodes</key><array>";
    const int length = 64;
    for (int i = 0; i < length; ++i)
        xml += "<dict><key>key</key><string>s" + std::to_string(i) +
               "</string><key>class</key><string>splitter</string></dict>";
    xml += "</array><key>connections</key><array>";
    for (int i = 1; i < length; ++i)
        xml += "<dict><key>sourceNode</key><string>s" + std::to_string(i - 1) +
               "</string><key>sourcePort</key><string>output</string><key>destinationNode</key><string>s" +
               std::to_string(i) + "</string><key>destinationPort</key><string>input</string></dict>";
    xml +=
        "</array><key>publishedInputPorts</key><array><dict><key>key</key><string>In</string><key>node</key>"
        "<string>s0</string><key>port</key><string>input</string></dict></array>"
        "<key>publishedOutputPorts</key><array><dict><key>key</key><string>Out</string><key>node</"
        "key><string>s" +
        std::to_string(length - 1) + "</string><key>port</key><string>output</string></dict></array>";
    xml += "</dict></dict></dict></plist>";
    plat::CompositionRenderer* renderer = setup.context ? MakeRenderer(setup, xml) : nullptr;
    if (!renderer) {
        state.SkipWithError("no GL context or composition");
        return;
    }
    double value = 0;
    for (auto _ : state) {
        (void)renderer->SetInputValue("In", plat::Value(value));
        (void)renderer->RenderAtTime(0);
        benchmark::DoNotOptimize(renderer->OutputValue("Out").NumberValue());
        value += 1;
    }
    renderer->Release();
}
BENCHMARK(BM_EvaluateSplitterChain);

}  // namespace
