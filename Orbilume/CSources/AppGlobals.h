#pragma once

#include <cstdint>

#include "Lib3/LSources/Fs/LFsSpec.h"

class CClipboardHolder;
class CEventWaker;
class CMacWindowMgr;
class CMidiClient;
class CMainApp;
class LKeyboard;
class LMouse;
class LTimerRoot;
class ResourceFileProvider;
class ResourceProviderChain;

// The process-wide objects, made when launching begins, in this order, and deleted in reverse when
// the application terminates: the MIDI client named "Orbilume" (gMidiClient), process information
// (gProcessInfo), standard folders (gStdFolders), the mouse and keyboard records (gMouse, gKeyboard),
// the timer root, the window manager, the resource providers of the system file and of the
// application's own file with the chain that asks them (also ResourceProviderChain::Global), the
// event waker, the clipboard holder, and the application object (made last, deleted first).
extern CMidiClient* gMidiClient;
extern LMouse* gMouse;
extern LKeyboard* gKeyboard;
extern LTimerRoot* gTimerRoot;
extern CMacWindowMgr* gWindowMgr;
extern ResourceFileProvider* gSystemRsrcProvider;
extern ResourceFileProvider* gAppRsrcProvider;
extern ResourceProviderChain* gRsrcChain;
extern CEventWaker* gEventWaker;
extern CClipboardHolder* gClipboardHolder;
extern CMainApp* gMainApp;

// Folders the file panels start in, remembered for the process: last document, composition and
// movie folder (empty at start; the application object loads and stores them with its settings).
extern LFsSpec gLastDocFolder;
extern LFsSpec gLastCompoFolder;
extern LFsSpec gLastMovieFolder;

void CreateAppGlobals();
// Deletes what exists and clears the pointers; a second call finds nothing to do.
void DeleteAppGlobals();

// For tests: called with each global's name after it was made (created true) and before it is
// deleted (false). Null turns it off.
using AppGlobalsTrace = void (*)(const char* name, bool created);
void SetAppGlobalsTrace(AppGlobalsTrace trace);
