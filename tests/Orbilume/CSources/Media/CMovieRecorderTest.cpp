#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Orbilume/CSources/Media/CMovieRecorder.h"

extern "C" {
#include <libavutil/log.h>
}

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Media/CMovieAudioWriter.h"
#include "Platform/Audio/fake/FakeAudioSystem.h"
#include "Platform/Audio/pulse/PulseAudioSystem.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/Common/OpenGL/OpenGLFixture.h"
#include "tests/Platform/Media/MovieFixtures.h"
#include "tests/Platform/Media/MovieProbe.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/FakeClock.h"
#include "tests/support/PulseServer.h"
#include "tests/support/TempDir.h"

namespace {

using testsupport::MovieProbe;

// Frames come from the pixel-buffer pool with the bars of the number taken so far (no GL); appends
// can be held back to build a queue.
class TestRecorder : public CMovieRecorder {
public:
    using CMovieRecorder::CMovieRecorder;
    ~TestRecorder() override { Release(); }

    void Hold() {
        std::lock_guard<std::mutex> lock(fGateMutex);
        fHeld = true;
    }
    void Release() {
        {
            std::lock_guard<std::mutex> lock(fGateMutex);
            fHeld = false;
        }
        fGate.notify_all();
    }

    // A frame that reaches the queue after the worker finished (an offer racing the end).
    void QueueLate() { Queue({100000, reinterpret_cast<uintptr_t>(GrabFrame(nullptr))}); }

protected:
    plat::PixelBuffer* GrabFrame(COpenGLContext_Cca*) override {
        if (!Writer()) return nullptr;
        plat::Ref<plat::PixelBuffer> b = Writer()->Pool()->CreatePixelBuffer();
        testsupport::DrawBars(b.get(), int(FramesTaken()));
        return b.release();
    }
    void ConsumeJob(const Item& item) override {
        {
            std::unique_lock<std::mutex> lock(fGateMutex);
            fGate.wait(lock, [&] { return !fHeld; });
        }
        CMovieRecorder::ConsumeJob(item);
    }

private:
    std::mutex fGateMutex;
    std::condition_variable fGate;
    bool fHeld = false;
};

template <typename Pred>
bool RunUntil(Pred done, double seconds = 30) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        // A poll: under the fake clock a timed run would never time out.
        plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
        usleep(1000);
    }
    return true;
}

LFsSpec Spec(const std::string& path) {
    return CMacFileU::LFsSpecFromPath(path.c_str());
}

struct RecorderTest : ::testing::Test {
    void SetUp() override {
        av_log_set_level(AV_LOG_ERROR);
        if (!testsupport::HaveProgram("ffprobe") || !testsupport::HaveProgram("ffmpeg"))
            GTEST_SKIP() << "ffmpeg or ffprobe is not installed";
    }
    // Offers a frame and waits until the worker took it, so the cost estimate never rises.
    static void Offer(CMovieRecorder& r, void* context = nullptr) {
        r.Tick(context);
        ASSERT_TRUE(RunUntil([&] { return r.QueuedCount() == 0; }));
    }
    static void StopAndWait(CMovieRecorder& r) {
        r.Finish();
        ASSERT_TRUE(RunUntil([&] { return r.GetState() == CWorkerThread::kIdle; }));
    }
    testsupport::TempDir dir;
    testsupport::FakeClock clock;
};

TEST(CMovieRecorderTimeTest, IntervalAndMediaTime) {
    testsupport::FakeClock clock;
    TestRecorder r;
    const std::pair<int32_t, int64_t> intervals[] = {{30, 20}, {60, 10}, {25, 24}, {7, 85}, {1, 600}, {0, 0}};
    for (const auto& [fps, interval] : intervals) {
        r.SetFrameRate(fps);
        EXPECT_EQ(r.FrameInterval(), interval) << fps;
    }
    // (now - start) ms x 600 / 1000, truncated; before a recording the start is 0.
    const std::pair<uint32_t, int64_t> times[] = {
        {0, 0}, {16, 9}, {1000, 600}, {1001, 600}, {0xFFFFFFFFu, 2576980377}};
    for (const auto& [ms, media] : times) EXPECT_EQ(r.MediaTime(ms), media) << ms;
}

