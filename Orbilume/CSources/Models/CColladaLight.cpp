#include "Orbilume/CSources/Models/CColladaLight.h"

#include <epoxy/gl.h>

#include <cmath>
#include <iterator>

#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Orbilume/CSources/Models/CColladaDrawState.h"
#include "Orbilume/CSources/Models/UColladaXml.h"

namespace {

using Row = CColladaParamList::Row;

const Row kColorRow[] = {{"color", 3, "1 1 1"}};
const Row kPointRows[] = {
    {"color", 3, "1 1 1"},
    {"constant_attenuation", 1, "1"},
    {"linear_attenuation", 1, "0"},
    {"quadratic_attenuation", 1, "0"},
};
const Row kSpotRows[] = {
    {"color", 3, "1 1 1"},          {"constant_attenuation", 1, "1"},
    {"linear_attenuation", 1, "0"}, {"quadratic_attenuation", 1, "0"},
    {"falloff_angle", 1, "180"},    {"falloff_exponent", 1, "0"},
};

struct LightKind {
    const char* element;
    uint32_t type;
    const Row* rows;
    uint32_t count;
};
const LightKind kKinds[] = {
    {"ambient", CColladaLight::kAmbient, kColorRow, 1},
    {"directional", CColladaLight::kDirectional, kColorRow, 1},
    {"point", CColladaLight::kPoint, kPointRows, 4},
    {"spot", CColladaLight::kSpot, kSpotRows, 6},
};

// GL refuses values outside these ranges with an error; the file's values are brought into them.
float Attenuation(float v, float otherwise) {
    return v >= 0 && std::isfinite(v) ? v : otherwise;
}
float Cutoff(float v) {
    return v >= 0 && v <= 90 ? v : 180;
}
float Exponent(float v) {
    return v >= 0 ? std::fmin(v, 128) : 0;
}

}  // namespace

CColladaLight* CColladaLight::Build(CColladaDoc& doc, CXmlElement* light) {
    if (!UColladaXml::NameIs(light, "light")) return nullptr;
    if (light->Attached()) return AttachedAs<CColladaLight>(light);
    auto* l = new CColladaLight;
    light->Attach(l);
    (void)l->Read(doc);
    return l;
}

bool CColladaLight::Read(CColladaDoc&) {
    CXmlElement* common = element() ? element()->FindChild("technique_common") : nullptr;
    if (!common) return false;
    for (CXmlElement* c = UColladaXml::FirstChild(common); c; c = UColladaXml::Next(c)) {
        for (const LightKind& k : kKinds) {
            if (!UColladaXml::NameIs(c, k.element)) continue;
            fType = k.type;
            fParams.Build(c, k.rows, k.count, true);
            return true;
        }
    }
    return false;
}

void CColladaLight::Apply(CColladaDrawState& state) {
    if (fType == kNone || !state.context) return;
    COpenGLScope_Cca scope(*state.context);
    GLint maxLights = 8;
    glGetIntegerv(GL_MAX_LIGHTS, &maxLights);
    if (state.lightCount >= static_cast<uint32_t>(maxLights)) return;
    GLenum light = GL_LIGHT0 + state.lightCount++;
    const float colour[4] = {fParams.value(0, 0), fParams.value(0, 1), fParams.value(0, 2), 1};
    const float black[4] = {0, 0, 0, 0};
    const float down[4] = {0, 0, -1, 0};
    const float atOrigin[4] = {0, 0, 0, 1};
    const float fromZ[4] = {0, 0, 1, 0};
    auto attenuations = [&] {
        glLightf(light, GL_CONSTANT_ATTENUATION, Attenuation(fParams.value(1), 1));
        glLightf(light, GL_LINEAR_ATTENUATION, Attenuation(fParams.value(2), 0));
        glLightf(light, GL_QUADRATIC_ATTENUATION, Attenuation(fParams.value(3), 0));
    };
    switch (fType) {
        case kAmbient:
            glLightfv(light, GL_AMBIENT, colour);
            glLightfv(light, GL_DIFFUSE, black);
            glLightfv(light, GL_SPECULAR, black);
            break;
        case kDirectional:
            glLightfv(light, GL_DIFFUSE, colour);
            glLightfv(light, GL_AMBIENT, black);
            glLightfv(light, GL_SPECULAR, black);
            glLightf(light, GL_SPOT_EXPONENT, 0);
            glLightf(light, GL_SPOT_CUTOFF, 180);
            glLightfv(light, GL_SPOT_DIRECTION, down);
            glLightfv(light, GL_POSITION, fromZ);
            break;
        case kPoint:
            glLightfv(light, GL_DIFFUSE, colour);
            glLightfv(light, GL_AMBIENT, black);
            glLightfv(light, GL_SPECULAR, black);
            attenuations();
            glLightf(light, GL_SPOT_EXPONENT, 0);
            glLightf(light, GL_SPOT_CUTOFF, 180);
            glLightfv(light, GL_POSITION, atOrigin);
            break;
        default:
            glLightfv(light, GL_DIFFUSE, colour);
            glLightfv(light, GL_SPECULAR, colour);
            glLightfv(light, GL_AMBIENT, black);
            attenuations();
            glLightf(light, GL_SPOT_CUTOFF, Cutoff(fParams.value(4)));
            glLightf(light, GL_SPOT_EXPONENT, Exponent(fParams.value(5)));
            glLightfv(light, GL_SPOT_DIRECTION, down);
            glLightfv(light, GL_POSITION, atOrigin);
            break;
    }
    glEnable(light);
}
