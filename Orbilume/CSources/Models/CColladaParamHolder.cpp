#include "Orbilume/CSources/Models/CColladaParamHolder.h"

#include "Orbilume/CSources/Models/CColladaNewParam.h"
#include "Orbilume/CSources/Models/CColladaTargetPath.h"

bool AttachHolder(CXmlElement* element, CColladaParamHolder* holder) {
    if (!element || element->Attached()) return false;
    element->Attach(holder);
    return true;
}

void ResolveParamRef(CColladaDoc& doc, CXmlElement* scope, CXmlElement* param, CColladaParamHolder* holder) {
    (void)AttachHolder(param, holder);
    SColladaTarget target;
    CColladaElement* found = CColladaTargetPath::Resolve(doc, scope, param->GetAttribute("ref"), target);
    if (found && found->kind() == CColladaNewParam::kKind)
        holder->Use(&static_cast<CColladaNewParam*>(found)->value());
}
