#include "Orbilume/CSources/AppGlobals.h"

#include "Common/ObjC/CClipboardHolder.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Lib3/LSources/CoreData/ResourceProviderChain.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/Mac/CProcessInfo.h"
#include "Lib3/LSources/Mac/CStdFolders.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/Midi/CMidiClient.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Object.h"
#include "Platform/Resources/ResourceFile.h"

CMidiClient* gMidiClient = nullptr;
LMouse* gMouse = nullptr;
LKeyboard* gKeyboard = nullptr;
CMacWindowMgr* gWindowMgr = nullptr;
ResourceFileProvider* gSystemRsrcProvider = nullptr;
ResourceFileProvider* gAppRsrcProvider = nullptr;
ResourceProviderChain* gRsrcChain = nullptr;
CClipboardHolder* gClipboardHolder = nullptr;
CMainApp* gMainApp = nullptr;

void CreateAppGlobals() {
    plat::AutoreleasePool pool;
    if (!gMidiClient) {
        std::string name = plat::BundleInfoValue(plat::MainBundlePath(), "CFBundleName");
        gMidiClient = new CMidiClient(name.empty() ? std::string("Orbilume") : name);
    }
    if (!gProcessInfo) gProcessInfo = new CProcessInfo;
    if (!gStdFolders) gStdFolders = new CStdFolders(&gProcessInfo->Bundle());
    if (!gMouse) gMouse = new LMouse;
    if (!gKeyboard) gKeyboard = new LKeyboard;
    if (!gWindowMgr) gWindowMgr = new CMacWindowMgr;
    if (!gSystemRsrcProvider) gSystemRsrcProvider = new ResourceFileProvider(plat::kSystemResFile);
    if (!gAppRsrcProvider)
        gAppRsrcProvider = new ResourceFileProvider(ResourceFileProvider::OpenApplicationFile());
    if (!gRsrcChain) {
        // Asked last to first: the application's file before the system's.
        gRsrcChain = new ResourceProviderChain;
        gRsrcChain->Add(gSystemRsrcProvider);
        gRsrcChain->Add(gAppRsrcProvider);
        ResourceProviderChain::SetGlobal(gRsrcChain);
    }
    if (!gClipboardHolder) gClipboardHolder = new CClipboardHolder;
    if (!gMainApp) gMainApp = new CMainApp;
}

void DeleteAppGlobals() {
    delete gMainApp;
    gMainApp = nullptr;
    delete gClipboardHolder;
    gClipboardHolder = nullptr;
    if (ResourceProviderChain::Global() == gRsrcChain) ResourceProviderChain::SetGlobal(nullptr);
    delete gRsrcChain;
    gRsrcChain = nullptr;
    if (gAppRsrcProvider && gAppRsrcProvider->FileRef() > 0) plat::CloseResFile(gAppRsrcProvider->FileRef());
    delete gAppRsrcProvider;
    gAppRsrcProvider = nullptr;
    delete gSystemRsrcProvider;
    gSystemRsrcProvider = nullptr;
    delete gWindowMgr;
    gWindowMgr = nullptr;
    delete gKeyboard;
    gKeyboard = nullptr;
    delete gMouse;
    gMouse = nullptr;
    delete gStdFolders;
    gStdFolders = nullptr;
    delete gProcessInfo;
    gProcessInfo = nullptr;
    delete gMidiClient;
    gMidiClient = nullptr;
}
