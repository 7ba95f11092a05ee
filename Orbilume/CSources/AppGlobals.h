#pragma once

class CMacWindowMgr;
class CMainApp;

// The process-wide objects, made when launching begins and deleted, in reverse order, when the
// application terminates: process information (gProcessInfo), standard folders (gStdFolders), the
// window manager and the application object.
extern CMacWindowMgr* gWindowMgr;
extern CMainApp* gMainApp;

void CreateAppGlobals();
// Deletes what exists and clears the pointers; a second call finds nothing to do.
void DeleteAppGlobals();
