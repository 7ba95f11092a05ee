#include <dirent.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Media/CObStillSaver_CGi_File.h"
#include "Orbilume/CSources/Media/CObStillSaver_CGi_MemA.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/PNGDecoder.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"
#include "tests/support/TempDir.h"

namespace {

template <typename Pred>
bool RunUntil(Pred done, double seconds = 20) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0.01, true);
    }
    return true;
}

void RunFor(double seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end)
        plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0.01, false);
}

bool HaveProgram(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::vector<uint8_t> out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return out;
}

std::vector<std::string> FolderEntries(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

// A frame of uniform opaque grey (A, R, G, B bytes).
plat::Ref<CStillFrame> Frame(uint32_t w, uint32_t h) {
    auto* pixels = static_cast<uint8_t*>(std::malloc(size_t{w} * h * 4));
    for (size_t i = 0; i < size_t{w} * h; ++i) {
        pixels[i * 4] = 255;
        pixels[i * 4 + 1] = pixels[i * 4 + 2] = pixels[i * 4 + 3] = 90;
    }
    return CStillFrame::Create(pixels, w, h);
}

class CObStillSaverTest : public OpenGLTest {
protected:
    void TearDown() override {
        if (fFramebuffer) {
            COpenGLScope_Cca scope(Common());
            glBindFramebuffer(GL_FRAMEBUFFER, 0);
            glDeleteFramebuffers(1, &fFramebuffer);
            glDeleteTextures(1, &fColour);
        }
        OpenGLTest::TearDown();
    }

    // A 32 x 16 framebuffer, white outside the viewport (8, 4, 16, 8); inside: the viewport's top half
    // red, its bottom half `bottom`, and the viewport's top-left pixel blue. Call inside a scope.
    void DrawPattern(uint32_t bottom) {
        if (!fFramebuffer) {
            glGenTextures(1, &fColour);
            glBindTexture(GL_TEXTURE_2D, fColour);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 32, 16, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
            glBindTexture(GL_TEXTURE_2D, 0);
            glGenFramebuffers(1, &fFramebuffer);
        }
        glBindFramebuffer(GL_FRAMEBUFFER, fFramebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, fColour, 0);
        glDisable(GL_SCISSOR_TEST);
        glViewport(0, 0, 32, 16);
        Fill(0, 0, 32, 16, 0xFFFFFFFFu);
        Fill(8, 4, 16, 4, bottom);
        Fill(8, 8, 16, 4, 0xFFFF0000u);
        Fill(8, 11, 1, 1, 0xFF0000FFu);
        glDisable(GL_SCISSOR_TEST);
        glViewport(8, 4, 16, 8);
    }

    static void Fill(int x, int y, int w, int h, uint32_t argb) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(x, y, w, h);
        glClearColor(((argb >> 16) & 0xFF) / 255.f, ((argb >> 8) & 0xFF) / 255.f, (argb & 0xFF) / 255.f,
                     (argb >> 24) / 255.f);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    GLuint fFramebuffer = 0;
    GLuint fColour = 0;
};

struct Completions {
    int count = 0;
    bool lastSaved = false;
    static void Record(void* self, bool saved) {
        auto* c = static_cast<Completions*>(self);
        ++c->count;
        c->lastSaved = saved;
    }
};

// The viewport's own rectangle, top row first, in a PNG that pngcheck accepts.
TEST_F(CObStillSaverTest, FileSaverWritesTheViewportTopRowFirst) {
    testsupport::TempDir dir;
    CObStillSaver_CGi_File saver;
    Completions done;
    saver.SetCompletion(Completions::Record, &done);
    saver.SetFile(CMacFileU::LFsSpecFromPath(dir.File("still.png").c_str()));
    {
        COpenGLScope_Cca scope(Common());
        DrawPattern(0xFF00FF00u);
        saver.Capture(Common());
        // Captures before the main thread runs give one encode of the latest pixels.
        DrawPattern(0xFFFFFF00u);
        saver.Capture(Common());
    }
    ASSERT_TRUE(RunUntil([&] { return done.count > 0; }));
    RunFor(0.05);
    EXPECT_EQ(done.count, 1);
    EXPECT_TRUE(done.lastSaved);
    EXPECT_EQ(saver.lastResult(), CObStillSaver_CGi_File::EResult::kSaved);
    if (HaveProgram("pngcheck")) {
        EXPECT_EQ(std::system(("pngcheck -q " + dir.File("still.png") + " >/dev/null").c_str()), 0);
    }
    std::vector<uint8_t> png = ReadBytes(dir.File("still.png"));
    plat::Ref<plat::BitmapImage> image = plat::PNGDecoder::Decode(png.data(), png.size());
    ASSERT_TRUE(image);
    ASSERT_EQ(image->Width(), 16);
    ASSERT_EQ(image->Height(), 8);
    EXPECT_EQ(image->PixelAt(0, 0), 0xFF0000FFu) << "the viewport's top-left pixel comes first";
    EXPECT_EQ(image->PixelAt(5, 1), 0xFFFF0000u);
    EXPECT_EQ(image->PixelAt(5, 7), 0xFFFFFF00u) << "the latest capture";
    EXPECT_EQ(image->PixelAt(15, 7), 0xFFFFFF00u) << "nothing from outside the viewport";
}

// Every failure is reported and leaves no file behind.
TEST_F(CObStillSaverTest, FileSaverReportsFailureAndLeavesNoFile) {
    testsupport::TempDir dir;
    ASSERT_EQ(mkdir(dir.File("taken.png").c_str(), 0700), 0);
    for (const std::string& path : {dir.File("missing/still.png"), dir.File("taken.png")}) {
        CObStillSaver_CGi_File saver;
        Completions done;
        saver.SetCompletion(Completions::Record, &done);
        saver.SetFile(CMacFileU::LFsSpecFromPath(path.c_str()));
        {
            COpenGLScope_Cca scope(Common());
            DrawPattern(0xFF00FF00u);
            saver.Capture(Common());
        }
        ASSERT_TRUE(RunUntil([&] { return done.count > 0; }));
        EXPECT_FALSE(done.lastSaved) << path;
        EXPECT_EQ(saver.lastResult(), CObStillSaver_CGi_File::EResult::kFailed);
    }
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"taken.png"});
}

