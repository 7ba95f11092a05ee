// The scene and sequence control dialogs on a real X server, driven by xdotool as an operator
// would: pop-ups chosen with the mouse and keys, numbers typed and entered, OK clicked.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/CTextSlot.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreUI/CScriptLayoutPane.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Editors/CInParamFrm.h"
#include "Orbilume/CSources/Editors/CInParamNote.h"
#include "Orbilume/CSources/Editors/CInParamPanes.h"
#include "Orbilume/CSources/Editors/CScnCtlDlg.h"
#include "Orbilume/CSources/Editors/CTimeVol.h"
#include "Orbilume/CSources/Editors/UCtlDlgCmds.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/CSceneCtlIn.h"
#include "Orbilume/CSources/Engine/CUnitPortList.h"
#include "Platform/AppKit/MenuTracker.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Clock.h"
#include "tests/Common/ObjC/ModalRoot.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/support/MenuPixels.h"
#include "tests/Orbilume/CSources/Editors/HiddenPaneTrace.h"
#include "tests/support/WindowShot.h"

namespace {

using T = CDocModelTypes;

struct Root : dialogtest::LiveRoot {
    std::vector<std::string> changes;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(CInParamNote_Change)) {
            auto* n = static_cast<CInParamNote*>(msg.sender);
            changes.push_back(std::string(n->key.CStr()) + " " + n->value.CStr());
            return LMessage();
        }
        return LiveRoot::Handle(msg);
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
    // A pane's rectangle in its window.
    static CLRect InWindow(LPane* pane) {
        // Bounds are in the owner's coordinates (a frame's origin is its own corner).
        const CLPoint o = pane->Owner() ? pane->Owner()->GetOriginIn(nullptr) : CLPoint{0, 0};
        const CLRect b = pane->Bounds();
        return {b.left + o.x, b.top + o.y, b.right + o.x, b.bottom + o.y};
    }
    std::string XDisplay() const { return Display(); }
    unsigned long XWindow(LModalDialog* d) { return backend->XWindowOf(d->Window()->NativeWindow()); }
    // A point inside a pane, in the window's coordinates.
    static std::string In(LPane* pane, int32_t dx, int32_t dy) {
        const CLPoint origin = pane->GetOriginIn(nullptr);
        return std::to_string(origin.x + pane->Bounds().left + dx) + " " +
               std::to_string(origin.y + pane->Bounds().top + dy);
    }
    // Opens the pop-up with a click and moves from its current item to `value` with the keys.
    void Choose(LModalDialog* d, LPopupList* popup, int32_t value) {
        std::string keys;
        for (int32_t i = popup->GetValue(); i < value; ++i) keys += " Down";
        for (int32_t i = popup->GetValue(); i > value; --i) keys += " Up";
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

// Controller "dmx", usage "trig", channel 11 typed and entered, OK.
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
    if (d->DmxMode()->GetValue() != 2) t.Choose(d, d->DmxMode(), 2);
    if (d->DmxMode()->GetValue() != 2) return 2;
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
    // On the screen: ink in label 6; the step check boxes' rectangles (and label 5's where it does
    // not overlap label 6) hold the dialog's background.
    t.StepUntil(
        d, [] { return false; }, 0.3);
    {
        const CLRect area = CtlDlgX11Test::InWindow(d);
        testsupport::WindowShot shot(t.XDisplay(), t.XWindow(d), area.left, area.top, area.Width(), area.Height());
        EXPECT_TRUE(shot.Ok());
        if (shot.Ok()) {
            const CLRect label6 = CtlDlgX11Test::InWindow(d->DmxGroupB());
            EXPECT_FALSE(label6.IsEmpty());
            EXPECT_LT(shot.Darkest(label6.left, label6.top, label6.right, label6.bottom), 100);
            const uint32_t background = shot.Pixel(area.left + 1, area.top + 1);
            std::vector<CLRect> empty;
            for (uint32_t i = 0; i < 3; ++i) empty.push_back(CtlDlgX11Test::InWindow(d->DmxCheck(i)));
            const CLRect label5 = CtlDlgX11Test::InWindow(d->DmxGroupA());
            if (!label5.overlap(label6)) empty.push_back(label5);
            for (const CLRect& r : empty) {
                EXPECT_FALSE(r.IsEmpty());
                CLRect in = r;
                in &= area;
                EXPECT_TRUE(shot.AllOf(in.left, in.top, in.right, in.bottom, background))
                    << r.left << "," << r.top << " " << r.Width() << "x" << r.Height();
            }
            // Nothing of the panes hidden since the dialog opened stays on the screen either.
            std::vector<LFrame*> frames{d};
            for (uint32_t p = 0; p < CScnCtlDlg::kPageCount; ++p) frames.push_back(d->PagePane(p));
            EXPECT_EQ(panetrace::Traces(shot, frames, background), "");
        }
    }
    // Return enters the typed number; a click on OK answers.
    t.X("key Return", d);
    t.StepUntil(
        d, [] { return false; }, 0.3);
    // The screen is what the dialog draws afresh.
    {
        const CLRect area = CtlDlgX11Test::InWindow(d);
        testsupport::WindowShot before(t.XDisplay(), t.XWindow(d), area.left, area.top, area.Width(), area.Height());
        const CRgn all(CLRect{0, 0, d->Bounds().Width(), d->Bounds().Height()});
        d->Invalidate(all, all);
        t.StepUntil(
            d, [] { return false; }, 0.3);
        testsupport::WindowShot after(t.XDisplay(), t.XWindow(d), area.left, area.top, area.Width(), area.Height());
        EXPECT_TRUE(before.Ok() && after.Ok());
        if (before.Ok() && after.Ok()) {
            EXPECT_EQ(panetrace::Differences(before, after, area), "");
        }
    }
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

// The dialog opens on the page of the stored assignment: a note trigger with velocity-timed fades
// shows every pane of the MIDI note page, and "sel" the DMX page's group A. Choosing "dmx" and
// "trig" hides them all; none of them stays on the screen.
TEST_F(CtlDlgX11Test, SceneControlFromTheNotePageLeavesNoTraceOfIt) {
    CDocModelHolder doc;
    for (uint32_t i = 0; i < 4; ++i)
        ASSERT_TRUE(UDocScenes::InsertScene(doc.Scenes(), nullptr, i, UDocScenes::NewScene()));
    for (const auto& [key, value] : {std::pair{"ctlr", "mnt"}, {"usage", "sel"}, {"midivlt", "1"}})
        CParamSet::SetString(doc.SceneControl(), nullptr, LString(key), LString(value));
    CCtlInHub hub;
    CSceneCtlIn input(doc.Scenes(), &hub);
    UCtlDlgCmds::SetRunner(&DriveScene);
    ASSERT_TRUE(UCtlDlgCmds::SceneControl(&root, doc.SceneControl(), &input));
    LString value;
    ASSERT_GE(CParamSet::Find(doc.SceneControl(), LString("ctlr"), &value), 0);
    EXPECT_STREQ(value.CStr(), "dmx");
    ASSERT_GE(CParamSet::Find(doc.SceneControl(), LString("usage"), &value), 0);
    EXPECT_STREQ(value.CStr(), "trig");
}

CUnitPort Port(uint32_t kind, const char* key, const char* name, const char* value) {
    CUnitPort p;
    p.kind = kind;
    p.key = LString(key);
    p.name = LString(name);
    p.value = LString(value);
    p.max = 6000;
    return p;
}

// A frame of a unit's inputs in a window: a click ticks the check box, a click on the second item of
// the index pane's pop-up chooses it, and "1:30" typed into the time pane and entered by leaving it:
// one change each.
TEST_F(CtlDlgX11Test, InputPanesWithRealInput) {
    CUnitPortList list;
    list.unitId = 5;
    list.unitName = LString("Fixture");
    list.ports.push_back(Port(1, "loop", "Loop", ""));
    list.ports.push_back(Port(2, "mode", "Mode", "0"));
    list.ports.back().menuItems = {LString("Plain"), LString("-"), LString("Fancy")};
    list.ports.push_back(Port(3, "start", "Start", "0"));
    list.ports.back().displayMode = 1;
    list.ports.back().decimals = 0;
    LModalDialog* d =
        new LModalDialog(&root, nullptr, LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(8))));
    auto* frame = new CInParamFrm(&root, d, 0);  // the owner hears the notes
    d->SetWindowFrame({100, 100, 500, 300});
    d->ShowWindow();
    ASSERT_TRUE(StepUntil(d, [&] { return d->Bounds().Width() == 400; }));
    frame->SetBounds({0, 0, 400, 200});
    frame->BuildFromPorts(&list, nullptr, false);
    ASSERT_EQ(frame->PaneCount(), 4u);
    X("windowfocus --sync %W", d);
    StepUntil(
        d, [] { return false; }, 0.3);

