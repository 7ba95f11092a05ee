#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Platform/Media/MovieWriter.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "tests/Platform/Media/MovieFixtures.h"
#include "tests/Platform/Media/MovieProbe.h"
#include "tests/support/TempDir.h"

namespace {

using plat::MovieWriter;
using testsupport::MovieProbe;

struct MovieWriterTest : ::testing::Test {
    void SetUp() override {
        av_log_set_level(AV_LOG_ERROR);
        if (!testsupport::HaveProgram("ffprobe") || !testsupport::HaveProgram("ffmpeg"))
            GTEST_SKIP() << "ffmpeg or ffprobe is not installed";
    }
    testsupport::TempDir dir;

    // Writes `frames` bar frames 20 units apart (30 fps) and finishes.
    bool Record(const std::string& path, const plat::MovieVideoSettings& settings, int frames,
                std::string* error = nullptr) {
        plat::Ref<MovieWriter> w = MovieWriter::Create(path, error);
        if (!w || !w->AddVideoInput(settings) || !w->StartWriting(0)) return false;
        for (int i = 0; i < frames; ++i) {
            plat::Ref<plat::PixelBuffer> b = w->Pool()->CreatePixelBuffer();
            testsupport::DrawBars(b.get(), i);
            if (!w->AppendPixelBuffer(b.get(), 20 * (i + 1))) break;
        }
        const bool ok = w->Finish();
        if (error) *error = w->Error();
        return ok;
    }
};

plat::MovieVideoSettings Video(const char* codec, int w, int h) {
    plat::MovieVideoSettings s;
    s.codec = codec;
    s.width = w;
    s.height = h;
    return s;
}

TEST_F(MovieWriterTest, VideoCodecsAreWrittenAtTimeScale600WithTheirTagsAndFrames) {
    struct Case {
        const char* codec;
        const char* codecName;
        const char* tag;
        int keyInterval;
        int maxKeyDistance;
    } cases[] = {
        {"avc1", "h264", "avc1", 100, 100},
        {"avc1", "h264", "avc1", 10, 10},
        {"jpeg", "mjpeg", "jpeg", 100, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.keyInterval));
        const std::string path = dir.File(std::string(c.codec) + std::to_string(c.keyInterval) + ".mov");
        plat::MovieVideoSettings s = Video(c.codec, 128, 32);
        s.keyFrameInterval = c.keyInterval;
        std::string error;
        ASSERT_TRUE(Record(path, s, 60, &error)) << error;
        MovieProbe p(path);
        ASSERT_TRUE(p.Ok());
        EXPECT_EQ(p.Video("codec_name"), c.codecName);
        EXPECT_EQ(p.Video("codec_tag_string"), c.tag);
        EXPECT_EQ(p.Video("time_base"), "1/600");
        EXPECT_EQ(p.Video("width"), "128");
        EXPECT_EQ(p.Video("height"), "32");
        EXPECT_EQ(p.Video("nb_read_frames"), "60");
        EXPECT_NEAR(std::stod(p.Video("duration")), 2.0, 1.0 / 30);
        EXPECT_LE(p.MaxKeyFrameDistance(), c.maxKeyDistance);
        EXPECT_EQ(p.FrameBars(30), 30);
        if (std::string(c.codec) == "avc1") {
            EXPECT_EQ(p.Video("color_primaries"), "bt709");
        }
    }
}

TEST_F(MovieWriterTest, JpegQualityMapsMonotonicallyOntoQScaleAndSize) {
    const std::pair<double, int> table[] = {{0, 31}, {0.5, 17}, {1, 2}, {-1, 31}, {7, 2}, {NAN, 31}};
    for (const auto& [q, scale] : table) EXPECT_EQ(plat::MovieJPEGQScale(q), scale) << q;
    for (int i = 1; i <= 100; ++i)
        EXPECT_LE(plat::MovieJPEGQScale(i / 100.0), plat::MovieJPEGQScale((i - 1) / 100.0));

    auto size = [&](double quality) {
        plat::MovieVideoSettings s = Video("jpeg", 320, 180);
        s.quality = quality;
        const std::string path = dir.File("q" + std::to_string(int(quality * 100)) + ".mov");
        EXPECT_TRUE(Record(path, s, 10));
        struct stat st {};
        return stat(path.c_str(), &st) == 0 ? st.st_size : 0;
    };
    EXPECT_GT(size(0.9), size(0.2));
}