TEST_F(CObStillSaverTest, EmptyViewportReadsAndSignalsNothing) {
    CObStillSaver_CGi_File saver;
    Completions done;
    saver.SetCompletion(Completions::Record, &done);
    {
        COpenGLScope_Cca scope(Common());
        DrawPattern(0xFF00FF00u);
        glViewport(0, 0, 0, 0);
        saver.Capture(Common());
    }
    RunFor(0.1);
    EXPECT_EQ(done.count, 0);
    EXPECT_EQ(saver.capturedWidth(), 0u);
}

class DoneCounter : public LHandler {
public:
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(CObStillSaver_CGi_MemA_Done)) {
            ++count;
            return LMessage();
        }
        return LHandler::Handle(msg);
    }
    int count = 0;
};

TEST(CObStillSaverMemA, FitsIntoASquareOfTheMaximum) {
    struct Case {
        uint32_t w, h, max, outW, outH;
    };
    const Case cases[] = {
        {320, 200, 160, 160, 100}, {160, 90, 160, 160, 90}, {161, 90, 160, 160, 90},
        {200, 320, 160, 100, 160}, {320, 200, 0, 320, 200}, {160, 160, 160, 160, 160},
        {161, 161, 160, 160, 160}, {10000, 1, 160, 160, 1},
    };
    for (const Case& c : cases) {
        uint32_t w, h;
        CObStillSaver_CGi_MemA::FitSize(c.w, c.h, c.max, w, h);
        EXPECT_EQ(w, c.outW) << c.w << "x" << c.h << " into " << c.max;
        EXPECT_EQ(h, c.outH) << c.w << "x" << c.h << " into " << c.max;
    }
}

