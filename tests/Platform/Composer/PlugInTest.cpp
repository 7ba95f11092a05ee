#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "Platform/Composer/BufferImage.h"
#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/Composition.h"
#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "Platform/Composer/GLTextureImage.h"
#include "Platform/Composer/ImageConversion.h"
#include "Platform/Composer/NodeClass.h"
#include "Platform/Composer/PlugInLoader.h"
#include "Platform/Composer/PlugInNodeClass.h"
#include "Platform/GL/GLContext.h"
#include "Platform/Video/GLTextureCache.h"
#include "Platform/Video/PixelBuffer.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/Platform/Composer/RendererTestSupport.h"
#include "tests/support/GLFixture.h"
#include "tests/support/TempDir.h"

namespace composertest {
namespace {

using plat::Value;

void CopyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
}

// One registry for the whole run: loaded modules stay loaded, and their classes with them.
plat::NodeClassRegistry& Registry() {
    static plat::NodeClassRegistry* registry = [] {
        auto* r = new plat::NodeClassRegistry;
        plat::RegisterBuiltinNodeClasses(*r);
        return r;
    }();
    return *registry;
}

class PlugInTest : public testsupport::GLTest {
protected:
    static void SetUpTestSuite() {
        testsupport::TempDir folder;
        CopyFile(TEST_PLUGIN_MODULE, folder.File("invert.so"));
        folder.Write("broken.so", "not a shared object");
        folder.Write("notes.txt", "not a module either");
        CopyFile(TEST_PLUGIN_MODULE, folder.File("again.so"));  // registers a name that is taken
        sLoaded = plat::PlugInLoader::LoadFolder(folder.Path(), Registry());
    }

    static Ref<plat::Composition> InvertComposition() {
        Dictionary state;
        state.Set(plat::kPlugInStatePatch, Value("TestInvert"));
        GraphBuilder g;
        g.Node("invert", plat::kNodeClassPlugIn, state).PublishInput("Image", "invert", "inputImage");
        g.PublishInput("Amount", "invert", "inputAmount").PublishInput("Tint", "invert", "inputTint");
        for (const char* port :
             {"outputTexture", "outputBuffer", "outputRendered", "outputFloat", "outputExecutions",
              "outputReleased", "outputImageChanged", "outputHostContext", "outputTag", "outputTintAbsent"})
            g.PublishOutput(port, "invert", port);
        return Ref<plat::Composition>(g.Build(Registry()));
    }

