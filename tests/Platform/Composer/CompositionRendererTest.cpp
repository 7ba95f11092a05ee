#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Platform/Composer/BufferImage.h"
#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "Platform/Composer/GLTextureImage.h"
#include "Platform/Composer/ImageConversion.h"
#include "Platform/GL/GLObjectCounts.h"
#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLShareGroup.h"
#include "Platform/Video/GLTextureCache.h"
#include "Platform/Video/PixelBuffer.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/Platform/Composer/RendererTestSupport.h"
#include "tests/support/GLFixture.h"

namespace composertest {
namespace {

using plat::BufferImage;
using plat::Color;
using plat::Composition;
using plat::CompositionRenderer;
using plat::GLContext;
using plat::GLTextureImage;
using plat::Image;
using plat::Value;

constexpr char kGradient[] = R"(
uniform float time;
uniform vec2 resolution;
void main() { gl_FragColor = vec4(gl_FragCoord.xy / resolution, fract(time), 1.0); }
)";

constexpr char kInvert[] = R"(
uniform sampler2D image;
void main() {
    vec4 c = texture2D(image, gl_TexCoord[0].st);
    gl_FragColor = vec4(c.a - c.rgb, c.a);
}
)";

uint8_t Channel(double unit) {
    return static_cast<uint8_t>(std::lround(unit * 255.0));
}

class CompositionRendererTest : public testsupport::GLTest {
protected:
    Ref<CompositionRenderer> MakeRenderer(const GraphBuilder& graph, GLContext* context = nullptr) {
        Ref<Composition> composition(graph.Build());
        if (!composition) return nullptr;
        if (!context) context = Context();
        return Ref<CompositionRenderer>(CompositionRenderer::Create(
            context, context->PixelFormat(), plat::ColorSpace::kSRGB, composition.get()));
    }

    static GraphBuilder InvertFilter() {
        GraphBuilder g;
        g.Node("invert", plat::kNodeClassImageShader, ShaderState(kInvert, {{"image", "image"}}))
            .PublishInput(plat::kProtocolInputImage, "invert", "image")
            .PublishOutput(plat::kProtocolOutputImage, "invert", "image");
        return g;
    }

    // The image as CPU pixels, top row first.
    static void ExpectInvertedPattern(const Image* image) {
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(image->Width(), kPatternWidth);
        ASSERT_EQ(image->Height(), kPatternHeight);
        const BufferImage* pixels = plat::BufferForImage(*image);
        ASSERT_NE(pixels, nullptr);
        for (uint32_t y = 0; y < kPatternHeight; ++y)
            for (uint32_t x = 0; x < kPatternWidth; ++x)
                EXPECT_TRUE(PixelNear(BufferPixel(*pixels, x, y), Inverted(PatternPixel(x, y))))
                    << "at " << x << ", " << y;
    }
};

TEST_F(CompositionRendererTest, TimeDependentGradientIntoRectangleTarget) {
    GraphBuilder g;
    g.Node("gradient", plat::kNodeClassGLSL, ShaderState(kGradient));
    auto renderer = MakeRenderer(g);
    ASSERT_TRUE(renderer);
    EXPECT_TRUE(renderer->IsTimeDependent());
    RenderTarget target = MakeRenderTarget(GL_TEXTURE_RECTANGLE, 64, 32);

    struct Probe {
        int32_t x, y;
    };
    const Probe probes[] = {{0, 0}, {63, 0}, {0, 31}, {17, 9}, {63, 31}};
    for (double time : {0.25, 1.5}) {
        ASSERT_TRUE(renderer->RenderAtTime(time));
        for (const Probe& p : probes) {
            uint32_t want = 0xFF000000u | uint32_t{Channel((p.x + 0.5) / 64)} << 16 |
                            uint32_t{Channel((p.y + 0.5) / 32)} << 8 | Channel(std::fmod(time, 1.0));
            EXPECT_TRUE(PixelNear(ReadPixel(p.x, p.y), want)) << p.x << ", " << p.y << " at " << time;
        }
        EXPECT_TRUE(renderer->NeedsRender());
    }
    DeleteRenderTarget(target);
}

