#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "Common/ObjC/CClipboardHolder.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/CoreData/CMainLoopBase.h"
#include "Lib3/LSources/CoreData/CMainLoopUI.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Lib3/LSources/CoreData/ResourceProviderChain.h"
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
#include "tests/support/GLFixture.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/TempDir.h"

namespace {

std::vector<std::string>& Trace() {
    static std::vector<std::string> events;
    return events;
}

void Record(const char* name, bool created) {
    Trace().push_back(std::string(created ? "+" : "-") + name);
}

// Mappings of the process that are writable and executable at once.
std::vector<std::string> WritableExecutableMappings() {
    std::vector<std::string> out;
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        const size_t space = line.find(' ');
        if (space != std::string::npos && line.compare(space + 1, 4, "rwxp") == 0) out.push_back(line);
        if (space != std::string::npos && line.compare(space + 1, 4, "rwxs") == 0) out.push_back(line);
    }
    return out;
}

TEST(AppGlobalsTest, CreatedInOrderAndDeletedOnceInReverse) {
    testsupport::TempDir home;  // the standard folders are made there
    testsupport::EnvOverride homeVar("HOME", home.Path().c_str());
    testsupport::EnvOverride config("XDG_CONFIG_HOME", nullptr);
    testsupport::EnvOverride data("XDG_DATA_HOME", nullptr);
    testsupport::HeadlessScreens screens;
    const std::string binary = ORBILUME_BINARY;  // <bundle>/bin/orbilume
    plat::SetMainBundlePathForTesting(binary.substr(0, binary.rfind("/bin/")));
    testsupport::EnvOverride midi("ORBILUME_MIDI", "virtual");
    testsupport::UseSoftwareGL();
    Trace().clear();
    SetAppGlobalsTrace(&Record);
    CreateAppGlobals();
    EXPECT_EQ(Trace(),
              (std::vector<std::string>{
                  "+CMidiClient", "+CProcessInfo", "+CStdFolders", "+LMouse", "+LKeyboard", "+LTimerRoot",
                  "+CMacWindowMgr", "+ResourceFileProvider(system)", "+ResourceFileProvider(application)",
                  "+ResourceProviderChain", "+CEventWaker", "+CClipboardHolder", "+CMainApp"}));
    // The script-engine work-around never leaves a page writable and executable.
    EXPECT_EQ(WritableExecutableMappings(), std::vector<std::string>{});
    ASSERT_TRUE(gTimerRoot);
    ASSERT_TRUE(gEventWaker);
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
    Trace().clear();
    DeleteAppGlobals();
    EXPECT_EQ(Trace(),
              (std::vector<std::string>{
                  "-CMainApp", "-CClipboardHolder", "-CEventWaker", "-ResourceProviderChain",
                  "-ResourceFileProvider(application)", "-ResourceFileProvider(system)", "-CMacWindowMgr",
                  "-LTimerRoot", "-LKeyboard", "-LMouse", "-CStdFolders", "-CProcessInfo", "-CMidiClient"}));
    EXPECT_EQ(gTimerRoot, nullptr);
    EXPECT_EQ(gEventWaker, nullptr);
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
    Trace().clear();
    DeleteAppGlobals();  // nothing left: harmless
    EXPECT_TRUE(Trace().empty());
    SetAppGlobalsTrace(nullptr);
    plat::SetMainBundlePathForTesting("");
}

}  // namespace
