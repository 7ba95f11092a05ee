#include "Orbilume/CSources/Models/CColladaCamera.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Orbilume/CSources/Models/CColladaDrawState.h"
#include "Orbilume/CSources/Models/UColladaXml.h"
#include "Orbilume/CSources/Models/UMat4.h"

namespace {

const CColladaParamList::Row kOrthoRows[] = {
    {"xmag", 1, "1"}, {"ymag", 1, "1"}, {"aspect_ratio", 1, "1"}, {"znear", 1, "0.1"}, {"zfar", 1, "2"},
};
const CColladaParamList::Row kPerspectiveRows[] = {
    {"xfov", 1, "1"}, {"yfov", 1, "1"}, {"aspect_ratio", 1, "1"}, {"znear", 1, "0.1"}, {"zfar", 1, "2"},
};

bool Finite(const float* m, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i)
        if (!std::isfinite(m[i])) return false;
    return true;
}

}  // namespace

CColladaCamera* CColladaCamera::Build(CColladaDoc& doc, CXmlElement* camera) {
    if (!UColladaXml::NameIs(camera, "camera")) return nullptr;
    if (camera->Attached()) return AttachedAs<CColladaCamera>(camera);
    auto* c = new CColladaCamera;
    camera->Attach(c);
    c->Read(doc);
    return c;
}

void CColladaCamera::Read(CColladaDoc& doc) {
    if (fKind != kNone || !element()) return;
    CXmlElement* optics = element()->FindChild("optics");
    CXmlElement* common = optics ? optics->FindChild("technique_common") : nullptr;
    if (!common) return;
    if (CXmlElement* ortho = common->FindChild("orthographic")) {
        BuildParams(doc, ortho, kOrthographic);
    } else if (CXmlElement* persp = common->FindChild("perspective")) {
        BuildParams(doc, persp, kPerspective);
    }
}

void CColladaCamera::BuildParams(CColladaDoc&, CXmlElement* source, uint32_t projection) {
    if (projection == kOrthographic)
        fParams.Build(source, kOrthoRows, std::size(kOrthoRows), false);
    else
        fParams.Build(source, kPerspectiveRows, std::size(kPerspectiveRows), false);
    fKind = projection;
}

void CColladaCamera::SetProjection(COpenGLContext_Cca& context, float zNear, float zFar) {
    if (fKind == kNone) return;
    GLint viewport[4] = {0, 0, 1, 1};
    {
        COpenGLScope_Cca scope(context);
        glGetIntegerv(GL_VIEWPORT, viewport);
    }
    float aspect = fParams.value(2);
    if (aspect == 0) aspect = 1;
    float hw, hh;
    if (fKind == kPerspective) {
        float yfov = fParams.value(1);
        float xfov = fParams[0] && fParams[0]->present() ? fParams.value(0) : yfov * aspect;
        if (!(fParams[1] && fParams[1]->present())) yfov = xfov / aspect;
        constexpr double kHalfRadians = 0.5 * M_PI / 180.0;
        hw = static_cast<float>(zNear * std::tan(xfov * kHalfRadians));
        hh = static_cast<float>(zNear * std::tan(yfov * kHalfRadians));
    } else {
        float xmag = fParams.value(0);
        float ymag = fParams.value(1);
        hw = fParams[0] && fParams[0]->present() ? xmag : ymag * aspect;
        hh = fParams[1] && fParams[1]->present() ? ymag : hw / aspect;
    }
    float w = static_cast<float>(viewport[2]);
    float h = static_cast<float>(viewport[3]);
    if (w * hh <= h * hw)
        hh = h * hw / std::max(w, 1.0f);
    else
        hw = w * hh / std::max(h, 1.0f);
    std::memset(fProjection, 0, sizeof fProjection);
    float depth = zFar - zNear;
    if (fKind == kPerspective) {
        fProjection[0] = zNear / hw;
        fProjection[5] = zNear / hh;
        fProjection[10] = -(zNear + zFar) / depth;
        fProjection[11] = -1;
        fProjection[14] = -2 * zNear * zFar / depth;
    } else {
        fProjection[0] = 1 / hw;
        fProjection[5] = 1 / hh;
        fProjection[10] = -2 / depth;
        fProjection[14] = -(zFar + zNear) / depth;
        fProjection[15] = 1;
    }
}

void CColladaCamera::NearFar(const float* box, float& zNear, float& zFar) {
    zFar = std::max(-1.1f * box[4], 0.1f);
    zNear = -0.9f * box[5];
    if (!(zNear > 0.001f * zFar)) zNear = 0.001f * zFar;
}

void CColladaCamera::Apply(CColladaDrawState& state, const float* bounds) {
    if (!state.context) return;
    float view[16];
    if (state.matrixIsView) {
        std::memcpy(view, state.matrix, sizeof view);
    } else if (!UMat4::Invert(state.matrix, view)) {
        return;
    }
    float box[6];
    std::memcpy(box, bounds, sizeof box);
    UBox3::Transform(box, view);
    float zNear, zFar;
    NearFar(box, zNear, zFar);
    if (!std::isfinite(zNear) || !std::isfinite(zFar)) return;
    SetProjection(*state.context, zNear, zFar);
    float p[16];
    std::memcpy(p, fProjection, sizeof p);
    UMat4::Multiply(p, view);
    if (!Finite(p, 16)) return;
    COpenGLScope_Cca scope(*state.context);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(p);
    glMatrixMode(GL_MODELVIEW);
}