TEST_F(CompositionRendererTest, StillCompositionNeedsRenderOnlyAfterAnInputChange) {
    GraphBuilder g;
    g.Node("fill", plat::kNodeClassGLSL,
           ShaderState("uniform vec4 tint; void main() { gl_FragColor = tint; }", {{"tint", "color"}}))
        .PublishInput("Tint", "fill", "tint");
    auto renderer = MakeRenderer(g);
    ASSERT_TRUE(renderer);
    EXPECT_FALSE(renderer->IsTimeDependent());
    EXPECT_FALSE(renderer->GetComposition()->IsTimeDependent());
    RenderTarget target = MakeRenderTarget(GL_TEXTURE_2D, 8, 8);
    EXPECT_TRUE(renderer->NeedsRender());
    ASSERT_TRUE(renderer->RenderAtTime(0));
    EXPECT_FALSE(renderer->NeedsRender());
    EXPECT_TRUE(renderer->SetInputValue("Tint", Value(renderer->InputValue("Tint"))));
    EXPECT_FALSE(renderer->NeedsRender()) << "the same value is no change";
    EXPECT_TRUE(renderer->SetInputValue("Tint", Value(Color{0, 1, 0, 1})));
    EXPECT_TRUE(renderer->NeedsRender());
    ASSERT_TRUE(renderer->RenderAtTime(0));
    EXPECT_EQ(ReadPixel(3, 3), 0xFF00FF00u);
    EXPECT_FALSE(renderer->SetInputValue("Tint", Value("not a colour")));
    EXPECT_FALSE(renderer->SetInputValue("Missing", Value(1.0)));
    DeleteRenderTarget(target);
}

// A structure input feeds a float array uniform: numbers of an array or, in order, of a
// dictionary; missing and unreadable entries 0; at most 64 elements.
TEST_F(CompositionRendererTest, StructureInputsFillFloatArrayUniforms) {
    GraphBuilder g;
    g.Node("bars", plat::kNodeClassGLSL,
           ShaderState("uniform float v[3]; uniform float w[100];"
                       "void main() { gl_FragColor = vec4(v[0], v[1], v[2] + w[63] * 0.25 + w[64], 1.0); }",
                       {{"v", "structure"}, {"w", "structure"}}))
        .PublishInput("V", "bars", "v")
        .PublishInput("W", "bars", "w");
    auto renderer = MakeRenderer(g);
    ASSERT_TRUE(renderer);
    RenderTarget target = MakeRenderTarget(GL_TEXTURE_2D, 4, 4);
    plat::Dictionary ordered;
    ordered.Set("z", Value(1.0));
    ordered.Set("a", Value(0.0));
    ordered.Set("m", Value(0.5));
    struct Case {
        const char* name;
        Value value;
        uint32_t expected;
    } cases[] = {
        {"short array", Value(plat::ValueArray{Value(0.5), Value(1.0)}), 0xFF80FF00u},
        {"dictionary in order", Value(ordered), 0xFFFF0080u},
        {"texts and nothing", Value(plat::ValueArray{Value("0.25"), Value(), Value(std::nan(""))}),
         0xFF400000u},
        {"long array", Value(plat::ValueArray(10, Value(1.0))), 0xFFFFFFFFu},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(renderer->SetInputValue("V", c.value));
        ASSERT_TRUE(renderer->RenderAtTime(0));
        EXPECT_TRUE(PixelNear(ReadPixel(1, 1), c.expected));
    }
    // Past 64 elements nothing is set: w[63] counts, w[64] stays 0.
    ASSERT_TRUE(renderer->SetInputValue("V", Value(plat::ValueArray{Value(0.0), Value(0.0), Value(0.0)})));
    ASSERT_TRUE(renderer->SetInputValue("W", Value(plat::ValueArray(100, Value(1.0)))));
    ASSERT_TRUE(renderer->RenderAtTime(0));
    EXPECT_TRUE(PixelNear(ReadPixel(1, 1), 0xFF000040u));
    DeleteRenderTarget(target);
}

