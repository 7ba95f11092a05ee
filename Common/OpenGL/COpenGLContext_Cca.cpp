#include "Common/OpenGL/COpenGLContext_Cca.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <memory>

#include "Common/Container/CArray.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/Rgn/CRgn.h"
#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLPixelFormat.h"
#include "Platform/GL/GLSurface.h"

namespace {

std::mutex gSharedMutex;
COpenGLContext_Cca* gShared = nullptr;

}  // namespace

COpenGLContext_Cca::COpenGLContext_Cca(plat::GLWindowHost* window, const SOpenGLOp* op) : fWindow(window) {
    COpenGLContext_Cca* shared = Shared();
    if (shared) {
        fLock = shared->fLock;
        fLockBorrowed = true;
    } else {
        fLock = new Mutex;
    }

    const SOpenGLOp none{0, 0, 0};
    if (!op) op = &none;
    plat::GLPixelFormatAttributes attributes;
    attributes.depthBits = op->depthBits;
    attributes.samples = op->samples >= 2 ? op->samples : 0;
    attributes.doubleBuffer = window != nullptr;
    fFormat = plat::GLPixelFormat::Create(attributes);
    if (!fFormat) return;
    fMultisample = fFormat->SampleBuffers() > 0;

    fContext = plat::GLContext::Create(fFormat.get(), shared ? shared->fContext.get() : nullptr);
    // A refused interval is kept and tried again when the surface is attached.
    if (fContext && window && op->syncSwap) (void)fContext->SetSwapInterval(1);
}

COpenGLContext_Cca::COpenGLContext_Cca(plat::GLContext* context, unsigned) : fContext(context) {
    fLock = new Mutex;
    if (fContext) {
        fFormat.reset(fContext->PixelFormat());
        fMultisample = fFormat && fFormat->SampleBuffers() > 0;
    }
}

COpenGLContext_Cca::~COpenGLContext_Cca() {
    if (fContext) {
        {
            COpenGLScope_Cca scope(*this);
            glFinish();
            (void)fContext->SetSurface(nullptr);  // going away: only the detach matters
        }
        fContext = nullptr;
    }
    if (!fLockBorrowed) delete fLock;
}

void COpenGLContext_Cca::SetPlace(const CLRect& rect, const CRgn& visible) {
    if (!fContext) return;
    if (fPlace.IsEmpty() && rect.IsEmpty()) return;
    {
        COpenGLScope_Cca scope(*this);
        SetupRect(rect, visible);
    }
    fPlace = rect;
}

void COpenGLContext_Cca::SetupRect(const CLRect& rect, const CRgn& visible) {
    const int32_t width = std::max(0, rect.Width());
    const int32_t height = std::max(0, rect.Height());
    if (!fWindow) {
        glViewport(0, 0, width, height);
        return;
    }
    bool changed = false;
    if (!rect.IsEmpty()) {  // a hidden surface keeps its last size and place
        if (!fSurface) {
            fSurface = fWindow->CreateGLSurface(fFormat.get(), width, height);
            if (!fSurface) return;
            (void)fContext->SetSurface(fSurface.get());  // a failed bind is retried by the next scope
            changed = true;
        } else if (fSurface->Width() != width || fSurface->Height() != height) {
            if (!fSurface->Resize(width, height)) return;
            changed = true;
        }
        if (fSurface->X() != rect.left || fSurface->Y() != rect.top) {
            fSurface->SetOrigin(rect.left, rect.top);
            changed = true;
        }
    }
    if (fSurface) SetupClips(rect, visible);
    if (changed) glViewport(0, 0, fSurface->PixelWidth(), fSurface->PixelHeight());
}

void COpenGLContext_Cca::SetupClips(const CLRect& rect, const CRgn& visible) {
    const CRgn whole(rect);
    CRgn shown(visible);
    shown &= whole;
    if (shown == whole) {
        if (!fClipped) return;
        fClipped = false;
        fSurface->SetClips({});
        fSurface->SetOrder(plat::GLSurfaceOrder::kAboveWindow);
        return;
    }
    bool redraw = false;
    if (!fClipped) {
        fClipped = true;
        fSurface->SetOrder(plat::GLSurfaceOrder::kBelowWindow);
        fWindow->SetGLWindowOpaque(false);
        redraw = true;
    }
    CArray<CLRect> rects;
    shown.GetRects(rects);
    std::vector<plat::GLSurfaceRect> clips;
    clips.reserve(rects.Count());
    for (uint32_t i = 0; i < rects.Count(); ++i) {
        const CLRect& r = rects[i];
        clips.push_back({r.left - rect.left, r.top - rect.top, r.Width(), r.Height()});
    }
    if (clips != fSurface->Clips()) {
        fSurface->SetClips(std::move(clips));
        redraw = true;
    }
    if (redraw) fWindow->GLSurfaceNeedsDisplay(fSurface.get());
}

void COpenGLContext_Cca::Swap() {
    if (fContext) (void)fContext->Swap();  // a refused swap loses one frame; the next one shows
}

void COpenGLContext_Cca::SetShared(COpenGLContext_Cca* context) {
    std::lock_guard<std::mutex> lock(gSharedMutex);
    gShared = context;
}

COpenGLContext_Cca* COpenGLContext_Cca::Shared() {
    std::lock_guard<std::mutex> lock(gSharedMutex);
    return gShared;
}

COpenGLContext_Cca* COpenGLCommonCtx::Use() {
    static std::unique_ptr<COpenGLContext_Cca> common(new COpenGLContext_Cca(nullptr, nullptr));
    return common.get();
}
