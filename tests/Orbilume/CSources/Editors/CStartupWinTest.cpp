#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreUI/LImagePane.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Common/ObjC/CMacMainLoopUI.h"
#include "Orbilume/CSources/App/DocWindows.h"
#include "Orbilume/CSources/Editors/CAppWindows.h"
#include "Orbilume/CSources/Editors/CStartupWin.h"
#include "Orbilume/CSources/Editors/CViewPrefsDlg.h"
#include "Platform/AppKit/Screen.h"
#include "Platform/Foundation/URLOpener.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

// Shown in its own state (the box itself is not on screen).
bool Shown(const LPane* p) {
    return (p->State() & LPane::kShown) != 0;
}

// The start-up window's time: a fake clock whose sleeps advance it.
struct FakeTime {
    uint32_t now = 1000;
    std::vector<uint32_t> sleeps;
    static uint32_t Now(void* c) { return static_cast<FakeTime*>(c)->now; }
    static void Sleep(void* c, uint32_t ms) {
        auto* t = static_cast<FakeTime*>(c);
        t->sleeps.push_back(ms);
        t->now += ms;
    }
};

class CStartupWinTest : public dialogtest::HeadlessDialogTest {
protected:
    CStartupWinTest() { CStartupWin::SetClock(&clockHooks); }
    ~CStartupWinTest() override {
        CStartupWin::SetClock(nullptr);
        plat::SetURLOpenerFunction(nullptr, nullptr);
    }
    FakeTime time;
    CStartupWin::Clock clockHooks{&FakeTime::Now, &FakeTime::Sleep, &time};
};

TEST_F(CStartupWinTest, HoldForSleepsOnlyTheRemainder) {
    ASSERT_TRUE(resources.Ok());
    struct Case {
        uint32_t after;
        std::vector<uint32_t> sleeps;
    } cases[] = {{7000, {}}, {2000, {3000}}, {5000, {}}, {0, {5000}}, {4999, {1}}};
    for (const Case& c : cases) {
        CStartupWin w(&root);
        w.Show();
        time.sleeps.clear();
        time.now += c.after;
        w.HoldFor(5);
        EXPECT_EQ(time.sleeps, c.sleeps) << c.after;
    }
}

TEST_F(CStartupWinTest, ShowsCentredWithTheImageAndHidesTheFourthLineWithoutAFifth) {
    ASSERT_TRUE(resources.Ok());
    CStartupWin w(&root);
    EXPECT_EQ(Str(w.Text(1)->Text()), "Live visuals and show control");
    ASSERT_NE(w.Window(), nullptr);
    EXPECT_EQ(CMacWinKind::StyleMaskFor(5), uint32_t(plat::kBorderlessWindowMask));
    (void)w.Text(0)->SetText(LString("Orbilume"));
    w.Show();
    EXPECT_TRUE(mgr.IsVisible(w.Window()));
    EXPECT_FALSE(w.Text(3)->IsVisible());
    EXPECT_TRUE(w.Text(0)->IsVisible());
    EXPECT_EQ(w.StartMs(), time.now);
    const CLRect content = mgr.ContentRect(w.Window());
    plat::Screen screen;
    ASSERT_TRUE(plat::FirstScreen(&screen));
    const plat::Rect& v = screen.visibleFrame;
    EXPECT_NEAR(content.left + content.Width() / 2.0, v.x + v.width / 2, 1);
    EXPECT_NEAR(content.top + content.Height() / 2.0, v.y + v.height / 2, 1);
    // The image stands inside the window at its own size, the lines below it, larger first.
    const CLRect image = w.Image()->Bounds();
    EXPECT_EQ(image.Width(), 64);
    EXPECT_LT(image.bottom, w.Text(0)->Bounds().top + 1);
    EXPECT_GT(w.Text(0)->Bounds().Height(), w.Text(1)->Bounds().Height());
    // With a fifth line the fourth shows.
    CStartupWin w2(&root);
    (void)w2.Text(4)->SetText(LString("v1"));
    w2.Show();
    EXPECT_TRUE(w2.Text(3)->IsVisible());
}

TEST_F(CStartupWinTest, AboutBoxHidesWhatItHasNot) {
    ASSERT_TRUE(resources.Ok());
    {
        // No target and an empty string 4: no link button; no version: no version line.
        CAboutDialog d(&root, ModalSpec(), LString(), std::string());
        EXPECT_FALSE(Shown(d.LinkButton()));
        EXPECT_FALSE(Shown(d.VersionText()));
        EXPECT_FALSE(Shown(d.Note()));
        EXPECT_TRUE(d.LinkTarget().IsEmpty());
        EXPECT_EQ(d.DefaultButton(), d.OkButton());
        EXPECT_EQ(d.CancelButton(), d.OkButton());
        EXPECT_EQ(Str(d.OkButton()->GetTitle()), "OK");
    }
    CAboutDialog d(&root, ModalSpec(), LString("https://example.invalid/orbilume"), "1.2.3 (weird \xff)");
    EXPECT_TRUE(Shown(d.LinkButton()));
    EXPECT_TRUE(Shown(d.VersionText()));
    EXPECT_EQ(Str(d.VersionText()->Text()), "Version 1.2.3 (weird \xff)");
}

TEST_F(CStartupWinTest, TheLinkReachesTheUrlOpener) {
    ASSERT_TRUE(resources.Ok());
    std::vector<std::string> opened;
    plat::SetURLOpenerFunction(
        [](const std::string& url, void* c) {
            static_cast<std::vector<std::string>*>(c)->push_back(url);
            return true;
        },
        &opened);
    CAboutDialog d(&root, ModalSpec(), LString("https://example.invalid/orbilume"), "1");
    LHandler::Dispatch(LMessage(LStdCtl_Selected, d.LinkButton(), &d));
    EXPECT_EQ(opened, (std::vector<std::string>{"https://example.invalid/orbilume"}));
    EXPECT_EQ(d.Result(), 0u);  // the box stays up
}

}  // namespace

namespace {

TEST_F(CStartupWinTest, TheApplicationReachesItsWindowsThroughTheInstalledFactories) {
    ASSERT_TRUE(resources.Ok());
    EXPECT_EQ(MakeAppWindow(EAppWindow::kStartup, &root), nullptr);
    CAppWindows::Install();
    {
        std::unique_ptr<IDocWindow> startup = MakeAppWindow(EAppWindow::kStartup, &root);
        ASSERT_NE(startup, nullptr);
        startup->Show();
        EXPECT_TRUE(startup->IsVisible());
        EXPECT_EQ(Str(static_cast<CStartupWin*>(startup->Handler())->Text(0)->Text()), "Orbilume");
        std::unique_ptr<IDocWindow> prefs = MakeAppWindow(EAppWindow::kViewPrefs, &root);
        ASSERT_NE(prefs, nullptr);
        EXPECT_FALSE(prefs->IsVisible());
        LHandler* made = CMainLoopUI::Get()->MakeViewPrefsWindow(&root);
        ASSERT_NE(made, nullptr);
        CMainLoopUI::Get()->ShowWindow(made);
        EXPECT_TRUE(mgr.IsVisible(static_cast<CViewPrefsDlg*>(made)->Window()));
        delete made;
    }
    for (EAppWindow kind : {EAppWindow::kStartup, EAppWindow::kVideoDevices, EAppWindow::kViewPrefs})
        SetAppWindowFactory(kind, nullptr);
    CMacMainLoopUI::SetAppWindows(nullptr);
    EXPECT_EQ(CMainLoopUI::Get()->MakeViewPrefsWindow(&root), nullptr);
}

}  // namespace