TEST_F(MovieWriterTest, SizesAreCheckedAndOddH264SizesLoseTheirLastColumnOrRow) {
    struct Case {
        const char* codec;
        int w, h;
        bool ok;
        int encodedW, encodedH;
    } cases[] = {
        {"avc1", 129, 33, true, 128, 32}, {"avc1", 130, 31, true, 130, 30}, {"jpeg", 129, 33, true, 129, 33},
        {"avc1", 8192, 2, true, 8192, 2}, {"avc1", 8193, 64, false, 0, 0},  {"jpeg", 64, 9000, false, 0, 0},
        {"avc1", 0, 32, false, 0, 0},     {"avc1", 1, 1, false, 0, 0},      {"avc1", -2, 32, false, 0, 0},
        {"hevc", 64, 32, false, 0, 0},    {"", 64, 32, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.w) + "x" + std::to_string(c.h));
        plat::Ref<MovieWriter> w = MovieWriter::Create(dir.File("size.mov"), nullptr);
        ASSERT_TRUE(w);
        EXPECT_EQ(w->AddVideoInput(Video(c.codec, c.w, c.h)), c.ok);
        if (!c.ok) {
            EXPECT_FALSE(w->Error().empty());
            EXPECT_FALSE(w->StartWriting(0));
            continue;
        }
        EXPECT_EQ(w->EncodedWidth(), c.encodedW);
        EXPECT_EQ(w->EncodedHeight(), c.encodedH);
        if (c.w > 1000) continue;  // the encode of the largest size is left out for time
        ASSERT_TRUE(w->StartWriting(0));
        for (int i = 0; i < 3; ++i) {
            plat::Ref<plat::PixelBuffer> b = w->Pool()->CreatePixelBuffer();
            ASSERT_EQ(b->Width(), c.w);
            testsupport::DrawBars(b.get(), 5 + i);
            ASSERT_TRUE(w->AppendPixelBuffer(b.get(), 20 * i));
        }
        ASSERT_TRUE(w->Finish()) << w->Error();
        MovieProbe p(dir.File("size.mov"));
        EXPECT_EQ(p.Video("width"), std::to_string(c.encodedW));
        EXPECT_EQ(p.Video("height"), std::to_string(c.encodedH));
        EXPECT_EQ(p.Video("nb_read_frames"), "3");
        EXPECT_EQ(p.FrameBars(1), 6);
    }
}

TEST_F(MovieWriterTest, RepeatedTimesAreDroppedNotWritten) {
    plat::Ref<MovieWriter> w = MovieWriter::Create(dir.File("repeat.mov"), nullptr);
    ASSERT_TRUE(w->AddVideoInput(Video("avc1", 128, 32)));
    ASSERT_TRUE(w->StartWriting(0));
    plat::Ref<plat::PixelBuffer> b = w->Pool()->CreatePixelBuffer();
    testsupport::DrawBars(b.get(), 1);
    for (int64_t t : {0, 20, 20, 10, 40}) EXPECT_TRUE(w->AppendPixelBuffer(b.get(), t));
    ASSERT_TRUE(w->Finish());
    EXPECT_EQ(MovieProbe(dir.File("repeat.mov")).Video("nb_read_frames"), "3");
}

