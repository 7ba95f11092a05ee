// The output adjustment window on a real X server: with "cCtlAssign" on every control has its
// assignment editor's rounded frame in the right half; "dmx" chosen from the type pop-up with the
// keys and a DMX channel typed into the editor land in the input's 'ctrl' set, and the hub then
// drives the input.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/CTextSlot.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Editors/CInCtlFrm.h"
#include "Orbilume/CSources/Editors/CInCtlPrm.h"
#include "Orbilume/CSources/Editors/CInCtlPrmNote.h"
#include "Orbilume/CSources/Editors/CInParamFrm.h"
#include "Orbilume/CSources/Editors/CInParamPanes.h"
#include "Orbilume/CSources/Editors/OutputAdjustWindow.h"
#include "Orbilume/CSources/Engine/CCtlInDocBinder.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Platform/AppKit/MenuTracker.h"
#include "Platform/AppKit/Window.h"
#include "tests/Common/ObjC/ModalRoot.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/support/MenuPixels.h"
#include "tests/support/WindowShot.h"

namespace {

using T = CDocModelTypes;

// A rectangle of the window read back from the server.
class Shot : public testsupport::WindowShot {
public:
    Shot(const std::string& display, unsigned long window, const CLRect& r)
        : WindowShot(display, window, r.left, r.top, r.Width(), r.Height()) {}
    int DarkestOnRow(int32_t y, int32_t x0, int32_t x1) const { return Darkest(x0, y, x1, y + 1); }
    int BrightestOnRow(int32_t y, int32_t x0, int32_t x1) const { return Brightest(x0, y, x1, y + 1); }
};

class OutputAdjustX11Test : public X11FrameworkTest {
protected:
    void SetUp() override {
        StartSession(&root, kResources);
        if (IsSkipped() || HasFatalFailure()) return;
    }
    void TearDown() override {
        window.reset();
        X11FrameworkTest::TearDown();
    }
    CRecord* Unit() { return prefs.Root()->GetSubRecord(CAppPrefs::kPrefOutAdjUnit); }
    CInParamPane* Pane(const char* key) { return window->Panes()->FindPane(0, LString(key)); }
    void X(const std::string& args) { Xdotool(args, window->Window()->NativeWindow()); }
    // The pane's rectangle in the window.
    static CLRect InWindow(LPane* pane) {
        // Bounds are in the owner's coordinates (a frame's origin is its own corner).
        const CLPoint o = pane->Owner() ? pane->Owner()->GetOriginIn(nullptr) : CLPoint{0, 0};
        const CLRect b = pane->Bounds();
        return {b.left + o.x, b.top + o.y, b.right + o.x, b.bottom + o.y};
    }
    std::string At(LPane* pane, int32_t dx, int32_t dy) {
        const CLRect r = InWindow(pane);
        return std::to_string(r.left + dx) + " " + std::to_string(r.top + dy);
    }
    void Idle(double seconds) {
        RunUntil([] { return false; }, seconds);
    }
    unsigned long XWindow() { return backend->XWindowOf(window->Window()->NativeWindow()); }
    void ToggleAssignments() {
        LMenuItem item(nullptr);
        item.AddCommand(OutputAdjustWindow::kAssignCommand);
        LHandler::Dispatch(LMessage(LMenuItem_Selected, &item, window.get()));
    }
    std::string CtrlValue(const char* input, const char* key) {
        CRecord* in = COutAdjustControls::FindInput(Unit(), LString(input));
        CRecord* ctrl = in ? in->GetSubRecord(T::kInptCtl) : nullptr;
        LString value;
        if (!ctrl || CParamSet::Find(CRecordRef(&ctrl), LString(key), &value) < 0) return "(none)";
        return value.CStr();
    }

