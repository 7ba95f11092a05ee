#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/OpenGL/CPixBufTarget.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Media/CVCapSlots.h"
#include "Orbilume/CSources/Media/CVideoCapture.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"
#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Media/CaptureRegistry.h"
#include "Platform/Media/synthetic/SyntheticCapture.h"
#include "tests/Orbilume/CSources/QCx/QcTestSupport.h"
#include "tests/Platform/Composer/GraphBuilder.h"

using plat::Ref;
using namespace std::chrono_literals;

namespace {

constexpr uint32_t kGrey = 0xFF808080u, kBlack = 0xFF000000u;

// Synthetic devices in a registry of the test's own, over the common context.
class VideoCaptureTest : public qctest::QcGLTest {
protected:
    void SetUp() override {
        QcGLTest::SetUp();
        auto synthetic = std::make_shared<plat::SyntheticCapture>();
        fSynthetic = synthetic.get();
        fRegistry.AddProvider(synthetic);
        fSynthetic->AddDevice({"Cam", 64, 48, 60, plat::kCaptureVideo});
        fSynthetic->AddDevice({"Mic", 64, 48, 60, plat::kCaptureAudio});
    }
    void TearDown() override {
        // Rebinds still pending run now, with everything alive.
        Pump();
        QcGLTest::TearDown();
    }
    // A main loop pass: run-loop sources, then the timers due.
    static void Pump() {
        for (int i = 0; i < 3; ++i) plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
        const uint32_t now = LTimer::Now();
        for (LMessage m = LTimer::NextExpired(now, nullptr, nullptr, true); !m.IsEmpty();
             m = LTimer::NextExpired(now, nullptr, nullptr, true))
            LHandler::Dispatch(m);
    }
    template <class P>
    static bool WaitFor(P predicate) {
        for (auto end = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < end;) {
            if (predicate()) return true;
            std::this_thread::sleep_for(2ms);
        }
        return predicate();
    }
    // The texture's pixels, top row first, as BGRA bytes.
    std::vector<uint32_t> Read(plat::GLTexture* texture) {
        return ReadTexture(texture->Target(), texture->Name(), texture->Image()->Width(),
                           texture->Image()->Height());
    }

