#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "Platform/AppKit/NotificationCenter.h"
#include "Platform/Media/CaptureRegistry.h"
#include "Platform/Media/synthetic/SyntheticCapture.h"
#include "Platform/Media/v4l2/V4l2Capture.h"
#include "Platform/Media/v4l2/V4l2Format.h"

namespace {

using namespace std::chrono_literals;

// What a stream delivered.
struct Received {
    std::mutex mutex;
    std::condition_variable changed;
    uint32_t frames = 0;
    uint32_t lastNumber = 0;
    int32_t width = 0, height = 0;
    bool gone = false;

    plat::CaptureCallbacks Callbacks() {
        plat::CaptureCallbacks c;
        c.frame = [this](plat::Ref<plat::PixelBuffer> f) {
            if (!f->Lock(plat::kPixelBufferLockReadOnly)) return;
            const uint32_t n =
                plat::SyntheticCapture::ReadBars(f->BaseAddress(), f->BytesPerRow(), f->Width(), f->Height());
            f->Unlock(plat::kPixelBufferLockReadOnly);
            std::lock_guard<std::mutex> lock(mutex);
            ++frames;
            lastNumber = n;
            width = f->Width(), height = f->Height();
            changed.notify_all();
        };
        c.gone = [this] {
            std::lock_guard<std::mutex> lock(mutex);
            gone = true;
            changed.notify_all();
        };
        return c;
    }
    template <class P>
    bool WaitFor(P predicate) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, 5s, predicate);
    }
};

// The provider-independent behaviour, run against every provider that has a device here.
class CaptureConformanceTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (std::string(GetParam()) == "synthetic") {
            auto synthetic = std::make_shared<plat::SyntheticCapture>();
            fSynthetic = synthetic.get();
            fRegistry.AddProvider(synthetic);
            synthetic->AddDevice({"Bench Cam", 64, 48, 60, plat::kCaptureVideo});
        } else {
            fRegistry.AddProvider(std::make_shared<plat::V4l2Capture>());
            if (fRegistry.Devices().empty())
                GTEST_SKIP() << "no V4L2 capture node here (no camera, and kernel modules cannot be loaded)";
        }
        fName = fRegistry.Devices().front().name;
    }
    plat::CaptureRegistry fRegistry;
    plat::SyntheticCapture* fSynthetic = nullptr;
    std::string fName;
};

TEST_P(CaptureConformanceTest, OpensByNameAndStreamsUntilStopped) {
    Received got;
    std::unique_ptr<plat::CaptureStream> stream = fRegistry.Open(fName, got.Callbacks());
    ASSERT_TRUE(stream);
    EXPECT_FALSE(fRegistry.Open(fName + " (nope)", got.Callbacks()));
    ASSERT_TRUE(stream->Start());
    ASSERT_TRUE(got.WaitFor([&] { return got.frames >= 3; }));
    EXPECT_GT(got.width, 0);
    stream->Stop();
    const uint32_t frames = got.frames;
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(got.frames, frames);  // nothing after Stop
    EXPECT_FALSE(got.gone);
    // Started again, it streams again.
    ASSERT_TRUE(stream->Start());
    ASSERT_TRUE(got.WaitFor([&] { return got.frames > frames; }));
}

INSTANTIATE_TEST_SUITE_P(Providers, CaptureConformanceTest, ::testing::Values("synthetic", "v4l2"));

TEST(CaptureRegistryTest, NamesAreUniqueAudioOnlyDevicesDoNotOpenAndChangesAreAnnounced) {
    plat::CaptureRegistry registry;
    auto synthetic = std::make_shared<plat::SyntheticCapture>();
    registry.AddProvider(synthetic);
    int connected = 0, disconnected = 0;
    struct Counts {
        int* connected;
        int* disconnected;
    } counts{&connected, &disconnected};
    auto count = [](const char* name, const void*, void* self) {
        auto* c = static_cast<Counts*>(self);
        ++*(std::string(name) == plat::kCaptureDeviceConnected ? c->connected : c->disconnected);
    };
    plat::NotificationCenter::Default().AddObserver(&counts, count, nullptr, &registry);
    synthetic->AddDevice({"Cam", 32, 32, 30, plat::kCaptureVideo});
    synthetic->AddDevice({"Cam", 48, 32, 30, plat::kCaptureVideo});
    synthetic->AddDevice({"Mic", 32, 32, 30, plat::kCaptureAudio});
    std::vector<plat::CaptureDeviceInfo> devices = registry.Devices();
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].name, "Cam");
    EXPECT_EQ(devices[1].name, "Cam (2)");
    EXPECT_EQ(devices[2].name, "Mic");
    EXPECT_EQ(connected, 3);

    // The second device is the one "Cam (2)" opens.
    Received got;
    std::unique_ptr<plat::CaptureStream> second = registry.Open("Cam (2)", got.Callbacks());
    ASSERT_TRUE(second && second->Start());
    ASSERT_TRUE(got.WaitFor([&] { return got.frames >= 1; }));
    EXPECT_EQ(got.width, 48);
    EXPECT_FALSE(registry.Open("Mic", got.Callbacks()));

    // Removing the device ends its stream, saying so.
    EXPECT_TRUE(synthetic->RemoveDevice("Cam"));
    EXPECT_EQ(disconnected, 1);
    EXPECT_EQ(registry.Devices()[0].name, "Cam");  // the other one keeps its own name now
    EXPECT_TRUE(synthetic->RemoveDevice("Cam"));
    ASSERT_TRUE(got.WaitFor([&] { return got.gone; }));
    second.reset();
    plat::NotificationCenter::Default().RemoveObserver(&counts);
}

