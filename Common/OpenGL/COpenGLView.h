#pragma once

#include <memory>

#include "Common/Rgn/CRgn.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/CoreUI/LPane.h"

class COpenGLContext_Cca;

L_MESSAGE_ID(COpenGLView_Update);

// Where a GL view's content shows: told the view's window rectangle and the part of the window where
// it may be seen (both empty while the view is hidden).
class COpenGLSurface {
public:
    virtual ~COpenGLSurface() = default;
    virtual void SetGeometry(const CLRect& windowRect, const CRgn& visible) = 0;
};

// The surface of a window GL context: placed through COpenGLContext_Cca::SetPlace.
class COpenGLContextSurface final : public COpenGLSurface {
public:
    explicit COpenGLContextSurface(COpenGLContext_Cca* context) : fContext(context) {}
    void SetGeometry(const CLRect& windowRect, const CRgn& visible) override;
    COpenGLContext_Cca* Context() const { return fContext; }

private:
    COpenGLContext_Cca* fContext;  // not owned
};

// A placeholder pane for GL content: keeps its surface's window rectangle and visible region in step
// with the pane's place, visibility and clipping, and asks its upper handler to render with
// "COpenGLView_Update" when the visible geometry changed and whenever the pane draws. Main thread only.
class COpenGLView : public LPane {
public:
    // surface: the owner's, not owned (may be null).
    COpenGLView(LPane* owner, COpenGLSurface* surface);
    // Over a window context of the owner frame (not owned).
    COpenGLView(LPane* owner, COpenGLContext_Cca* context);
    ~COpenGLView() override;

    void StateChanged(uint32_t op) override;
    void BoundsChanged(const CLRect& old) override;
    void Draw(LDrawContext& ctx) override;

    // Stores the surface; a new one starts from an empty place and is placed at once.
    void SetSurface(COpenGLSurface* surface);
    COpenGLSurface* Surface() const { return fSurface; }
    virtual void UpdateGeometry();

    const CLRect& LastRect() const { return fLastRect; }
    const CRgn& LastRegion() const { return fLastRegion; }

private:
    COpenGLSurface* fSurface = nullptr;
    CLRect fLastRect;
    CRgn fLastRegion;
    std::unique_ptr<COpenGLContextSurface> fOwnSurface;
};
