#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLPixelFormat.h"

namespace testsupport {

// Makes sure GL runs on Mesa's software rasteriser through surfaceless EGL. Call before the first
// GL use of the process; GLTest does it for you.
void UseSoftwareGL();

// A surfaceless desktop GL context (compatibility profile) current on the test's thread.
class GLTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    plat::GLContext* Context() const { return fContext.get(); }

    // One pixel of the bound read framebuffer as 0xAARRGGBB.
    static uint32_t ReadPixel(int32_t x, int32_t y);
    // Makes a 2D RGBA8 colour texture with a framebuffer object around it and binds the object.
    static uint32_t MakeBoundFramebuffer(int32_t width, int32_t height, uint32_t* texture);

private:
    plat::Ref<plat::GLPixelFormat> fFormat;
    plat::Ref<plat::GLContext> fContext;
};

}  // namespace testsupport