    auto* check = static_cast<CInParamBool*>(frame->PaneAt(1));
    X("mousemove --sync --window %W " + In(check->Check(), 6, 8) + " click 1", d);
    ASSERT_TRUE(StepUntil(d, [&] { return root.changes.size() == 1; }));

    // The index pop-up opened with a click on its slot; its last row ("Fancy", item 1) clicked.
    auto* index = static_cast<CInParamIndex*>(frame->PaneAt(2));
    bool opened = false;
    testsupport::RunLater click(0.6, [&] {
        plat::Window* menu = plat::MenuTracker::OpenWindow(0);
        opened = menu != nullptr;
        if (!menu) return;
        const plat::Rect f = menu->Frame();
        X("mousemove --sync " + std::to_string(int(f.x) + 12) + " " + std::to_string(int(f.y + f.height) - 6) +
              " click 1",
          d);
    });
    X("mousemove --sync --window %W " + In(index->Slot(), 10, 6) + " click 1", d);
    ASSERT_TRUE(StepUntil(d, [&] { return root.changes.size() == 2; }));
    EXPECT_TRUE(opened);
    EXPECT_FALSE(plat::MenuTracker::IsTracking());

    auto* time = static_cast<CInParamTime*>(frame->PaneAt(3));
    time->Knob()->TakeFocus(0, true);
    ASSERT_TRUE(StepUntil(d, [&] { return time->Knob()->Editor() != nullptr; }));
    X("key ctrl+a", d);
    StepUntil(
        d, [] { return false; }, 0.2);
    X("type --delay 40 1:30", d);
    StepUntil(
        d, [] { return false; }, 0.3);
    // Leaving the field enters the typed time (Return in a modal window is the window's).
    X("key Tab", d);
    ASSERT_TRUE(StepUntil(d, [&] { return root.changes.size() == 3; }));
    StepUntil(
        d, [] { return false; }, 0.3);
    EXPECT_EQ(root.changes, (std::vector<std::string>{"loop 1", "mode 1", "start 90"}));
    delete d;
}

}  // namespace