TEST_F(RecorderTest, PacingSkipsEarlyFramesAndStoppingAppendsTheQueue) {
    TestRecorder r;
    r.SetFrameRate(30);
    const std::string path = dir.File("paced.mov");
    ASSERT_TRUE(r.Start(Spec(path), 64, 32, false)) << r.LastError();
    EXPECT_TRUE(r.IsRecording());
    clock.AdvanceMs(20);  // media 12: before the first wanted time (20)
    Offer(r);
    EXPECT_EQ(r.FramesTaken(), 0u);
    clock.AdvanceMs(20);  // media 24
    Offer(r);
    EXPECT_EQ(r.FramesTaken(), 1u);
    clock.AdvanceMs(16);  // media 33 (+9): below 40, skipped
    Offer(r);
    EXPECT_EQ(r.FramesTaken(), 1u);
    clock.AdvanceMs(17);  // media 43
    Offer(r);
    EXPECT_EQ(r.FramesTaken(), 2u);

    // Appends held: frames queue up; stopping still appends every one of them.
    r.Hold();
    for (int i = 0; i < 4; ++i) {
        clock.AdvanceMs(200);
        r.Tick(nullptr);
    }
    EXPECT_EQ(r.FramesTaken(), 6u);
    EXPECT_GE(r.QueuedCount(), 3u);
    r.Finish();
    EXPECT_FALSE(r.IsRecording());
    r.Release();
    ASSERT_TRUE(RunUntil([&] { return r.GetState() == CWorkerThread::kIdle; }));
    EXPECT_EQ(r.FramesAppended(), 6u);
    MovieProbe p(path);
    EXPECT_EQ(p.Video("nb_read_frames"), "6");
    EXPECT_EQ(p.FrameBars(5), 5);
}

TEST_F(RecorderTest, ZeroFramesPerSecondTakesEveryFrameThatPassesTheCostTest) {
    TestRecorder r;
    r.SetFrameRate(0);
    const std::string path = dir.File("every.mov");
    ASSERT_TRUE(r.Start(Spec(path), 64, 32, false));
    for (int i = 0; i < 12; ++i) {
        clock.AdvanceMs(11);  // above the starting cost of 80 / 8 ms
        Offer(r);
    }
    EXPECT_EQ(r.FramesTaken(), 12u);
    StopAndWait(r);
    EXPECT_EQ(MovieProbe(path).Video("nb_read_frames"), "12");
}

TEST_F(RecorderTest, DestroyingARecordingRecorderFinishesTheMovieWithItsQueue) {
    const std::string path = dir.File("destroyed.mov");
    uint32_t taken = 0;
    {
        TestRecorder r;
        ASSERT_TRUE(r.Start(Spec(path), 64, 32, false));
        r.Hold();
        for (int i = 0; i < 5; ++i) {
            clock.AdvanceMs(300);
            r.Tick(nullptr);
        }
        taken = r.FramesTaken();
        ASSERT_EQ(taken, 5u);
        std::thread release([&r] {
            usleep(50000);
            r.Release();
        });
        release.detach();
        usleep(100000);
    }
    MovieProbe p(path);
    EXPECT_EQ(p.Video("nb_read_frames"), std::to_string(taken));
}