    using Dictionary = plat::Dictionary;
    static size_t sLoaded;
};
size_t PlugInTest::sLoaded = 0;

TEST_F(PlugInTest, ModulesInAFolderLoadAndBrokenOnesArePassedOver) {
    EXPECT_EQ(sLoaded, 1u);
    const plat::NodeClass* found = Registry().FindPatch("TestInvert");
    ASSERT_NE(found, nullptr);
    const auto* patch = static_cast<const plat::PlugInNodeClass*>(found);
    EXPECT_EQ(patch->Attributes()["maker"].StringValue(), "Tests");
    EXPECT_EQ(patch->Attributes()["name"].StringValue(), "Test Invert");

    auto composition = InvertComposition();
    ASSERT_TRUE(composition);
    EXPECT_FALSE(composition->HasConsumers());
    EXPECT_FALSE(composition->IsTimeDependent());
    const Dictionary* amount = composition->PortAttributes("Amount");
    ASSERT_NE(amount, nullptr);
    EXPECT_EQ((*amount)["type"].StringValue(), "number");
    EXPECT_EQ((*amount)["default"].NumberValue(), 0.5);
    EXPECT_EQ((*amount)["max"].NumberValue(), 2.0);
    EXPECT_EQ(composition->PortAttributes("outputTexture")->Get("type").StringValue(), "image");
}

TEST_F(PlugInTest, PatchRunsInsideACompositionWithImagesBothWays) {
    auto composition = InvertComposition();
    ASSERT_TRUE(composition);
    Ref<plat::CompositionRenderer> renderer(plat::CompositionRenderer::Create(
        Context(), Context()->PixelFormat(), plat::ColorSpace::kSRGB, composition.get()));
    ASSERT_TRUE(renderer);
    renderer->UserInfo().Set(plat::kUserInfoHostContext, Value::FromPointer(Context()));
    renderer->UserInfo().Set("test.tag", Value("seen"));

    Ref<plat::BufferImage> pattern(PatternBuffer());
    // The same pattern as a flipped rectangle texture.
    Ref<plat::PixelBuffer> pixels(PatternPixelBuffer());
    ASSERT_TRUE(pixels);
    Ref<plat::GLTextureCache> cache(plat::GLTextureCache::Create(Context(), Context()->PixelFormat()));
    Ref<plat::GLTexture> video(cache->CreateTexture(pixels.get()));
    Ref<plat::GLTextureImage> flipped(
        plat::GLTextureImage::CreateFromTexture(video.get(), kPatternWidth, kPatternHeight));

    RenderTarget target = MakeRenderTarget(GL_TEXTURE_2D, 8, 8);
    struct Case {
        const char* name;
        const plat::Image* image;
    };
    const Case cases[] = {{"buffer", pattern.get()}, {"flipped rectangle texture", flipped.get()}};
    uint32_t executions = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(renderer->SetInputValue("Image", Value(c.image)));
        ASSERT_TRUE(renderer->RenderAtTime(0));
        EXPECT_EQ(renderer->OutputValue("outputExecutions").ToIndex(), ++executions);
        EXPECT_TRUE(renderer->OutputValue("outputImageChanged").BoolValue());
        EXPECT_TRUE(renderer->OutputValue("outputHostContext").BoolValue());
        EXPECT_EQ(renderer->OutputValue("outputTag").StringValue(), "seen");
        for (const char* key : {"outputTexture", "outputBuffer"}) {
            SCOPED_TRACE(key);
            const plat::Image* out = renderer->OutputValue(key).ImageValue();
            ASSERT_NE(out, nullptr);
            EXPECT_EQ(out->Kind(), std::string(key) == "outputTexture" ? plat::ImageKind::Texture
                                                                       : plat::ImageKind::Buffer);
            const plat::BufferImage* result = plat::BufferForImage(*out);
            ASSERT_NE(result, nullptr);
            for (uint32_t y = 0; y < kPatternHeight; ++y)
                for (uint32_t x = 0; x < kPatternWidth; ++x)
                    EXPECT_TRUE(PixelNear(BufferPixel(*result, x, y), Inverted(PatternPixel(x, y))))
                        << x << ", " << y;
        }
    }

    // Images the host asked to be drawn into its own texture, or filled in as floats.
    struct Made {
        const char* key;
        uint32_t width, height;
        uint32_t pixel;
    };
    const Made made[] = {{"outputRendered", 3, 2, 0xFF4080BFu}, {"outputFloat", 2, 2, 0xFFFF80FFu}};
    for (const Made& m : made) {
        SCOPED_TRACE(m.key);
        const plat::Image* out = renderer->OutputValue(m.key).ImageValue();
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(out->Width(), m.width);
        EXPECT_EQ(out->Height(), m.height);
        const plat::BufferImage* result = plat::BufferForImage(*out);
        ASSERT_NE(result, nullptr);
        EXPECT_TRUE(PixelNear(BufferPixel(*result, m.width - 1, m.height - 1), m.pixel));
    }

    // A processor whose inputs did not change does not run again.
    ASSERT_TRUE(renderer->RenderAtTime(1));
    EXPECT_EQ(renderer->OutputValue("outputExecutions").ToIndex(), executions);
    EXPECT_TRUE(renderer->OutputValue("outputTintAbsent").BoolValue());
    // A change of other inputs runs it, without the image counting as changed; the texture of the
    // first run's image has come back to the plug-in by then.
    ASSERT_TRUE(renderer->SetInputValue("Amount", Value(1.0)));
    ASSERT_TRUE(renderer->SetInputValue("Tint", Value(plat::Color{1, 1, 1, 1})));
    ASSERT_TRUE(renderer->RenderAtTime(1));
    EXPECT_FALSE(renderer->OutputValue("outputTintAbsent").BoolValue());
    EXPECT_EQ(renderer->OutputValue("outputExecutions").ToIndex(), executions + 1);
    EXPECT_FALSE(renderer->OutputValue("outputImageChanged").BoolValue());
    EXPECT_GE(renderer->OutputValue("outputReleased").ToIndex(), 1u);

    // Without an image the outputs go empty.
    ASSERT_TRUE(renderer->SetInputValue("Image", Value()));
    ASSERT_TRUE(renderer->RenderAtTime(1));
    EXPECT_TRUE(renderer->OutputValue("outputTexture").IsNull());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    DeleteRenderTarget(target);
}

}  // namespace
}  // namespace composertest
