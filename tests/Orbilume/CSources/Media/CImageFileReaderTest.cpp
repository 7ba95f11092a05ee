#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Media/CImageFileReader.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestPNG.h"

namespace {

class CImageFileReaderTest : public OpenGLTest {
protected:
    void SetUp() override {
        OpenGLTest::SetUp();
        // 4 x 2: top row red, bottom row blue.
        std::vector<uint8_t> rgba;
        for (int i = 0; i < 4; ++i) rgba.insert(rgba.end(), {255, 0, 0, 255});
        for (int i = 0; i < 4; ++i) rgba.insert(rgba.end(), {0, 0, 255, 255});
        std::vector<uint8_t> png = testsupport::EncodeTestPNG(4, 2, rgba);
        fDir.Write("image.png", std::string(png.begin(), png.end()));
        fSpec = CMacFileU::LFsSpecFromPath(fDir.File("image.png").c_str());
    }
    void TearDown() override {
        if (fTexture) {
            COpenGLScope_Cca scope(Common());
            glDeleteTextures(1, &fTexture);
        }
        OpenGLTest::TearDown();
    }

    // Uploads into a new texture of the target (bound for the call); the level-0 size comes back.
    bool Upload(CImageFileReader& reader, unsigned bindTarget, unsigned target, uint32_t w, uint32_t h,
                GLint& gotW, GLint& gotH) {
        COpenGLScope_Cca scope(Common());
        if (!fTexture) glGenTextures(1, &fTexture);
        glBindTexture(bindTarget, fTexture);
        bool ok = reader.UploadTexture(Common(), target, GL_RGBA8, w, h);
        glGetTexLevelParameteriv(target, 0, GL_TEXTURE_WIDTH, &gotW);
        glGetTexLevelParameteriv(target, 0, GL_TEXTURE_HEIGHT, &gotH);
        glBindTexture(bindTarget, 0);
        return ok;
    }

    testsupport::TempDir fDir;
    LFsSpec fSpec;
    GLuint fTexture = 0;
};

TEST_F(CImageFileReaderTest, ReaderWithoutFileFailsEveryUpload) {
    CImageFileReader reader;
    GLint w = 0, h = 0;
    EXPECT_FALSE(Upload(reader, GL_TEXTURE_2D, GL_TEXTURE_2D, 0, 0, w, h));
    EXPECT_FALSE(reader.Open(CMacFileU::LFsSpecFromPath(fDir.File("missing.png").c_str())));
    EXPECT_FALSE(Upload(reader, GL_TEXTURE_2D, GL_TEXTURE_2D, 0, 0, w, h));
    fDir.Write("text.png", "not an image");
    EXPECT_FALSE(reader.Open(CMacFileU::LFsSpecFromPath(fDir.File("text.png").c_str())));
}

TEST_F(CImageFileReaderTest, UploadsAtTheImageSizeOrTheAskedOneBottomRowFirst) {
    CImageFileReader reader;
    ASSERT_TRUE(reader.Open(fSpec));
    GLint w = 0, h = 0;
    ASSERT_TRUE(Upload(reader, GL_TEXTURE_2D, GL_TEXTURE_2D, 0, 0, w, h));
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 2);
    std::vector<uint32_t> texels = ReadTexture(GL_TEXTURE_2D, fTexture, 4, 2);
    EXPECT_EQ(texels[0], 0xFF0000FFu) << "GL row 0 is the image's bottom row";
    EXPECT_EQ(texels[4], 0xFFFF0000u);

    ASSERT_TRUE(Upload(reader, GL_TEXTURE_2D, GL_TEXTURE_2D, 64, 64, w, h));
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 64);
    texels = ReadTexture(GL_TEXTURE_2D, fTexture, 64, 64);
    EXPECT_EQ(texels[0], 0xFF0000FFu);
    EXPECT_EQ(texels[63 * 64], 0xFFFF0000u);

    reader.SetFlipped(true);
    ASSERT_TRUE(Upload(reader, GL_TEXTURE_2D, GL_TEXTURE_2D, 0, 0, w, h));
    texels = ReadTexture(GL_TEXTURE_2D, fTexture, 4, 2);
    EXPECT_EQ(texels[0], 0xFFFF0000u) << "flipped: GL row 0 is the top row";
}

TEST_F(CImageFileReaderTest, LargeSizesHalveAgainstTheLimits) {
    CImageFileReader reader;
    ASSERT_TRUE(reader.Open(fSpec));
    reader.SetTextureLimits(4096, 1024);
    GLint w = 0, h = 0;
    ASSERT_TRUE(Upload(reader, GL_TEXTURE_2D, GL_TEXTURE_2D, 5000, 3000, w, h));
    EXPECT_EQ(w, 2500);
    EXPECT_EQ(h, 1500);

    // A cube face from a file's surface size: halved against the cube maximum, allocating only that.
    ASSERT_TRUE(Upload(reader, GL_TEXTURE_CUBE_MAP, GL_TEXTURE_CUBE_MAP_POSITIVE_X, 70000, 70000, w, h));
    EXPECT_EQ(w, 546);
    EXPECT_EQ(h, 546);
    EXPECT_EQ(reader.lastUploadBytes(), uint64_t{546} * 546 * 4);
}

TEST_F(CImageFileReaderTest, SizesBeyondTheLimitsAreRefused) {
    struct Case {
        uint64_t w, h;
        int32_t glMax;
        bool ok;
        uint64_t outW, outH;
    };
    const Case cases[] = {
        {5000, 3000, 4096, true, 2500, 1500},
        {70000, 70000, 1024, true, 546, 546},
        {4096, 4096, 4096, true, 4096, 4096},
        {70000, 70000, 0, false, 70000, 70000},  // a target GL does not limit here
        {16384, 4096, 0, true, 16384, 4096},
        {16384, 16384, 0, false, 16384, 16384},  // beyond the pixel limit
        {0xFFFFFFFFu, 0xFFFFFFFFu, 0, false, 0xFFFFFFFFu, 0xFFFFFFFFu},
        {3, 1, 1, false, 1, 0},  // halved to nothing
    };
    for (const Case& c : cases) {
        uint64_t w = c.w, h = c.h;
        EXPECT_EQ(CImageFileReader::FitUploadSize(w, h, c.glMax), c.ok)
            << c.w << "x" << c.h << " max " << c.glMax;
        EXPECT_EQ(w, c.outW);
        EXPECT_EQ(h, c.outH);
    }
    CImageFileReader reader;
    ASSERT_TRUE(reader.Open(fSpec));
    GLint w = 0, h = 0;
    EXPECT_FALSE(Upload(reader, GL_TEXTURE_RECTANGLE, GL_TEXTURE_RECTANGLE, 70000, 70000, w, h));
}

}  // namespace
