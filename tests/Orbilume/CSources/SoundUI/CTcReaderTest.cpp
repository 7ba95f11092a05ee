#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Orbilume/CSources/SoundUI/CTcReader.h"
#include "Platform/Audio/fake/FakeAudioSystem.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"
#include "tests/Orbilume/CSources/Sound/LtcTestSignal.h"

namespace {

// A main loop whose idle pass delivers the posted events.
class Loop : public CMainLoopBase {
public:
    Loop() : CMainLoopBase(&fRoot) {}
    void RunModalStep() override {}
    void Quit() override {}
    void RequestUpdate() override {}
    CMacTimer* CreateTimer(TimerCallback, void*) override { return nullptr; }

private:
    LHandler fRoot{nullptr};
};

// Records what the reader asks of its window, in order.
struct RecordingView : CTcReaderView {
    std::vector<std::string> calls;
    bool shown = false;
    CLRect frame{10, 20, 310, 220};
    // The dialog's answer: OK with this device, or cancel.
    bool dialogOk = true;
    std::string dialogDevice;

    void ShowTime(const std::string& text) override { calls.push_back("time " + text); }
    void SetMeterValue(uint32_t v) override { calls.push_back("meter " + std::to_string(v)); }
    void SetUseButton(bool on) override { calls.push_back(std::string("use ") + (on ? "on" : "off")); }
    void SetGainSlider(int dB) override { calls.push_back("gain " + std::to_string(dB)); }
    void SetThruBox(bool c) override { calls.push_back(std::string("thru ") + (c ? "1" : "0")); }
    void ShowWindow(bool s) override {
        shown = s;
        calls.push_back(std::string("show ") + (s ? "1" : "0"));
    }
    bool IsWindowShown() const override { return shown; }
    void PlaceWindow(const CLRect& r) override {
        frame = r;
        calls.push_back("place " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                        std::to_string(r.right) + " " + std::to_string(r.bottom));
    }
    CLRect WindowFrame() const override { return frame; }
    void StartMeterTimer(uint32_t ms) override { calls.push_back("timer " + std::to_string(ms)); }
    void StopMeterTimer() override { calls.push_back("timer off"); }
    bool RunSoundInputDialog(SoundInputSpec& spec) override {
        calls.push_back("dialog " + std::string(spec.device.CStr()));
        if (dialogOk) spec.device = LString(dialogDevice.c_str());
        return dialogOk;
    }
};

struct TcReaderTest : ::testing::Test {
    plat::FakeAudioSystem sys;
    Loop base;
    LAsyncMainLoop mainLoop;
    plat::AudioDeviceID mic = 0, lineIn = 0;
    RecordingView view;
    CRecord* set = CRecord::New(&CParamSet::SetType());

