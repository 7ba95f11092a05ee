#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

class COpenGLContext_Cca;

// The common context registered as the shared one, as the application does; no context is current
// between tests.
class OpenGLTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    COpenGLContext_Cca& Common() const { return *fCommon; }

    // Pixels (0xAARRGGBB) of a texture level 0, GL row 0 first, read on the common context.
    static std::vector<uint32_t> ReadTexture(unsigned target, unsigned name, int32_t width, int32_t height);

private:
    COpenGLContext_Cca* fCommon = nullptr;
};