TEST_F(MovieWriterTest, AudioFormatsGiveReadableTracksOfTheAppendedSamples) {
    const std::vector<plat::MovieAudioFormat> formats = plat::AvailableMovieAudioFormats();
    ASSERT_EQ(formats.size(), 3u);
    EXPECT_EQ(formats[0].id, 1819304813u);  // 'lpcm'
    struct Case {
        uint32_t id;
        const char* codecName;
        uint32_t channels;
        uint32_t rate;
    } cases[] = {
        {plat::kMovieAudioLPCM, "pcm_s16le", 2, 48000},
        {plat::kMovieAudioLPCM, "pcm_s16le", 1, 44100},
        {plat::kMovieAudioAAC, "aac", 2, 48000},
        {plat::kMovieAudioALAC, "alac", 2, 44100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codecName + std::to_string(c.channels));
        const std::string path = dir.File(std::string("audio") + c.codecName + ".mov");
        plat::Ref<MovieWriter> w = MovieWriter::Create(path, nullptr);
        ASSERT_TRUE(w->AddVideoInput(Video("avc1", 64, 32)));
        plat::MovieAudioSettings a;
        a.formatID = c.id;
        a.channels = c.channels;
        a.sampleRate = c.rate;
        ASSERT_TRUE(w->AddAudioInput(a)) << w->Error();
        ASSERT_TRUE(w->StartWriting(0));
        // One second of a sine in odd blocks, and 10 frames of video.
        std::vector<int16_t> all;
        for (uint32_t i = 0; i < c.rate; ++i) {
            const auto v = int16_t(std::lround(8000 * std::sin(2 * M_PI * 441.0 * i / c.rate)));
            for (uint32_t ch = 0; ch < c.channels; ++ch) all.push_back(ch ? int16_t(-v) : v);
        }
        for (uint32_t at = 0, block = 1; at < c.rate; at += block, block = block * 3 % 1777 + 1) {
            const uint32_t n = std::min(block, c.rate - at);
            ASSERT_TRUE(w->AppendAudio(all.data() + size_t(at) * c.channels, n, at));
        }
        plat::Ref<plat::PixelBuffer> b = w->Pool()->CreatePixelBuffer();
        testsupport::DrawBars(b.get(), 3);
        for (int i = 0; i < 10; ++i) ASSERT_TRUE(w->AppendPixelBuffer(b.get(), 60 * i));
        ASSERT_TRUE(w->Finish()) << w->Error();

        MovieProbe p(path);
        EXPECT_EQ(p.Audio("codec_name"), c.codecName);
        EXPECT_EQ(p.Audio("channels"), std::to_string(c.channels));
        EXPECT_EQ(p.Audio("sample_rate"), std::to_string(c.rate));
        const std::vector<int16_t> decoded = p.DecodedAudio(c.channels);
        if (c.id == plat::kMovieAudioLPCM) {
            EXPECT_NEAR(std::stod(p.Audio("duration")), 1.0, 1e-3);
            EXPECT_TRUE(decoded == all) << decoded.size() << " samples, not " << all.size();
        } else {
            // Lossy or lossless, the decoded length covers what was appended.
            EXPECT_GE(decoded.size(), all.size());
        }
    }
}

TEST_F(MovieWriterTest, AGapIsSilenceAndAnOverlapIsCutOff) {
    const std::string path = dir.File("gap.mov");
    plat::Ref<MovieWriter> w = MovieWriter::Create(path, nullptr);
    ASSERT_TRUE(w->AddVideoInput(Video("avc1", 64, 32)));
    plat::MovieAudioSettings a;
    a.channels = 1;
    a.sampleRate = 8000;
    ASSERT_TRUE(w->AddAudioInput(a));
    ASSERT_TRUE(w->StartWriting(0));
    std::vector<int16_t> ones(100, 1), twos(100, 2);
    ASSERT_TRUE(w->AppendAudio(ones.data(), 100, 0));
    ASSERT_TRUE(w->AppendAudio(twos.data(), 100, 150));  // 50 samples of silence first
    ASSERT_TRUE(w->AppendAudio(ones.data(), 100, 200));  // the first 50 overlap
    plat::Ref<plat::PixelBuffer> b = w->Pool()->CreatePixelBuffer();
    testsupport::DrawBars(b.get(), 0);
    ASSERT_TRUE(w->AppendPixelBuffer(b.get(), 0));
    ASSERT_TRUE(w->Finish());
    const std::vector<int16_t> d = MovieProbe(path).DecodedAudio(1);
    ASSERT_EQ(d.size(), 300u);
    EXPECT_EQ(d[99], 1);
    EXPECT_EQ(d[100], 0);
    EXPECT_EQ(d[149], 0);
    EXPECT_EQ(d[150], 2);
    EXPECT_EQ(d[249], 2);
    EXPECT_EQ(d[250], 1);
}

