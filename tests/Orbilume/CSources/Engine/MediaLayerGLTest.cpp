#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "Common/OpenGL/COffscreenFBO.h"
#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Engine/CLayer.h"
#include "Orbilume/CSources/Engine/CMediaCache.h"
#include "Orbilume/CSources/Engine/CMediaLoader.h"
#include "Orbilume/CSources/Engine/CMediaUnit.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Engine/CMovieSource.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "Platform/GL/GLObjectCounts.h"
#include "Platform/Video/PixelBuffer.h"
#include "tests/Orbilume/CSources/Engine/MediaTestSupport.h"
#include "tests/Orbilume/CSources/QCx/QcTestSupport.h"
#include "tests/Platform/Media/MovieFixtures.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/FakeClock.h"
#include "tests/support/TempDir.h"

using namespace mediatest;
using namespace qctest;

namespace {

constexpr int kW = 64, kH = 32;

// Movies made by ffmpeg and checked with ffprobe, once per binary: one second each of red, green and
// blue (64 x 32, 10 fps); a one-frame movie of 0.05 s; an audio-only file; the same three colours
// at 1280 x 720.
class Fixtures {
public:
    static const Fixtures& Get() {
        static const Fixtures* f = new Fixtures();
        return *f;
    }
    std::string problem;
    testsupport::TempDir dir;

private:
    static std::string Colours(const char* size, int seconds) {
        std::string in, chain;
        const char* colours[] = {"red", "lime", "blue"};
        for (int i = 0; i < 3; ++i) {
            in += std::string("-f lavfi -i color=c=") + colours[i] + ":s=" + size +
                  ":r=10:d=" + std::to_string(seconds) + " ";
            chain += "[" + std::to_string(i) + "]";
        }
        return in + "-filter_complex \"" + chain +
               "concat=n=3:v=1:a=0\" -c:v libx264 -g 10 -pix_fmt yuv420p ";
    }
    Fixtures() {
        if (!testsupport::HaveProgram("ffmpeg") || !testsupport::HaveProgram("ffprobe")) {
            problem = "ffmpeg or ffprobe is not installed";
            return;
        }
        const std::string ff = "ffmpeg -nostdin -v error -y ";
        const bool made =
            testsupport::Shell(ff + Colours("64x32", 1) + dir.File("colours.mp4")) &&
            testsupport::Shell(ff +
                               "-f lavfi -i color=c=yellow:s=64x32:r=20 -frames:v 1 -c:v libx264 "
                               "-pix_fmt yuv420p " +
                               dir.File("one.mp4")) &&
            testsupport::Shell(ff + "-f lavfi -i sine=frequency=440:sample_rate=48000 -t 1 -c:a aac " +
                               dir.File("tone.m4a")) &&
            testsupport::Shell(ff + Colours("1280x720", 1) + dir.File("colours720.mp4"));
        if (!made) {
            problem = "ffmpeg could not make the fixtures";
            return;
        }
        // What ffprobe reads: three seconds of video only; one frame.
        const std::string probe = "ffprobe -v error -show_entries stream=codec_type,nb_frames -of csv=p=0 ";
        if (testsupport::CommandOutput(probe + dir.File("colours.mp4")) != "video,30\n" ||
            testsupport::CommandOutput(probe + dir.File("one.mp4")) != "video,1\n" ||
            testsupport::CommandOutput(probe + dir.File("tone.m4a")).rfind("audio", 0) != 0)
            problem = "ffprobe does not see the fixtures as made";
    }
};

uint32_t Rgb(uint32_t argb) {
    return argb | 0xFF000000u;
}

class MediaLayerTest : public QcGLTest {
protected:
    void SetUp() override {
        const Fixtures& f = Fixtures::Get();
        if (!f.problem.empty()) GTEST_SKIP() << f.problem;
        QcGLTest::SetUp();
        std::filesystem::copy_file(std::string(SHARED_SUPPORT_DIR) + "/compositions/obImageInput.qtz",
                                   dir.File("obImageInput.qtz"));
        loader = std::make_unique<CMediaLoader>();
        window = new COpenGLFBOTarget(kW, kH, nullptr);
        COpenGLScope_Cca scope(window->context());
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, window->fbo());
        glViewport(0, 0, kW, kH);
    }
    void TearDown() override {
        engine.reset();
        loader.reset();
        if (window) window->Release();
        QcGLTest::TearDown();
    }

