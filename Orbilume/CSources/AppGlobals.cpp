#include "Orbilume/CSources/AppGlobals.h"

#include "Common/ObjC/CMacWindowMgr.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Platform/Foundation/Object.h"

CMacWindowMgr* gWindowMgr = nullptr;
CMainApp* gMainApp = nullptr;

void CreateAppGlobals() {
    plat::AutoreleasePool pool;
    if (!gWindowMgr) gWindowMgr = new CMacWindowMgr;
    if (!gMainApp) gMainApp = new CMainApp;
}

void DeleteAppGlobals() {
    delete gMainApp;
    gMainApp = nullptr;
    delete gWindowMgr;
    gWindowMgr = nullptr;
}
