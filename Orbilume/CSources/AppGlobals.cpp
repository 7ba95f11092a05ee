#include "Orbilume/CSources/AppGlobals.h"

#include "Common/ObjC/CMacWindowMgr.h"
#include "Lib3/LSources/Mac/CProcessInfo.h"
#include "Lib3/LSources/Mac/CStdFolders.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Platform/Foundation/Object.h"

CMacWindowMgr* gWindowMgr = nullptr;
CMainApp* gMainApp = nullptr;

void CreateAppGlobals() {
    plat::AutoreleasePool pool;
    if (!gProcessInfo) gProcessInfo = new CProcessInfo;
    if (!gStdFolders) gStdFolders = new CStdFolders(&gProcessInfo->Bundle());
    if (!gWindowMgr) gWindowMgr = new CMacWindowMgr;
    if (!gMainApp) gMainApp = new CMainApp;
}

void DeleteAppGlobals() {
    delete gMainApp;
    gMainApp = nullptr;
    delete gWindowMgr;
    gWindowMgr = nullptr;
    delete gStdFolders;
    gStdFolders = nullptr;
    delete gProcessInfo;
    gProcessInfo = nullptr;
}
