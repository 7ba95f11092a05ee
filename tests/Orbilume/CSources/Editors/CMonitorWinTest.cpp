#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindowPlacer.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Editors/CMonitorSizeDlg.h"
#include "Orbilume/CSources/Editors/CMonitorWin.h"
#include "Orbilume/CSources/Engine/COutRenderWin.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

using dialogtest::HeadlessDialogTest;

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

class MonitorSizeDlgTest : public HeadlessDialogTest {
protected:
    static void Fix(CNumVol* knob, float value) {
        knob->SetValue(value);
        LHandler::Dispatch(LMessage(CNumVol_Fix, knob, knob->Upper()));
    }
};

TEST_F(MonitorSizeDlgTest, BuildsFromItsResources) {
    ASSERT_TRUE(resources.Ok());
    CMonitorSizeDlg d(&root, nullptr, ModalSpec());
    EXPECT_TRUE(d.HasLayout());
    EXPECT_EQ(Str(d.OkButton()->GetTitle()), "OK");
    EXPECT_EQ(Str(d.CancelButton()->GetTitle()), "Cancel");
    EXPECT_EQ(Str(d.Label(0)->Text()), "Width:");
    EXPECT_EQ(Str(d.Label(2)->Text()), "Aspect:");
    EXPECT_EQ(Str(d.CheckBox()->GetTitle()), "Fixed window size");
    EXPECT_EQ(d.DefaultButton(), d.OkButton());
    for (CNumVol* knob : {d.WidthKnob(), d.HeightKnob()}) {
        EXPECT_EQ(knob->Minimum(), 32.0f);
        EXPECT_EQ(knob->Maximum(), 8192.0f);
        EXPECT_EQ(knob->Step(), 1.0f);
    }
    EXPECT_EQ(d.Width(), 512u);
    EXPECT_EQ(d.Height(), 384u);
    EXPECT_EQ(Str(d.AspectText()->Text()), "1.333");
    ExpectTidy(d, {d.OkButton(), d.CancelButton(), d.Label(0), d.Label(1), d.Label(2), d.WidthKnob(),
                   d.HeightKnob(), d.AspectText(), d.CheckBox()});
}

// A committed value from either knob rewrites the aspect text; nothing else does.
TEST_F(MonitorSizeDlgTest, EveryFixRewritesTheAspect) {
    CMonitorSizeDlg d(&root, nullptr, ModalSpec());
    const struct {
        float width, height;
        const char* aspect;
    } cases[] = {{640, 480, "1.333"}, {1920, 1080, "1.778"}, {512, 512, "1"},
                 {800, 400, "2"},     {8192, 32, "256"},     {32, 8192, "0.004"}};
    for (const auto& c : cases) {
        d.WidthKnob()->SetValue(c.width);
        d.HeightKnob()->SetValue(c.height);
        EXPECT_NE(Str(d.AspectText()->Text()), c.aspect == std::string("1.333") ? "x" : c.aspect);
        // Fixing the height knob alone (without a change) is enough.
        Fix(d.HeightKnob(), c.height);
        EXPECT_EQ(Str(d.AspectText()->Text()), c.aspect) << c.width << "x" << c.height;
    }
    Fix(d.WidthKnob(), 1024);
    EXPECT_EQ(Str(d.AspectText()->Text()), "0.125");
}

TEST_F(MonitorSizeDlgTest, OtherMessagesGoToTheModalDialog) {
    CMonitorSizeDlg d(&root, nullptr, ModalSpec());
    LHandler::Dispatch(LMessage(LMsgId("LDialog_Escape"), &d, &d));
    EXPECT_EQ(d.Result(), 2u);
    CMonitorSizeDlg ok(&root, nullptr, ModalSpec());
    LHandler::Dispatch(LMessage(LMsgId("LDialog_Default"), &ok, &ok));
    EXPECT_EQ(ok.Result(), 1u);
}

