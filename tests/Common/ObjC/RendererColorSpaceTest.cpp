#include <gtest/gtest.h>

// The engine's renderer glue includes both: one colour-space type must serve them.
#include "Common/ObjC/MCocoaU.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "Platform/Composer/NodeInstance.h"
#include "Platform/Graphics/BitmapContext.h"

namespace {

TEST(RendererColorSpaceTest, CocoaUtilitiesAndRendererShareOneColorSpace) {
    plat::RenderEnvironment environment;
    EXPECT_EQ(environment.colorSpace, MCocoaU::GetSRGBColorSpace());
    // A renderer's colour space labels bitmaps drawn for it.
    plat::Ref<plat::BitmapContext> context =
        plat::BitmapContext::Create(2, 2, plat::PixelFormat::kARGB32, environment.colorSpace);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context->Space(), plat::ColorSpace::kSRGB);
}

}  // namespace
