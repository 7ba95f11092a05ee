#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "Platform/Media/MovieDecoder.h"
#include "Platform/Media/MovieFrameConverter.h"
#include "Platform/Video/PixelBuffer.h"
#include "tests/Platform/Media/MovieFixtures.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"

using namespace plat;
using testsupport::MovieFixtures;

namespace {

class MovieDecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MovieFixtures::Get().Problem().empty()) GTEST_SKIP() << MovieFixtures::Get().Problem();
    }
    static std::string Path(const std::string& name) { return MovieFixtures::Get().Path(name); }
    static std::unique_ptr<MovieDecoder> Open(const std::string& path) {
        MovieDecoder::Options options;
        return MovieDecoder::OpenFile(path, options);
    }
    static int Number(const Ref<MovieFrame>& frame) {
        if (!frame) return -1;
        MovieFrameConverter converter;
        Ref<PixelBuffer> buffer = converter.Convert(*frame);
        return testsupport::BarsNumber(buffer.get());
    }
    static double Probe(const std::string& path, const std::string& entry) {
        std::string out = testsupport::CommandOutput("ffprobe -v error -show_entries " + entry +
                                                     " -of default=nw=1:nk=1 " + path);
        return std::atof(out.c_str());
    }
    // ffmpeg's own frame at t, read from its gray output.
    static int ReferenceNumber(const std::string& path, double t) {
        std::string out =
            testsupport::CommandOutput("ffmpeg -nostdin -v error -ss " + std::to_string(t) + " -i " + path +
                                       " -frames:v 1 -f rawvideo -pix_fmt gray -");
        if (out.size() < 128 * 32) return -1;
        return testsupport::BarsNumberFromRow(reinterpret_cast<const uint8_t*>(out.data()) + 16 * 128, 1);
    }
};

TEST_F(MovieDecoderTest, InfoAgreesWithFFprobe) {
    struct Case {
        const char* name;
        bool audio;
        bool intraOnly;
    } cases[] = {{"bars.mp4", true, false}, {"bars.mov", false, false}, {"mjpeg.avi", false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto decoder = Open(Path(c.name));
        ASSERT_TRUE(decoder);
        const MovieInfo& info = decoder->Info();
        EXPECT_TRUE(info.hasVideo);
        EXPECT_EQ(info.hasAudio, c.audio);
        EXPECT_NEAR(info.duration, Probe(Path(c.name), "format=duration"), 1e-3);
        EXPECT_EQ(info.width, 128);
        EXPECT_EQ(info.height, 32);
        EXPECT_DOUBLE_EQ(info.naturalWidth, 128);
        EXPECT_NEAR(info.frameRate, 30, 1e-6);
        EXPECT_EQ(info.intraOnly, c.intraOnly);
        EXPECT_FALSE(info.isImage);
    }
}

TEST_F(MovieDecoderTest, DecodesEveryFrameInOrder) {
    for (const char* name : {"bars.mp4", "mjpeg.avi", "intra.mp4"}) {
        SCOPED_TRACE(name);
        auto decoder = Open(Path(name));
        ASSERT_TRUE(decoder);
        int expected = 0;
        while (Ref<MovieFrame> frame = decoder->Next()) {
            EXPECT_EQ(Number(frame), expected);
            EXPECT_NEAR(frame->Time(), expected / 30.0, 1e-3);
            ++expected;
        }
        EXPECT_EQ(expected, MovieFixtures::kFrames);
        EXPECT_TRUE(decoder->AtEnd());
    }
}

TEST_F(MovieDecoderTest, ExactSeekMatchesFFmpeg) {
    const double times[] = {1.5, 0, 0.99, 1.0, 2.51, 0.0334, 2.99, 5.0};
    for (const char* name : {"bars.mp4", "mjpeg.avi"}) {
        auto decoder = Open(Path(name));
        ASSERT_TRUE(decoder);
        for (double t : times) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(t));
            Ref<MovieFrame> frame = decoder->SeekExact(t);
            int expected = t >= 3 ? 89 : static_cast<int>(t * 30 + 1e-6);
            EXPECT_EQ(Number(frame), expected);
            // ffmpeg's -ss gives the frame that starts at t, so only frame times compare.
            if (t < 3 && std::abs(t * 30 - expected) < 1e-9) {
                EXPECT_EQ(ReferenceNumber(Path(name), t), expected);
            }
            // Decoding continues after the seek target.
            if (expected < 89) {
                EXPECT_EQ(Number(decoder->Next()), expected + 1);
            }
        }
    }
}

TEST_F(MovieDecoderTest, SpanHoldsFramesFromKeyFrameAndDropsEarliestOverBound) {
    auto decoder = Open(Path("bars.mp4"));
    ASSERT_TRUE(decoder);
    std::vector<Ref<MovieFrame>> span;
    decoder->DecodeSpan(1.5, size_t{1} << 30, span);
    // From ffprobe's last key frame at or before 1.5 s up to frame 45.
    std::string keys = testsupport::CommandOutput(
        "ffprobe -v error -select_streams v -skip_frame nokey "
        "-show_entries frame=pts_time -of csv=p=0 " +
        Path("bars.mp4"));
    int key = -1;
    for (const char* p = keys.c_str(); *p;) {
        double t = std::strtod(p, nullptr);
        if (t <= 1.5 + 1e-6) key = static_cast<int>(std::lround(t * 30));
        while (*p && *p != '\n') ++p;
        while (*p == '\n') ++p;
    }
    ASSERT_GE(key, 0);
    ASSERT_EQ(span.size(), static_cast<size_t>(46 - key));
    for (size_t i = 0; i < span.size(); ++i) EXPECT_EQ(Number(span[i]), key + static_cast<int>(i));
    const size_t one = span.front()->ByteSize();
    decoder->DecodeSpan(1.5, one * 4, span);
    ASSERT_EQ(span.size(), 4u);
    EXPECT_EQ(Number(span.front()), 42);
    EXPECT_EQ(Number(span.back()), 45);
}