TEST_F(MonitorSizeDlgTest, SizesAreKeptInTheKnobsRange) {
    CMonitorSizeDlg d(&root, nullptr, ModalSpec());
    d.SetSize(10, 100000);
    EXPECT_EQ(d.Width(), 32u);
    EXPECT_EQ(d.Height(), 8192u);
    EXPECT_EQ(Str(d.AspectText()->Text()), "0.004");
    // Typed but not entered: read clamped too.
    d.WidthKnob()->SetText(LString("99999"));
    EXPECT_EQ(d.Width(), 8192u);
}

class MonitorWinTest : public HeadlessDialogTest {
protected:
    static CLRect Screen(uint32_t display) {
        CLRect r;
        EXPECT_TRUE(ScreenBounds(display, false, &r));
        return r;
    }
};

TEST_F(MonitorWinTest, WindowedHasTheDocumentBarAndSizesItsView) {
    ASSERT_TRUE(resources.Ok());
    CMonitorWin win(&root, nullptr, false);
    ASSERT_NE(win.Window(), nullptr);
    EXPECT_FALSE(win.IsFullScreen());
    auto* bar = static_cast<LOwningMenuBar*>(win.Window()->MenuGroup());
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->MenuCount(), 5u);
    for (const char* name : {"APPMENU", "FILE", "EDIT", "WINDOW", "HELP"})
        EXPECT_NE(bar->FindMenu(LString(name)), nullptr) << name;
    // The document's commands reach it from the monitor window's own bar (disabled until a handler
    // enables them, so searched item by item).
    std::function<bool(LMenu*, const char*)> holds = [&](LMenu* menu, const char* command) {
        for (LMenuItem* i = menu->FirstItem(); i; i = menu->NextItem(i))
            if (i->HasCommand(command) || (i->Submenu() && holds(i->Submenu(), command))) return true;
        return false;
    };
    for (const char* command : {"LStdCmd_New", "LStdCmd_Open", "LStdCmd_Save", "LStdCmd_SaveAs",
                                "CAppCmd_CapStill", "CAppCmd_MvRec", "CAppCmd_MvSetn", "CAppCmd_MvAuSetn",
                                "CAppCmd_MvWAu", "cFaderZero", "CAppCmd_MenuKey", "cShowLyrName",
                                "CAppCmd_Console", "cSeqsWin", "cSchEdWin", "CAppCmd_MonitorSize"}) {
        bool found = false;
        for (LMenu* m = bar->FirstMenu(); m && !found; m = bar->NextMenu(m)) found = holds(m, command);
        EXPECT_TRUE(found) << command;
    }
    plat::Window* native = win.Window()->NativeWindow();
    EXPECT_NE(native->StyleMask() & plat::kResizableWindowMask, 0u);

    // The layout's own size, with the view filling the window.
    const CLRect first = win.ContentRect();
    EXPECT_EQ(first.Width(), 512);
    EXPECT_EQ(first.Height(), 384);
    EXPECT_EQ(win.ViewBounds(), (CLRect{0, 0, 512, 384}));

    win.SetViewSize(640, 480);
    const CLRect sized = win.ContentRect();
    EXPECT_EQ(sized.left, first.left);
    EXPECT_EQ(sized.top, first.top);
    EXPECT_EQ(sized.Width(), 640);
    EXPECT_EQ(sized.Height(), 480);
    EXPECT_EQ(win.ViewBounds(), (CLRect{0, 0, 640, 480}));

    // Far larger than any screen: its top-left corner stays on the screen.
    win.SetViewSize(8192, 8192);
    const CLRect huge = win.ContentRect();
    EXPECT_TRUE(CMonitorWin::IsOnScreen(huge));
    EXPECT_GE(huge.top, Screen(1).top);

    win.SetFixedSize(true);
    EXPECT_EQ(native->StyleMask() & plat::kResizableWindowMask, 0u);
    win.SetFixedSize(false);
    EXPECT_NE(native->StyleMask() & plat::kResizableWindowMask, 0u);
}