TEST(SyntheticCaptureTest, FramesCarryTheirNumberAndSpecsParse) {
    auto synthetic = std::make_shared<plat::SyntheticCapture>();
    synthetic->AddDevice({"Bars", 96, 16, 100, plat::kCaptureVideo});
    Received got;
    std::unique_ptr<plat::CaptureStream> stream = synthetic->Open(0, got.Callbacks());
    ASSERT_TRUE(stream && stream->Start());
    ASSERT_TRUE(got.WaitFor([&] { return got.frames >= 5; }));
    stream->Stop();
    EXPECT_EQ(got.lastNumber, got.frames);  // numbered from 1, none skipped when every one is read

    struct Case {
        const char* text;
        bool ok;
        int32_t w, h;
    };
    for (const Case& c : {Case{"Desk", true, 320, 240}, Case{"Desk:640x360@25", true, 640, 360},
                          Case{":640x360@25", false, 0, 0}, Case{"Desk:0x360@25", false, 0, 0},
                          Case{"Desk:640x360@0", false, 0, 0}, Case{"Desk:640x360@25junk", false, 0, 0}}) {
        SCOPED_TRACE(c.text);
        plat::SyntheticDeviceSpec spec;
        EXPECT_EQ(plat::ParseSyntheticDeviceSpec(c.text, spec), c.ok);
        if (c.ok) {
            EXPECT_EQ(spec.width, c.w);
            EXPECT_EQ(spec.height, c.h);
        }
    }
}

TEST(V4l2FormatTest, ChoosesTheCurrentFormatElseTheLargestUpTo1080pAt25) {
    using O = plat::V4l2FormatOption;
    const std::vector<O> options = {
        {V4L2_PIX_FMT_YUYV, 640, 480, 30},    {V4L2_PIX_FMT_YUYV, 1920, 1080, 5},
        {V4L2_PIX_FMT_MJPEG, 1280, 720, 30},  {V4L2_PIX_FMT_MJPEG, 1920, 1080, 30},
        {V4L2_PIX_FMT_MJPEG, 3840, 2160, 30}, {v4l2_fourcc('H', '2', '6', '4'), 1920, 1080, 60},
    };
    O chosen;
    const O current{V4L2_PIX_FMT_YUYV, 640, 480, 0};
    ASSERT_TRUE(plat::ChooseV4l2Format(&current, options, chosen));
    EXPECT_EQ(chosen.width, 640u);
    ASSERT_TRUE(plat::ChooseV4l2Format(nullptr, options, chosen));
    EXPECT_EQ(chosen.fourcc, uint32_t(V4L2_PIX_FMT_MJPEG));
    EXPECT_EQ(chosen.width, 1920u);
    // An unconvertible current format is not kept; slow formats only when nothing is fast enough.
    const O h264{v4l2_fourcc('H', '2', '6', '4'), 1920, 1080, 0};
    ASSERT_TRUE(plat::ChooseV4l2Format(
        &h264, {{V4L2_PIX_FMT_YUYV, 1920, 1080, 5}, {V4L2_PIX_FMT_YUYV, 320, 240, 5}}, chosen));
    EXPECT_EQ(chosen.width, 1920u);
    EXPECT_FALSE(plat::ChooseV4l2Format(&h264, {{V4L2_PIX_FMT_YUYV, 3840, 2160, 30}}, chosen));

    EXPECT_EQ(plat::V4l2FrameBytes(V4L2_PIX_FMT_YUYV, 4, 2, 8), 16u);
    EXPECT_EQ(plat::V4l2FrameBytes(V4L2_PIX_FMT_YUYV, 4, 2, 6), 0u);  // stride too short
    EXPECT_EQ(plat::V4l2FrameBytes(V4L2_PIX_FMT_NV12, 4, 3, 4), 12u + 8u);
}

}  // namespace
