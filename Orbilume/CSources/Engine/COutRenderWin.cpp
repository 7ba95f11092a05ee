#include "Orbilume/CSources/Engine/COutRenderWin.h"

#include <unistd.h>

#include <algorithm>

#include "Common/Mac/CRunLoopTimer.h"
#include "Common/Mach/CMachObjCLocalPool.h"
#include "Common/OpenGL/CDisplayLinkClock.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/Mac/GetEventTimeMs.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Video/HostTime.h"

namespace {

constexpr uint32_t kMaxOutputSide = 16384;

plat::Window* NativeOf(LFrame* window) {
    return window && window->Window() ? window->Window()->NativeWindow() : nullptr;
}

bool AdaptiveSleepPreference() {
    const CAppPrefs* prefs = CAppPrefs::Get();
    const CRecord* root = prefs ? prefs->Root() : nullptr;
    return root && root->GetBool(CAppPrefs::kPrefAdjUpdRate);
}

}  // namespace

void COutRenderWin::Surface::SetGeometry(const CLRect& windowRect, const CRgn& visible) {
    fOwner->fContext->SetPlace(windowRect, visible);
    fOwner->fEmpty.store(windowRect.IsEmpty());
}

COutRenderWin::COutRenderWin(LFrame* window, CMixEngine* engine) : LFrame(window, window), fEngine(engine) {
    PLAT_DCHECK_MAIN_THREAD();
    const SOpenGLOp op{0, 0, 1};
    fContext = std::make_unique<COpenGLContext_Cca>(NativeOf(window), &op);
    fView = new COpenGLView(this, &fSurface);
    fView->SetBounds({0, 0, Bounds().Width(), Bounds().Height()});
    if (!fThread.Start(&ThreadBody, this, 0)) fLoop.Stop();  // no thread: arming does nothing
    fStepTimer = std::make_unique<CRunLoopTimer>(&fLoop, this, &StepCallback);
    fClock = std::make_unique<CDisplayLinkClock>();
    fAdaptiveSleep.store(AdaptiveSleepPreference());
    UpdateShown();
}

COutRenderWin::~COutRenderWin() {
    PLAT_DCHECK_MAIN_THREAD();
    fClock->Close();  // a step waiting for the refresh returns at once
    fLoop.Stop();
    fThread.Join();
    delete fView;
    fView = nullptr;
    fContext.reset();
    fClock.reset();
    fStepTimer.reset();
    fResizeTimer.Stop();
}

void COutRenderWin::ThreadBody(void* self) {
    CMachObjCLocalPool pool;
    static_cast<COutRenderWin*>(self)->fLoop.Run();
}

LMessage COutRenderWin::Handle(const LMessage& msg) {
    if (msg.Is(LTimer_Expire) && msg.sender == &fResizeTimer) {
        Resize();
        return LMessage();
    }
    return LFrame::Handle(msg);
}

void COutRenderWin::UpdateShown() {
    fShown.store((State() & (kShown | kChainShown)) == (kShown | kChainShown));
}

void COutRenderWin::StateChanged(uint32_t op) {
    LFrame::StateChanged(op);
    UpdateShown();
    if ((op == kShow || op == kChainShow) && fShown.load()) {
        fAdaptiveSleep.store(AdaptiveSleepPreference());
        fRunning.store(true);
        fStepTimer->FireAfter(0);
    }
}

void COutRenderWin::BoundsChanged(const CLRect& old) {
    LFrame::BoundsChanged(old);
    fResizeTimer.StartOnce(kResizeDelayMs, 0);
}

void COutRenderWin::Resize() {
    PLAT_DCHECK_MAIN_THREAD();
    const CLRect b = Bounds();
    const uint32_t w = static_cast<uint32_t>(std::clamp<int32_t>(b.Width(), 1, kMaxOutputSide));
    const uint32_t h = static_cast<uint32_t>(std::clamp<int32_t>(b.Height(), 1, kMaxOutputSide));
    fView->SetBounds({0, 0, static_cast<int32_t>(w), static_cast<int32_t>(h)});
    if (fEngine) fEngine->SetOutputSize(w, h);
}

void COutRenderWin::StepCallback(void* self) {
    static_cast<COutRenderWin*>(self)->Step();
}

void COutRenderWin::Step() {
    if (!fShown.load() || !fContext->valid()) {
        fPacer.Stop();
        fRunning.store(false);
        return;
    }
    if (fEmpty.load()) {
        fPacer.Stop();
        fStepTimer->FireAfter(kEmptyRetryMs);
        return;
    }
    const uint64_t now = plat::HostTimeNow();
    if (!fPacer.Started()) {
        fClock->Start();
        fPacer.Start(fClock->rate(), plat::kHostTimeFrequency, now);
        fPacingFps.store(fPacer.Fps());
        fStarts.fetch_add(1);
    } else {
        const uint32_t wait = fPacer.Elapse(now, fAdaptiveSleep.load(std::memory_order_relaxed));
        if (wait > 0) usleep(wait * 100);
    }
    const uint64_t t0 = plat::HostTimeNow();
    {
        COpenGLScope_Cca scope(*fContext);
        fContext->Swap();
    }
    const uint64_t t1 = plat::HostTimeNow();
    // Outside every GL scope: holding the GL lock here would stall the other outputs.
    if (fClock->hasLink()) (void)fClock->WaitForVSync();
    const uint64_t t2 = plat::HostTimeNow();
    const int32_t lag = fPacer.Finish(t0, t1, t2, static_cast<uint32_t>(GetEventTimeMs()));
    fLastLag.store(lag);
    if (fEngine) fEngine->RenderFrame(*fContext, CMixEngine::SFrameRequest{lag});
    fFrames.fetch_add(1);
    fStepTimer->FireAfter(0);
}