    std::string Fixture(const char* name) { return Fixtures::Get().dir.File(name); }

    // A layer of obImageInput.qtz playing the file, its media unit's clip loaded.
    CMediaUnit* Play(const std::string& file) {
        const int32_t n = UDocUnits::AddMediaLayer(show.doc, nullptr, 0, Spec(file));
        EXPECT_GE(n, 0);
        engine = std::make_unique<CMixEngine>(&show.doc, &prefs);
        engine->SetOutputSize(kW, kH);
        engine->LoadLayers();
        CUnitParam* param = engine->LayerAt(0) ? engine->LayerAt(0)->Param("_protocolInput_Image") : nullptr;
        media = param ? param->mediaUnit() : nullptr;
        if (!media) return nullptr;
        // Loaded on the loader thread, then the unit reloads its clip.
        EXPECT_TRUE(Pump([&] { return !loader->Busy() && loader->QueuedCount() == 0; }));
        return media;
    }
    CMediaEntry* Entry() { return engine->MediaCache()->FindEntry(media->id()); }
    uint32_t Frame() {
        engine->RenderFrame(window->context(), CMixEngine::SFrameRequest{0});
        COpenGLScope_Cca scope(window->context());
        glFinish();
        return Rgb(BoundPixel(kW / 2, kH / 2));
    }
    // Frames with the main loop turning (movie commands run there) until the pixel is near.
    // The clock moves on in steps of a frame at 20 fps, a frame rendered at each.
    void PlayFor(testsupport::FakeClock& clock, int ms) {
        for (int t = 0; t < ms; t += 50) {
            clock.AdvanceMs(50);
            plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            (void)Frame();
        }
    }
    bool FramesUntil(uint32_t pixel) {
        return Pump([&] { return PixelNear(Frame(), pixel, 24); });
    }

    testsupport::TempDir dir;
    MediaShow show{dir.File("show.obm")};
    CAppPrefs prefs;
    std::unique_ptr<CMediaLoader> loader;
    std::unique_ptr<CMixEngine> engine;
    CMediaUnit* media = nullptr;
    COpenGLFBOTarget* window = nullptr;
};

TEST_F(MediaLayerTest, AColourPerSecondMoviePlaysAndTimeShowsItsFrame) {
    testsupport::FakeClock clock;
    ASSERT_NE(Play(Fixture("colours.mp4")), nullptr);
    ASSERT_EQ(media->CurrentSlot(), CMediaUnit::kFileSlot);
    ASSERT_NE(Entry()->current.movie, nullptr);
    EXPECT_NE(media->Param("Rate"), nullptr);  // a movie keeps its transport
    EXPECT_TRUE(FramesUntil(0xFFFF0000));
    PlayFor(clock, 1500);
    EXPECT_TRUE(FramesUntil(0xFF00FF00));
    // "Time" 2.5: that frame, held.
    show.doc.Mix();
    CRecord* unitRecord = UDocModel::FindUnitById(show.doc.Mix().Get(), media->id());
    ASSERT_NE(unitRecord, nullptr);
    ASSERT_TRUE(
        UDocUnits::SetUnitInput(show.doc.Mix(), nullptr, unitRecord, LString("Time"), LString("2.5"), false));
    EXPECT_TRUE(FramesUntil(0xFF0000FF));
    // Held there while the clock runs on.
    PlayFor(clock, 1000);
    EXPECT_TRUE(PixelNear(Frame(), 0xFF0000FF, 24));
    EXPECT_NEAR(Entry()->current.movie->GetTime(), 2.5, 0.01);
}

TEST_F(MediaLayerTest, AOneFrameMovieShowsAsAStillWithoutMovieParameters) {
    ASSERT_NE(Play(Fixture("one.mp4")), nullptr);
    ASSERT_NE(Entry()->current.image, nullptr);
    EXPECT_EQ(Entry()->current.movie, nullptr);
    EXPECT_EQ(media->Param("Rate"), nullptr);
    EXPECT_EQ(media->Param("Volume"), nullptr);
    EXPECT_NE(media->Param("Brightness"), nullptr);
    EXPECT_TRUE(FramesUntil(0xFFFFFF00));
}