TEST_F(MovieWriterTest, FailuresAreReportedAndLeaveNoMovieBehind) {
    // A destination that cannot be created: StartWriting fails, nothing is left.
    {
        const std::string path = geteuid() == 0 ? "/proc/self/orbilume-test.mov" : dir.File("ro/x.mov");
        if (geteuid() != 0) {
            ASSERT_EQ(mkdir(dir.File("ro").c_str(), 0555), 0);
        }
        plat::Ref<MovieWriter> w = MovieWriter::Create(path, nullptr);
        ASSERT_TRUE(w->AddVideoInput(Video("avc1", 64, 32)));
        EXPECT_FALSE(w->StartWriting(0));
        EXPECT_NE(w->Error().find("cannot open"), std::string::npos) << w->Error();
        EXPECT_EQ(w->GetStatus(), MovieWriter::Status::kFailed);
        EXPECT_NE(access(path.c_str(), F_OK), 0);
        EXPECT_FALSE(w->Finish());
    }
    // A link to the full device: the first write fails, later appends and Finish refuse.
    {
        const std::string path = dir.File("full.mov");
        ASSERT_EQ(symlink("/dev/full", path.c_str()), 0);
        plat::Ref<MovieWriter> w = MovieWriter::Create(path, nullptr);
        ASSERT_TRUE(w->AddVideoInput(Video("jpeg", 64, 32)));
        bool failed = false;
        if (w->StartWriting(0)) {
            plat::Ref<plat::PixelBuffer> b = w->Pool()->CreatePixelBuffer();
            testsupport::DrawBars(b.get(), 0);
            for (int i = 0; i < 5 && !failed; ++i) failed = !w->AppendPixelBuffer(b.get(), 20 * i);
            EXPECT_TRUE(failed);
            EXPECT_FALSE(w->AppendPixelBuffer(b.get(), 1000));
        }
        EXPECT_EQ(w->GetStatus(), MovieWriter::Status::kFailed);
        EXPECT_NE(w->Error().find("No space left"), std::string::npos) << w->Error();
        EXPECT_FALSE(w->Finish());
        struct stat st {};
        EXPECT_EQ(lstat(path.c_str(), &st), 0);  // the link itself stays
        EXPECT_TRUE(S_ISLNK(st.st_mode));
    }
    // Released unfinished, or cancelled: the partial file goes.
    for (bool cancel : {false, true}) {
        const std::string path = dir.File(cancel ? "cancelled.mov" : "dropped.mov");
        {
            plat::Ref<MovieWriter> w = MovieWriter::Create(path, nullptr);
            ASSERT_TRUE(w->AddVideoInput(Video("jpeg", 64, 32)));
            ASSERT_TRUE(w->StartWriting(0));
            plat::Ref<plat::PixelBuffer> b = w->Pool()->CreatePixelBuffer();
            testsupport::DrawBars(b.get(), 0);
            ASSERT_TRUE(w->AppendPixelBuffer(b.get(), 0));
            EXPECT_EQ(access(path.c_str(), F_OK), 0);
            if (cancel) w->Cancel();
        }
        EXPECT_NE(access(path.c_str(), F_OK), 0) << path;
    }
}

}  // namespace
