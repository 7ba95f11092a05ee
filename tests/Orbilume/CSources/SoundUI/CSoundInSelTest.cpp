#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/CoreData/LAsyncMainLoop.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LStdCtl.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/SoundUI/CSoundInSel.h"
#include "Orbilume/CSources/SoundUI/CTcReaderWin.h"
#include "Platform/AppKit/Application.h"
#include "Platform/Audio/fake/FakeAudioSystem.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/PinnedFonts.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

std::string Text(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

// The application root: a modal run's step is the operator, played by `step`.
struct Root : LHandler {
    std::function<void(CSoundInSel&)> step;
    int steps = 0;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is("LHandler_Mode") && msg.sender) {
            ++steps;
            if (step) step(*static_cast<CSoundInSel*>(msg.sender));
            return LMessage();
        }
        if (msg.Is("LPane_ReqFocus") || msg.Is("LFrame_Place") || msg.Is("LFrame_Activate") ||
            msg.Is("LFrame_Deactivate") || msg.Is("LPane_Defer"))
            return LMessage();
        return LHandler::Handle(msg);
    }
};

struct SoundInSelTest : ::testing::Test {
    testsupport::HeadlessScreens screens;
    BundleResources resources;
    CMacWindowMgr mgr;
    AppDelegate delegate{nullptr, nullptr};
    LMouse mouse;
    LKeyboard keyboard;
    Root root;
    plat::FakeAudioSystem sys;
    plat::AudioDeviceID mic = 0, usb = 0;

    void SetUp() override {
        ASSERT_TRUE(kFontsPinned);
        ASSERT_TRUE(resources.Ok());
        plat::Application::Shared()->SetDelegate(&delegate);
        plat::FakeAudioDevice m;
        m.name = "Microphone";
        m.inputSources = {"Internal", "Line In"};
        mic = sys.Add(m);
        plat::FakeAudioDevice speakers;
        speakers.name = "Speakers";
        speakers.inputStreams = 0;
        speakers.outputStreams = 1;
        sys.Add(speakers);
        plat::FakeAudioDevice u;
        u.name = "USB Audio";
        u.inputSources = {"Mic", "Guitar"};
        usb = sys.Add(u);
        ASSERT_TRUE(sys.SetDefaultDevice(plat::AudioScope::kInput, mic));
    }
    void TearDown() override { plat::Application::Shared()->SetDelegate(nullptr); }

    static void Choose(LPopupList* popup, int32_t index, LHandler* dialog) {
        (void)popup->SetValue(index);
        LHandler::Dispatch(LMessage(LPopupList_Changed, popup, dialog));
    }
    static std::vector<std::string> Items(LPopupList* popup) {
        std::vector<std::string> out;
        for (int32_t i = 0; i < popup->Count(); ++i) out.push_back(Text(popup->ItemTitle(i)));
        return out;
    }
};

