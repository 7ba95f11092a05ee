#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <fstream>

#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Orbilume/CSources/QCx/MQcComposition_.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"
#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"
#include "tests/Orbilume/CSources/QCx/QcTestSupport.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/support/TempDir.h"

using composertest::GraphBuilder;
using composertest::ShaderState;
using plat::Ref;
using namespace qctest;

namespace {

class RendererTest : public QcGLTest {};

// A consumer filling the target with its "Color" input; not time dependent.
Ref<MQcComposition_> FillComposition() {
    GraphBuilder g;
    g.Node("f", plat::kNodeClassGLSL,
           ShaderState("uniform vec4 color; void main() { gl_FragColor = color; }", {{"color", "color"}}))
        .PublishInput("Color", "f", "color");
    return Compo(g);
}

// Draws its "Image" input over the whole target.
Ref<MQcComposition_> ImageComposition() {
    GraphBuilder g;
    g.Node("d", plat::kNodeClassGLSL,
           ShaderState("uniform sampler2D image; uniform vec2 resolution;"
                       "void main() { gl_FragColor = texture2D(image, gl_FragCoord.xy / resolution); }",
                       {{"image", "image"}}))
        .PublishInput("Image", "d", "image");
    return Compo(g);
}

// No consumer: its output "Out" is an image of its "Color".
Ref<MQcComposition_> FillImageComposition() {
    GraphBuilder g;
    g.Node("c", plat::kNodeClassColorFill)
        .PublishInput("Color", "c", "color")
        .PublishOutput("Out", "c", "image");
    return Compo(g);
}

TEST_F(RendererTest, StaticCompositionRendersOnceThenOnlyAfterAChange) {
    Ref<MQcRenderer_> r = MQcRenderer_::CreatePrivate(FillComposition().get(), 64, 32, true);
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->IsPrivate());
    EXPECT_TRUE(r->Target()->depthWanted());
    EXPECT_TRUE(r->RenderAtTime(0));
    EXPECT_FALSE(r->RenderAtTime(1));
    r->SetColor("Color", 0, 1, 0, 1);
    EXPECT_TRUE(r->RenderAtTime(2));
    EXPECT_EQ(TargetPixel(*r, 10, 10), 0xFF00FF00u);
    EXPECT_FALSE(r->RenderAtTime(3));
    r->SetSize(64, 32);  // unchanged
    EXPECT_FALSE(r->RenderAtTime(4));
    r->SetSize(32, 16);
    EXPECT_EQ(r->TargetWidth(), 32u);
    EXPECT_TRUE(r->RenderAtTime(5));
    EXPECT_FALSE(r->RenderAtTime(6));

    float rgba[4] = {};
    EXPECT_TRUE(r->GetInputColor("Color", rgba));
    EXPECT_FLOAT_EQ(rgba[1], 1);
}

TEST_F(RendererTest, TimeDependentCompositionRendersEveryTime) {
    GraphBuilder g;
    g.Node("t", plat::kNodeClassGLSL,
           ShaderState("uniform float time; void main() { gl_FragColor = vec4(time); }"));
    Ref<MQcRenderer_> r = MQcRenderer_::CreatePrivate(Compo(g).get(), 8, 8, false);
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->Target()->depthWanted());
    EXPECT_TRUE(r->RenderAtTime(0));
    EXPECT_TRUE(r->RenderAtTime(1));
    r->ClearTimed();
    EXPECT_TRUE(r->RenderAtTime(2));
    EXPECT_FALSE(r->RenderAtTime(3));
}

TEST_F(RendererTest, SizesGLRefusesGiveNoRenderer) {
    EXPECT_FALSE(MQcRenderer_::CreatePrivate(FillComposition().get(), 1u << 20, 4, false));
    EXPECT_FALSE(MQcRenderer_::CreatePrivate(nullptr, 8, 8, false));
    EXPECT_FALSE(MQcRenderer_::CreateShared(FillComposition().get(), nullptr));
}

