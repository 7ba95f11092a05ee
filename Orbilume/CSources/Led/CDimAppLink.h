#pragma once

#include <memory>

#include "Lib3/LSources/CoreData/LHandler.h"

class CAppPrefs;
class CDimDefLibrary;
class CDimInstruments;
class CDmxIoManager;
class CMixEngine;
class COpenGLContext_Cca;
class LAsyncMainLoop;
struct SRecordEvent;

// The application's side of the LED dimmer: the main thread's async loop the output runs on, the
// definitions library and its store's folders, the dimmer document, and the dimmer source (the
// front document's engine: its output size is the canvas aspect while "use" is on, and its
// after-frame callback feeds the output). Main thread only, except the engine's callback.
class CDimAppLink {
public:
    // mainLoop: the application's main-thread loop, which outlives the link.
    CDimAppLink(LHandler* app, CAppPrefs* prefs, LAsyncMainLoop* mainLoop);
    ~CDimAppLink();
    CDimAppLink(const CDimAppLink&) = delete;
    CDimAppLink& operator=(const CDimAppLink&) = delete;

    CDimInstruments& Document() { return *mDoc; }
    // After start-up: the definitions' load report once, the window when it was open at the end.
    void StartUp();
    // The application's USB DMX manager (outlives the link, or is set back to null first); the
    // output claims its interfaces for sending.
    void SetUsbManager(CDmxIoManager* usb);
    // The front document's engine, null when there is none.
    void SetSource(CMixEngine* engine);
    CMixEngine* Source() const { return mSource; }
    // Quitting: false when the user keeps the application.
    bool CanQuit();
    // "CAppCmd_DMatx".
    void OpenWindow();
    // The source's output size as the canvas aspect while "use" is on. Runs when the source
    // changes and on every preferences change: "use", and the engine's output-size note (a
    // resized output, the resolution setting).
    void UpdateAspect();

private:
    static void AfterFrame(void* context, CMixEngine* engine);
    static void PostRender(void* context, CMixEngine* engine, COpenGLContext_Cca* draw);
    static void PrefsChanged(void* context, const SRecordEvent* event);
    static void Draw(void* drawContext, COpenGLContext_Cca& dimContext, bool soft);

    CAppPrefs* mPrefs;
    LAsyncMainLoop* mLoop;
    std::unique_ptr<CDimDefLibrary> mLibrary;
    std::unique_ptr<CDimInstruments> mDoc;
    CMixEngine* mSource = nullptr;
    bool mReported = false;
};
