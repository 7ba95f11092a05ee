#include "Orbilume/CSources/Models/CColladaCommonEffect.h"

#include <epoxy/gl.h>

#include <iterator>

#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaDrawState.h"
#include "Orbilume/CSources/Models/CColladaNewParam.h"
#include "Orbilume/CSources/Models/CColladaParamHolder.h"
#include "Orbilume/CSources/Models/CColladaSurface.h"
#include "Orbilume/CSources/Models/UColladaXml.h"

namespace {

using T = CColladaValueType;

constexpr CColladaCommonParam kTableA[CColladaShadingModel::kParams] = {
    {"emission", 1, GL_EMISSION, T::kFloat4, "0 0 0 1"},
    {"ambient", 1, GL_AMBIENT, T::kFloat4, "0 0 0 1"},
    {"diffuse", 1, GL_DIFFUSE, T::kFloat4, "0 0 0 1"},
    {"specular", 1, GL_SPECULAR, T::kFloat4, "0 0 0 1"},
    {"shininess", 0, GL_SHININESS, 0, nullptr},
    {"reflective", 1, 0, T::kFloat4, "0 0 0 1"},
    {"reflectivity", 0, 0, 0, nullptr},
    {"transparent", 1, 0, T::kFloat4, "1 1 1 1"},
    {"transparency", 0, 0, T::kFloat, "1"},
    {"index_of_refraction", 0, 0, 0, nullptr},
};
constexpr CColladaCommonParam kTableB[CColladaShadingModel::kParams] = {
    {"emission", 1, GL_EMISSION, T::kFloat4, "0 0 0 1"},
    {"ambient", 1, GL_AMBIENT, T::kFloat4, "0.2 0.2 0.2 1"},
    {"diffuse", 1, GL_DIFFUSE, T::kFloat4, "0.8 0.8 0.8 1"},
    {"specular", 1, GL_SPECULAR, T::kFloat4, "0 0 0 1"},
    {"shininess", 0, GL_SHININESS, 0, nullptr},
    {"reflective", 1, 0, T::kFloat4, "0 0 0 1"},
    {"reflectivity", 0, 0, 0, nullptr},
    {"transparent", 1, 0, T::kFloat4, "1 1 1 1"},
    {"transparency", 0, 0, T::kFloat, "1"},
    {"index_of_refraction", 0, 0, 0, nullptr},
};
constexpr CColladaShadingModel kModels[] = {
    {"constant", 1, kTableA},
    {"lambert", 2, kTableB},
    {"phong", 3, kTableB},
    {"blinn", 4, kTableB},
};

}  // namespace

const CColladaShadingModel* CColladaShadingModel::Table(uint32_t& count) {
    count = std::size(kModels);
    return kModels;
}

CColladaCommonEffect::CColladaCommonEffect() = default;
CColladaCommonEffect::~CColladaCommonEffect() = default;

bool CColladaCommonEffect::Read(CColladaDoc& doc, CXmlElement* profile) {
    CXmlElement* technique = profile ? profile->FindChild("technique") : nullptr;
    if (!technique) return false;
    CColladaNewParam::BuildNewParams(doc, profile);
    CColladaNewParam::BuildNewParams(doc, technique);
    CXmlElement* shading = nullptr;
    for (const CColladaShadingModel& m : kModels) {
        shading = technique->FindChild(m.name);
        if (shading) {
            fModel = &m;
            break;
        }
    }
    if (!fModel) return false;
    int32_t nextUnit = 0;
    for (uint32_t i = 0; i < CColladaShadingModel::kParams; ++i) {
        const CColladaCommonParam& row = fModel->params[i];
        auto holder = std::make_unique<CColladaParamHolder>();
        CColladaParamHolder* h = holder.get();
        int32_t unit = -1;
        CXmlElement* r = shading->FindChild(row.name);
        bool attached = false;
        if (r && row.kind == 1) {
            if (CXmlElement* color = r->FindChild("color")) {
                attached = AttachHolder(color, h);
                (void)h->own().ReadElement(doc, color, *T::Find("float4", 6));
            } else if (CXmlElement* texture = r->FindChild("texture")) {
                attached = AttachHolder(texture, h);
                CXmlElement* found = doc.FindSidInScope(profile, technique, texture->GetAttribute("texture"));
                CColladaNewParam* param = CColladaElement::AttachedAs<CColladaNewParam>(found);
                if (param && UColladaXml::NameIs(found, "newparam")) {
                    h->Use(&param->value());
                    unit = nextUnit++;
                }
            } else if (CXmlElement* ref = r->FindChild("param")) {
                ResolveParamRef(doc, profile, ref, h);
                attached = h->element() != nullptr;
            }
        } else if (r) {
            if (CXmlElement* f = r->FindChild("float")) {
                attached = AttachHolder(f, h);
                (void)h->own().ReadElement(doc, f, *T::Find("float", 5));
            } else if (CXmlElement* ref = r->FindChild("param")) {
                ResolveParamRef(doc, profile, ref, h);
                attached = h->element() != nullptr;
            }
        }
        if (!attached && row.typeCode && row.defaultText)
            (void)h->own().ParseText(LString(row.defaultText), row.typeCode);
        if (attached)
            (void)holder.release();
        else
            fOwned.push_back(std::move(holder));
        fParams.push_back({h, unit});
    }
    if (CXmlElement* transparent = shading->FindChild("transparent")) {
        LString opaque = transparent->GetAttribute("opaque");
        if (opaque == "RGB_ZERO")
            fOpaqueMode = kOpaqueRgbZero;
        else if (opaque.IsEmpty())
            fOpaqueMode = kOpaqueNone;
    }
    profile->Attach(this);
    return true;
}

