#include "Orbilume/CSources/Models/CColladaBindMaterial.h"

#include "Orbilume/CSources/Models/CColladaCommonEffect.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaMaterial.h"
#include "Orbilume/CSources/Models/UColladaNumbers.h"
#include "Orbilume/CSources/Models/UColladaXml.h"

CColladaBindMaterial* CColladaBindMaterial::Build(CColladaDoc& doc, CXmlElement* bindMaterial) {
    if (!UColladaXml::NameIs(bindMaterial, "bind_material")) return nullptr;
    if (bindMaterial->Attached()) return AttachedAs<CColladaBindMaterial>(bindMaterial);
    auto* b = new CColladaBindMaterial;
    bindMaterial->Attach(b);
    CXmlElement* common = bindMaterial->FindChild("technique_common");
    for (CXmlElement* im = UColladaXml::FindChild(common, "instance_material"); im;
         im = UColladaXml::FindChild(common, "instance_material", im)) {
        CXmlElement* copy = doc.ResolveInstance(im, "target", "material");
        CColladaMaterial* material = copy ? CColladaMaterial::BuildFor(doc, copy) : nullptr;
        if (!material) continue;
        Entry entry{im->GetAttribute("symbol"), material, {}, {}};
        for (CXmlElement* c = UColladaXml::FirstChild(im); c; c = UColladaXml::Next(c)) {
            if (UColladaXml::NameIs(c, "bind"))
                entry.binds.push_back({c->GetAttribute("semantic"), c->GetAttribute("target")});
            else if (UColladaXml::NameIs(c, "bind_vertex_input"))
                entry.vertexInputs.push_back({c->GetAttribute("semantic"), c->GetAttribute("input_semantic"),
                                              UColladaNumbers::ToInt(c->GetAttribute("input_set"))});
        }
        b->fEntries.push_back(std::move(entry));
    }
    return b;
}

CColladaMaterial* CColladaBindMaterial::MaterialFor(const LString& symbol) const {
    for (const Entry& e : fEntries)
        if (e.symbol == symbol) return e.material;
    return nullptr;
}

std::vector<int32_t> CColladaBindMaterial::UnitsForSet(int32_t set) const {
    std::vector<int32_t> units;
    auto add = [&](int32_t unit) {
        if (unit >= 0 && unit < 8) units.push_back(unit);
    };
    for (const Entry& e : fEntries) {
        CColladaCommonEffect* common = e.material->common();
        bool triples = false;
        for (const VertexInput& v : e.vertexInputs) {
            if (!(v.inputSemantic == "TEXCOORD") || v.inputSet != set) continue;
            triples = true;
            if (common) add(common->TextureUnitOfTexcoord(v.semantic));
        }
        if (triples) continue;
        for (const Bind& b : e.binds)
            if (common) add(common->TextureUnitOfTexcoord(b.semantic));
    }
    if (units.empty() && !fEntries.empty() && set >= 0) add(fEntries[0].material->TextureUnitOf(set));
    return units;
}