TEST_F(RendererTest, PassingWithoutForceHappensOncePerRender) {
    Ref<MQcRenderer_> source = MQcRenderer_::CreatePrivate(FillComposition().get(), 64, 32, false);
    Ref<MQcRenderer_> dest = MQcRenderer_::CreatePrivate(ImageComposition().get(), 64, 32, false);
    ASSERT_TRUE(source && dest);
    EXPECT_FALSE(MQcRenderer_::PassImage(dest.get(), "Image", source.get(), "", false));  // nothing rendered
    source->SetColor("Color", 1, 0, 0, 1);
    ASSERT_TRUE(source->RenderAtTime(0));
    EXPECT_TRUE(MQcRenderer_::PassImage(dest.get(), "Image", source.get(), "", false));
    EXPECT_FALSE(MQcRenderer_::PassImage(dest.get(), "Image", source.get(), "", false));
    EXPECT_TRUE(MQcRenderer_::PassImage(dest.get(), "Image", source.get(), "", true));
    ASSERT_TRUE(dest->RenderAtTime(0));
    EXPECT_EQ(TargetPixel(*dest, 5, 5), 0xFFFF0000u);

    // With none the input goes back to what it held when the renderer was made: no image.
    dest->SetImage("Image", nullptr);
    EXPECT_TRUE(dest->Runtime()->InputValue("Image").IsNull());
    ASSERT_TRUE(dest->RenderAtTime(1));
    EXPECT_EQ(TargetPixel(*dest, 5, 5), 0xFF000000u);  // an unconnected sampler reads black

    // A named image output passes the same way.
    Ref<MQcRenderer_> fill = MQcRenderer_::CreatePrivate(FillImageComposition().get(), 64, 32, false);
    ASSERT_TRUE(fill);
    fill->SetColor("Color", 0, 0, 1, 1);
    ASSERT_TRUE(fill->RenderAtTime(0));
    EXPECT_TRUE(MQcRenderer_::PassImage(dest.get(), "Image", fill.get(), "Out", false));
    EXPECT_FALSE(fill->TakeNeedPass());
    ASSERT_TRUE(dest->RenderAtTime(2));
    EXPECT_EQ(TargetPixel(*dest, 5, 5), 0xFF0000FFu);
}

TEST_F(RendererTest, MarkNeedPassRendersAgainOnlyOnTheSharedTarget) {
    COpenGLFBOTarget* shared = new COpenGLFBOTarget(64, 32, nullptr);
    Ref<MQcRenderer_> onShared = MQcRenderer_::CreateShared(FillComposition().get(), shared);
    shared->Release();
    ASSERT_TRUE(onShared);
    EXPECT_NE(shared->drawingSlot(), nullptr);
    EXPECT_FALSE(onShared->IsPrivate());
    ASSERT_TRUE(onShared->RenderAtTime(0));
    EXPECT_TRUE(onShared->TakeNeedPass());
    EXPECT_FALSE(onShared->TakeNeedPass());
    onShared->MarkNeedPass();
    EXPECT_TRUE(onShared->NeedsRender());
    EXPECT_TRUE(onShared->TakeNeedPass());

    Ref<MQcRenderer_> priv = MQcRenderer_::CreatePrivate(FillComposition().get(), 8, 8, false);
    ASSERT_TRUE(priv && priv->RenderAtTime(0));
    priv->MarkNeedPass();
    EXPECT_FALSE(priv->NeedsRender());
    EXPECT_TRUE(priv->TakeNeedPass());
}

// Draws the renderer's output at opacity 0.5 over transparent black, blended premultiplied.
uint32_t DrawHalf(MQcRenderer_* r, const LString& key) {
    COpenGLFBOTarget* dest = new COpenGLFBOTarget(64, 32, nullptr);
    uint32_t pixel = 0;
    {
        COpenGLScope_Cca scope(dest->context());
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, dest->fbo());
        glViewport(0, 0, 64, 32);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        const float quad[8] = {-1, -1, -1, 1, 1, -1, 1, 1};
        glVertexPointer(2, GL_FLOAT, 0, quad);
        glEnableClientState(GL_VERTEX_ARRAY);
        MQcRenderer_::DrawOutput(r, dest->context(), key, 0.5f);
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisable(GL_BLEND);
        glFinish();
        pixel = BoundPixel(20, 10);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    }
    dest->Release();
    return pixel;
}

TEST_F(RendererTest, DrawOutputPremultipliesByTheOpacityOnBothPaths) {
    Ref<MQcRenderer_> target = MQcRenderer_::CreatePrivate(FillComposition().get(), 64, 32, false);
    ASSERT_TRUE(target);
    target->SetColor("Color", 1, 0.5f, 0, 1);
    ASSERT_TRUE(target->RenderAtTime(0));
    EXPECT_TRUE(PixelNear(DrawHalf(target.get(), ""), 0x80804000u, 2));

    COpenGLFBOTarget* shared = new COpenGLFBOTarget(64, 32, nullptr);
    Ref<MQcRenderer_> image = MQcRenderer_::CreateShared(FillImageComposition().get(), shared);
    shared->Release();
    ASSERT_TRUE(image);
    image->SetColor("Color", 1, 0.5f, 0, 1);
    ASSERT_TRUE(image->RenderAtTime(0));
    EXPECT_TRUE(PixelNear(DrawHalf(image.get(), "Out"), 0x80804000u, 2));
    // A private target gets its drawing renderer on first use.
    Ref<MQcRenderer_> imagePriv = MQcRenderer_::CreatePrivate(FillImageComposition().get(), 64, 32, false);
    imagePriv->SetColor("Color", 0, 0, 1, 1);
    ASSERT_TRUE(imagePriv->RenderAtTime(0));
    EXPECT_TRUE(PixelNear(DrawHalf(imagePriv.get(), "Out"), 0x80000080u, 2));
}

