#include "Orbilume/CSources/Models/CColladaNewParam.h"

#include <memory>

#include "Orbilume/CSources/Models/UColladaXml.h"

bool CColladaNewParam::ResolveTarget(SColladaTarget& target) {
    if (!target.member.IsEmpty() || target.indexCount) return false;
    target.valueIndex = 0;
    return true;
}

CColladaNewParam* CColladaNewParam::Build(CColladaDoc& doc, CXmlElement* element) {
    if (!UColladaXml::NameIs(element, "newparam")) return nullptr;
    if (element->Attached()) return AttachedAs<CColladaNewParam>(element);
    auto param = std::make_unique<CColladaNewParam>();
    param->fSemantic = element->GetAttribute("semantic");
    for (CXmlElement* c = UColladaXml::FirstChild(element); c; c = UColladaXml::Next(c)) {
        if (!param->fValue.ReadTypedChild(doc, c)) continue;
        CColladaNewParam* built = param.release();
        element->Attach(built);
        return built;
    }
    return nullptr;
}

void CColladaNewParam::BuildNewParams(CColladaDoc& doc, CXmlElement* element) {
    for (CXmlElement* c = UColladaXml::FindChild(element, "newparam"); c;
         c = UColladaXml::FindChild(element, "newparam", c))
        (void)Build(doc, c);
}
