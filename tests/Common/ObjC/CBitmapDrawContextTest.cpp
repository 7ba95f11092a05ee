#include <gtest/gtest.h>

#include "Common/ObjC/CBitmapDrawContext.h"
#include "Common/ObjC/MCocoaU.h"
#include "Lib3/LSources/CoreUI/LImage.h"
#include "Lib3/LSources/CoreUI/LPaint.h"
#include "Lib3/LSources/CoreUI/LRsrcImage.h"
#include "Platform/Foundation/Object.h"
#include "Platform/Graphics/BitmapImage.h"
#include "tests/support/TestPNG.h"

namespace {

TEST(CBitmapDrawContextTest, DrawsIntoTheBufferWhileHoldingItsLock) {
    struct Case {
        uint32_t depth;
        uint32_t bits;
    } cases[] = {{16, 16}, {32, 32}};
    for (const Case& c : cases) {
        LOffscreenH buffer;
        ASSERT_TRUE(NewOffscreen(buffer, 6, 3, c.depth, false, 0));
        {
            CBitmapDrawContext ctx(buffer);
            EXPECT_TRUE(ctx.IsBitmap());
            EXPECT_EQ(ctx.BitsPerPixel(), c.bits);
            EXPECT_EQ(ctx.Bounds(), (CLRect{0, 0, 6, 3}));
            EXPECT_EQ(buffer->LockCount(), 1u);
            // A fill beyond the buffer is cut to its bounds.
            LPaint(CRgn(CLRect{2, 0, 40, 40}), LColor(LRGB(255, 0, 0), 0)).Fill(ctx);
        }
        EXPECT_EQ(buffer->LockCount(), 0u);
        plat::Ref<plat::BitmapImage> image = buffer->GetImage();
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->PixelAt(1, 1) & 0xFFFFFF, 0u) << c.depth;
        EXPECT_EQ(image->PixelAt(5, 2) & 0xFFFFFF, 0xFF0000u) << c.depth;
        image = nullptr;
    }

    for (uint32_t depth : {1u, 2u, 4u, 8u}) {  // packed grey reports its own depth
        LOffscreenH grey;
        ASSERT_TRUE(NewOffscreen(grey, 6, 3, depth, true, 0));
        CBitmapDrawContext ctx(grey);
        EXPECT_EQ(ctx.BitsPerPixel(), depth);
    }

    LOffscreenH none;
    CBitmapDrawContext empty(none);
    EXPECT_FALSE(empty.IsBitmap());
    EXPECT_EQ(empty.BitsPerPixel(), 0u);
    EXPECT_EQ(empty.Native(), nullptr);
}

TEST(MCocoaUImageTest, NativeImagesAreHandedOutAutoreleased) {
    EXPECT_EQ(MCocoaU::ImageToNSImage(LImageH()), nullptr);

    std::vector<uint8_t> rgba(4 * 3 * 2, 255);
    std::vector<uint8_t> png = testsupport::EncodeTestPNG(3, 2, rgba);
    LImageH image(new LRsrcImage(png.data(), png.size()));
    plat::BitmapImage* native = nullptr;
    ASSERT_EQ(image->GetNativeImage(native), LImage::kNativeKind);
    int32_t before = native->RetainCount();
    {
        plat::AutoreleasePool pool;
        const plat::BitmapImage* out = MCocoaU::ImageToNSImage(image);
        ASSERT_EQ(out, native);
        EXPECT_EQ(out->Width(), 3);
        EXPECT_EQ(native->RetainCount(), before + 1);
    }
    EXPECT_EQ(native->RetainCount(), before);
}

TEST(MCocoaUImageTest, ColourComponentsRoundTrip) {
    plat::GfxColor c = MCocoaU::ColorFromComponents(0.25f, 0.5f, 1.0f, 0.75f);
    float out[4];
    MCocoaU::SRGBComponents(c, out);
    EXPECT_FLOAT_EQ(out[0], 0.25f);
    EXPECT_FLOAT_EQ(out[1], 0.5f);
    EXPECT_FLOAT_EQ(out[2], 1.0f);
    EXPECT_FLOAT_EQ(out[3], 0.75f);
}

}  // namespace
