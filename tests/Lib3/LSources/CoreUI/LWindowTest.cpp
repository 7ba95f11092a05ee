#include <gtest/gtest.h>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
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

// Window services of a window system other than the native bridge's.
struct FakeServices : LWindowServices {
    LHandleBase lastKind;
    int created = 0, forgotten = 0;
    plat::Ref<plat::Window> CreateNativeWindow(LWindow*, const LHandleBase& kindObject) override {
        ++created;
        lastKind = kindObject;
        return kindObject.Data() ? plat::Window::Create({10, 10, 100, 100}, 0) : nullptr;
    }
    void ForgetNativeWindow(LWindow*) override { ++forgotten; }
    CLRect ContentRect(const LWindow*) const override { return {}; }
    CLRect FrameRect(const LWindow*) const override { return {}; }
    void SetContentRect(LWindow*, const CLRect&) override {}
    CLRect FrameForContent(const LWindow*, const CLRect& content) const override { return content; }
    CLRect ScreensUnion() const override { return {}; }
    LWindow* NextVisibleWindow(LWindow*) override { return nullptr; }
};

TEST(LWindowTest, NativeWindowsComeFromTheInstalledServices) {
    testsupport::HeadlessScreens screens;
    {
        CMacWindowMgr mgr;
        EXPECT_EQ(LWindowServices::Get(), &mgr);
    }
    EXPECT_EQ(LWindowServices::Get(), nullptr);

    FakeServices services;
    LWindowServices::Install(&services);
    LHandler frame;
    CMacWindowKindH kind = Kind(6);
    {
        LWindow w(&frame, LWindow::kDocument, kind);
        EXPECT_EQ(services.created, 1);
        EXPECT_TRUE(services.lastKind.IsSame(kind));
        EXPECT_TRUE(w.KindObject().IsSame(kind));
        ASSERT_NE(w.NativeWindow(), nullptr);
        EXPECT_EQ(LWindow::NextWindow(nullptr), &w);
    }
    EXPECT_EQ(services.forgotten, 1);
    EXPECT_EQ(LWindow::NextWindow(nullptr), nullptr);
    LWindowServices::Install(nullptr);
}

}  // namespace