TEST_F(MediaLayerTest, APngOfAnotherAspectIsPushedOnceItsFittedCopyArrives) {
    ASSERT_TRUE(WriteSolidPNG(dir.File("wide.png"), 256, 32, 0x00FFFFFF));
    ASSERT_NE(Play(dir.File("wide.png")), nullptr);
    ASSERT_NE(Entry()->current.image, nullptr);
    EXPECT_TRUE(FramesUntil(0xFF00FFFF));
    // The picture the unit got is the loader's copy at the unit's size, not the file's.
    const plat::Image* pushed =
        media->SlotRenderer(CMediaUnit::kFileSlot)->Runtime()->InputValue("obprivate_ImageIn").ImageValue();
    ASSERT_NE(pushed, nullptr);
    EXPECT_EQ(pushed->Width(), static_cast<uint32_t>(kW));
    EXPECT_EQ(pushed->Height(), 8u);
}

TEST_F(MediaLayerTest, AModelClipShowsNothingAndSaysNothing) {
    {
        std::FILE* f = std::fopen(dir.File("cube.dae").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("<COLLADA version=\"1.4.1\"><scene/></COLLADA>", f);
        std::fclose(f);
    }
    ASSERT_NE(Play(dir.File("cube.dae")), nullptr);
    EXPECT_EQ(Entry()->current.image, nullptr);
    EXPECT_EQ(Entry()->current.movie, nullptr);
    EXPECT_EQ(media->SlotRenderer(CMediaUnit::kFileSlot)->GetInputFloat(LString("obprivate_MediaIn")), 0.0f);
    EXPECT_TRUE(PixelNear(Frame(), 0xFF000000, 2));
}

// The whole window after a frame (0xAARRGGBB, GL rows).
std::vector<uint32_t> WindowPixels(CMixEngine& engine, COpenGLFBOTarget& window) {
    engine.RenderFrame(window.context(), CMixEngine::SFrameRequest{0});
    COpenGLScope_Cca scope(window.context());
    glFinish();
    std::vector<uint32_t> p(static_cast<size_t>(kW) * kH);
    glReadPixels(0, 0, kW, kH, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, p.data());
    return p;
}

size_t LitPixels(const std::vector<uint32_t>& p) {
    size_t n = 0;
    for (uint32_t v : p) n += (v & 0xFFFFFF) != 0;
    return n;
}

TEST_F(MediaLayerTest, AnAnimatedModelClipDrawsAndMoves) {
    const std::string file = "/usr/share/assimp/models/Collada/box_nested_animation.dae";
    if (!std::filesystem::exists(file)) GTEST_SKIP() << "assimp-testmodels is not installed";
    testsupport::FakeClock clock;
    ASSERT_NE(Play(file), nullptr);
    ASSERT_EQ(media->CurrentSlot(), CMediaUnit::kFileSlot);
    ASSERT_NE(Entry()->current.model, nullptr);
    EXPECT_EQ(Entry()->modelView.model(), Entry()->current.model.get());
    MQcRenderer_* renderer = media->SlotRenderer(CMediaUnit::kFileSlot);
    ASSERT_NE(renderer, nullptr);
    EXPECT_EQ(renderer->GetInputFloat(LString("obprivate_MediaIn")), 4.0f);
    EXPECT_GT(renderer->GetInputFloat(LString("obprivate_DurationIn")), 1.0f);
    EXPECT_NE(media->Param("Turn"), nullptr);
    // Far enough back for the box to stay in the picture while the file's animation carries it.
    CRecord* unitRecord = UDocModel::FindUnitById(show.doc.Mix().Get(), media->id());
    ASSERT_NE(unitRecord, nullptr);
    ASSERT_TRUE(
        UDocUnits::SetUnitInput(show.doc.Mix(), nullptr, unitRecord, LString("Z"), LString("-12"), false));
    std::vector<uint32_t> first;
    ASSERT_TRUE(Pump([&] {
        first = WindowPixels(*engine, *window);
        return LitPixels(first) > 0;
    }));
    EXPECT_EQ(Entry()->modelView.position()[2], -12.0f);
    EXPECT_TRUE(Entry()->modelView.playing());
    clock.AdvanceMs(800);
    std::vector<uint32_t> later = WindowPixels(*engine, *window);
    EXPECT_GT(LitPixels(later), 0u);
    EXPECT_NE(later, first);
    // The better-3D preference turns multisampling on for the views it already made.
    EXPECT_FALSE(Entry()->modelView.multisample());
    CRecord* root = prefs.Root();
    ASSERT_TRUE(CRecordRef(&root).SetByte(nullptr, CAppPrefs::kPrefBetter3D, 1));
    EXPECT_TRUE(Entry()->modelView.multisample());
    clock.AdvanceMs(100);
    EXPECT_GT(LitPixels(WindowPixels(*engine, *window)), 0u);
    ASSERT_NE(Entry()->modelView.target(), nullptr);
    EXPECT_TRUE(Entry()->modelView.target()->multisampling());
}

TEST_F(MediaLayerTest, TwoUnitsOnOneMovieGetTwoMovies) {
    ASSERT_EQ(UDocUnits::AddMediaLayer(show.doc, nullptr, 0, Spec(Fixture("colours.mp4"))), 0);
    ASSERT_NE(Play(Fixture("colours.mp4")), nullptr);
    CUnitParam* other = engine->LayerAt(1)->Param("_protocolInput_Image");
    ASSERT_NE(other, nullptr);
    ASSERT_NE(other->mediaUnit(), nullptr);
    CMediaEntry* first = Entry();
    CMediaEntry* second = engine->MediaCache()->FindEntry(other->mediaUnit()->id());
    ASSERT_NE(second, nullptr);
    ASSERT_NE(first->current.movie, nullptr);
    ASSERT_NE(second->current.movie, nullptr);
    EXPECT_NE(first->current.movie.get(), second->current.movie.get());
}

TEST_F(MediaLayerTest, APlayingHdMovieMakesNoGLObjectPerFrame) {
    testsupport::FakeClock clock;
    ASSERT_NE(Play(Fixture("colours720.mp4")), nullptr);
    EXPECT_TRUE(FramesUntil(0xFFFF0000));
    PlayFor(clock, 500);  // warm-up
    const uint64_t before = plat::GLCreated().Total();
    // Until the movie moved on from red (decoding may lag the clock).
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (PixelNear(Frame(), 0xFFFF0000, 24) && std::chrono::steady_clock::now() < until) PlayFor(clock, 50);
    EXPECT_FALSE(PixelNear(Frame(), 0xFFFF0000, 24));
    EXPECT_EQ(plat::GLCreated().Total(), before);
}

// Frame-exact "Time" on a movie whose frames carry their number.
TEST(MediaMovieTimeTest, TimeShowsThatFrameExactly) {
    const testsupport::MovieFixtures& bars = testsupport::MovieFixtures::Get();
    if (!bars.Problem().empty()) GTEST_SKIP() << bars.Problem();
    CMediaLoader loader;
    testsupport::TempDir dir;
    MediaShow show{dir.File("show.obm")};
    CMediaCache cache(&show.doc, nullptr, &loader);
    const uint32_t id = show.AddMediaLayer();
    cache.AddEntry(id);
    const LFsSpec file = Spec(bars.Path("bars.mp4"));
    ASSERT_EQ(cache.SetMedia(id, file), 0);
    ASSERT_TRUE(Pump([&] { return !loader.Busy() && loader.QueuedCount() == 0; }));
    ASSERT_EQ(cache.SetMedia(id, file), 1);
    CMovieSource& source = cache.FindEntry(id)->movieSource;
    ASSERT_NE(source.Movie(), nullptr);
    for (float t : {1.5f, 0.5f, 2.0f}) {
        SCOPED_TRACE(t);
        int number = -1;
        ASSERT_TRUE(Pump([&] {
            std::lock_guard<std::mutex> lock(cache.Lock());
            source.SetFader(1);
            source.SetTime(t);
            bool jumped = false;
            plat::Ref<plat::PixelBuffer> frame = source.Update(jumped);
            if (frame) number = testsupport::BarsNumber(frame.get());
            return number == static_cast<int>(t * testsupport::MovieFixtures::kRate);
        })) << number;
    }
}

}  // namespace