TEST_F(RecorderTest, AFrameQueuedAfterTheWorkerFinishedIsDropped) {
    TestRecorder r;
    const std::string path = dir.File("late.mov");
    ASSERT_TRUE(r.Start(Spec(path), 64, 32, false));
    clock.AdvanceMs(40);
    Offer(r);
    r.Finish();
    for (int i = 0; i < 5000 && r.GetState() != CWorkerThread::kFinishDone; ++i) usleep(1000);
    ASSERT_EQ(r.GetState(), CWorkerThread::kFinishDone);
    r.QueueLate();
    ASSERT_TRUE(RunUntil([&] { return r.GetState() == CWorkerThread::kIdle; }));
    EXPECT_EQ(r.QueuedCount(), 0u);
    EXPECT_EQ(MovieProbe(path).Video("nb_read_frames"), "1");
}

TEST_F(RecorderTest, FailuresAreReportedAndLeaveNoMovie) {
    // A destination that cannot be created.
    {
        TestRecorder r;
        const std::string path = geteuid() == 0 ? "/proc/self/orbilume-rec.mov" : dir.File("ro/x.mov");
        if (geteuid() != 0) {
            ASSERT_EQ(mkdir(dir.File("ro").c_str(), 0555), 0);
        }
        EXPECT_FALSE(r.Start(Spec(path), 64, 32, false));
        EXPECT_FALSE(r.LastError().empty());
        EXPECT_EQ(r.GetState(), CWorkerThread::kIdle);
        EXPECT_NE(access(path.c_str(), F_OK), 0);
    }
    // Sizes and a second start.
    {
        TestRecorder r;
        EXPECT_FALSE(r.Start(Spec(dir.File("big.mov")), 8193, 100, false));
        EXPECT_NE(r.LastError().find("8192"), std::string::npos);
        EXPECT_FALSE(r.Start(Spec(dir.File("zero.mov")), 0, 100, false));
        EXPECT_NE(access(dir.File("big.mov").c_str(), F_OK), 0);
        ASSERT_TRUE(r.Start(Spec(dir.File("one.mov")), 63, 31, false));
        EXPECT_FALSE(r.Start(Spec(dir.File("two.mov")), 64, 32, false));
        clock.AdvanceMs(40);
        Offer(r);
        StopAndWait(r);
        MovieProbe p(dir.File("one.mov"));
        EXPECT_EQ(p.Video("width"), "62");
        EXPECT_EQ(p.Video("height"), "30");
    }
    // The full device: the first write, the movie's header, fails; Start says why.
    {
        const std::string path = dir.File("full.mov");
        ASSERT_EQ(symlink("/dev/full", path.c_str()), 0);
        TestRecorder r;
        EXPECT_FALSE(r.Start(Spec(path), 64, 32, false));
        EXPECT_NE(r.LastError().find("No space left"), std::string::npos) << r.LastError();
        EXPECT_EQ(r.GetState(), CWorkerThread::kIdle);
    }
    // A disk that fills while recording (a file-size limit): the recording ends by itself at the
    // first failed write, the finished callback gets the error, and no cut movie is left.
    {
        const std::string path = dir.File("limited.mov");
        TestRecorder r;
        r.SetCodec(LString("jpeg"));
        r.SetJpegQuality(1);
        bool called = false, ok = true;
        std::string error;
        r.SetFinishedCallback([&](bool good, const std::string& text) {
            called = true;
            ok = good;
            error = text;
        });
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 20000;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        ASSERT_TRUE(r.Start(Spec(path), 320, 180, false)) << r.LastError();
        int offers = 0;
        for (; offers < 50 && r.IsRecording(); ++offers) {
            clock.AdvanceMs(40);
            Offer(r);
        }
        ASSERT_TRUE(RunUntil([&] { return r.GetState() == CWorkerThread::kIdle; }));
        setrlimit(RLIMIT_FSIZE, &old);
        signal(SIGXFSZ, oldHandler);
        EXPECT_LT(offers, 50);
        EXPECT_TRUE(called);
        EXPECT_FALSE(ok);
        EXPECT_NE(error.find("File too large"), std::string::npos) << error;
        EXPECT_LT(r.FramesAppended(), r.FramesTaken());
        EXPECT_NE(access(path.c_str(), F_OK), 0);
    }
}

