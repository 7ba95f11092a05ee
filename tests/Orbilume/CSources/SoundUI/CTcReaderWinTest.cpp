#include <gtest/gtest.h>

#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Lib3/LSources/CoreUI/LStdCtl.h"
#include "Orbilume/CSources/SoundUI/CTcReaderWin.h"
#include "Platform/Audio/fake/FakeAudioSystem.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"
#include "tests/support/PinnedFonts.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

struct TcReaderWinTest : ::testing::Test {
    BundleResources resources;
    plat::FakeAudioSystem sys;
    LAsyncMainLoop mainLoop;
    MessageLog log;
    FakeOwner owner{&log, {0, 0, 400, 300}};
    plat::AudioDeviceID mic = 0, lineIn = 0;

    void SetUp() override {
        ASSERT_TRUE(resources.Ok());
        plat::FakeAudioDevice m;
        m.name = "Microphone";
        mic = sys.Add(m);
        plat::FakeAudioDevice l;
        l.name = "Line In";
        lineIn = sys.Add(l);
        ASSERT_TRUE(sys.SetDefaultDevice(plat::AudioScope::kInput, mic));
    }
    void Send(LMsgId id, LHandler* sender, LHandler* target) {
        LHandler::Dispatch(LMessage(id, sender, target));
    }
};

TEST_F(TcReaderWinTest, BuildsFromItsResourcesAndLaysOutThePanes) {
    LtcSource src(&mainLoop, &sys);
    CTcReaderWin win(&owner, &owner, &src, &mainLoop);
    EXPECT_TRUE(win.HasLayout());
    EXPECT_EQ(std::string(win.UseButton()->GetTitle().CStr()), "Read LTC");
    EXPECT_EQ(std::string(win.SoundInputButton()->GetTitle().CStr()), "Sound Input…");
    EXPECT_EQ(std::string(win.ThruBox()->GetTitle().CStr()), "Play through");
    EXPECT_EQ(std::string(win.TimeText()->Text().CStr()), "00:00:00:00");
    EXPECT_EQ(win.Meter()->Maximum(), 15u);
    EXPECT_EQ(win.GainSlider()->GetValue(), 0);

    win.SetBounds({0, 0, 360, 160});
    win.UpdateLayout();
    const CLRect meter = win.Meter()->Bounds();
    EXPECT_EQ(meter.left, 20);
    EXPECT_EQ(meter.top, 20);
    EXPECT_EQ(meter.right - meter.left, 12);
    EXPECT_EQ(meter.bottom - meter.top, 61);
    const CLRect sndin = win.SoundInputButton()->Bounds();
    const CLRect use = win.UseButton()->Bounds();
    EXPECT_EQ(sndin.right, 340);
    EXPECT_EQ(sndin.bottom, 140);
    EXPECT_LT(use.right, sndin.left);
    EXPECT_GT(win.GainSlider()->Bounds().left, meter.right);
}

TEST_F(TcReaderWinTest, PaneMessagesDriveTheSource) {
    LtcSource src(&mainLoop, &sys);
    CTcReaderWin win(&owner, &owner, &src, &mainLoop);
    Send(LStdCtl_Selected, win.UseButton(), &win);
    EXPECT_TRUE(src.IsOpen());
    EXPECT_TRUE(win.IsUseOn());
    EXPECT_TRUE(win.MeterTimer().IsRunning());

    win.GainSlider()->SetValue(-20);
    Send(CSlider_Change, win.GainSlider(), &win);
    EXPECT_EQ(win.Reader().Gain(), -20);
    float v = 0;
    ASSERT_TRUE(sys.GetVolume(mic, plat::AudioScope::kInput, 0, v));
    EXPECT_NEAR(v, 0.1f, 1e-6);

    // The meter timer shows silence as an empty meter.
    win.Meter()->SetValue(9);
    Send(LTimer_Expire, &win.MeterTimer(), &win);
    EXPECT_EQ(win.Meter()->Value(), 0u);

    // Another input chosen while open: reopened with it.
    win.SetDialogRunner([](SoundInputSpec& spec) {
        spec.device = LString("Line In");
        return true;
    });
    Send(LStdCtl_Selected, win.SoundInputButton(), &win);
    EXPECT_TRUE(src.IsOpen());
    EXPECT_EQ(sys.LastCaptureUnit()->device, lineIn);

    // The close box hides the window; the input stays as it is.
    win.ShowWindow(true);
    Send(LFrame_Close, &win, &win);
    EXPECT_FALSE(win.IsWindowShown());
    EXPECT_TRUE(src.IsOpen());

    Send(LStdCtl_Selected, win.UseButton(), &win);
    EXPECT_FALSE(src.IsOpen());
    EXPECT_FALSE(win.IsUseOn());
    EXPECT_FALSE(win.MeterTimer().IsRunning());
}

}  // namespace