uint32_t CColladaCommonEffect::TransparencyMode(const CColladaDrawState& state) {
    if (!fModel) return kOpaque;
    if (fTested && fLastFrame == state.frame) return fAnswer;
    fTested = true;
    fLastFrame = state.frame;
    fAnswer = kOpaque;
    const CColladaValue* transparent = fParams[CColladaShadingModel::kTransparent].holder->inUse();
    if (!transparent || transparent->type() != T::kFloat4) return fAnswer;
    const CColladaValue* transparency = fParams[CColladaShadingModel::kTransparency].holder->inUse();
    float t = transparency ? transparency->SingleFloat() : 0.0f;
    float c[4];
    transparent->GetFloats(c, 4);
    if (fOpaqueMode == kOpaqueRgbZero) {
        if (t == 0 || (c[0] == 0 && c[1] == 0 && c[2] == 0)) return fAnswer = kOpaque;
        if (t == 1 && c[0] == 1 && c[1] == 1 && c[2] == 1) return fAnswer = kInvisible;
        fBlend[0] = GL_ONE_MINUS_CONSTANT_COLOR;
        fBlend[1] = GL_CONSTANT_COLOR;
        fBlendColor[0] = t * c[0];
        fBlendColor[1] = t * c[1];
        fBlendColor[2] = t * c[2];
        fBlendColor[3] = t * (0.212671f * c[0] + 0.71516f * c[1] + 0.072169f * c[2]);
        return fAnswer = kBlended;
    }
    if (fOpaqueMode == kOpaqueNone && t == 0) t = 1;
    if (t == 1 && c[3] == 1) return fAnswer = kOpaque;
    if (t == 0 || c[3] == 0) return fAnswer = kInvisible;
    fBlend[0] = GL_CONSTANT_ALPHA;
    fBlend[1] = GL_ONE_MINUS_CONSTANT_ALPHA;
    fBlendColor[0] = fBlendColor[1] = fBlendColor[2] = 0;
    fBlendColor[3] = t * c[3];
    return fAnswer = kBlended;
}

void CColladaCommonEffect::Apply(CColladaDrawState& state) {
    if (!fModel || !state.context) return;
    COpenGLScope_Cca scope(*state.context);
    glDisable(GL_ALPHA_TEST);
    if (fModel->model >= 1 && fModel->model <= 4)
        for (uint32_t i = 0; i <= 4; ++i) ApplyParam(state, i);
    if (fAnswer == kBlended) {
        glDisable(GL_ALPHA_TEST);
        glBlendEquation(GL_FUNC_ADD);
        glBlendFunc(fBlend[0], fBlend[1]);
        glBlendColor(fBlendColor[0], fBlendColor[1], fBlendColor[2], fBlendColor[3]);
        glEnable(GL_BLEND);
    } else {
        glDisable(GL_BLEND);
    }
}

void CColladaCommonEffect::ApplyParam(CColladaDrawState& state, uint32_t i) {
    const CColladaCommonParam& row = fModel->params[i];
    const CColladaValue* value = fParams[i].holder->inUse();
    if (row.kind == 0) {
        glMaterialf(GL_FRONT_AND_BACK, row.materialTarget, value ? value->SingleFloat() : 0.0f);
        return;
    }
    float color[4] = {0, 0, 0, 0};
    if (value && value->type() == T::kSampler2D) {
        color[0] = color[1] = color[2] = color[3] = 1.0f;
        CColladaSurface* surface = value->surface();
        int32_t u = fParams[i].unit;
        if (surface && surface->texture() && u >= 0) {
            GLenum target = surface->texture()->target();
            glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(u));
            glBindTexture(target, surface->texture()->name());
            value->ApplySamplerStates(*state.context);
            glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, 0);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, i <= 1 ? GL_REPLACE : GL_MODULATE);
            EnableTextureUnit(state, static_cast<uint32_t>(u), target);
            glActiveTexture(GL_TEXTURE0);
            glEnable(GL_ALPHA_TEST);
        }
    } else if (value) {
        value->GetFloats(color, 4);
    }
    glMaterialfv(GL_FRONT_AND_BACK, row.materialTarget, color);
}

int32_t CColladaCommonEffect::TextureUnitOfTexcoord(const LString& name) const {
    for (const Param& p : fParams) {
        CXmlElement* e = p.holder->element();
        if (e && e->GetAttribute("texcoord") == name) return p.unit;
    }
    return -1;
}
