#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

#include "Common/Mac/CRunLoopSignal.h"
#include "Common/Mac/CRunLoopThread.h"
#include "Common/Mac/CRunLoopTimer.h"
#include "Common/Posix/CPsxMutex.h"
#include "Orbilume/CSources/Engine/CMediaRequest.h"

// The application's media loader: one thread (a priority step below its creator) that opens
// movies, decodes stills, reads COLLADA models and scales images, one load at a time in the order
// posted. Loads wait in the main queue until the previous one is done; a name already loaded
// anywhere in the process is served from the registries without the thread. Fit requests go
// straight to the thread.
//
// Threads: made, destroyed, PostLoad and the callbacks on the main thread; PostFit and Cancel on
// any thread. The lock guards the queue, the hand-off and done lists and the request on the
// thread; it is never held while a step or a callback runs. Destruction stops the thread (it
// waits out the step it is in) and deletes what is left, calling nobody.
class CMediaLoader {
public:
    CMediaLoader();
    ~CMediaLoader();
    CMediaLoader(const CMediaLoader&) = delete;
    CMediaLoader& operator=(const CMediaLoader&) = delete;

    // The loader made last and still alive (the application's), or null.
    static CMediaLoader* Get();

    void PostLoad(void* context, CMediaLoadRequest::LoadedCallback callback, const LFsSpec& spec);
    void PostFit(void* context, CImageFitRequest::FittedCallback callback, plat::Image* image, uint32_t width,
                 uint32_t height);
    // Clears the callback of every request of that context (and callback; null: any callback)
    // wherever it is: waiting in the queue, handed to the thread, on it, or done.
    void Cancel(void* context, CMediaRequest::AnyCallback callback);

    // Main thread; StartNext after a completed load.
    void LoadDone();
    // Tests: requests waiting in the main queue; a load is out on the thread.
    size_t QueuedCount();
    bool Busy() const { return fBusy; }

private:
    static void ServiceMain(void* self);
    static void ServiceLoader(void* self);
    void StartNext();
    void HandToLoader(std::unique_ptr<CMediaRequest> request);

    CRunLoopSignal fMainSignal;
    CPsxMutex fLock;
    CMediaRequest* fCurrent = nullptr;
    std::deque<std::unique_ptr<CMediaRequest>> fToLoader;
    std::deque<std::unique_ptr<CMediaRequest>> fDone;
    std::deque<std::unique_ptr<CMediaLoadRequest>> fQueue;
    bool fBusy = false;  // main thread
    CRunLoopThread fThread;
    CRunLoopTimer fWake;
    CMediaLoader* fPrevious;
};
