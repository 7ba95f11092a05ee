#include <gtest/gtest.h>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Window.h"
#include "tests/support/HeadlessScreens.h"

namespace {

struct Counted : LHandler {
    int* deleted;
    explicit Counted(int* d) : deleted(d) {}
    ~Counted() override { ++*deleted; }
};

CMacWindowKindH Kind(int32_t k) {
    return CMacWindowKindH(new CMacWinKind(k));
}

TEST(LWindowTest, GlobalListNewestFirstAndFoundByNativeWindow) {
    testsupport::HeadlessScreens screens;
    EXPECT_EQ(LWindow::NextWindow(nullptr), nullptr);
    CMacWindowMgr mgr;
    LHandler frame;
    auto* a = new LWindow(&frame, LWindow::kDocument, Kind(6));
    auto* b = new LWindow(&frame, LWindow::kFloating, Kind(3));
    EXPECT_EQ(LWindow::NextWindow(nullptr), b);
    EXPECT_EQ(LWindow::NextWindow(b), a);
    EXPECT_EQ(LWindow::NextWindow(a), nullptr);
    EXPECT_EQ(LWindow::FindWindow(a->NativeWindow()), a);
    EXPECT_EQ(LWindow::FindWindow(nullptr), nullptr);
    EXPECT_EQ(a->Upper(), &frame);
    EXPECT_EQ(b->Kind(), 2u);
    delete b;
    EXPECT_EQ(LWindow::NextWindow(nullptr), a);
    delete a;
    EXPECT_EQ(LWindow::NextWindow(nullptr), nullptr);
}

TEST(LWindowTest, WithoutNativeWindowTheWindowIsNotListed) {
    testsupport::HeadlessScreens screens;
    LHandler frame;
    LWindow noManager(&frame, LWindow::kDocument, Kind(6));  // no window manager yet
    CMacWindowMgr mgr;
    LWindow noKind(&frame, LWindow::kDocument, CMacWindowKindH());
    EXPECT_EQ(noManager.NativeWindow(), nullptr);
    EXPECT_EQ(noKind.NativeWindow(), nullptr);
    EXPECT_EQ(LWindow::NextWindow(nullptr), nullptr);
    EXPECT_TRUE(mgr.ContentRect(&noKind).IsEmpty());
}

TEST(LWindowTest, OwnsItsMenuGroup) {
    testsupport::HeadlessScreens screens;
    CMacWindowMgr mgr;
    LHandler frame;
    int deleted = 0;
    {
        LWindow w(&frame, LWindow::kDocument, Kind(6), new Counted(&deleted));
        w.SetMenuGroup(new Counted(&deleted));
        EXPECT_EQ(deleted, 1);
    }
    EXPECT_EQ(deleted, 2);
}

}  // namespace
