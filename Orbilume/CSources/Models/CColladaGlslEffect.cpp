#include "Orbilume/CSources/Models/CColladaGlslEffect.h"

#include <epoxy/gl.h>

#include "Orbilume/CSources/Models/CColladaPass.h"
#include "Orbilume/CSources/Models/UColladaXml.h"

CColladaTechnique* CColladaTechnique::Build(CColladaDoc& doc, CXmlElement* element) {
    if (!UColladaXml::NameIs(element, "technique")) return nullptr;
    if (element->Attached()) return AttachedAs<CColladaTechnique>(element);
    auto* technique = new CColladaTechnique;
    element->Attach(technique);
    for (CXmlElement* p = UColladaXml::FindChild(element, "pass"); p;
         p = UColladaXml::FindChild(element, "pass", p)) {
        CColladaPass* pass = CColladaPass::Build(doc, p);
        if (!pass) continue;
        technique->fPasses.push_back(pass);
        technique->fMask |= pass->mask();
    }
    if (technique->fPasses.empty()) {
        element->Attach(nullptr);
        return nullptr;
    }
    return technique;
}

CColladaGlslEffect* CColladaGlslEffect::Build(CColladaDoc& doc, CXmlElement* element) {
    if (!UColladaXml::NameIs(element, "profile_GLSL")) return nullptr;
    if (element->Attached()) return AttachedAs<CColladaGlslEffect>(element);
    auto* effect = new CColladaGlslEffect;
    element->Attach(effect);
    for (CXmlElement* t = UColladaXml::FindChild(element, "technique"); t;
         t = UColladaXml::FindChild(element, "technique", t))
        if (CColladaTechnique* technique = CColladaTechnique::Build(doc, t))
            effect->fTechniques.push_back(technique);
    if (effect->fTechniques.empty()) {
        element->Attach(nullptr);
        return nullptr;
    }
    return effect;
}

CColladaPass* CColladaGlslEffect::FirstPass() const {
    if (fSelected >= fTechniques.size()) return nullptr;
    const auto& passes = fTechniques[fSelected]->passes();
    return passes.empty() ? nullptr : passes.front();
}

bool CColladaGlslEffect::UsesCubeSampler() const {
    for (const CColladaTechnique* t : fTechniques)
        for (const CColladaPass* p : t->passes())
            for (const CColladaShaderBind* b : p->binds())
                if (b->uniformType() == GL_SAMPLER_CUBE) return true;
    return false;
}
