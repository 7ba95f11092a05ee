#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "Platform/Composer/BufferImage.h"
#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "Platform/Composer/ImageConversion.h"
#include "Platform/GL/GLContext.h"
#include "Specific/NDI5/NdiTypes.h"
#include "tests/NDIPlugIn/NdiStandInHooks.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/Platform/Composer/RendererTestSupport.h"
#include "tests/support/GLFixture.h"
#include "tests/support/PlugInFolder.h"

namespace composertest {
namespace {

using plat::Value;

using StandIn = NdiStandInHooks;

// An opaque image, distinct in every pixel and row.
plat::Ref<plat::BufferImage> Pattern(uint32_t w, uint32_t h) {
    plat::Ref<plat::BufferImage> image = plat::BufferImage::Create(w, h);
    uint8_t* bytes = image->MutableData();
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* p = bytes + size_t(y) * image->BytesPerRow() + size_t(x) * 4;
            p[0] = uint8_t(x * 4), p[1] = uint8_t(y * 8), p[2] = uint8_t(x ^ y), p[3] = 255;
        }
    return image;
}

class NdiGLTest : public testsupport::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        ASSERT_NE(fStandIn.handle, nullptr) << dlerror();
        setenv("ORBILUME_NDI_LIBRARY", NDI_STANDIN_PATH, 1);
        fStandIn.Reset();
        // The receiver renders in another context of the sender's share group.
        fOther = plat::GLContext::Create(Context()->PixelFormat(), Context());
        ASSERT_TRUE(fOther);
        fSender = Renderer(PatchGraph("NDISend", {{"Name", "inputName"}, {"Image", "inputImage"}},
                                      {{"Drive", "outputDrive"}}),
                           Context());
        fReceiver =
            Renderer(PatchGraph("NDIRcv", {{"Name", "inputName"}}, {{"Image", "outputImage"}}), fOther.get());
        ASSERT_TRUE(fSender && fReceiver);
    }
    void TearDown() override {
        fReceiver.reset();
        fSender.reset();
        fCompositions.clear();
        fOther.reset();
        unsetenv("ORBILUME_NDI_LIBRARY");
        GLTest::TearDown();
    }

    plat::Ref<plat::CompositionRenderer> Renderer(const GraphBuilder& g, plat::GLContext* context) {
        fCompositions.push_back(g.Build(testsupport::PlugInFolderRegistry()));
        if (!fCompositions.back()) return nullptr;
        return plat::CompositionRenderer::Create(context, context->PixelFormat(), plat::ColorSpace::kSRGB,
                                                 fCompositions.back().get());
    }

    // Renders the receiver once and gives its image's pixels (null without an image).
    const plat::BufferImage* Receive() {
        EXPECT_TRUE(fReceiver->RenderAtTime(fTime += 0.04));
        const plat::Image* image = fReceiver->OutputValue("Image").ImageValue();
        return image ? plat::BufferForImage(*image) : nullptr;
    }

    StandIn fStandIn;
    plat::Ref<plat::GLContext> fOther;
    std::vector<plat::Ref<plat::Composition>> fCompositions;
    plat::Ref<plat::CompositionRenderer> fSender, fReceiver;
    double fTime = 0;
};

TEST_F(NdiGLTest, SenderToReceiverCarriesTheImageIntactFirstRowOnTop) {
    plat::Ref<plat::BufferImage> image = Pattern(64, 32);
    ASSERT_TRUE(fSender->SetInputValue("Name", Value("Stage")));
    ASSERT_TRUE(fSender->SetInputValue("Image", Value(image.get())));
    ASSERT_TRUE(fSender->RenderAtTime(0));
    EXPECT_EQ(fStandIn.Sends("Stage"), 1);
    // Unchanged name and image: nothing more is sent.
    ASSERT_TRUE(fSender->RenderAtTime(0.04));
    EXPECT_EQ(fStandIn.Sends("Stage"), 1);

    ASSERT_TRUE(fReceiver->SetInputValue("Name", Value("Stage")));
    const plat::BufferImage* out = Receive();
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(out->Width(), 64u);
    ASSERT_EQ(out->Height(), 32u);
    for (uint32_t y = 0; y < 32; ++y) {
        SCOPED_TRACE(y);
        ASSERT_EQ(std::memcmp(out->Row(y), image->Row(y), 64 * 4), 0);
    }
}

TEST_F(NdiGLTest, ReceiverShowsBgrxOpaqueSkipsWhatItCannotShowAndFollowsNewSizes) {
    ASSERT_TRUE(fReceiver->SetInputValue("Name", Value("Cam")));
    EXPECT_EQ(Receive(), nullptr);
    // A BGRX frame with a wider stride than its width: its fourth byte is not alpha.
    std::vector<uint8_t> bgrx(4 * 48, 0);
    for (size_t i = 0; i < bgrx.size(); i += 4) bgrx[i] = 200, bgrx[i + 1] = 100, bgrx[i + 2] = 50;
    fStandIn.Publish("Cam", ndi::kFourCCBGRX, 8, 4, 48, bgrx);
    const plat::BufferImage* out = Receive();
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->Width(), 8u);
    EXPECT_TRUE(PixelNear(BufferPixel(*out, 7, 3), 0xFF3264C8u));

    struct Bad {
        const char* what;
        uint32_t fourcc;
        int w, h, stride;
        size_t bytes;
    };
    const Bad bad[] = {
        {"UYVY", ndi::kFourCCUYVY, 8, 4, 16, 64},
        {"short stride", ndi::kFourCCBGRA, 8, 4, 16, 64},
        {"no data", ndi::kFourCCBGRA, 8, 4, 32, 0},
        {"too wide", ndi::kFourCCBGRA, 100000, 1, 400000, 16},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.what);
        fStandIn.Publish("Cam", b.fourcc, b.w, b.h, b.stride, std::vector<uint8_t>(b.bytes, 1));
        out = Receive();
        ASSERT_NE(out, nullptr);  // the previous image stays
        EXPECT_EQ(out->Width(), 8u);
        EXPECT_TRUE(PixelNear(BufferPixel(*out, 0, 0), 0xFF3264C8u));
    }
    // A new size: new textures; frames keep coming in every render.
    for (int side : {2, 3, 2}) {
        std::vector<uint8_t> grey(size_t(side) * side * 4, uint8_t(40 * side));
        fStandIn.Publish("Cam", ndi::kFourCCBGRA, side, side, side * 4, grey);
        out = Receive();
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(out->Width(), uint32_t(side));
        EXPECT_TRUE(PixelNear(BufferPixel(*out, 1, 1), 0x01010101u * uint32_t(40 * side)));
    }
}

}  // namespace
}  // namespace composertest