TEST_F(CompositionRendererTest, ConsumersDrawInFileOrderAfterWhatTheyNeed) {
    plat::Dictionary green;
    plat::Dictionary values;
    values.Set("color", Value(Color{0, 1, 0, 1}));
    green.Set(plat::kNodeInputValues, Value(values));
    plat::Dictionary stretch;
    plat::Dictionary mode;
    mode.Set("mode", Value(1));
    stretch.Set(plat::kNodeInputValues, Value(mode));
    struct Case {
        std::vector<const char*> order;
        uint32_t pixel;
    };
    const Case cases[] = {{{"clear", "draw", "shade"}, 0xFFFF0000u},
                          {{"draw", "clear", "shade"}, 0xFF00FF00u}};
    for (const Case& c : cases) {
        GraphBuilder g;
        for (const char* key : c.order) {
            if (std::string(key) == "clear") g.Node(key, plat::kNodeClassClear, green);
            if (std::string(key) == "draw") g.Node(key, plat::kNodeClassImageDraw, stretch);
            if (std::string(key) == "shade")
                g.Node(key, plat::kNodeClassImageShader,
                       ShaderState("void main() { gl_FragColor = vec4(1, 0, 0, 1); }"));
        }
        g.Connect("shade", "image", "draw", "image");
        auto renderer = MakeRenderer(g);
        ASSERT_TRUE(renderer);
        RenderTarget target = MakeRenderTarget(GL_TEXTURE_2D, 4, 4);
        ASSERT_TRUE(renderer->RenderAtTime(0));
        EXPECT_EQ(ReadPixel(2, 2), c.pixel) << c.order[0];
        DeleteRenderTarget(target);
    }
}

TEST_F(CompositionRendererTest, LongChainsReachPublishedOutputs) {
    GraphBuilder g;
    constexpr int kLength = 4000;
    for (int i = 0; i < kLength; ++i) {
        g.Node("s" + std::to_string(i), plat::kNodeClassSplitter);
        if (i > 0) g.Connect("s" + std::to_string(i - 1), "output", "s" + std::to_string(i), "input");
    }
    g.PublishInput("In", "s0", "input").PublishOutput("Out", "s" + std::to_string(kLength - 1), "output");
    auto renderer = MakeRenderer(g);
    ASSERT_TRUE(renderer);
    ASSERT_TRUE(renderer->SetInputValue("In", Value(2.5)));
    ASSERT_TRUE(renderer->RenderAtTime(0));
    EXPECT_EQ(renderer->OutputValue("Out").NumberValue(), 2.5);
    Value out;
    EXPECT_FALSE(renderer->OutputValueOfType("Out", plat::OutputType::Image, out));
}

TEST_F(CompositionRendererTest, RenderLeavesTheCallersStateAndContext) {
    GraphBuilder g;
    g.Node("gradient", plat::kNodeClassGLSL, ShaderState(kGradient));
    auto renderer = MakeRenderer(g);
    ASSERT_TRUE(renderer);
    RenderTarget target = MakeRenderTarget(GL_TEXTURE_2D, 16, 16);
    glViewport(4, 4, 8, 8);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);

    // Rendered from another context of the group: that one is current again afterwards.
    Ref<GLContext> other(GLContext::Create(Context()->PixelFormat(), Context()));
    ASSERT_TRUE(other && other->MakeCurrent());
    ASSERT_TRUE(renderer->RenderAtTime(0.5));
    EXPECT_EQ(GLContext::Current(), other.get());
    ASSERT_TRUE(Context()->MakeCurrent());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    GLint value = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(static_cast<GLuint>(value), texture);
    glGetIntegerv(GL_CURRENT_PROGRAM, &value);
    EXPECT_EQ(value, 0);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &value);
    EXPECT_EQ(static_cast<GLuint>(value), target.framebuffer);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    glGetIntegerv(GL_BLEND_DST_RGB, &value);
    EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 4);
    EXPECT_EQ(viewport[2], 8);
    // Only the viewport was drawn.
    EXPECT_EQ(ReadPixel(1, 1), 0u);
    EXPECT_NE(ReadPixel(6, 6), 0u);
    glDeleteTextures(1, &texture);
    DeleteRenderTarget(target);
}