// Settings.

struct SettingsTest : ::testing::Test {
    CRecord* set = CRecord::New(&CParamSet::SetType());
    ~SettingsTest() override { CRecord::Delete(set); }
    CRecordRef Set() { return CRecordRef(&set); }
    std::string Value(const char* sub, const char* key) {
        CRecord* s = CParamSet::GetSubSet(Set(), LString(sub));
        LString v;
        return s && CParamSet::Find(CRecordRef(&s), LString(key), &v) >= 0 ? v.CStr() : "<absent>";
    }
    void Put(const char* sub, const char* key, const char* value) {
        CRecord* s = CParamSet::GetOrCreateSubSet(Set(), nullptr, LString(sub));
        CParamSet::SetString(CRecordRef(&s), nullptr, LString(key), LString(value));
    }
};

TEST_F(SettingsTest, DefaultsRoundTripWithTwoDecimalQualityAndTheFormatAsANumber) {
    TestRecorder r;
    EXPECT_TRUE(r.Codec() == "avc1");
    EXPECT_EQ(r.FrameRate(), 30);
    EXPECT_EQ(r.KeyFrameInterval(), 100);
    EXPECT_FLOAT_EQ(r.JpegQuality(), 0.5f);
    EXPECT_EQ(r.AudioFormat(), 1819304813u);
    r.WriteSettings(Set(), nullptr);
    EXPECT_EQ(Value("avvsetn", "vcodec"), "avc1");
    EXPECT_EQ(Value("avvsetn", "vfrmrate"), "30");
    EXPECT_EQ(Value("avvsetn", "vkeyrate"), "100");
    EXPECT_EQ(Value("avvsetn", "vjpegq"), "0.50");
    EXPECT_EQ(Value("avasetn", "afmtid"), "1819304813");

    TestRecorder other;
    other.SetCodec(LString("jpeg"));
    other.SetFrameRate(12);
    other.SetKeyFrameInterval(7);
    other.SetJpegQuality(0.75);
    other.SetAudioFormat(plat::kMovieAudioALAC);
    other.WriteSettings(Set(), nullptr);
    EXPECT_EQ(Value("avvsetn", "vjpegq"), "0.75");
    r.ReadSettings(Set());
    EXPECT_TRUE(r.Codec() == "jpeg");
    EXPECT_EQ(r.FrameRate(), 12);
    EXPECT_EQ(r.KeyFrameInterval(), 7);
    EXPECT_FLOAT_EQ(r.JpegQuality(), 0.75f);
    EXPECT_EQ(r.AudioFormat(), plat::kMovieAudioALAC);
}

