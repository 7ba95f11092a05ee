#pragma once

#include <cstdint>

#include "Common/Rgn/CRgn.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Platform/Graphics/GraphicsTypes.h"

namespace plat {
class DrawContext;
class Window;
}  // namespace plat
class LPanePort;

// The drawing context panes draw through: the native context, the current clip, colour and origin.
// Clip and colour changes are pending until ApplyPending, which runs just before drawing. The clip
// is kept in local coordinates; origin changes shift it lazily (the pending shift).
class LDrawContext {
public:
    enum : uint8_t { kClipChanged = 2, kColorChanged = 4 };

    // Drawing into native (retained; null for a context that only measures) within the port's clip,
    // further narrowed to area (window coordinates) unless area is empty.
    LDrawContext(const LPanePort& port, plat::DrawContext* native, const CRgn& area = CRgn());
    // A measuring context for the port: no native context.
    explicit LDrawContext(const LPanePort& port) : LDrawContext(port, nullptr) {}
    ~LDrawContext();
    LDrawContext(const LDrawContext&) = delete;
    LDrawContext& operator=(const LDrawContext&) = delete;

    plat::DrawContext* Native() const { return fNative; }
    // The clip in local coordinates (the pending shift folded in).
    const CRgn& Clip();
    bool HasArea() { return !Clip().IsEmpty(); }
    CLPoint Origin() const { return fOrigin; }
    const LColor& Color() const { return fColor; }

    // Applies pending clip and colour changes to the native context.
    void ApplyPending();
    void MarkColorChanged() { fPending |= kColorChanged; }
    void MarkClipChanged() { fPending |= kClipChanged; }
    uint8_t Pending() const { return fPending; }

    static plat::GfxColor NativeColor(const LColor& colour);

    // Between global coordinates and this context's local ones (the content's top-left in global
    // coordinates and the origin); unchanged for a context of no window.
    CLPoint GlobalToLocal(const CLPoint& global) const;
    CLPoint LocalToGlobal(const CLPoint& local) const;

private:
    friend class LClipScope;
    friend class LOriginScope;
    friend class LTranslateScope;
    friend class LColorScope;
    friend class LStateScope;

    void FoldShift();

    plat::DrawContext* fNative;
    plat::Window* fWindow = nullptr;  // borrowed: the port's window
    CRgn fClip;
    LColor fColor;
    CLPoint fShift;
    CLPoint fOrigin;
    uint8_t fPending = 0;
    plat::GfxMatrix fBase;  // the native transformation of window coordinates
    int32_t fBaseDepth = 0;
};

// Narrows the clip to a region (local coordinates) for the scope.
class LClipScope {
public:
    LClipScope(LDrawContext& ctx, const CRgn& region);
    LClipScope(LDrawContext& ctx, const CLRect& rect) : LClipScope(ctx, CRgn(rect)) {}
    ~LClipScope();
    LClipScope(const LClipScope&) = delete;
    LClipScope& operator=(const LClipScope&) = delete;

private:
    LDrawContext& fCtx;
    CRgn fSaved;
    CLPoint fSavedShift;
};

// Moves the local origin by (dx, dy) window units for the scope; the clip follows lazily.
class LOriginScope {
public:
    LOriginScope(LDrawContext& ctx, int32_t dx, int32_t dy);
    ~LOriginScope();
    LOriginScope(const LOriginScope&) = delete;
    LOriginScope& operator=(const LOriginScope&) = delete;

private:
    LDrawContext& fCtx;
    int32_t fDx;
    int32_t fDy;
};

// Translates the native transformation by the move of the origin since `from` for the scope.
class LTranslateScope {
public:
    LTranslateScope(LDrawContext& ctx, const CLPoint& from);
    ~LTranslateScope();
    LTranslateScope(const LTranslateScope&) = delete;
    LTranslateScope& operator=(const LTranslateScope&) = delete;

private:
    LDrawContext& fCtx;
    int32_t fDx;
    int32_t fDy;
};

// Sets the current colour for the scope.
class LColorScope {
public:
    LColorScope(LDrawContext& ctx, const LColor& colour);
    ~LColorScope();
    LColorScope(const LColorScope&) = delete;
    LColorScope& operator=(const LColorScope&) = delete;

private:
    LDrawContext& fCtx;
    LColor fSaved;
};

// Saves the native graphics state and the pending changes, then applies them; restores both.
class LStateScope {
public:
    explicit LStateScope(LDrawContext& ctx);
    ~LStateScope();
    LStateScope(const LStateScope&) = delete;
    LStateScope& operator=(const LStateScope&) = delete;

private:
    LDrawContext& fCtx;
    uint8_t fSavedPending;
};
