// The scene and sequence control dialogs on a real X server, driven by xdotool as an operator
// would: pop-ups chosen with the mouse and keys, numbers typed and entered, OK clicked.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Editors/CScnCtlDlg.h"
#include "Orbilume/CSources/Editors/UCtlDlgCmds.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/CSceneCtlIn.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Clock.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/support/MenuPixels.h"

namespace {

using T = CDocModelTypes;

struct Root : LHandler {
    CMacMainLoop* loop = nullptr;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is("LHandler_Mode")) {
            if (loop && msg.sender) loop->RunModal(msg.sender);
            return LMessage();
        }
        if (msg.Is(LPane_ReqCapture)) {
            if (LMouse::Get()) LMouse::Get()->Capture(msg.sender);
            return LMessage();
        }
        // The frame asking for the focus gets it, as the main loop gives it.
        if (msg.Is(LPane_ReqFocus) && msg.sender) {
            auto* frame = static_cast<LPane*>(msg.sender);
            if (!(frame->State() & LPane::kFocused)) frame->ChangeState(LPane::kFocus);
            return LMessage();
        }
        for (const char* id :
             {"LPane_Defer", "LMouse_Cursor", "LFrame_Place", "LFrame_Activate", "LFrame_Deactivate"})
            if (msg.Is(id)) return LMessage();
        return LHandler::Handle(msg);
    }
};

class CtlDlgX11Test;
CtlDlgX11Test* gTest = nullptr;

class CtlDlgX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        StartSession(&root, kResources);
        if (IsSkipped() || HasFatalFailure()) return;
        root.loop = loop;
        gTest = this;
    }
    void TearDown() override {
        UCtlDlgCmds::SetRunner(nullptr);
        gTest = nullptr;
        X11FrameworkTest::TearDown();
    }

public:
    void X(const std::string& args, LModalDialog* d) { Xdotool(args, d->Window()->NativeWindow()); }
    bool StepUntil(LModalDialog* d, const std::function<bool()>& done, double wait = 5) {
        const double until = plat::ClockNow() + wait;
        while (!done() && plat::ClockNow() < until) (void)d->Run(20);
        return done();
    }
    // A point inside a pane, in the window's coordinates.
    static std::string In(LPane* pane, int32_t dx, int32_t dy) {
        return std::to_string(pane->Bounds().left + dx) + " " + std::to_string(pane->Bounds().top + dy);
    }
    // Opens the pop-up with a click and moves down n items with the keys.
    void Choose(LModalDialog* d, LPopupList* popup, int n) {
        std::string keys;
        for (int i = 0; i < n; ++i) keys += " Down";
        testsupport::RunLater later(0.6, [&] { X("key" + keys + " Return", d); });
        X("mousemove --sync --window %W " + In(popup, 10, 8) + " click 1", d);
        StepUntil(
            d, [&] { return later.Ran(); }, 5);
        StepUntil(
            d, [] { return false; }, 0.3);
    }

    Root root;
    uint32_t answer = 0;
};

// Controller "dmx", usage "trig" (preset for an empty assignment), channel 11 typed and entered, OK.
uint32_t DriveScene(LModalDialog* dialog) {
    CtlDlgX11Test& t = *gTest;
    auto* d = static_cast<CScnCtlDlg*>(dialog);
    d->SetWindowFrame({100, 100, 640, 420});
    d->ShowWindow();
    t.StepUntil(d, [&] { return d->Bounds().Width() > 0; });
    t.X("windowfocus --sync %W", d);
    t.StepUntil(
        d, [] { return false; }, 0.3);
    t.Choose(d, d->SourcePopup(), 1);
    if (d->SourcePopup()->GetValue() != 1) return 2;
    // The knob takes the keyboard as a Tab to it would give it; the text is typed over.
    d->DmxChannel()->TakeFocus(0, true);
    t.StepUntil(d, [&] { return d->DmxChannel()->Editor() != nullptr; });
    t.X("key ctrl+a", d);
    t.StepUntil(
        d, [] { return false; }, 0.2);
    t.X("type --delay 40 11", d);
    t.StepUntil(d, [&] { return d->DmxChannel()->GetText() == LString("11"); });
    // "trig": the channel label of the other usages, no step check boxes.
    EXPECT_TRUE(d->DmxGroupB()->IsVisible());
    EXPECT_FALSE(d->DmxGroupA()->IsVisible());
    for (uint32_t i = 0; i < 3; ++i) EXPECT_FALSE(d->DmxCheck(i)->IsVisible()) << i;
    // Return enters the typed number; a click on OK answers.
    t.X("key Return", d);
    t.StepUntil(
        d, [] { return false; }, 0.3);
    t.X("mousemove --sync --window %W " + CtlDlgX11Test::In(d->OkButton(), 10, 8) + " click 1", d);
    const uint32_t result = t.StepUntil(d, [&] { return d->Result() != 0; }) ? d->Result() : 0;
    return result;
}

TEST_F(CtlDlgX11Test, SceneControlWithRealInput) {
    CDocModelHolder doc;
    for (uint32_t i = 0; i < 4; ++i)
        ASSERT_TRUE(UDocScenes::InsertScene(doc.Scenes(), nullptr, i, UDocScenes::NewScene()));
    CCtlInHub hub;
    CSceneCtlIn input(doc.Scenes(), &hub);
    UCtlDlgCmds::SetRunner(&DriveScene);
    ASSERT_TRUE(UCtlDlgCmds::SceneControl(&root, doc.SceneControl(), &input));
    LString value;
    ASSERT_GE(CParamSet::Find(doc.SceneControl(), LString("ctlr"), &value), 0);
    EXPECT_STREQ(value.CStr(), "dmx");
    ASSERT_GE(CParamSet::Find(doc.SceneControl(), LString("usage"), &value), 0);
    EXPECT_STREQ(value.CStr(), "trig");
    ASSERT_GE(CParamSet::Find(doc.SceneControl(), LString("dmxch"), &value), 0);
    EXPECT_STREQ(value.CStr(), "10");
    // The input was set up again: channel 12 (scene 1 from channel 11 on) recalls scene 1.
    std::vector<uint8_t> frame(513, 0);
    frame[1 + 11] = 255;
    hub.DmxIn(frame.data(), 513);
    EXPECT_EQ(input.Poll(4), 1);
}

}  // namespace