TEST_F(SettingsTest, BadValuesFromDocumentsAreBroughtIntoRange) {
    struct Case {
        const char* key;
        const char* value;
        const char* codec;
        int32_t fps, key_;
        float quality;
    } cases[] = {
        {"vcodec", "hevc", "avc1", 30, 100, 0.5f},
        {"vcodec", "", "avc1", 30, 100, 0.5f},
        {"vcodec", "jpeg", "jpeg", 30, 100, 0.5f},
        {"vfrmrate", "-5", "avc1", 0, 100, 0.5f},
        {"vfrmrate", "0", "avc1", 0, 100, 0.5f},
        {"vfrmrate", "61", "avc1", 60, 100, 0.5f},
        {"vfrmrate", "99999999999", "avc1", 60, 100, 0.5f},
        {"vfrmrate", "x", "avc1", 30, 100, 0.5f},
        {"vkeyrate", "0", "avc1", 30, 1, 0.5f},
        {"vkeyrate", "-3", "avc1", 30, 1, 0.5f},
        {"vkeyrate", "1000", "avc1", 30, 300, 0.5f},
        {"vjpegq", "1.5", "avc1", 30, 100, 1.0f},
        {"vjpegq", "-0.2", "avc1", 30, 100, 0.0f},
        {"vjpegq", "nan", "avc1", 30, 100, 0.5f},
        {"vjpegq", "abc", "avc1", 30, 100, 0.5f},
        {"vjpegq", "inf", "avc1", 30, 100, 0.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        CRecord::Delete(set);
        set = CRecord::New(&CParamSet::SetType());
        Put("avvsetn", c.key, c.value);
        TestRecorder r;
        r.ReadSettings(Set());
        EXPECT_TRUE(r.Codec() == c.codec);
        EXPECT_EQ(r.FrameRate(), c.fps);
        EXPECT_EQ(r.KeyFrameInterval(), c.key_);
        EXPECT_FLOAT_EQ(r.JpegQuality(), c.quality);
    }
    const std::pair<const char*, uint32_t> formats[] = {
        {"1633772320", plat::kMovieAudioAAC}, {"1819304813", plat::kMovieAudioLPCM},
        {"1", plat::kMovieAudioLPCM},         {"-1", plat::kMovieAudioLPCM},
        {"hello", plat::kMovieAudioLPCM},     {"99999999999", plat::kMovieAudioLPCM}};
    for (const auto& [text, id] : formats) {
        Put("avasetn", "afmtid", text);
        TestRecorder r;
        r.SetAudioFormat(plat::kMovieAudioALAC);
        r.ReadSettings(Set());
        EXPECT_EQ(r.AudioFormat(), id) << text;
    }
}

// Sound from the fake input device.

struct AudioRecorderTest : RecorderTest {
    plat::FakeAudioSystem sys;
    plat::AudioDeviceID mic = 0;
    uint32_t bits = 16;

    void AddMic(uint32_t deviceBits) {
        bits = deviceBits;
        plat::FakeAudioDevice m;
        m.name = "Microphone";
        m.rate = 48000;
        m.adjustsFormat = [deviceBits](plat::AudioFormat& f) { f.bits = deviceBits; };
        mic = sys.Add(m);
        ASSERT_TRUE(sys.SetDefaultDevice(plat::AudioScope::kInput, mic));
    }
    // A sine per channel (the right one inverted), at full sample width; the 16-bit value of frame i
    // of channel c.
    static int16_t Expected(uint64_t i, uint32_t c) {
        const auto v = int16_t(std::lround(9000 * std::sin(2 * M_PI * 440.0 * double(i) / 48000.0)));
        return c ? int16_t(-v) : v;
    }
    void UseSine() {
        const uint32_t b = bits;
        sys.LastCaptureUnit()->SetGenerator([b](uint8_t* out, uint64_t first, uint32_t frames, uint32_t bpf) {
            const uint32_t bytes = (b + 7) / 8;
            for (uint32_t f = 0; f < frames; ++f)
                for (uint32_t c = 0; c < 2; ++c) {
                    // The 16-bit value in the top bytes, a low byte below it that must not matter.
                    int64_t v = int64_t(Expected(first + f, c)) * (int64_t(1) << (8 * bytes - 16));
                    if (bytes > 2) v += 0x5A;
                    uint8_t* s = out + size_t(f) * bpf + c * bytes;
                    for (uint32_t k = 0; k < bytes; ++k) s[k] = uint8_t(uint64_t(v) >> (8 * k));
                }
        });
    }
};

TEST_F(AudioRecorderTest, SoundIsRecordedWholeFromOddBlocksAcrossTheRingsEnd) {
    struct Case {
        uint32_t bits;
        uint32_t format;
        const char* codec;
    } cases[] = {
        {24, plat::kMovieAudioLPCM, "pcm_s16le"},
        {16, plat::kMovieAudioLPCM, "pcm_s16le"},
        {16, plat::kMovieAudioAAC, "aac"},
        {16, plat::kMovieAudioALAC, "alac"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.codec) + " from " + std::to_string(c.bits) + " bits");
        AddMic(c.bits);
        TestRecorder r(&sys);
        r.SetAudioFormat(c.format);
        const std::string path = dir.File("sound" + std::to_string(n++) + ".mov");
        ASSERT_TRUE(r.Start(Spec(path), 64, 32, true)) << r.LastError();
        ASSERT_TRUE(r.HasAudio());
        UseSine();
        // 60000 frames (more than the ring holds at 6 bytes a frame) in odd blocks; the main loop
        // drains now and then, and the last blocks are still in the ring at the stop.
        uint64_t delivered = 0;
        uint32_t block = 7;
        int blocks = 0;
        while (delivered < 60000) {
            const uint32_t frames = std::min<uint64_t>(block, 60000 - delivered);
            ASSERT_EQ(sys.LastCaptureUnit()->Deliver(frames), 0);
            delivered += frames;
            block = block * 7 % 1901 + 3;
            if (++blocks % 9 == 0 && delivered < 55000)
                plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
            if (blocks % 20 == 0) {
                clock.AdvanceMs(40);
                r.Tick(nullptr);
            }
        }
        StopAndWait(r);
        MovieProbe p(path);
        EXPECT_EQ(p.Audio("codec_name"), c.codec);
        EXPECT_EQ(p.Audio("channels"), "2");
        EXPECT_EQ(p.Audio("sample_rate"), "48000");
        const std::vector<int16_t> decoded = p.DecodedAudio(2);
        if (c.format == plat::kMovieAudioLPCM) {
            EXPECT_NEAR(std::stod(p.Audio("duration")), 60000 / 48000.0, 1e-3);
            ASSERT_EQ(decoded.size(), 120000u);
            int wrong = 0;
            for (uint64_t i = 0; i < 60000; ++i)
                for (uint32_t ch = 0; ch < 2; ++ch) wrong += decoded[i * 2 + ch] != Expected(i, ch);
            EXPECT_EQ(wrong, 0);
        } else {
            EXPECT_GE(decoded.size(), 120000u);
        }
    }
}