    plat::CaptureRegistry fRegistry;
    plat::SyntheticCapture* fSynthetic = nullptr;
};

TEST_F(VideoCaptureTest, OpensByNameCountsFramesAndRunsWhileStarted) {
    EXPECT_EQ(CVideoCapture::OpenCapture(nullptr, "Mic", fRegistry), nullptr);
    EXPECT_EQ(CVideoCapture::OpenCapture(nullptr, "cam", fRegistry), nullptr);  // byte for byte
    fSynthetic->AddDevice({"Slow", 64, 48, 2, plat::kCaptureVideo});
    CVideoCapture* capture = CVideoCapture::OpenCapture(nullptr, "Slow", fRegistry);
    ASSERT_NE(capture, nullptr);
    EXPECT_TRUE(capture->IsOpen());
    uint32_t w = 0, h = 0;
    EXPECT_EQ(capture->GetFrameInfo(w, h), 0u);

    capture->Start();
    capture->Start();
    capture->Stop();
    EXPECT_EQ(capture->runCount(), 1u);
    ASSERT_TRUE(WaitFor([&] { return capture->GetFrameInfo(w, h) != 0; }));
    EXPECT_EQ(w, 64u);
    EXPECT_EQ(h, 48u);
    const uint32_t serial = capture->GetFrameInfo(w, h);
    EXPECT_EQ(capture->GetFrameInfo(w, h), serial);  // no new frame yet (two a second)
    // The serial wraps to 1, never 0.
    capture->SetSerialForTest(0xFFFFFFFFu);
    ASSERT_TRUE(WaitFor([&] { return capture->GetFrameInfo(w, h) != 0xFFFFFFFFu; }));
    EXPECT_EQ(capture->GetFrameInfo(w, h), 1u);

    capture->Stop();
    EXPECT_EQ(capture->runCount(), 0u);
    capture->Release();
}

TEST_F(VideoCaptureTest, DrawFrameScalesTheNewestFrameIntoATexture) {
    CVideoCapture* capture = CVideoCapture::OpenCapture(nullptr, "Cam", fRegistry);
    ASSERT_NE(capture, nullptr);
    capture->Start();
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(WaitFor([&] { return capture->GetFrameInfo(w, h) != 0; }));
    CPixBufTarget target;
    for (uint32_t scale : {1u, 2u}) {
        SCOPED_TRACE(scale);
        Ref<plat::GLTexture> texture;
        {
            COpenGLScope_Cca scope(Common());
            texture = target.GetTexture(64 * scale, 48 * scale);
        }
        ASSERT_TRUE(texture);
        capture->DrawFrame(texture.get());
        std::vector<uint32_t> px = Read(texture.get());
        const uint32_t tw = 64 * scale, th = 48 * scale;
        EXPECT_EQ(px[(th - 1) * tw], kGrey);           // bottom left
        EXPECT_EQ(px[(th - 1) * tw + tw - 1], kGrey);  // bottom right
        EXPECT_EQ(px[(th / 2) * tw + tw / 2], kGrey);  // centre
        EXPECT_EQ(px[0], kBlack);                      // the number's high bits are 0
        if (scale == 1) {
            const uint32_t number = plat::SyntheticCapture::ReadBars(
                reinterpret_cast<const uint8_t*>(px.data()), tw * 4, int32_t(tw), int32_t(th));
            EXPECT_GE(number, 1u);
            EXPECT_LT(number, 100000u);
        }
    }
    capture->Stop();
    capture->Release();
}

class VideoSlotsTest : public VideoCaptureTest {
protected:
    void SetName(uint32_t slot, const char* name) {
        CRecord* root = fPrefs.Root();
        CRecord* set = root->GetSubRecord(CAppPrefs::kPrefVideoSlots);
        CRecord* sub =
            CParamSet::GetOrCreateSubSet(CRecordRef(&set), nullptr, LString(std::to_string(slot).c_str()));
        CParamSet::SetString(CRecordRef(&sub), nullptr, LString("name"), LString(name));
    }
    CAppPrefs fPrefs;
};

TEST_F(VideoSlotsTest, SlotsShareSourcesAndRebindOnceAfterChanges) {
    SetName(0, "Cam");
    CVCapSlots slots(4, &fPrefs, &fRegistry);
    EXPECT_EQ(CVCapSlots::Get(), &slots);
    EXPECT_EQ(slots.GetSlot(4), nullptr);
    CVCapSlot* s0 = slots.GetSlot(0);
    CVCapSlot* s1 = slots.GetSlot(1);
    ASSERT_NE(s0->source(), nullptr);
    EXPECT_EQ(s1->source(), nullptr);

    // Two changes, one rebind on the next loop pass; the second slot shares the source.
    const uint32_t rebinds = slots.rebindCount();
    SetName(1, "Cam");
    SetName(2, "Nothing by that name");
    EXPECT_EQ(slots.rebindCount(), rebinds);
    Pump();
    EXPECT_EQ(slots.rebindCount(), rebinds + 1);
    CVCapSource* shared = s0->source();
    EXPECT_EQ(s1->source(), shared);
    EXPECT_EQ(slots.GetSlot(2)->source(), nullptr);

    // Un-using one slot keeps the source running for the other.
    s0->Use();
    s1->Use();
    auto* capture = static_cast<CVideoCapture*>(shared);
    EXPECT_EQ(capture->runCount(), 2u);
    s0->Unuse();
    EXPECT_EQ(capture->runCount(), 1u);

    // An unchanged name keeps the running source.
    SetName(3, "Mic");
    Pump();
    EXPECT_EQ(s1->source(), shared);
    EXPECT_EQ(slots.GetSlot(3)->source(), nullptr);  // audio only
    s1->Unuse();
}

TEST_F(VideoSlotsTest, AnUnpluggedDeviceKeepsItsLastFrameAndIsReopenedWhenItReturns) {
    SetName(0, "Cam");
    CVCapSlots slots(4, &fPrefs, &fRegistry);
    CVCapSlot* slot = slots.GetSlot(0);
    slot->Use();
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(WaitFor([&] { return slot->GetFrameInfo(w, h) != 0; }));
    CVCapSource* before = slot->source();

    const uint32_t rebinds = slots.rebindCount();
    ASSERT_TRUE(fSynthetic->RemoveDevice("Cam"));
    Pump();
    EXPECT_EQ(slots.rebindCount(), rebinds + 1);
    ASSERT_TRUE(WaitFor([&] { return !before->IsOpen(); }));
    Pump();
    // Still bound, still showing its last frame.
    EXPECT_EQ(slot->source(), before);
    const uint32_t last = slot->GetFrameInfo(w, h);
    EXPECT_NE(last, 0u);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(slot->GetFrameInfo(w, h), last);

    fSynthetic->AddDevice({"Cam", 32, 24, 60, plat::kCaptureVideo});
    Pump();
    EXPECT_NE(slot->source(), before);
    ASSERT_TRUE(slot->source() && slot->source()->IsOpen());
    ASSERT_TRUE(WaitFor([&] { return slot->GetFrameInfo(w, h) != 0; }));
    EXPECT_EQ(w, 32u);  // frames of the device now there
    slot->Unuse();
}

TEST_F(VideoSlotsTest, LinkClearsOnceThenShowsTheSlotsFittedFrames) {
    composertest::GraphBuilder g;
    g.Node("d", plat::kNodeClassGLSL,
           composertest::ShaderState(
               "uniform sampler2D image; uniform vec2 resolution;"
               "void main() { gl_FragColor = texture2D(image, gl_FragCoord.xy / resolution); }",
               {{"image", "image"}}))
        .PublishInput("obprivate_ImageIn", "d", "image");
    Ref<MQcRenderer_> renderer = MQcRenderer_::CreatePrivate(qctest::Compo(g).get(), 64, 48, false);
    ASSERT_TRUE(renderer);

    SetName(0, "Cam");
    SetName(1, "Nothing by that name");
    CVCapSlots slots(4, &fPrefs, &fRegistry);
    {
        CVCapLink link;
        link.SetSource(slots.GetSlot(1));  // a slot that never delivers
        Pump();
        EXPECT_EQ(link.bound(), slots.GetSlot(1));
        EXPECT_EQ(link.Update(renderer.get()), 1);  // cleared once
        EXPECT_EQ(link.Update(renderer.get()), 0);

        link.SetSource(slots.GetSlot(0));
        Pump();
        EXPECT_EQ(slots.GetSlot(0)->useCount(), 1u);
        EXPECT_EQ(slots.GetSlot(1)->useCount(), 0u);
        EXPECT_EQ(link.Update(renderer.get()), 1);  // a switch clears the picture again
        ASSERT_TRUE(WaitFor([&] { return link.Update(renderer.get()) == 1; }));
        EXPECT_FALSE(renderer->Runtime()->InputValue("obprivate_ImageIn").IsNull());
        EXPECT_TRUE(renderer->RenderAtTime(1));
        EXPECT_TRUE(qctest::PixelNear(qctest::TargetPixel(*renderer, 32, 4), kGrey, 2));
    }
    EXPECT_EQ(slots.GetSlot(0)->useCount(), 0u);
}

}  // namespace