TEST_F(CompositionRendererTest, InvertFilterWithEveryInputKind) {
    auto renderer = MakeRenderer(InvertFilter());
    ASSERT_TRUE(renderer);
    Ref<BufferImage> pattern(PatternBuffer());

    // A 2D texture rendered the GL way: row 0 at the bottom.
    GLuint plain = 0;
    {
        std::vector<uint32_t> rows;
        for (uint32_t y = kPatternHeight; y-- > 0;)
            for (uint32_t x = 0; x < kPatternWidth; ++x) rows.push_back(PatternPixel(x, y));
        glGenTextures(1, &plain);
        glBindTexture(GL_TEXTURE_2D, plain);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kPatternWidth, kPatternHeight, 0, GL_BGRA,
                     GL_UNSIGNED_INT_8_8_8_8_REV, rows.data());
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    Ref<GLTextureImage> texture(GLTextureImage::Create(
        Context()->ShareGroup(), {plain, GL_TEXTURE_2D, kPatternWidth, kPatternHeight, false}));

    // A flipped rectangle texture from the video texture cache, over a pixel buffer (top row first),
    // and the same pixel buffer as a CPU image.
    Ref<plat::PixelBuffer> pixels(PatternPixelBuffer());
    ASSERT_TRUE(pixels);
    Ref<plat::GLTextureCache> cache(plat::GLTextureCache::Create(Context(), Context()->PixelFormat()));
    Ref<plat::GLTexture> videoTexture(cache->CreateTexture(pixels.get()));
    Ref<GLTextureImage> flipped(
        GLTextureImage::CreateFromTexture(videoTexture.get(), kPatternWidth, kPatternHeight));
    ASSERT_TRUE(flipped && flipped->IsFlipped());
    Ref<BufferImage> cpu(BufferImage::CreateFromPixelBuffer(pixels.get()));

    struct Case {
        const char* name;
        const Image* image;
    };
    const Case cases[] = {{"buffer", pattern.get()},
                          {"pixel buffer", cpu.get()},
                          {"texture", texture.get()},
                          {"flipped rectangle texture", flipped.get()}};
    RenderTarget target = MakeRenderTarget(GL_TEXTURE_2D, 8, 8);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(renderer->SetInputValue(plat::kProtocolInputImage, Value(c.image)));
        ASSERT_TRUE(renderer->RenderAtTime(0));
        Value out;
        ASSERT_TRUE(renderer->OutputValueOfType(plat::kProtocolOutputImage, plat::OutputType::Image, out));
        ExpectInvertedPattern(out.ImageValue());
    }
    // Back to no image: no output.
    ASSERT_TRUE(renderer->SetInputValue(plat::kProtocolInputImage, Value()));
    DeleteRenderTarget(target);
}

TEST_F(CompositionRendererTest, OutputImageFeedsARendererInAnotherContextOfTheGroup) {
    auto producer = MakeRenderer(InvertFilter());
    ASSERT_TRUE(producer);
    Ref<BufferImage> pattern(PatternBuffer());
    ASSERT_TRUE(producer->SetInputValue(plat::kProtocolInputImage, Value(pattern.get())));
    ASSERT_TRUE(producer->RenderAtTime(0));
    Value image = producer->OutputValue(plat::kProtocolOutputImage);
    ASSERT_EQ(image.Kind(), plat::ValueKind::Image);
    ASSERT_EQ(image.ImageValue()->Kind(), plat::ImageKind::Texture);

    Ref<GLContext> other(GLContext::Create(Context()->PixelFormat(), Context()));
    ASSERT_TRUE(other && other->MakeCurrent());
    GraphBuilder g;
    g.Node("draw", plat::kNodeClassImageDraw)
        .PublishInput("Image", "draw", "image")
        .PublishInput("Mode", "draw", "mode");
    auto consumer = MakeRenderer(g, other.get());
    ASSERT_TRUE(consumer);
    RenderTarget target = MakeRenderTarget(GL_TEXTURE_2D, kPatternWidth, kPatternHeight);
    ASSERT_TRUE(consumer->SetInputValue("Image", image));
    ASSERT_TRUE(consumer->SetInputValue("Mode", Value(1)));
    ASSERT_TRUE(consumer->RenderAtTime(0));
    for (uint32_t y = 0; y < kPatternHeight; ++y)
        for (uint32_t x = 0; x < kPatternWidth; ++x)
            EXPECT_TRUE(
                PixelNear(ReadPixel(static_cast<int32_t>(x), static_cast<int32_t>(kPatternHeight - 1 - y)),
                          Inverted(PatternPixel(x, y))));
    DeleteRenderTarget(target);
    consumer.reset();
    ASSERT_TRUE(Context()->MakeCurrent());
}

