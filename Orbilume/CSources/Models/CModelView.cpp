#include "Orbilume/CSources/Models/CModelView.h"

#include <epoxy/gl.h>

#include "Common/OpenGL/COffscreenFBO.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/Mac/GetEventTimeMs.h"
#include "Orbilume/CSources/Engine/CMediaModel.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaNode.h"
#include "Orbilume/CSources/Models/UMat4.h"
#include "Platform/Video/GLTextureCache.h"

namespace {

uint32_t NowMs() {
    return static_cast<uint32_t>(GetEventTimeMs());
}

}  // namespace

CModelView::CModelView() = default;

CModelView::~CModelView() {
    fTarget.reset();
    fModel = nullptr;
}

void CModelView::SetModel(CMediaModel* model) {
    if (model && model->Document())
        fStart = NowMs();
    else
        fTarget.reset();
    fModel = plat::RetainRef(model);
    Invalidate();
}

void CModelView::SetSize(uint32_t width, uint32_t height) {
    if (width == fWidth && height == fHeight) return;
    fWidth = width;
    fHeight = height;
    if (width && height) {
        if (fTarget) fTarget->SetSize(width, height);
    } else {
        fTarget.reset();
    }
}

void CModelView::SetMultisample(bool on) {
    if (on == fMultisample) return;
    fMultisample = on;
    fTarget.reset();
}

void CModelView::Invalidate() {
    if (fTarget) fTarget->DropPicture();
}

float CModelView::Duration() const {
    CColladaDoc* doc = fModel ? fModel->Document() : nullptr;
    return doc ? doc->longestDuration() : 0.0f;
}

bool CModelView::Placement(const float* bounds, uint32_t upAxis, float turn, float tilt,
                           const float* position, float* m) {
    UMat4::Identity(m);
    float r = 1.0f;
    if (UBox3::IsFilled(bounds)) {
        r = UBox3::Radius(bounds);
        UMat4::Translate(m, 0.5f * (bounds[0] + bounds[1]), 0.5f * (bounds[2] + bounds[3]),
                         0.5f * (bounds[4] + bounds[5]));
    }
    if (upAxis == 1) UMat4::Rotate(m, 90, 1, 0, 0);
    if (upAxis == 2) UMat4::Rotate(m, -90, 0, 0, 1);
    UMat4::Rotate(m, -turn, 0, 1, 0);
    UMat4::Rotate(m, -tilt, 1, 0, 0);
    UMat4::Translate(m, -position[0] * r, -position[1] * r, -position[2] * r);
    return ColladaFinite(m, 16);
}

plat::Ref<plat::GLTexture> CModelView::Render(bool& changed) {
    changed = false;
    // A medium without a document has nothing to frame.
    CColladaDoc* doc = fModel ? fModel->Document() : nullptr;
    if (!doc || !doc->loaded() || !fWidth || !fHeight) return nullptr;
    if (!(fPlaying && doc->longestDuration() != 0) && fTarget)
        if (plat::Ref<plat::GLTexture> kept = fTarget->GetTexture()) return kept;
    if (!fTarget) {
        const SOpenGLOp multisampled{0, 2, 0};
        fTarget = std::make_unique<COffscreenFBO>(fMultisample ? &multisampled : nullptr);
        fTarget->SetSize(fWidth, fHeight);
    }
    float place[16], view[16];
    if (Placement(doc->bounds(), doc->upAxis(), fTurn, fTilt, fPosition, place) &&
        UMat4::Invert(place, view) && ColladaFinite(view, 16))
        doc->SetViewMatrix(view);
    {
        COpenGLScope_Cca scope(fTarget->context());
        if (!fTarget->Begin()) return nullptr;
        const double seconds = static_cast<uint32_t>(NowMs() - fStart) * 0.001;
        glViewport(0, 0, static_cast<GLsizei>(fWidth), static_cast<GLsizei>(fHeight));
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        doc->Render(fTarget->context(), seconds);
        fTarget->Resolve();
    }
    changed = true;
    return fTarget->GetTexture();
}
