#include "Lib3/LSources/CoreUI/LDrawContext.h"

#include <vector>

#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Graphics/DrawContext.h"

LDrawContext::LDrawContext(const LPanePort& port, plat::DrawContext* native, const CRgn& area)
    : fNative(native), fWindow(port.contentView ? port.window : nullptr), fClip(port.clip) {
    if (fNative) {
        fNative->Retain();
        fBaseDepth = fNative->GStateDepth();
        fNative->SaveGState();
        fBase = fNative->CTM();
        fNative->TranslateCTM(port.origin.x, port.origin.y);
    }
    if (!area.IsEmpty()) fClip &= area;
    fOrigin = port.origin;
    fShift = {-port.origin.x, -port.origin.y};
    fColor = port.background;
    fPending = kClipChanged | kColorChanged;
}

LDrawContext::~LDrawContext() {
    if (!fNative) return;
    fNative->SetFillColor({0, 0, 0, 0});
    fNative->SetStrokeColor({0, 0, 0, 0});
    while (fNative->GStateDepth() > fBaseDepth) fNative->RestoreGState();
    fNative->Release();
}

CLPoint LDrawContext::GlobalToLocal(const CLPoint& p) const {
    if (!fWindow) return p;
    const plat::Rect c = fWindow->ContentRect();
    return {p.x - int32_t(c.x) - fOrigin.x, p.y - int32_t(c.y) - fOrigin.y};
}

CLPoint LDrawContext::LocalToGlobal(const CLPoint& p) const {
    if (!fWindow) return p;
    const plat::Rect c = fWindow->ContentRect();
    return {p.x + int32_t(c.x) + fOrigin.x, p.y + int32_t(c.y) + fOrigin.y};
}

void LDrawContext::FoldShift() {
    if (fShift.x || fShift.y) {
        fClip.Shift(fShift.x, fShift.y);
        fShift = {};
    }
}

const CRgn& LDrawContext::Clip() {
    FoldShift();
    return fClip;
}

plat::GfxColor LDrawContext::NativeColor(const LColor& colour) {
    LRGBA c = colour.ForDrawing();
    return {c.red, c.green, c.blue, c.alpha};
}

void LDrawContext::ApplyPending() {
    FoldShift();
    if (!fNative) {
        fPending = 0;
        return;
    }
    if (fPending & kClipChanged) {
        // The clip is set in window coordinates, whatever the current transformation.
        CRgn window = fClip;
        window.Shift(fOrigin.x, fOrigin.y);
        std::vector<plat::Rect> rects;
        window.GetCGRects(rects);
        plat::GfxMatrix ctm = fNative->CTM();
        fNative->SetCTM(fBase);
        fNative->ResetClip();
        fNative->ClipToRects(rects.data(), static_cast<uint32_t>(rects.size()));
        fNative->SetCTM(ctm);
    }
    if (fPending & kColorChanged) {
        plat::GfxColor c = NativeColor(fColor);
        fNative->SetFillColor(c);
        fNative->SetStrokeColor(c);
    }
    fPending = 0;
}

LClipScope::LClipScope(LDrawContext& ctx, const CRgn& region) : fCtx(ctx) {
    fCtx.FoldShift();
    fSaved = fCtx.fClip;
    fSavedShift = fCtx.fShift;
    fCtx.fClip &= region;
    fCtx.MarkClipChanged();
}

LClipScope::~LClipScope() {
    fCtx.fClip = fSaved;
    fCtx.fShift = fSavedShift;
    fCtx.MarkClipChanged();
}

LOriginScope::LOriginScope(LDrawContext& ctx, int32_t dx, int32_t dy) : fCtx(ctx), fDx(dx), fDy(dy) {
    fCtx.fOrigin.x += dx;
    fCtx.fOrigin.y += dy;
    fCtx.fShift.x -= dx;
    fCtx.fShift.y -= dy;
    fCtx.MarkClipChanged();
}

LOriginScope::~LOriginScope() {
    fCtx.fOrigin.x -= fDx;
    fCtx.fOrigin.y -= fDy;
    fCtx.fShift.x += fDx;
    fCtx.fShift.y += fDy;
    fCtx.MarkClipChanged();
}

LTranslateScope::LTranslateScope(LDrawContext& ctx, const CLPoint& from)
    : fCtx(ctx), fDx(ctx.fOrigin.x - from.x), fDy(ctx.fOrigin.y - from.y) {
    if (fCtx.fNative) fCtx.fNative->TranslateCTM(fDx, fDy);
}

LTranslateScope::~LTranslateScope() {
    if (fCtx.fNative) fCtx.fNative->TranslateCTM(-fDx, -fDy);
}

LColorScope::LColorScope(LDrawContext& ctx, const LColor& colour) : fCtx(ctx), fSaved(ctx.fColor) {
    fCtx.fColor = colour;
    fCtx.MarkColorChanged();
}

LColorScope::~LColorScope() {
    fCtx.fColor = fSaved;
    fCtx.MarkColorChanged();
}

LStateScope::LStateScope(LDrawContext& ctx) : fCtx(ctx), fSavedPending(ctx.fPending) {
    if (fCtx.fNative) fCtx.fNative->SaveGState();
    fCtx.ApplyPending();
}

LStateScope::~LStateScope() {
    if (fCtx.fNative) fCtx.fNative->RestoreGState();
    fCtx.fPending = fSavedPending;
}
