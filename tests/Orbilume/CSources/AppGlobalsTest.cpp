#include <gtest/gtest.h>

#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/CMainApp.h"
#include "tests/support/HeadlessScreens.h"

namespace {

TEST(AppGlobalsTest, CreatedInOrderAndDeletedOnceInReverse) {
    testsupport::HeadlessScreens screens;
    CreateAppGlobals();
    ASSERT_TRUE(gWindowMgr);
    ASSERT_TRUE(gMainApp);
    EXPECT_EQ(CMacWindowMgr::Get(), gWindowMgr);
    EXPECT_EQ(CMainLoopBase::AppRoot(), gMainApp);
    EXPECT_EQ(CMacMainLoop::Get(), gMainApp->MainLoop());
    DeleteAppGlobals();
    EXPECT_EQ(gWindowMgr, nullptr);
    EXPECT_EQ(gMainApp, nullptr);
    EXPECT_EQ(CMacMainLoop::Get(), nullptr);
    DeleteAppGlobals();  // nothing left: harmless
}

}  // namespace