// A stored frame with 16 × 16 pixels on a screen stays; one lying on a missing display moves onto a
// screen at the same size; an empty one changes nothing.
TEST_F(MonitorWinTest, PlaceOnScreenKeepsVisibleRectanglesAndMovesLostOnes) {
    CMonitorWin win(&root, nullptr, false);
    const CLRect main = Screen(1);
    const CLRect second = Screen(2);
    const CLRect kept[] = {
        {100, 100, 500, 400},
        {main.right - 16, main.bottom - 16, main.right + 300, main.bottom + 300},  // 16 × 16 on screen
        {second.left + 10, second.top + 40, second.left + 330, second.top + 280},
    };
    for (const CLRect& r : kept) {
        win.PlaceOnScreen(r);
        EXPECT_EQ(win.ContentRect(), r) << r.left << "," << r.top;
    }
    const CLRect lost[] = {
        {5000, 3000, 5640, 3480},                                                // a missing display
        {-2000, -2000, -1360, -1520},                                            // left of every screen
        {main.left - 300, main.bottom - 15, main.left + 15, main.bottom + 300},  // only 15 × 15
    };
    for (const CLRect& r : lost) {
        win.PlaceOnScreen(r);
        const CLRect now = win.ContentRect();
        EXPECT_EQ(now.Width(), r.Width());
        EXPECT_EQ(now.Height(), r.Height());
        EXPECT_TRUE(CMonitorWin::IsOnScreen(now));
        CLRect visible;
        ASSERT_TRUE(ScreenBounds(BestScreen(now), true, &visible));
        EXPECT_GE(now.left, visible.left);
        EXPECT_GE(now.top, visible.top);
    }
    const CLRect before = win.ContentRect();
    win.PlaceOnScreen(CLRect());
    EXPECT_EQ(win.ContentRect(), before);
}

TEST_F(MonitorWinTest, FullScreenCoversItsDisplayWithoutMenus) {
    CMonitorWin win(&root, nullptr, true, 2);
    ASSERT_NE(win.Window(), nullptr);
    EXPECT_TRUE(win.IsFullScreen());
    EXPECT_EQ(win.Window()->MenuGroup(), nullptr);
    EXPECT_EQ(win.ContentRect(), Screen(2));
    EXPECT_EQ(win.ViewBounds(), (CLRect{0, 0, Screen(2).Width(), Screen(2).Height()}));
    // A display that is not there: the main one.
    CMonitorWin lost(&root, nullptr, true, 7);
    EXPECT_EQ(lost.ContentRect(), Screen(1));
}

// The monitor size command: the dialog opens with the view's size and 'vfsz'; OK stores both back.
TEST_F(MonitorWinTest, TheSizeCommandPresetsAndApplies) {
    CAppPrefs prefs;
    CMonitorWin win(&root, nullptr, false);
    win.SetViewSize(640, 360);
    (void)prefs.RootRef().SetByte(nullptr, CAppPrefs::kPrefMonitorFixed, 1);
    CMonitorSizeDlg d(&root, nullptr, ModalSpec());
    d.Preset(&win);
    EXPECT_EQ(d.Width(), 640u);
    EXPECT_EQ(d.Height(), 360u);
    EXPECT_EQ(Str(d.AspectText()->Text()), "1.778");
    EXPECT_TRUE(d.IsFixed());

    d.SetSize(800, 400);
    d.SetFixed(false);
    d.Apply(&win);
    EXPECT_FALSE(prefs.Root()->GetBool(CAppPrefs::kPrefMonitorFixed));
    EXPECT_EQ(win.ViewBounds(), (CLRect{0, 0, 800, 400}));
    // The largest size the dialog takes: the window stays placed on the screen.
    d.SetSize(8192, 8192);
    d.Apply(&win);
    EXPECT_TRUE(CMonitorWin::IsOnScreen(win.ContentRect()));
    // Without a monitor only the preference changes.
    d.SetFixed(true);
    d.Apply(nullptr);
    EXPECT_TRUE(prefs.Root()->GetBool(CAppPrefs::kPrefMonitorFixed));
}

TEST_F(MonitorWinTest, PlacementRequestsAreNotAnswered) {
    CMonitorWin win(&root, nullptr, false);
    LHandler asker;
    const LMessage m = win.Handle(LMessage(LWindowPlacer_Grow, &asker, &win));
    EXPECT_TRUE(m.Is(LWindowPlacer_Grow));
    EXPECT_EQ(m.target, &asker);
}

}  // namespace