TEST_F(RendererTest, InputColourComesOnlyFromColourValues) {
    GraphBuilder g;
    g.Node("s", plat::kNodeClassSplitter).PublishInput("Number", "s", "input");
    plat::Dictionary text;
    text.Set(plat::kSplitterStateType, plat::Value("string"));
    g.Node("t", plat::kNodeClassSplitter, text).PublishInput("Text", "t", "input");
    g.Node("c", plat::kNodeClassColorFill).PublishInput("Color", "c", "color");
    Ref<MQcRenderer_> r = MQcRenderer_::CreatePrivate(Compo(g).get(), 8, 8, false);
    ASSERT_TRUE(r);
    r->SetNumber("Number", 0.75f);
    r->SetString("Text", "ff0000");
    for (const char* key : {"Number", "Text", "Missing"}) {
        float rgba[4] = {0.1f, 0.2f, 0.3f, 0.4f};
        EXPECT_FALSE(r->GetInputColor(key, rgba)) << key;
        EXPECT_FLOAT_EQ(rgba[0], 0.1f) << key;
        EXPECT_FLOAT_EQ(rgba[3], 0.4f) << key;
    }
    float rgba[4] = {};
    r->SetColor("Color", 0.25f, 0.5f, 0.75f, 1);
    EXPECT_TRUE(r->GetInputColor("Color", rgba));
    EXPECT_FLOAT_EQ(rgba[2], 0.75f);
    EXPECT_FLOAT_EQ(r->GetInputFloat("Number"), 0.75f);
    EXPECT_EQ(r->GetInputUInt("Number"), 0u);
    EXPECT_EQ(r->GetInputString("Text"), "ff0000");
}

TEST_F(RendererTest, OutputsReadAsNumbersTextsColoursAndLists) {
    GraphBuilder g;
    g.Node("n", plat::kNodeClassSplitter).PublishInput("In", "n", "input").PublishOutput("N", "n", "output");
    g.Node("c", plat::kNodeClassColorCompose).PublishOutput("C", "c", "color");
    Ref<MQcRenderer_> r = MQcRenderer_::CreatePrivate(Compo(g).get(), 8, 8, false);
    ASSERT_TRUE(r);
    r->SetNumber("In", 2.75f);
    ASSERT_TRUE(r->RenderAtTime(0));
    EXPECT_EQ(r->GetOutputString("N"), "2");
    EXPECT_FLOAT_EQ(r->GetOutputFloat("N"), 2.75f);
    EXPECT_EQ(r->GetOutputUInt("N"), 2u);
    float rgba[4] = {};
    EXPECT_TRUE(r->GetOutputColor("C", rgba));
    EXPECT_FALSE(r->GetOutputColor("Nope", rgba));
    CStrArray list;
    EXPECT_FALSE(r->GetOutputStrings("N", list));  // a number is no list
    EXPECT_EQ(list.Count(), 0u);
}

void CopyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
}

TEST_F(RendererTest, PlugInFolderLoadsAndItsPatchRenders) {
    testsupport::TempDir folder;
    CopyFile(TEST_PLUGIN_MODULE, folder.File("invert.so"));
    EXPECT_FALSE(MQcRenderer_::LoadPlugIn(folder.File("missing")));
    ASSERT_TRUE(MQcRenderer_::LoadPlugIn(folder.Path()));

    plat::Dictionary state;
    state.Set(plat::kPlugInStatePatch, plat::Value("TestInvert"));
    GraphBuilder g;
    g.Node("fill", plat::kNodeClassColorFill)
        .Node("invert", plat::kNodeClassPlugIn, state)
        .Node("draw", plat::kNodeClassImageDraw)
        .Connect("fill", "image", "invert", "inputImage")
        .Connect("invert", "outputBuffer", "draw", "image")
        .PublishInput("Color", "fill", "color");
    Ref<MQcRenderer_> r = MQcRenderer_::CreatePrivate(Compo(g).get(), 64, 32, false);
    ASSERT_TRUE(r);
    r->SetColor("Color", 1, 0, 0, 1);
    ASSERT_TRUE(r->RenderAtTime(0));
    EXPECT_TRUE(PixelNear(TargetPixel(*r, 32, 16), 0xFF00FFFFu, 1));
}

}  // namespace