class MemSaverTest : public ::testing::Test {
protected:
    // Writes a frame and waits for its Done; the PNG's size comes back (0 x 0 for an empty result).
    bool Encode(plat::Ref<CStillFrame> frame, uint32_t max, int32_t& w, int32_t& h) {
        int before = fUpper.count;
        fSaver.SetMaxSize(max);
        fSaver.SetState(CObStillSaver_CGi_MemA::kRequested);
        if (!fSaver.Write(frame, SStillOptions{})) return false;
        EXPECT_EQ(fSaver.state(), CObStillSaver_CGi_MemA::kEncoding);
        if (!RunUntil([&] { return fUpper.count > before; })) return false;
        RunFor(0.05);
        EXPECT_EQ(fUpper.count, before + 1) << "one Done per encode";
        EXPECT_EQ(fSaver.state(), CObStillSaver_CGi_MemA::kDone);
        Decoded(w, h);
        return true;
    }

    void Decoded(int32_t& w, int32_t& h) {
        LVariBuffer<uint8_t> buffer;
        uint64_t size;
        {
            CMemStream stream(buffer);
            fSaver.CopyTo(stream);
            size = stream.End();
        }
        w = h = 0;
        if (size == 0) return;
        plat::Ref<plat::BitmapImage> image =
            plat::PNGDecoder::Decode(buffer.Data(), static_cast<size_t>(size));
        ASSERT_TRUE(image);
        w = image->Width();
        h = image->Height();
        EXPECT_EQ(image->PixelAt(0, 0), 0xFF5A5A5Au);
    }

    DoneCounter fUpper;
    CObStillSaver_CGi_MemA fSaver{&fUpper};
};

TEST_F(MemSaverTest, ScalesToTheMaximumAndAnnouncesEachResult) {
    ASSERT_TRUE(fSaver.workerRunning());
    struct Case {
        uint32_t w, h, max;
        int32_t outW, outH;
    };
    const Case cases[] = {{320, 200, 160, 160, 100}, {160, 90, 160, 160, 90}, {320, 200, 0, 320, 200}};
    for (const Case& c : cases) {
        int32_t w = -1, h = -1;
        ASSERT_TRUE(Encode(Frame(c.w, c.h), c.max, w, h));
        EXPECT_EQ(w, c.outW);
        EXPECT_EQ(h, c.outH);
    }
}

// A failed encode announces an empty result, and the next request works.
TEST_F(MemSaverTest, FailedEncodeAnnouncesAnEmptyResult) {
    int32_t w = -1, h = -1;
    ASSERT_TRUE(Encode(Frame(20000, 1), 0, w, h));
    EXPECT_EQ(w, 0);
    EXPECT_EQ(fSaver.dataSize(), 0u);
    ASSERT_TRUE(Encode(Frame(32, 8), 160, w, h));
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 8);
}

TEST_F(MemSaverTest, ResetAnnouncesAnEmptyResult) {
    int32_t w = -1, h = -1;
    ASSERT_TRUE(Encode(Frame(8, 8), 160, w, h));
    int before = fUpper.count;
    fSaver.Reset();
    EXPECT_EQ(fSaver.state(), CObStillSaver_CGi_MemA::kRequested);
    ASSERT_TRUE(RunUntil([&] { return fUpper.count > before; }));
    EXPECT_EQ(fSaver.state(), CObStillSaver_CGi_MemA::kDone);
    EXPECT_EQ(fSaver.dataSize(), 0u);
}

// New requests while the worker encodes replace the held frame; the last one is the result.
TEST_F(MemSaverTest, WritesDuringAnEncodeAreSafe) {
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(fSaver.Write(Frame(640 + i, 360), SStillOptions{}));
        plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0.002, false);
    }
    int before = fUpper.count;
    ASSERT_TRUE(fSaver.Write(Frame(100, 50), SStillOptions{}));
    ASSERT_TRUE(RunUntil([&] {
        int32_t w, h;
        Decoded(w, h);
        return fUpper.count > before && w == 100;
    }));
}

}  // namespace
