#pragma once

#include <cstdint>

class CClipboardHolder;
class CMacWindowMgr;
class CMidiClient;
class CMainApp;
class LKeyboard;
class LMouse;
class ResourceFileProvider;
class ResourceProviderChain;

// The process-wide objects, made when launching begins and deleted, in reverse order, when the
// application terminates: the MIDI client named with the bundle's name (gMidiClient), process information
// (gProcessInfo), standard folders (gStdFolders), the mouse and keyboard records (gMouse, gKeyboard), the
// window manager, the resource providers of the system file and of the application's own file with the chain
// that asks them (also ResourceProviderChain::Global), the clipboard holder, and the application object.
extern CMidiClient* gMidiClient;
extern LMouse* gMouse;
extern LKeyboard* gKeyboard;
extern CMacWindowMgr* gWindowMgr;
extern ResourceFileProvider* gSystemRsrcProvider;
extern ResourceFileProvider* gAppRsrcProvider;
extern ResourceProviderChain* gRsrcChain;
extern CClipboardHolder* gClipboardHolder;
extern CMainApp* gMainApp;

void CreateAppGlobals();
// Deletes what exists and clears the pointers; a second call finds nothing to do.
void DeleteAppGlobals();