// A new CPU image every render (a playing movie) uploads into a texture the renderer's pool
// takes back when the image goes: after the first frames no GL object is made.
TEST_F(CompositionRendererTest, NewCpuImagesEveryRenderReuseTexturesBySize) {
    GraphBuilder g;
    g.Node("draw", plat::kNodeClassImageDraw)
        .PublishInput("Image", "draw", "image")
        .PublishInput("Mode", "draw", "mode");
    auto renderer = MakeRenderer(g);
    ASSERT_TRUE(renderer);
    RenderTarget target = MakeRenderTarget(GL_TEXTURE_2D, 6, 4);
    ASSERT_TRUE(renderer->SetInputValue("Mode", Value(1)));
    uint64_t before = 0;
    for (uint32_t frame = 0; frame < 12; ++frame) {
        if (frame == 4) before = plat::GLCreated().Total();
        const uint32_t pixel = 0xFF000000u | (frame * 20u) << 16;
        plat::Ref<BufferImage> image = BufferImage::Create(6, 4);
        for (uint32_t i = 0; i < 24; ++i) std::memcpy(image->MutableData() + 4 * i, &pixel, 4);
        ASSERT_TRUE(renderer->SetInputValue("Image", Value(image.get())));
        image = nullptr;  // the renderer holds the only reference
        ASSERT_TRUE(renderer->RenderAtTime(frame * 0.04));
        EXPECT_TRUE(PixelNear(ReadPixel(3, 2), pixel, 2)) << frame;
    }
    EXPECT_EQ(plat::GLCreated().Total(), before);
    DeleteRenderTarget(target);
}

TEST_F(CompositionRendererTest, CrossfadeMixesByProgress) {
    GraphBuilder g;
    g.Node("fade", plat::kNodeClassCrossfade)
        .PublishInput("Source", "fade", "source")
        .PublishInput("Destination", "fade", "destination")
        .PublishInput("Progress", "fade", "progress")
        .PublishOutput("Image", "fade", "image");
    auto renderer = MakeRenderer(g);
    ASSERT_TRUE(renderer);
    auto solid = [](uint32_t pixel) {
        plat::Ref<BufferImage> image = BufferImage::Create(6, 4);
        for (uint32_t i = 0; i < 24; ++i) std::memcpy(image->MutableData() + 4 * i, &pixel, 4);
        return image;
    };
    Ref<BufferImage> source(solid(0xFFC86400u)), destination(solid(0xFF0028F0u));
    ASSERT_TRUE(renderer->SetInputValue("Source", Value(source.get())));
    ASSERT_TRUE(renderer->SetInputValue("Destination", Value(destination.get())));
    ASSERT_TRUE(renderer->SetInputValue("Progress", Value(0.25)));
    RenderTarget target = MakeRenderTarget(GL_TEXTURE_2D, 8, 8);
    ASSERT_TRUE(renderer->RenderAtTime(0));
    const Image* out = renderer->OutputValue("Image").ImageValue();
    ASSERT_NE(out, nullptr);
    const BufferImage* pixels = plat::BufferForImage(*out);
    ASSERT_NE(pixels, nullptr);
    // 0.75 x (200, 100, 0) + 0.25 x (0, 40, 240)
    EXPECT_TRUE(PixelNear(BufferPixel(*pixels, 0, 0), 0xFF96553Cu));
    EXPECT_TRUE(PixelNear(BufferPixel(*pixels, 5, 3), 0xFF96553Cu));
    DeleteRenderTarget(target);
}

