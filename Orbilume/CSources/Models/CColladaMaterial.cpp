#include "Orbilume/CSources/Models/CColladaMaterial.h"

#include <epoxy/gl.h>

#include <memory>

#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Orbilume/CSources/Models/CColladaCommonEffect.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaDrawState.h"
#include "Orbilume/CSources/Models/CColladaGlslEffect.h"
#include "Orbilume/CSources/Models/CColladaParamHolder.h"
#include "Orbilume/CSources/Models/CColladaPass.h"
#include "Orbilume/CSources/Models/CColladaTreeWalker.h"
#include "Orbilume/CSources/Models/UColladaXml.h"

CColladaMaterial* CColladaMaterial::BuildFor(CColladaDoc& doc, CXmlElement* material) {
    if (!UColladaXml::NameIs(material, "material")) return nullptr;
    if (material->Attached()) return AttachedAs<CColladaMaterial>(material);
    CColladaMaterial* m = doc.NewMaterial();
    if (!m) return nullptr;
    material->Attach(m);
    if (m->Build(doc)) return m;
    material->Attach(nullptr);
    return nullptr;
}

bool CColladaMaterial::Build(CColladaDoc& doc) {
    CXmlElement* instance = element() ? element()->FindChild("instance_effect") : nullptr;
    CXmlElement* effect = doc.ResolveInstance(instance, "url", "effect");
    if (!effect) return false;
    CColladaTreeWalker walker(doc.root(), effect);
    while (walker.Next()) {
        if (!UColladaXml::NameIs(walker.current(), "double_sided")) continue;
        CColladaValue sided;
        if (sided.ReadElement(doc, walker.current(), *CColladaValueType::Find("bool", 4)) && sided.ints()[0])
            fFlags = 1;
        break;
    }
    if (CColladaGlslEffect* glsl = CColladaGlslEffect::Build(doc, effect->FindChild("profile_GLSL"))) {
        fGlsl = glsl;
        if (glsl->UsesCubeSampler()) fFlags = 1;
        return true;
    }
    CXmlElement* profile = effect->FindChild("profile_COMMON");
    if (!profile) return false;
    if (!profile->Attached()) {
        auto common = std::make_unique<CColladaCommonEffect>();
        if (common->Read(doc, profile)) (void)common.release();
    }
    fCommon = AttachedAs<CColladaCommonEffect>(profile);
    if (!fCommon) return false;
    for (const CColladaCommonEffect::Param& p : fCommon->params())
        if (p.holder->inUse()->type() == CColladaValueType::kSamplerCube) fFlags = 1;
    return true;
}

void CColladaMaterial::Apply(CColladaDrawState& state) {
    if (fGlsl) {
        if (CColladaPass* pass = fGlsl->FirstPass()) pass->Apply(state);
        return;
    }
    if (!fCommon || !state.context) return;
    {
        COpenGLScope_Cca scope(*state.context);
        glUseProgram(0);
    }
    fCommon->Apply(state);
}

int32_t CColladaMaterial::TextureUnitOf(uint32_t n) const {
    if (fGlsl) return static_cast<int32_t>(n);
    if (!fCommon) return -1;
    for (const CColladaCommonEffect::Param& p : fCommon->params()) {
        if (p.unit < 0) continue;
        if (n-- == 0) return p.unit;
    }
    return -1;
}