TEST_F(SoundInSelTest, BuildsFromItsResourcesAndFollowsTheDevicePopup) {
    CSoundInSel dialog(&root, CSoundInSel::ModalSpec(), &sys);
    ASSERT_NE(dialog.Window(), nullptr);
    EXPECT_TRUE(dialog.HasLayout());
    EXPECT_EQ(Text(dialog.OkButton()->GetTitle()), "OK");
    EXPECT_EQ(dialog.DefaultButton(), dialog.OkButton());
    EXPECT_EQ(Text(dialog.CancelButton()->GetTitle()), "Cancel");
    EXPECT_NE(dialog.DevicePopup()->TitlePane(), nullptr);
    EXPECT_NE(dialog.SourcePopup()->TitlePane(), nullptr);
    // Laid out: the popups beside their titles, OK right of Cancel, nothing empty.
    const CLRect device = dialog.DevicePopup()->Bounds();
    const CLRect source = dialog.SourcePopup()->Bounds();
    EXPECT_FALSE(device.IsEmpty());
    EXPECT_GE(source.top, device.bottom);
    EXPECT_GT(dialog.OkButton()->Bounds().left, dialog.CancelButton()->Bounds().right);

    EXPECT_EQ(Items(dialog.DevicePopup()), (std::vector<std::string>{"Microphone", "USB Audio"}));
    EXPECT_EQ(Items(dialog.SourcePopup()), (std::vector<std::string>{"Internal", "Line In"}));
    Choose(dialog.DevicePopup(), 1, &dialog);
    EXPECT_EQ(Items(dialog.SourcePopup()), (std::vector<std::string>{"Mic", "Guitar"}));
    Choose(dialog.SourcePopup(), 1, &dialog);
    EXPECT_EQ(Text(dialog.Get().device), "USB Audio");
    EXPECT_EQ(Text(dialog.Get().source), "Guitar");

    struct Case {
        const char* device;
        const char* source;
        const char* gotDevice;
        const char* gotSource;
    } cases[] = {
        {"USB Audio", "Mic", "USB Audio", "Mic"},
        {"Microphone", "Line In", "Microphone", "Line In"},
        {"Gone", "Line In", "Microphone", "Line In"},  // an unknown device: the first
        {"USB Audio", "Gone", "USB Audio", "Mic"},     // an unknown source: the first
    };
    for (const Case& c : cases) {
        dialog.Set(SoundInputSpec{LString(c.device), LString(c.source)});
        EXPECT_EQ(Text(dialog.Get().device), c.gotDevice) << c.device;
        EXPECT_EQ(Text(dialog.Get().source), c.gotSource) << c.source;
    }
}

TEST_F(SoundInSelTest, OkTakesTheChoiceAndCancelKeepsTheSpec) {
    root.step = [](CSoundInSel& d) {
        Choose(d.DevicePopup(), 1, &d);
        LHandler::Dispatch(LMessage(LDialog_Default, &d, &d));
    };
    SoundInputSpec spec{LString("Microphone"), LString("Line In")};
    EXPECT_TRUE(CSoundInSel::Run(&root, spec, &sys));
    EXPECT_EQ(Text(spec.device), "USB Audio");
    EXPECT_EQ(Text(spec.source), "Mic");

    root.step = [](CSoundInSel& d) {
        EXPECT_EQ(Text(d.Get().device), "USB Audio") << "the dialog opens set to the spec";
        Choose(d.DevicePopup(), 0, &d);
        LHandler::Dispatch(LMessage(LDialog_Escape, &d, &d));
    };
    EXPECT_FALSE(CSoundInSel::Run(&root, spec, &sys));
    EXPECT_EQ(Text(spec.device), "USB Audio");
}

TEST_F(SoundInSelTest, TheReaderWindowReopensWithTheChosenDeviceOrTheOldOne) {
    LAsyncMainLoop mainLoop;
    LtcSource src(&mainLoop, &sys);
    CTcReaderWin win(&root, nullptr, &src, &mainLoop);
    win.SetAudioSystem(&sys);
    LHandler::Dispatch(LMessage(LStdCtl_Selected, win.UseButton(), &win));
    ASSERT_TRUE(src.IsOpen());
    EXPECT_EQ(sys.LastCaptureUnit()->device, mic);

    root.step = [](CSoundInSel& d) {
        Choose(d.DevicePopup(), 1, &d);
        LHandler::Dispatch(LMessage(LDialog_Default, &d, &d));
    };
    LHandler::Dispatch(LMessage(LStdCtl_Selected, win.SoundInputButton(), &win));
    EXPECT_TRUE(src.IsOpen());
    EXPECT_EQ(sys.LastCaptureUnit()->device, usb);
    EXPECT_EQ(Text(win.Reader().Spec().device), "USB Audio");

    root.step = [](CSoundInSel& d) {
        Choose(d.DevicePopup(), 0, &d);
        LHandler::Dispatch(LMessage(LDialog_Escape, &d, &d));
    };
    LHandler::Dispatch(LMessage(LStdCtl_Selected, win.SoundInputButton(), &win));
    EXPECT_TRUE(src.IsOpen());
    EXPECT_EQ(sys.LastCaptureUnit()->device, usb) << "cancelled: the old input again";
    EXPECT_EQ(root.steps, 2);
}

}  // namespace
