#include <string>
#include <vector>

#include "Common/ObjC/CMacWindowKind.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Window.h"
#include "tests/Common/ObjC/MainLoopFixture.h"

namespace {

// Records what reaches it, leaving out the key and resign messages the window bridge sends.
struct Frame : LHandler {
    explicit Frame(LHandler* up) : LHandler(up) {}
    std::vector<std::string> ids;
    LMessage Handle(const LMessage& msg) override {
        const std::string id = msg.id.Text();
        if (id != "LWindow_Focus" && id != "LWindow_Unfocus" && id != "LWindow_Deativate") ids.push_back(id);
        return LMessage();
    }
};

struct ViewPrefs : LHandler {};

using CMacWindowMgrTest = MainLoopFixture;

CMacWindowKindH Kind(int32_t k) {
    return CMacWindowKindH(new CMacWinKind(k));
}

TEST_F(CMacWindowMgrTest, ShowOrdersAndAnnounces) {
    ViewPrefs prefs;
    CMacWindowMgr::SetViewPrefs(&prefs);
    Frame fa(&root), fb(&root), ff(&root);
    LWindow a(&fa, LWindow::kDocument, Kind(6));
    LWindow b(&fb, LWindow::kDocument, Kind(6));
    LWindow floating(&ff, LWindow::kFloating, Kind(3));
    EXPECT_EQ(mgr.NextVisibleWindow(nullptr), nullptr);
    mgr.Show(&a);
    mgr.Show(&floating);
    mgr.ShowBehind(&b);  // below the front document window
    EXPECT_EQ(mgr.NextVisibleWindow(nullptr), &floating);
    EXPECT_EQ(mgr.NextVisibleWindow(&floating), &a);
    EXPECT_EQ(mgr.NextVisibleWindow(&a), &b);
    EXPECT_EQ(mgr.NextVisibleWindow(&b), nullptr);
    EXPECT_EQ(mgr.FrontWindowOfKind(LWindow::kDocument), &a);
    EXPECT_TRUE(a.NativeWindow()->IsKeyWindow());
    // The document window also hears from its bridge that it became main.
    EXPECT_EQ(fa.ids, (std::vector<std::string>{"CViewPrefs_Changed", "LWindow_Activate"}));
    EXPECT_EQ(ff.ids, (std::vector<std::string>{"CViewPrefs_Changed", "LWindow_Activate"}));
    EXPECT_EQ(fb.ids, (std::vector<std::string>{"CViewPrefs_Changed"}));
    mgr.Show(&a);  // visible already: nothing sent
    EXPECT_EQ(fa.ids.size(), 2u);
    mgr.OrderBelow(&a, &b);
    EXPECT_EQ(mgr.NextVisibleWindow(&floating), &b);
    mgr.Hide(&b);
    EXPECT_EQ(mgr.NextVisibleWindow(&floating), &a);
    CMacWindowMgr::SetViewPrefs(nullptr);
}

TEST_F(CMacWindowMgrTest, ModalWindowStaysHiddenWhileTheApplicationIs) {
    Frame f(&root);
    LWindow dialog(&f, LWindow::kModal, Kind(8));
    plat::Application::Shared()->Hide();
    mgr.Show(&dialog);
    EXPECT_FALSE(dialog.NativeWindow()->IsVisible());
    plat::Application::Shared()->Unhide();
    mgr.Show(&dialog);
    EXPECT_TRUE(dialog.NativeWindow()->IsVisible());
}

TEST_F(CMacWindowMgrTest, CacheFollowsKeyChanges) {
    Frame fa(&root), fb(&root);
    LWindow a(&fa, LWindow::kDocument, Kind(6));
    LWindow b(&fb, LWindow::kDocument, Kind(6));
    mgr.Show(&a);
    mgr.Show(&b);
    ASSERT_EQ(mgr.WindowNumbers().size(), 2u);
    EXPECT_EQ(mgr.WindowNumbers()[0], b.NativeWindow()->Number());
    a.NativeWindow()->MakeKeyAndOrderFront();  // the key notification empties the cache
    EXPECT_EQ(mgr.WindowNumbers()[0], a.NativeWindow()->Number());
    EXPECT_EQ(mgr.FirstNativeWindow(), a.NativeWindow());
    EXPECT_EQ(mgr.NextNativeWindow(a.NativeWindow()), b.NativeWindow());
    EXPECT_EQ(mgr.NextNativeWindow(b.NativeWindow()), nullptr);
}

TEST_F(CMacWindowMgrTest, GeometryInGlobalCoordinates) {
    Frame f(&root);
    LWindow w(&f, LWindow::kDocument, Kind(6));
    EXPECT_EQ(mgr.ContentRect(&w), (CLRect{40, 40, 160, 120}));
    // A document window's frame holds the title bar and the menu strip (20) above the content.
    EXPECT_EQ(mgr.FrameRect(&w), (CLRect{40, -2, 160, 120}));
    mgr.SetContentRect(&w, {100, 200, 400, 500});
    EXPECT_EQ(mgr.ContentRect(&w), (CLRect{100, 200, 400, 500}));
    EXPECT_EQ(mgr.FrameForContent(&w, {0, 42, 10, 52}), (CLRect{0, 0, 10, 52}));
    LWindow floating(&f, LWindow::kFloating, Kind(6));
    EXPECT_EQ(mgr.FrameForContent(&floating, {0, 22, 10, 32}), (CLRect{0, 0, 10, 32}));
    EXPECT_TRUE(mgr.IsClosable(&w));
    EXPECT_TRUE(mgr.IsResizable(&w));
    mgr.Show(&w);
    EXPECT_EQ(mgr.WindowAt({150, 250}), &w);
    EXPECT_EQ(mgr.WindowAt({150, 190}), nullptr);  // title bar
    EXPECT_EQ(mgr.ScreensUnion(), (CLRect{0, 0, 2720, 1024}));
    EXPECT_EQ(mgr.MainDisplayBounds(), (CLRect{0, 0, 1440, 900}));
}

TEST_F(CMacWindowMgrTest, DisplaysByOverlapAndTheirUnions) {
    // The fixture's two screens: 1440 x 900 at 0, 0 and 1280 x 1024 to its right.
    EXPECT_TRUE(mgr.HasSecondDisplay());
    EXPECT_EQ(mgr.DisplaysUnion(true), (CLRect{0, 0, 2720, 1024}));
    EXPECT_EQ(mgr.DisplaysUnion(false), (CLRect{1440, 0, 2720, 1024}));
    const struct {
        CLRect r;
        CLRect display;
    } rows[] = {
        {{100, 100, 300, 300}, {0, 0, 1440, 900}},
        {{1300, 100, 1700, 300}, {1440, 0, 2720, 1024}},  // more on the second
        {{1000, 100, 1500, 300}, {0, 0, 1440, 900}},
        {{5000, 5000, 5100, 5100}, {0, 0, 1440, 900}},  // on none: the main display
    };
    for (const auto& row : rows) EXPECT_EQ(mgr.DisplayOverlapping(row.r), row.display);
}

}  // namespace
