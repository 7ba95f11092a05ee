#pragma once

#include <cstdint>

#include "Orbilume/CSources/Models/CColladaElement.h"
#include "Orbilume/CSources/Models/CColladaFloatParam.h"

class CColladaDoc;
class COpenGLContext_Cca;
struct CColladaDrawState;

// The object of a camera copy: its optics as parameters and the projection they give for the current
// viewport. Built on the loader thread; Apply runs on the render thread.
class CColladaCamera : public CColladaElement {
public:
    static constexpr Kind kKind = kCamera;
    Kind kind() const override { return kKind; }
    enum Projection : uint32_t { kNone = 0, kOrthographic = 1, kPerspective = 2 };

    // The attached camera of a camera copy, or a new one attached and read.
    static CColladaCamera* Build(CColladaDoc& doc, CXmlElement* camera);

    // Reads optics/technique_common/orthographic or perspective, once.
    void Read(CColladaDoc& doc);
    // Parameters of the kind's rows from the element (null: every one from its default).
    void BuildParams(CColladaDoc& doc, CXmlElement* source, uint32_t projection);
    // The projection for the viewport of the context's current state.
    void SetProjection(COpenGLContext_Cca& context, float zNear, float zFar);
    // Loads projection x view into GL_PROJECTION, near and far fitted to the bounds in view space.
    void Apply(CColladaDrawState& state, const float* bounds);

    const float* projection() const { return fProjection; }
    uint32_t projectionKind() const { return fKind; }
    CColladaParamList& params() { return fParams; }

    // The near and far planes that frame a view-space box.
    static void NearFar(const float* viewBox, float& zNear, float& zFar);

private:
    CColladaParamList fParams;
    float fProjection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    uint32_t fKind = kNone;
};
