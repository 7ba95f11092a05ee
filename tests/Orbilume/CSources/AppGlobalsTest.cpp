#include <gtest/gtest.h>

#include <string>

#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Lib3/LSources/CoreData/CMainLoopUI.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Lib3/LSources/CoreData/ResourceProviderChain.h"
#include "Common/ObjC/CClipboardHolder.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/Mac/CProcessInfo.h"
#include "Lib3/LSources/Mac/CStdFolders.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/Midi/CMidiClient.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Resources/ResourceFile.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/TempDir.h"

namespace {

TEST(AppGlobalsTest, CreatedInOrderAndDeletedOnceInReverse) {
    testsupport::TempDir home;  // the standard folders are made there
    testsupport::EnvOverride homeVar("HOME", home.Path().c_str());
    testsupport::EnvOverride config("XDG_CONFIG_HOME", nullptr);
    testsupport::EnvOverride data("XDG_DATA_HOME", nullptr);
    testsupport::HeadlessScreens screens;
    const std::string binary = ORBILUME_BINARY;  // <bundle>/bin/orbilume
    plat::SetMainBundlePathForTesting(binary.substr(0, binary.rfind("/bin/")));
    testsupport::EnvOverride midi("ORBILUME_MIDI", "virtual");
    CreateAppGlobals();
    ASSERT_TRUE(gMidiClient);
    EXPECT_EQ(CMidiClient::Get(), gMidiClient);
    EXPECT_NE(gMidiClient->ClientRef(), 0u);
    ASSERT_TRUE(gProcessInfo);
    ASSERT_TRUE(gStdFolders);
    ASSERT_TRUE(gWindowMgr);
    ASSERT_TRUE(gMainApp);
    ASSERT_TRUE(gClipboardHolder);
    EXPECT_EQ(CClipboardHolder::Get(), gClipboardHolder);
    EXPECT_EQ(CMacWindowMgr::Get(), gWindowMgr);
    ASSERT_TRUE(gMouse);
    EXPECT_EQ(LMouse::Get(), gMouse);
    EXPECT_EQ(LKeyboard::Get(), gKeyboard);
    // The real main-loop interface answers with the records.
    ASSERT_TRUE(CMainLoopUI::Get());
    EXPECT_EQ(CMainLoopUI::Get()->MouseRecord(), gMouse);
    EXPECT_EQ(CMainLoopUI::Get()->KeyboardRecord(), gKeyboard);
    EXPECT_EQ(CMainLoopBase::AppRoot(), gMainApp);
    EXPECT_EQ(CMacMainLoop::Get(), gMainApp->MainLoop());
    ASSERT_TRUE(gRsrcChain);
    EXPECT_EQ(ResourceProviderChain::Global(), gRsrcChain);
    EXPECT_EQ(gSystemRsrcProvider->FileRef(), plat::kSystemResFile);
    // The bundle's compiled resources are found through the chain.
    EXPECT_GT(gAppRsrcProvider->FileRef(), 0);
    EXPECT_STREQ(LStrListRsrcH(SRsrcRequest("CUNDOQ")).GetString(2).CStr(), "Undo %0");
    DeleteAppGlobals();
    EXPECT_EQ(CMidiClient::Get(), nullptr);
    EXPECT_EQ(LMouse::Get(), nullptr);
    EXPECT_EQ(LKeyboard::Get(), nullptr);
    EXPECT_EQ(CMainLoopUI::Get(), nullptr);
    EXPECT_EQ(ResourceProviderChain::Global(), nullptr);
    EXPECT_EQ(gRsrcChain, nullptr);
    EXPECT_EQ(gWindowMgr, nullptr);
    EXPECT_EQ(gStdFolders, nullptr);
    EXPECT_EQ(gProcessInfo, nullptr);
    EXPECT_EQ(gMainApp, nullptr);
    EXPECT_EQ(CClipboardHolder::Get(), nullptr);
    EXPECT_EQ(CMacMainLoop::Get(), nullptr);
    DeleteAppGlobals();  // nothing left: harmless
    plat::SetMainBundlePathForTesting("");
}

}  // namespace
