#pragma once

#include <cstdint>

class CMacWindowMgr;
class CMainApp;
class ResourceFileProvider;
class ResourceProviderChain;

// The process-wide objects, made when launching begins and deleted, in reverse order, when the
// application terminates: process information (gProcessInfo), standard folders (gStdFolders), the
// window manager, the resource providers of the system file and of the application's own file with
// the chain that asks them (also ResourceProviderChain::Global), and the application object.
extern CMacWindowMgr* gWindowMgr;
extern ResourceFileProvider* gSystemRsrcProvider;
extern ResourceFileProvider* gAppRsrcProvider;
extern ResourceProviderChain* gRsrcChain;
extern CMainApp* gMainApp;

void CreateAppGlobals();
// Deletes what exists and clears the pointers; a second call finds nothing to do.
void DeleteAppGlobals();
