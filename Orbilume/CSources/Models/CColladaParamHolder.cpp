#include "Orbilume/CSources/Models/CColladaParamHolder.h"

#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaNewParam.h"
#include "Orbilume/CSources/Models/CColladaTargetPath.h"

bool AttachHolder(CXmlElement* element, CColladaParamHolder* holder) {
    if (!element || element->Attached()) return false;
    element->Attach(holder);
    return true;
}

void ResolveParamRef(CColladaDoc& doc, CXmlElement* scope, CXmlElement* param, CColladaParamHolder* holder) {
    (void)AttachHolder(param, holder);
    LString ref = param->GetAttribute("ref");
    SColladaTarget target;
    CColladaElement* found = CColladaTargetPath::Resolve(doc, scope, ref, target);
    // A plain sid (the usual form) names a newparam in the enclosing scopes; as a path its first
    // segment would be looked up as an id below the scene and never find it.
    if (!found)
        found = CColladaElement::AttachedAs<CColladaNewParam>(doc.FindSidInScope(scope, nullptr, ref));
    if (found && found->kind() == CColladaNewParam::kKind)
        holder->Use(&static_cast<CColladaNewParam*>(found)->value());
}
