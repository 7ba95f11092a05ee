#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "Platform/Composer/BufferImage.h"
#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "Platform/Composer/ImageConversion.h"
#include "Platform/GL/GLContext.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/Platform/Composer/RendererTestSupport.h"
#include "tests/support/GLFixture.h"
#include "tests/support/PlugInFolder.h"

namespace composertest {
namespace {

using plat::Value;

constexpr uint32_t kRed = 0xFFFF0000u;

// The host state the patch may touch, read in the current context.
struct HostState {
    GLint matrixMode = 0, activeTexture = 0, clientActiveTexture = 0, arrayBuffer = 0;
    GLboolean vertexArray = 0, texCoordArray = 0, colorArray = 0, texture2D = 0;
    void* vertexPointer = nullptr;
    void* texCoordPointer = nullptr;
    std::array<GLfloat, 16> modelview{}, projection{}, texture{};

    static HostState Read() {
        HostState s;
        glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &s.activeTexture);
        glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &s.clientActiveTexture);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &s.arrayBuffer);
        s.vertexArray = glIsEnabled(GL_VERTEX_ARRAY);
        s.texCoordArray = glIsEnabled(GL_TEXTURE_COORD_ARRAY);
        s.colorArray = glIsEnabled(GL_COLOR_ARRAY);
        s.texture2D = glIsEnabled(GL_TEXTURE_2D);
        glGetPointerv(GL_VERTEX_ARRAY_POINTER, &s.vertexPointer);
        glGetPointerv(GL_TEXTURE_COORD_ARRAY_POINTER, &s.texCoordPointer);
        glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview.data());
        glGetFloatv(GL_PROJECTION_MATRIX, s.projection.data());
        glGetFloatv(GL_TEXTURE_MATRIX, s.texture.data());
        return s;
    }
    bool operator==(const HostState&) const = default;
};

class DunmireTest : public testsupport::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        // The host: a 100 x 50 target in the test's context.
        fHostFramebuffer = MakeBoundFramebuffer(100, 50, &fHostTexture);
        // The renderer in a context of its own, sharing with the host's.
        fRendererContext = plat::GLContext::Create(Context()->PixelFormat(), Context());
        ASSERT_NE(fRendererContext, nullptr);
        ASSERT_TRUE(fRendererContext->MakeCurrent());
        fRendererFramebuffer = MakeBoundFramebuffer(8, 8, &fRendererTexture);
        ASSERT_TRUE(Context()->MakeCurrent());

        Dictionary state;
        state.Set(plat::kPlugInStatePatch, Value("Dunmire"));
        GraphBuilder g;
        g.Node("d", plat::kNodeClassPlugIn, state).PublishInput("Image", "d", "inputImage");
        fComposition = g.Build(testsupport::PlugInFolderRegistry());
        ASSERT_TRUE(fComposition);
        fRenderer = plat::CompositionRenderer::Create(fRendererContext.get(), Context()->PixelFormat(),
                                                      plat::ColorSpace::kSRGB, fComposition.get());
        ASSERT_TRUE(fRenderer);

        // A red 8 x 8 image.
        fImage = plat::BufferImage::Create(8, 8);
        ASSERT_TRUE(fImage);
        for (uint32_t i = 0; i < 64; ++i) std::memcpy(fImage->MutableData() + 4 * i, "\0\0\xFF\xFF", 4);
        ASSERT_TRUE(fRenderer->SetInputValue("Image", Value(fImage.get())));
    }
    void TearDown() override {
        fRenderer.reset();
        fComposition.reset();
        fImage.reset();
        if (fRendererContext) {
            (void)fRendererContext->MakeCurrent();
            glDeleteFramebuffersEXT(1, &fRendererFramebuffer);
            glDeleteTextures(1, &fRendererTexture);
            (void)Context()->MakeCurrent();
            fRendererContext.reset();
        }
        glDeleteFramebuffersEXT(1, &fHostFramebuffer);
        glDeleteTextures(1, &fHostTexture);
        GLTest::TearDown();
    }

    void ClearHost() {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fHostFramebuffer);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    void Render() {
        ASSERT_TRUE(fRenderer->SetInputValue("Image", Value(fImage.get())));
        ASSERT_TRUE(fRenderer->RenderAtTime(0));
        ASSERT_TRUE(Context()->IsCurrent());
        glFinish();
    }

    using Dictionary = plat::Dictionary;
    GLuint fHostFramebuffer = 0, fHostTexture = 0, fRendererFramebuffer = 0, fRendererTexture = 0;
    plat::Ref<plat::GLContext> fRendererContext;
    Ref<plat::Composition> fComposition;
    Ref<plat::CompositionRenderer> fRenderer;
    Ref<plat::BufferImage> fImage;
};

