#include "Common/OpenGL/COpenGLView.h"

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Platform/Foundation/Check.h"

void COpenGLContextSurface::SetGeometry(const CLRect& windowRect, const CRgn& visible) {
    if (fContext) fContext->SetPlace(windowRect, visible);
}

COpenGLView::COpenGLView(LPane* owner, COpenGLSurface* surface) : LPane(owner, owner) {
    ChangeState(kLock);
    SetOwnBackgroundBit(true);
    SetSurface(surface);
}

COpenGLView::COpenGLView(LPane* owner, COpenGLContext_Cca* context)
    : LPane(owner, owner), fOwnSurface(std::make_unique<COpenGLContextSurface>(context)) {
    ChangeState(kLock);
    SetOwnBackgroundBit(true);
    SetSurface(fOwnSurface.get());
}

COpenGLView::~COpenGLView() = default;

void COpenGLView::SetSurface(COpenGLSurface* surface) {
    PLAT_DCHECK_MAIN_THREAD();
    fSurface = surface;
    if (!fSurface) return;
    fLastRect = CLRect();
    fLastRegion = CRgn();
    fSurface->SetGeometry(fLastRect, fLastRegion);
    UpdateGeometry();
}

void COpenGLView::UpdateGeometry() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fSurface) return;
    CLRect rect;
    CRgn region;
    if ((State() & (kShown | kChainShown)) == (kShown | kChainShown)) {
        LPanePort port(this);
        rect = Bounds();
        rect.left += port.origin.x;
        rect.right += port.origin.x;
        rect.top += port.origin.y;
        rect.bottom += port.origin.y;
        region = port.clip;
        region &= CRgn(rect);
    }
    fSurface->SetGeometry(rect, region);
    if (rect == fLastRect && region == fLastRegion) return;
    fLastRect = rect;
    fLastRegion = region;
    if (!region.IsEmpty()) Dispatch(LMessage(COpenGLView_Update, this, Upper()));
}

void COpenGLView::StateChanged(uint32_t op) {
    LPane::StateChanged(op);
    switch (op) {
        case kShow:
        case kHide:
        case kChainShow:
        case kChainHide:
        case kMoved:
            UpdateGeometry();
            break;
        default:
            break;
    }
}

void COpenGLView::BoundsChanged(const CLRect& old) {
    LPane::BoundsChanged(old);
    UpdateGeometry();
}

void COpenGLView::Draw(LDrawContext&) {
    Dispatch(LMessage(COpenGLView_Update, this, Upper()));
}