TEST_F(AudioRecorderTest, WithoutAnInputTheMovieHasNoSound) {
    sys.refuseCaptureUnit = true;
    AddMic(16);
    TestRecorder r(&sys);
    const std::string path = dir.File("silent.mov");
    ASSERT_TRUE(r.Start(Spec(path), 64, 32, true));
    EXPECT_FALSE(r.HasAudio());
    clock.AdvanceMs(40);
    Offer(r);
    StopAndWait(r);
    MovieProbe p(path);
    EXPECT_EQ(p.Video("nb_read_frames"), "1");
    EXPECT_EQ(p.Audio("codec_name"), "");
}

// A tone played into a private PulseAudio server's null sink, recorded from its monitor.
TEST(PulseRecorderTest, RecordsAToneFromTheSpeakersMonitor) {
    testsupport::PulseServer server;
    if (!server.Ok()) GTEST_SKIP() << server.Why();
    if (std::system("command -v paplay >/dev/null && command -v ffmpeg >/dev/null") != 0)
        GTEST_SKIP() << "paplay or ffmpeg is not installed";
    av_log_set_level(AV_LOG_ERROR);
    std::unique_ptr<plat::PulseAudioSystem> sys = plat::PulseAudioSystem::Connect("orbilume-test");
    ASSERT_NE(sys, nullptr);
    testsupport::TempDir dir;
    const std::string wav = dir.File("tone.wav");
    ASSERT_EQ(
        std::system(("ffmpeg -nostdin -v error -f lavfi -i sine=frequency=1000:sample_rate=44100 -t 1 " + wav)
                        .c_str()),
        0);
    TestRecorder r(sys.get());
    r.SetSoundInputSpec(SoundInputSpec{LString("Speakers"), LString()});
    const std::string path = dir.File("tone.mov");
    ASSERT_TRUE(r.Start(Spec(path), 64, 32, true)) << r.LastError();
    ASSERT_TRUE(r.HasAudio());
    // The tone starts once the capture runs; the main loop drains the ring meanwhile.
    std::atomic<int> played{-1};
    std::thread player([&] {
        usleep(300000);
        played = std::system(("paplay --device=speakers " + wav).c_str());
    });
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (played < 0 && std::chrono::steady_clock::now() < until) {
        r.Tick(nullptr);
        plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
        usleep(5000);
    }
    player.join();
    ASSERT_EQ(played, 0);
    until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < until) {
        r.Tick(nullptr);
        plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
        usleep(5000);
    }
    r.Finish();
    ASSERT_TRUE(RunUntil([&] { return r.GetState() == CWorkerThread::kIdle; }));

    MovieProbe p(path);
    EXPECT_EQ(p.Audio("codec_name"), "pcm_s16le");
    EXPECT_EQ(p.Audio("sample_rate"), "44100");
    const std::vector<int16_t> mono = p.DecodedAudio(1);
    // The loud part (ffmpeg's sine is an eighth of full scale): about a second, crossing zero about
    // 2000 times.
    size_t first = mono.size(), last = 0;
    for (size_t i = 0; i < mono.size(); ++i)
        if (std::abs(int(mono[i])) > 2000) {
            first = std::min(first, i);
            last = i;
        }
    ASSERT_LT(first, last) << mono.size() << " samples, duration " << p.Audio("duration");
    const double seconds = double(last - first) / 44100;
    EXPECT_NEAR(seconds, 1.0, 0.1);
    int crossings = 0;
    for (size_t i = first + 1; i <= last; ++i) crossings += (mono[i - 1] < 0) != (mono[i] < 0);
    EXPECT_NEAR(crossings / 2.0 / seconds, 1000, 30);
}

