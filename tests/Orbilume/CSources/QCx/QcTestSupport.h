#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "Orbilume/CSources/QCx/MQcComposition_.h"
#include "Platform/Foundation/Object.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"

class MQcRenderer_;
namespace composertest {
class GraphBuilder;
}

namespace qctest {

// The common context registered as the shared one, and the internal compositions of the build's
// bundle.
class QcGLTest : public OpenGLTest {
protected:
    void SetUp() override;
};

// The builder's composition, failing the test when it does not load.
plat::Ref<MQcComposition_> Compo(const composertest::GraphBuilder& builder);
// A pixel (0xAARRGGBB) of the renderer's target, GL row 0 first.
uint32_t TargetPixel(MQcRenderer_& renderer, int32_t x, int32_t y);
// A pixel of the framebuffer bound in the current context.
uint32_t BoundPixel(int32_t x, int32_t y);
// Per-channel comparison of two 0xAARRGGBB pixels.
testing::AssertionResult PixelNear(uint32_t actual, uint32_t expected, int tolerance);

}  // namespace qctest
