#include "Orbilume/CSources/AppGlobals.h"

#include "Common/Mach/CMachObjCLocalPool.h"
#include "Common/ObjC/CClipboardHolder.h"
#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/CoreData/CEventWaker.h"
#include "Lib3/LSources/CoreData/LTimerRoot.h"
#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Lib3/LSources/CoreData/ResourceProviderChain.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/Mac/CProcessInfo.h"
#include "Lib3/LSources/Mac/CStdFolders.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/Midi/CMidiClient.h"
#include "Platform/Resources/ResourceFile.h"

CMidiClient* gMidiClient = nullptr;
LMouse* gMouse = nullptr;
LKeyboard* gKeyboard = nullptr;
LTimerRoot* gTimerRoot = nullptr;
CMacWindowMgr* gWindowMgr = nullptr;
ResourceFileProvider* gSystemRsrcProvider = nullptr;
ResourceFileProvider* gAppRsrcProvider = nullptr;
ResourceProviderChain* gRsrcChain = nullptr;
CEventWaker* gEventWaker = nullptr;
CClipboardHolder* gClipboardHolder = nullptr;
CMainApp* gMainApp = nullptr;

LFsSpec gLastDocFolder;
LFsSpec gLastCompoFolder;
LFsSpec gLastMovieFolder;

namespace {

AppGlobalsTrace gTrace = nullptr;

template <typename T, typename Make>
void Create(T*& global, const char* name, Make make) {
    if (global) return;
    global = make();
    if (gTrace) gTrace(name, true);
}

template <typename T>
void Delete(T*& global, const char* name) {
    if (!global) return;
    if (gTrace) gTrace(name, false);
    delete global;
    global = nullptr;
}

}  // namespace

void SetAppGlobalsTrace(AppGlobalsTrace trace) {
    gTrace = trace;
}

void CreateAppGlobals() {
    CMachObjCLocalPool pool;
    Create(gMidiClient, "CMidiClient", [] { return new CMidiClient("Orbilume"); });
    Create(gProcessInfo, "CProcessInfo", [] { return new CProcessInfo; });
    Create(gStdFolders, "CStdFolders", [] { return new CStdFolders(&gProcessInfo->Bundle()); });
    Create(gMouse, "LMouse", [] { return new LMouse; });
    Create(gKeyboard, "LKeyboard", [] { return new LKeyboard; });
    Create(gTimerRoot, "LTimerRoot", [] { return new LTimerRoot; });
    Create(gWindowMgr, "CMacWindowMgr", [] { return new CMacWindowMgr; });
    Create(gSystemRsrcProvider, "ResourceFileProvider(system)",
           [] { return new ResourceFileProvider(plat::kSystemResFile); });
    Create(gAppRsrcProvider, "ResourceFileProvider(application)",
           [] { return new ResourceFileProvider(ResourceFileProvider::OpenApplicationFile()); });
    Create(gRsrcChain, "ResourceProviderChain", [] {
        // Asked last to first: the application's file before the system's.
        auto* chain = new ResourceProviderChain;
        chain->Add(gSystemRsrcProvider);
        chain->Add(gAppRsrcProvider);
        ResourceProviderChain::SetGlobal(chain);
        return chain;
    });
    Create(gEventWaker, "CEventWaker", [] { return new CEventWaker; });
    Create(gClipboardHolder, "CClipboardHolder", [] { return new CClipboardHolder; });
    Create(gMainApp, "CMainApp", [] { return new CMainApp; });
}

void DeleteAppGlobals() {
    Delete(gMainApp, "CMainApp");
    Delete(gClipboardHolder, "CClipboardHolder");
    Delete(gEventWaker, "CEventWaker");
    if (gRsrcChain && ResourceProviderChain::Global() == gRsrcChain)
        ResourceProviderChain::SetGlobal(nullptr);
    Delete(gRsrcChain, "ResourceProviderChain");
    if (gAppRsrcProvider && gAppRsrcProvider->FileRef() > 0) plat::CloseResFile(gAppRsrcProvider->FileRef());
    Delete(gAppRsrcProvider, "ResourceFileProvider(application)");
    Delete(gSystemRsrcProvider, "ResourceFileProvider(system)");
    Delete(gWindowMgr, "CMacWindowMgr");
    Delete(gTimerRoot, "LTimerRoot");
    Delete(gKeyboard, "LKeyboard");
    Delete(gMouse, "LMouse");
    Delete(gStdFolders, "CStdFolders");
    Delete(gProcessInfo, "CProcessInfo");
    Delete(gMidiClient, "CMidiClient");
}
