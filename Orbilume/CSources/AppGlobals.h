#pragma once

class CMacWindowMgr;
class CMainApp;

// The process-wide objects, made when launching begins and deleted, in reverse order, when the
// application terminates.
extern CMacWindowMgr* gWindowMgr;
extern CMainApp* gMainApp;

void CreateAppGlobals();
// Deletes what exists and clears the pointers; a second call finds nothing to do.
void DeleteAppGlobals();