TEST_F(MovieDecoderTest, StillImagesAreOneShortFrame) {
    for (const char* name : {"still.png", "still.jpg"}) {
        SCOPED_TRACE(name);
        auto decoder = Open(Path(name));
        ASSERT_TRUE(decoder);
        EXPECT_TRUE(decoder->Info().isImage);
        EXPECT_GT(decoder->Info().duration, 0);
        EXPECT_LT(decoder->Info().duration, 0.1);
        EXPECT_EQ(Number(decoder->SeekExact(0)), 0);
        EXPECT_EQ(Number(decoder->SeekExact(1)), 0);
    }
}

TEST_F(MovieDecoderTest, BadInputFailsOrEndsCleanly) {
    testsupport::TempDir dir;
    dir.Write("junk.mov", std::string(5000, 'x'));
    dir.Write("empty.mov", "");
    ASSERT_EQ(mkfifo(dir.File("fifo.mov").c_str(), 0600), 0);
    // A mov whose index is at its end, cut before it.
    std::ifstream in(Path("bars.mov"), std::ios::binary);
    std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    dir.Write("cut.mov", whole.substr(0, whole.size() / 2));
    for (const char* name : {"junk.mov", "empty.mov", "fifo.mov", "cut.mov", "missing.mov"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(Open(dir.File(name)));
    }
    EXPECT_FALSE(Open(dir.Path()));

    // A faststart file cut in the middle plays up to the cut.
    std::ifstream fin(Path("faststart.mp4"), std::ios::binary);
    std::string fast((std::istreambuf_iterator<char>(fin)), std::istreambuf_iterator<char>());
    dir.Write("cutfast.mp4", fast.substr(0, fast.size() / 2));
    auto decoder = Open(dir.File("cutfast.mp4"));
    ASSERT_TRUE(decoder);
    int frames = 0;
    int last = -1;
    while (Ref<MovieFrame> frame = decoder->Next()) {
        int n = Number(frame);
        EXPECT_GT(n, last);
        last = n;
        ++frames;
    }
    EXPECT_GT(frames, 0);
    EXPECT_LT(frames, MovieFixtures::kFrames);
    EXPECT_TRUE(decoder->AtEnd());

    // Flipped bits in the packets: decoding goes on to the end.
    std::string flipped = fast;
    for (size_t i = fast.size() / 4; i < fast.size(); i += 997)
        flipped[i] = static_cast<char>(flipped[i] ^ 0x5A);
    dir.Write("flipped.mp4", flipped);
    decoder = Open(dir.File("flipped.mp4"));
    ASSERT_TRUE(decoder);
    int decoded = 0;
    while (decoder->Next()) ++decoded;
    EXPECT_TRUE(decoder->AtEnd());
    EXPECT_GT(decoded, 0);
    (void)decoder->SeekExact(1.5);
}

TEST_F(MovieDecoderTest, OversizedPicturesAreRefused) {
    testsupport::TempDir dir;
    // A valid stream header that claims 20000 x 16: refused before the decoder allocates it.
    ASSERT_TRUE(
        testsupport::Shell("ffmpeg -nostdin -v error -y -f lavfi -i color=s=20000x16:r=1 -frames:v 1 "
                           "-c:v mjpeg " +
                           dir.File("wide.avi")));
    EXPECT_FALSE(Open(dir.File("wide.avi")));
}

TEST_F(MovieDecoderTest, SoundModeResamplesTheToneAndSeeksToTheSample) {
    MovieDecoder::Options options;
    options.soundRate = 44100;
    options.soundChannels = 2;
    std::unique_ptr<MovieDecoder> sound = MovieDecoder::OpenFile(Path("bars.mp4"), options);
    ASSERT_TRUE(sound);
    EXPECT_FALSE(sound->Next()) << "no video in sound mode";
    MovieSoundChunk chunk;
    double next = 0;
    size_t frames = 0;
    while (sound->NextSound(chunk)) {
        ASSERT_EQ(chunk.samples.size() % 2, 0u);
        EXPECT_NEAR(chunk.time, next, 1e-3) << "chunks follow each other";
        next = chunk.time + chunk.samples.size() / 2 / 44100.0;
        frames += chunk.samples.size() / 2;
    }
    EXPECT_NEAR(frames / 44100.0, 3.0, 0.05);

    ASSERT_TRUE(sound->SeekSound(1.5));
    ASSERT_TRUE(sound->NextSound(chunk));
    EXPECT_NEAR(chunk.time, 1.5, 1.0 / 44100);

    // Without an audio stream, or asked for an impossible format: no sound decoder.
    EXPECT_FALSE(MovieDecoder::OpenFile(Path("bars.mov"), options));
    options.soundRate = 1;
    EXPECT_FALSE(MovieDecoder::OpenFile(Path("bars.mp4"), options));
}

}  // namespace
