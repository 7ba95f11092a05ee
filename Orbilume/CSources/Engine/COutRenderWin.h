#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "Common/Mac/CRunLoopThread.h"
#include "Common/OpenGL/COpenGLView.h"
#include "Common/Posix/CPsxThread.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Orbilume/CSources/Engine/COutPacer.h"

class CDisplayLinkClock;
class CMixEngine;
class COpenGLContext_Cca;
class CRunLoopTimer;

// The pane that shows an engine's output inside an output window: a window GL context (no depth, no
// multisampling, swaps on the refresh) under a GL view that fills the pane, and a render thread whose
// loop presents the last frame, waits for the display's refresh and asks the engine for the next
// frame with the lag the pacer estimates. The engine's output size follows the pane's size 200 ms
// after the last change.
//
// Threads: construction, state and bounds changes, the resize and destruction run on the main thread;
// the render step on the render thread. The render thread sees the pane's shown state and the
// context's empty place only through atomics the main thread sets. The engine (not owned) outlives
// the pane.
class COutRenderWin : public LFrame {
public:
    static constexpr uint32_t kResizeDelayMs = 200;
    // A pane without a place polls at this period instead of spinning.
    static constexpr double kEmptyRetryMs = 10;

    // window: the enclosing window's frame (upper handler and owner).
    COutRenderWin(LFrame* window, CMixEngine* engine);
    ~COutRenderWin() override;

    LMessage Handle(const LMessage& msg) override;
    void StateChanged(uint32_t op) override;
    void BoundsChanged(const CLRect& old) override;

    // The preference that lets the render thread sleep while frames are being skipped.
    void SetAdaptiveSleep(bool on) { fAdaptiveSleep.store(on, std::memory_order_relaxed); }

    COpenGLContext_Cca* Context() const { return fContext.get(); }
    COpenGLView* View() const { return fView; }
    CDisplayLinkClock* Clock() const { return fClock.get(); }
    // Frames rendered so far, and the number of times the loop (re)started its pacing.
    uint32_t FrameCount() const { return fFrames.load(); }
    uint32_t StartCount() const { return fStarts.load(); }
    // Whether the step timer is armed or a step runs.
    bool IsRunning() const { return fRunning.load(); }
    int32_t LastLag() const { return fLastLag.load(); }
    // The display rate the pacing started with last.
    uint32_t PacingFps() const { return fPacingFps.load(); }

private:
    // The view's surface: places the context and mirrors whether its place is empty.
    class Surface final : public COpenGLSurface {
    public:
        explicit Surface(COutRenderWin* owner) : fOwner(owner) {}
        void SetGeometry(const CLRect& windowRect, const CRgn& visible) override;

    private:
        COutRenderWin* fOwner;
    };

    static void ThreadBody(void* self);
    static void StepCallback(void* self);
    void Step();
    void Resize();
    void UpdateShown();

    CMixEngine* fEngine;
    std::unique_ptr<COpenGLContext_Cca> fContext;
    LTimer fResizeTimer{this};
    Surface fSurface{this};
    COpenGLView* fView = nullptr;  // a child pane, deleted first
    CRunLoopThread fLoop;
    CPsxThread fThread;
    std::unique_ptr<CRunLoopTimer> fStepTimer;
    std::unique_ptr<CDisplayLinkClock> fClock;
    COutPacer fPacer;  // render thread

    std::atomic<bool> fShown{false};
    std::atomic<bool> fEmpty{true};
    std::atomic<bool> fAdaptiveSleep{false};
    std::atomic<bool> fRunning{false};
    std::atomic<uint32_t> fFrames{0};
    std::atomic<uint32_t> fStarts{0};
    std::atomic<int32_t> fLastLag{0};
    std::atomic<uint32_t> fPacingFps{0};
};