TEST_F(CompositionRendererTest, HostDrawUsesTheHostContextsStatePremultiplied) {
    GraphBuilder g;
    g.Node("host", plat::kNodeClassHostDraw).PublishInput("Image", "host", "image");
    auto renderer = MakeRenderer(g);
    ASSERT_TRUE(renderer);
    plat::Ref<BufferImage> opaque = BufferImage::Create(2, 2);
    for (uint32_t i = 0; i < 4; ++i) {
        uint32_t p = 0xFFC86432u;
        std::memcpy(opaque->MutableData() + 4 * i, &p, 4);
    }
    ASSERT_TRUE(renderer->SetInputValue("Image", Value(opaque.get())));
    opaque = nullptr;

    // The host: another context of the group with its own target, vertex array, blending and colour.
    Ref<GLContext> host(GLContext::Create(Context()->PixelFormat(), Context()));
    ASSERT_TRUE(host && host->MakeCurrent());
    RenderTarget target = MakeRenderTarget(GL_TEXTURE_2D, 4, 4);
    static const float quad[8] = {-1, -1, -1, 1, 1, -1, 1, 1};
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, quad);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.5f, 0.5f, 0.5f, 0.5f);

    // Without the key nothing is drawn.
    ASSERT_TRUE(renderer->RenderAtTime(0));
    EXPECT_EQ(GLContext::Current(), host.get());
    EXPECT_EQ(ReadPixel(1, 1), 0u);

    renderer->UserInfo().Set(plat::kUserInfoHostContext, Value::FromPointer(host.get()));
    ASSERT_TRUE(renderer->RenderAtTime(0));
    EXPECT_EQ(GLContext::Current(), host.get());
    EXPECT_TRUE(PixelNear(ReadPixel(0, 0), 0x80643219u));
    EXPECT_TRUE(PixelNear(ReadPixel(3, 3), 0x80643219u));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[3], 0.5f);
    DeleteRenderTarget(target);
    ASSERT_TRUE(Context()->MakeCurrent());
}

TEST_F(CompositionRendererTest, SnapshotCopiesTheBoundFramebuffer) {
    GraphBuilder g;
    g.Node("gradient", plat::kNodeClassGLSL, ShaderState(kGradient));
    auto renderer = MakeRenderer(g);
    RenderTarget target = MakeRenderTarget(GL_TEXTURE_2D, 8, 4);
    ASSERT_TRUE(renderer->RenderAtTime(0.5));
    Ref<Image> snapshot(renderer->CreateSnapshotImage());
    ASSERT_TRUE(snapshot);
    ASSERT_EQ(snapshot->Width(), 8u);
    const BufferImage* pixels = plat::BufferForImage(*snapshot);
    ASSERT_NE(pixels, nullptr);
    // Top row first in the buffer; GL rows count from the bottom.
    EXPECT_EQ(BufferPixel(*pixels, 2, 0), ReadPixel(2, 3));
    EXPECT_EQ(BufferPixel(*pixels, 7, 3), ReadPixel(7, 0));
    DeleteRenderTarget(target);
}

TEST_F(CompositionRendererTest, ImagesReleasedOnAnotherThreadAreDeletedInTheGroupLater) {
    auto renderer = MakeRenderer(InvertFilter());
    Ref<BufferImage> pattern(PatternBuffer());
    ASSERT_TRUE(renderer->SetInputValue(plat::kProtocolInputImage, Value(pattern.get())));
    RenderTarget target = MakeRenderTarget(GL_TEXTURE_2D, 8, 8);
    ASSERT_TRUE(renderer->RenderAtTime(0));
    const Image* out = renderer->OutputValue(plat::kProtocolOutputImage).ImageValue();
    ASSERT_NE(out, nullptr);
    out->Retain();
    // A derived rectangle copy is kept with the image and goes with it.
    plat::TextureView rect;
    ASSERT_TRUE(plat::TextureForImage(*out, GL_TEXTURE_RECTANGLE, true, rect));
    GLuint name = static_cast<const GLTextureImage*>(out)->Name();
    renderer.reset();
    EXPECT_TRUE(glIsTexture(name));

    plat::GLShareGroup* group = Context()->ShareGroup();
    size_t before = group->PendingDeletes();
    std::thread([out] { out->Release(); }).join();
    EXPECT_EQ(group->PendingDeletes(), before + 2);
    group->Collect();
    EXPECT_EQ(group->PendingDeletes(), 0u);
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_FALSE(glIsTexture(rect.name));
    DeleteRenderTarget(target);
}

}  // namespace
}  // namespace composertest