// Offscreen GL: the framebuffer read back.

class GLRecorderTest : public OpenGLTest {
protected:
    void SetUp() override {
        OpenGLTest::SetUp();
        av_log_set_level(AV_LOG_ERROR);
        if (!testsupport::HaveProgram("ffprobe") || !testsupport::HaveProgram("ffmpeg"))
            GTEST_SKIP() << "ffmpeg or ffprobe is not installed";
        COpenGLScope_Cca scope(Common());
        glGenTextures(1, &fTexture);
        glBindTexture(GL_TEXTURE_2D, fTexture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kWidth, kHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glGenFramebuffers(1, &fFramebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, fFramebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, fTexture, 0);
        ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
    }
    void TearDown() override {
        {
            COpenGLScope_Cca scope(Common());
            glBindFramebuffer(GL_FRAMEBUFFER, 0);
            glDeleteFramebuffers(1, &fFramebuffer);
            glDeleteTextures(1, &fTexture);
        }
        OpenGLTest::TearDown();
    }
    // The bars of `number`, GL's bottom row last in the picture (bars run full height).
    void Draw(int number) {
        COpenGLScope_Cca scope(Common());
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0.45f, 0.45f, 0.45f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
        for (int bit = 0; bit < 8; ++bit) {
            glScissor(bit * 16, 0, 16, kHeight);
            const float v = (number >> bit) & 1 ? 1.0f : 0.0f;
            glClearColor(v, v, v, 1);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        // A mark in the top-left corner shows which way up the picture is.
        glScissor(kWidth - 8, kHeight - 8, 8, 8);
        glClearColor(1, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    }

    static constexpr int kWidth = 160;
    static constexpr int kHeight = 48;
    testsupport::TempDir dir;
    testsupport::FakeClock clock;
    GLuint fTexture = 0;
    GLuint fFramebuffer = 0;
};

TEST_F(GLRecorderTest, TwoSecondsAtThirtyFramesPerSecond) {
    struct Case {
        const char* codec;
        int32_t keyRate;
        const char* codecName;
        const char* tag;
        int maxKeyDistance;
    } cases[] = {
        {"avc1", 100, "h264", "avc1", 100},
        {"avc1", 10, "h264", "avc1", 10},
        {"jpeg", 100, "mjpeg", "jpeg", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.keyRate));
        CMovieRecorder r;
        r.SetCodec(LString(c.codec));
        r.SetKeyFrameInterval(c.keyRate);
        r.SetFrameRate(30);
        const std::string path = dir.File(std::string(c.codec) + std::to_string(c.keyRate) + ".mov");
        ASSERT_TRUE(r.Start(CMacFileU::LFsSpecFromPath(path.c_str()), kWidth, kHeight, false))
            << r.LastError();
        // A 60 Hz display for two seconds.
        const double start = clock.Now();
        for (int k = 1; k <= 120; ++k) {
            clock.Set(start + k / 60.0 + 1e-6);
            Draw(int(r.FramesTaken()));
            r.Offer(&Common());
            ASSERT_TRUE(RunUntil([&] { return r.QueuedCount() == 0; }));
        }
        EXPECT_EQ(r.FramesTaken(), 60u);
        r.Finish();
        ASSERT_TRUE(RunUntil([&] { return r.GetState() == CWorkerThread::kIdle; }));
        EXPECT_EQ(r.FramesAppended(), 60u);

        MovieProbe p(path);
        EXPECT_EQ(p.Video("codec_name"), c.codecName);
        EXPECT_EQ(p.Video("codec_tag_string"), c.tag);
        EXPECT_EQ(p.Video("time_base"), "1/600");
        EXPECT_EQ(p.Video("width"), std::to_string(kWidth));
        EXPECT_EQ(p.Video("height"), std::to_string(kHeight));
        EXPECT_EQ(p.Video("nb_read_frames"), "60");
        // Frames carry the media time they were taken at (the first at 0.05 s): the movie lasts 2 s.
        EXPECT_NEAR(std::stod(p.Duration()), 2.0, 1.0 / 30);
        EXPECT_LE(p.MaxKeyFrameDistance(), c.maxKeyDistance);
        EXPECT_EQ(p.FrameBars(30), 30);
        EXPECT_EQ(p.FrameBars(59), 59);
    }
}

TEST_F(GLRecorderTest, RowsAreTurnedTopFirst) {
    CMovieRecorder r;
    r.SetCodec(LString("jpeg"));
    r.SetJpegQuality(1);
    const std::string path = dir.File("rows.mov");
    ASSERT_TRUE(r.Start(CMacFileU::LFsSpecFromPath(path.c_str()), kWidth, kHeight, false));
    clock.AdvanceMs(40);
    Draw(0x5A);
    r.Offer(&Common());
    r.Finish();
    ASSERT_TRUE(RunUntil([&] { return r.GetState() == CWorkerThread::kIdle; }));
    const std::string raw = testsupport::CommandOutput("ffmpeg -nostdin -v error -i '" + path +
                                                       "' -frames:v 1 -f rawvideo -pix_fmt bgra -");
    ASSERT_EQ(raw.size(), size_t(kWidth) * kHeight * 4);
    auto pixel = [&](int x, int y) {
        return reinterpret_cast<const uint8_t*>(raw.data()) + (y * kWidth + x) * 4;
    };
    // The red mark drawn at GL's top right is in the first rows of the movie.
    EXPECT_GT(pixel(kWidth - 4, 3)[2], 200);
    EXPECT_LT(pixel(kWidth - 4, 3)[1], 60);
    EXPECT_LT(pixel(kWidth - 4, kHeight - 4)[2], 160);
    EXPECT_EQ(
        testsupport::BarsNumberIn(reinterpret_cast<const uint8_t*>(raw.data()), 128, kHeight, kWidth * 4),
        0x5A);
}

}  // namespace