TEST_F(DunmireTest, ConsumerOfTimeModeNone) {
    EXPECT_TRUE(fComposition->HasConsumers());
    EXPECT_FALSE(fComposition->IsTimeDependent());
    EXPECT_EQ(fComposition->PortAttributes("Image")->Get("type").StringValue(), "image");
}

TEST_F(DunmireTest, SquareImageFillsTheMiddleWithBarsAndLeavesTheHostStateAlone) {
    fRenderer->UserInfo().Set(plat::kUserInfoHostContext, Value::FromPointer(Context()));
    // The image's texture in the host's share group, with parameters the patch must put back.
    plat::TextureView view;
    ASSERT_TRUE(plat::TextureForImage(*fImage, 0, false, view));
    glBindTexture(view.target, view.name);
    glTexParameteri(view.target, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(view.target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glBindTexture(view.target, 0);

    static const GLfloat kHostVertices[] = {0, 0, 0, 0, 0, 0, 0, 0};
    struct Case {
        const char* name;
        bool hostArrays;
    };
    for (const Case& c : {Case{"no host arrays", false}, Case{"host arrays elsewhere", true}}) {
        SCOPED_TRACE(c.name);
        ClearHost();
        glMatrixMode(c.hostArrays ? GL_PROJECTION : GL_MODELVIEW);
        if (c.hostArrays) {
            glEnableClientState(GL_VERTEX_ARRAY);
            glEnableClientState(GL_COLOR_ARRAY);
            glVertexPointer(2, GL_FLOAT, 0, kHostVertices);
            glColorPointer(4, GL_FLOAT, 0, kHostVertices);
        }
        HostState before = HostState::Read();
        Render();
        EXPECT_TRUE(HostState::Read() == before);
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_COLOR_ARRAY);
        glMatrixMode(GL_MODELVIEW);

        for (int x : {2, 20, 24, 80, 97}) EXPECT_TRUE(PixelNear(ReadPixel(x, 25), 0xFF000000u)) << x;
        for (int x : {26, 30, 50, 70, 74}) EXPECT_TRUE(PixelNear(ReadPixel(x, 25), kRed)) << x;
        EXPECT_TRUE(PixelNear(ReadPixel(50, 1), kRed));
        EXPECT_TRUE(PixelNear(ReadPixel(50, 48), kRed));
    }
    GLint wrap = 0, filter = 0;
    glBindTexture(view.target, view.name);
    glGetTexParameteriv(view.target, GL_TEXTURE_WRAP_S, &wrap);
    glGetTexParameteriv(view.target, GL_TEXTURE_MIN_FILTER, &filter);
    glBindTexture(view.target, 0);
    EXPECT_EQ(wrap, GL_REPEAT);
    EXPECT_EQ(filter, GL_NEAREST);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(DunmireTest, WithoutTheHostContextNothingIsDrawn) {
    ClearHost();
    HostState before = HostState::Read();
    Render();
    EXPECT_TRUE(HostState::Read() == before);
    for (int x : {2, 50, 97}) EXPECT_TRUE(PixelNear(ReadPixel(x, 25), 0xFF000000u)) << x;
}

}  // namespace
}  // namespace composertest