    dialogtest::LiveRoot root;
    CAppPrefs prefs;
    CCtlInHub hub;
    std::unique_ptr<OutputAdjustWindow> window;
};

TEST_F(OutputAdjustX11Test, AssignmentEditorsBesideTheControlsAndADmxChannelTyped) {
    window = std::make_unique<OutputAdjustWindow>(&root, &prefs, &hub,
                                                  std::string(SHARED_SUPPORT_DIR) + "/editor/outadj");
    ToggleAssignments();
    ASSERT_TRUE(window->ShowsAssignments());
    window->SetWindowFrame({60, 40, 60 + window->Bounds().Width(), 40 + window->Bounds().Height()});
    window->ShowWindow();
    ASSERT_TRUE(RunUntil([&] { return window->IsVisible() && window->Bounds().Width() > 0; }));
    Idle(0.5);

    // Every control: its editor in the right half, its rounded frame drawn along the editor's top
    // edge, and the control itself in the left half.
    {
        const CLRect whole = InWindow(window->Panes());
        Shot shot(Display(), XWindow(), whole);
        ASSERT_TRUE(shot.Ok());
        // The frame's stroke colour (grey level 1) along the first editor's top edge.
        const CLRect first = InWindow(window->Panes()->PaneAt(0)->ControlEditor());
        const int stroke = shot.DarkestOnRow(first.top, first.left + 20, first.left + 40);
        EXPECT_LT(stroke, 128);
        for (uint32_t i = 0; i < window->Panes()->PaneCount(); ++i) {
            CInParamPane* pane = window->Panes()->PaneAt(i);
            const CLRect editor = InWindow(pane->ControlEditor());
            const CLRect row = InWindow(pane);
            SCOPED_TRACE(std::string(pane->Key().CStr()) + " editor " + std::to_string(editor.left) + "," +
                         std::to_string(editor.top) + " " + std::to_string(editor.Width()) + "x" +
                         std::to_string(editor.Height()) + " in " + std::to_string(whole.left) + "," +
                         std::to_string(whole.top) + " " + std::to_string(whole.Width()) + "x" +
                         std::to_string(whole.Height()));
            ASSERT_TRUE(pane->ControlEditor()->IsVisible());
            EXPECT_GE(editor.left, row.left + row.Width() / 2 - 1);
            const int32_t mid = (editor.left + editor.right) / 2;
            EXPECT_NEAR(shot.DarkestOnRow(editor.top, mid - 10, mid + 10), stroke, 8);
            EXPECT_NEAR(shot.BrightestOnRow(editor.top, mid - 10, mid + 10), stroke, 8);
            // The left side: a vertical run of the stroke colour.
            const int32_t y = (editor.top + editor.bottom) / 2;
            EXPECT_NEAR(shot.Brightest(editor.left, y - 2, editor.left + 2, y + 2), stroke, 8);
            EXPECT_LE(InWindow(static_cast<CInParamNumber*>(pane)->Knob()).right, editor.left);
        }
    }

    // The type pop-up opened with a click on its slot; "dmx" chosen with the keys.
    CInCtlFrm* brt = Pane("brt")->ControlEditor();
    X("windowfocus --sync %W");
    Idle(0.3);
    bool opened = false;
    testsupport::RunLater keys(0.6, [&] {
        opened = plat::MenuTracker::IsTracking();
        // "No Control", then "DMX".
        X("key Down Down Return");
    });
    X("mousemove --sync --window %W " + At(brt->TypeSlot(), 10, 6) + " click 1");
    ASSERT_TRUE(RunUntil([&] { return keys.Ran(); }));
    EXPECT_TRUE(opened);
    ASSERT_TRUE(RunUntil([&] { return brt->Type() == 1u; })) << "type " << brt->Type();
    EXPECT_EQ(CtrlValue("brt", "type"), "dmx");
    auto* dmx = static_cast<CInCtlPrmDmx*>(brt->Editor());
    ASSERT_NE(dmx, nullptr);
    Idle(0.3);
    // Channel 5 typed and entered: stored as 4. The knob takes the keyboard as a Tab would give it.
    dmx->Channel()->TakeFocus(0, true);
    ASSERT_TRUE(RunUntil([&] { return dmx->Channel()->Editor() != nullptr; }));
    X("key ctrl+a");
    Idle(0.2);
    X("type --delay 40 5");
    Idle(0.2);
    X("key Return");
    ASSERT_TRUE(RunUntil([&] { return CtrlValue("brt", "dmxch") == "4"; })) << CtrlValue("brt", "dmxch");
    EXPECT_EQ(CtrlValue("brt", "type"), "dmx");

    // DMX channel 5 at 0 through the hub: brightness 0.
    std::vector<uint8_t> frame(513, 0);
    hub.DmxIn(frame.data(), 513);
    window->Binder()->Evaluate();
    CRecord* input = COutAdjustControls::FindInput(Unit(), LString("brt"));
    EXPECT_EQ(CUnitParam::ReadFloat(input->GetString(T::kInptValue)), 0.0f)
        << input->GetString(T::kInptValue).CStr();

    // Off: no editors, the controls span the width, no frame where the editors were.
    ToggleAssignments();
    Idle(0.5);
    {
        const CLRect whole = InWindow(window->Panes());
        Shot shot(Display(), XWindow(), whole);
        ASSERT_TRUE(shot.Ok());
        CInParamPane* pane = Pane("sizx");
        EXPECT_FALSE(pane->ControlEditor()->IsVisible());
        EXPECT_GT(InWindow(static_cast<CInParamNumber*>(pane)->Knob()).right,
                  whole.left + whole.Width() / 2);
        const CLRect row = InWindow(pane);
        // No stroke along the right edge where the editor was: one colour from top to bottom.
        const int32_t x = whole.right - 3;
        EXPECT_TRUE(shot.AllOf(x, row.top, x + 1, row.bottom, shot.Pixel(x, row.top)));
    }
}

}  // namespace
