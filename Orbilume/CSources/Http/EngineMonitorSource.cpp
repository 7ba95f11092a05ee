#include "Orbilume/CSources/Http/EngineMonitorSource.h"

#include <utility>

#include "Common/Container/CBytes.h"
#include "Common/Stream/CMemStream.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Platform/Foundation/Check.h"

EngineMonitorSource::EngineMonitorSource(CMixEngine* engine) : fEngine(engine) {
    PLAT_DCHECK_MAIN_THREAD();
    if (fEngine) fEngine->AddPostRenderCallback(this, &EngineMonitorSource::PostRender);
}

EngineMonitorSource::~EngineMonitorSource() {
    PLAT_DCHECK_MAIN_THREAD();
    fDone = nullptr;
    // Waits for a frame in progress (the callback list is changed under the frame lock).
    if (fEngine) fEngine->RemovePostRenderCallback(this, &EngineMonitorSource::PostRender);
}

bool EngineMonitorSource::Capture(uint32_t size, Done done) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fEngine || !done) return false;
    fSaver.SetMaxSize(size);
    fSaver.SetState(CObStillSaver_CGi_MemA::kRequested);
    fDone = std::move(done);
    fWanted.store(true);
    return true;
}

void EngineMonitorSource::Cancel() {
    PLAT_DCHECK_MAIN_THREAD();
    fWanted.store(false);
    fDone = nullptr;
}

void EngineMonitorSource::PostRender(void* self, CMixEngine* /*engine*/, COpenGLContext_Cca* draw) {
    auto* source = static_cast<EngineMonitorSource*>(self);
    if (!draw) {
        // The engine ends (main thread): a waiting capture fails now.
        source->fEngine = nullptr;
        if (source->fWanted.exchange(false)) source->fSaver.Reset();
        return;
    }
    // Render thread, the mix still bound.
    if (source->fWanted.exchange(false)) source->fSaver.Capture(*draw);
}

LMessage EngineMonitorSource::Handle(const LMessage& msg) {
    if (msg.Is(CObStillSaver_CGi_MemA_Done)) {
        // A result of an abandoned capture, or one before this capture's frame was read, is not ours.
        if (!fDone || fWanted.load()) return LMessage();
        CBytes bytes;
        {
            CMemStream stream(bytes);
            fSaver.CopyTo(stream);
        }
        std::vector<uint8_t> png(bytes.Data(), bytes.Data() + bytes.Count());
        Done done = std::move(fDone);
        fDone = nullptr;
        done(std::move(png));
        return LMessage();
    }
    return LHandler::Handle(msg);
}