    void SetUp() override {
        plat::FakeAudioDevice m;
        m.name = "Microphone";
        mic = sys.Add(m);
        plat::FakeAudioDevice l;
        l.name = "Line In";
        lineIn = sys.Add(l);
        ASSERT_TRUE(sys.SetDefaultDevice(plat::AudioScope::kInput, mic));
    }
    ~TcReaderTest() override { CRecord::Delete(set); }
    CRecordRef Set() { return CRecordRef(&set); }
    plat::AudioDeviceID OpenDevice() {
        auto units = sys.CaptureUnits();
        return units.empty() ? 0 : units.back()->device;
    }
    void Turn() {
        for (int i = 0; i < 3; ++i) {
            plat::RunLoop::Main()->RunInMode(plat::kRunLoopDefaultMode, 0.001, false);
            base.IdlePass();
        }
    }
};

TEST(TcReaderMeterTest, LevelToMeterStepIsSignedAndClamped) {
    struct Case {
        int db;
        uint32_t value;
    } cases[] = {
        {INT_MIN, 0}, {-1000, 0}, {-31, 0}, {-30, 0}, {-29, 1},
        {-20, 5},     {-2, 14},   {0, 15},  {5, 15},  {INT_MAX, 15},
    };
    for (const Case& c : cases) EXPECT_EQ(CTcReader::MeterValue(c.db), c.value) << c.db;
}

// Silence must read as an empty meter (the lowest level once wrapped to a full one).
TEST_F(TcReaderTest, SilenceShowsAnEmptyMeterAndFullScaleAllSteps) {
    LtcSource src(&mainLoop, &sys);
    CTcReader reader(&src, &mainLoop, &view);
    reader.OnMeterTimer();
    EXPECT_EQ(view.calls, (std::vector<std::string>{"meter 0", "timer 500"}));
    std::vector<uint8_t> square;
    for (int i = 0; i < 4800; ++i) {
        int16_t v = (i / 24) % 2 ? 32767 : -32767;
        square.push_back(uint8_t(v & 0xFF));
        square.push_back(uint8_t((v >> 8) & 0xFF));
    }
    src.OnAudio(square.data(), uint32_t(square.size()));
    view.calls.clear();
    reader.OnMeterTimer();
    EXPECT_EQ(view.calls[0], "meter 15");
}

TEST_F(TcReaderTest, SettingsAreReadInOrderAndABadPlacementIsIgnored) {
    LtcSource src(&mainLoop, &sys);
    CTcReader reader(&src, &mainLoop, &view);
    CParamSet::SetInt(Set(), nullptr, LString("use"), 1);
    CParamSet::SetInt(Set(), nullptr, LString("vis"), 1);
    CParamSet::SetString(Set(), nullptr, LString("wp"), LString("40 50 440 350"));
    CRecord* sub = CParamSet::GetOrCreateSubSet(Set(), nullptr, LString("sndin"));
    CParamSet::SetString(CRecordRef(&sub), nullptr, LString("dev"), LString("Line In"));
    CParamSet::SetInt(Set(), nullptr, LString("thru"), 1);
    CParamSet::SetInt(Set(), nullptr, LString("gain"), -6);
    reader.ReadSettings(Set());
    EXPECT_EQ(view.calls, (std::vector<std::string>{"gain -6", "thru 1", "place 40 50 440 350", "show 1",
                                                    "use on", "timer 500"}));
    // The input opened after the sound input was read, with the gain applied.
    EXPECT_TRUE(src.IsOpen());
    EXPECT_EQ(OpenDevice(), lineIn);
    EXPECT_EQ(reader.Gain(), -6);
    EXPECT_TRUE(reader.Thru());

    struct Case {
        const char* wp;
        bool placed;
    } cases[] = {{"40 50 40 350", false},
                 {"40 50 20 350", false},
                 {"40 50 440 50", false},
                 {"1 2 3", false},
                 {"0 0 1 1", true}};
    for (const Case& c : cases) {
        CRecord* only = CRecord::New(&CParamSet::SetType());
        CParamSet::SetString(CRecordRef(&only), nullptr, LString("wp"), LString(c.wp));
        view.calls.clear();
        reader.ReadSettings(CRecordRef(&only));
        EXPECT_EQ(!view.calls.empty(), c.placed) << c.wp;
        CRecord::Delete(only);
    }
}

TEST_F(TcReaderTest, MissingKeysKeepTheDefaultsAndWriteRoundTrips) {
    LtcSource src(&mainLoop, &sys);
    {
        CTcReader reader(&src, &mainLoop, &view);
        reader.ReadSettings(Set());
        EXPECT_TRUE(view.calls.empty());
        EXPECT_FALSE(src.IsOpen());
        EXPECT_EQ(reader.Gain(), 0);
        reader.WriteSettings(Set(), nullptr);
        EXPECT_EQ(CParamSet::GetIntOr(Set(), LString("gain"), 99), 0);
        EXPECT_EQ(CParamSet::GetIntOr(Set(), LString("use"), 99), 0);
        EXPECT_EQ(CParamSet::GetIntOr(Set(), LString("vis"), 99), 0);

        view.dialogDevice = "Line In";
        reader.OnSoundInputPressed();
        reader.OnGainChanged(3);
        reader.OnThruChanged(true);
        reader.OnUsePressed();
        view.ShowWindow(true);
        view.frame = {5, 6, 205, 106};
        reader.WriteSettings(Set(), nullptr);
        src.Close();
    }
    RecordingView other;
    CTcReader again(&src, &mainLoop, &other);
    again.ReadSettings(Set());
    EXPECT_EQ(other.calls, (std::vector<std::string>{"gain 3", "thru 1", "place 5 6 205 106", "show 1",
                                                     "use on", "timer 500"}));
    EXPECT_EQ(OpenDevice(), lineIn);
}

TEST_F(TcReaderTest, ChoosingAnotherInputReopensWithItAndCancelReopensTheOld) {
    LtcSource src(&mainLoop, &sys);
    CTcReader reader(&src, &mainLoop, &view);
    reader.OnUsePressed();
    ASSERT_TRUE(src.IsOpen());
    EXPECT_EQ(OpenDevice(), mic);

    view.dialogDevice = "Line In";
    reader.OnSoundInputPressed();
    EXPECT_TRUE(src.IsOpen());
    EXPECT_EQ(OpenDevice(), lineIn);
    EXPECT_EQ(sys.CaptureUnits().size(), 1u);

    view.dialogOk = false;
    view.dialogDevice = "Microphone";
    view.calls.clear();
    reader.OnSoundInputPressed();
    EXPECT_EQ(view.calls, (std::vector<std::string>{"use off", "meter 0", "timer off", "dialog Line In",
                                                    "use on", "timer 500"}));
    EXPECT_TRUE(src.IsOpen());
    EXPECT_EQ(OpenDevice(), lineIn);

    // Closed before: the choice is taken, nothing opens.
    reader.OnUsePressed();
    EXPECT_FALSE(src.IsOpen());
    view.dialogOk = true;
    reader.OnSoundInputPressed();
    EXPECT_FALSE(src.IsOpen());
    EXPECT_EQ(std::string(reader.Spec().device.CStr()), "Microphone");
}

TEST_F(TcReaderTest, UseButtonStaysOffWhenTheInputCannotOpen) {
    LtcSource src(&mainLoop, &sys);
    CTcReader reader(&src, &mainLoop, &view);
    sys.refuseInitialize = true;
    reader.OnUsePressed();
    EXPECT_FALSE(src.IsOpen());
    EXPECT_TRUE(view.calls.empty());
}

TEST_F(TcReaderTest, DecodedTimeReachesTheWindowThroughTheMainLoop) {
    LtcSource src(&mainLoop, &sys);
    CTcReader reader(&src, &mainLoop, &view);
    ltctest::BiphaseWriter w;
    for (int i = 0; i < 12; ++i) w.Write(ltctest::MakeFrame(10, 20, 30, uint8_t(i)));
    std::vector<uint8_t> bytes;
    for (int16_t s : w.Take()) {
        bytes.push_back(uint8_t(s & 0xFF));
        bytes.push_back(uint8_t((s >> 8) & 0xFF));
    }
    src.OnAudio(bytes.data(), uint32_t(bytes.size()));
    EXPECT_TRUE(view.calls.empty());  // only posted
    EXPECT_TRUE(reader.TimeEvent().IsPending());
    Turn();
    ASSERT_EQ(view.calls.size(), 1u);
    EXPECT_EQ(view.calls[0], "time 10:20:30:11");
}

// The meter with the bundle's own images: silence shows every step dark, full scale every step lit.
TEST_F(TcReaderTest, BundleMeterImagesShowSilenceEmptyAndFullScaleFull) {
    BundleResources resources;
    ASSERT_TRUE(resources.Ok());
    MessageLog log;
    FakeOwner owner{&log, {0, 0, 100, 100}};
    CLevelMeter meter(&owner);
    CTcReader::SetUpMeter(meter);
    LPanePort measurePort(&meter);
    LDrawContext measure(measurePort);
    ASSERT_EQ(meter.PreferredWidth(measure, 0), 12);
    ASSERT_EQ(meter.PreferredHeight(measure, 0), 61);
    EXPECT_EQ(meter.Maximum(), 15u);
    EXPECT_EQ(meter.Inset(), 1u);
    meter.SetBounds({0, 0, 12, 61});

    LtcSource src(&mainLoop, &sys);
    CTcReader reader(&src, &mainLoop, &view);
    auto draw = [&](uint32_t value) {
        meter.SetValue(value);
        plat::Ref<plat::DrawContext> px = plat::DrawContext::CreateImage(12, 61);
        LPanePort port(&meter);
        LDrawContext ctx(port, px.get());
        meter.Draw(ctx);
        return px;
    };
    // Step k (1..15) has its middle row at 61 - 1 - (4k - 2); lit colours are bright.
    auto brightSteps = [](plat::DrawContext& px) {
        int lit = 0;
        for (int k = 1; k <= 15; ++k) {
            const uint32_t p = px.PixelAt(6, 60 - (4 * k - 2));
            const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF;
            if (r >= 200 || g >= 200) ++lit;
        }
        return lit;
    };
    reader.OnMeterTimer();  // silence
    ASSERT_EQ(view.calls[0], "meter 0");
    EXPECT_EQ(brightSteps(*draw(0)), 0);
    EXPECT_EQ(brightSteps(*draw(15)), 15);
    EXPECT_EQ(brightSteps(*draw(7)), 7);
}

}  // namespace
