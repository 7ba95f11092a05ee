#pragma once

#include <atomic>
#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Orbilume/CSources/Http/FormMonitor.h"
#include "Orbilume/CSources/Media/CObStillSaver_CGi_MemA.h"

class CMixEngine;
class COpenGLContext_Cca;

// The panel's monitor image from a mix engine: a post-render callback reads the next frame's pixels
// into a memory still saver, which scales and encodes them on its worker and reports back on the
// main thread. One capture at a time. Made, used and destroyed on the main thread; the engine may
// end first (a capture waiting then fails at once, later ones are refused).
class EngineMonitorSource : public FormMonitorSource, public LHandler {
public:
    explicit EngineMonitorSource(CMixEngine* engine);
    ~EngineMonitorSource() override;
    EngineMonitorSource(const EngineMonitorSource&) = delete;
    EngineMonitorSource& operator=(const EngineMonitorSource&) = delete;

    bool Capture(uint32_t size, Done done) override;
    void Cancel() override;

    LMessage Handle(const LMessage& msg) override;
    bool EngineEnded() const { return fEngine == nullptr; }

private:
    static void PostRender(void* self, CMixEngine* engine, COpenGLContext_Cca* draw);

    CMixEngine* fEngine;               // null once the engine ended
    std::atomic<bool> fWanted{false};  // the next frame is read (render thread takes it)
    Done fDone;                        // the capture in progress
    CObStillSaver_CGi_MemA fSaver{this};
};
