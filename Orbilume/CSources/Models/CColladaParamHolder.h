#pragma once

#include "Orbilume/CSources/Models/CColladaElement.h"
#include "Orbilume/CSources/Models/CColladaValue.h"

class CColladaDoc;

// One parameter of an effect: attached to the element it was read from (which then owns it), or
// unattached and owned by the effect. It uses its own value or one of a newparam it was bound to.
class CColladaParamHolder : public CColladaElement {
public:
    static constexpr Kind kKind = kParamHolder;
    Kind kind() const override { return kKind; }

    CColladaValue& own() { return fOwn; }
    const CColladaValue* inUse() const { return fInUse; }
    void Use(const CColladaValue* value) { fInUse = value; }

private:
    CColladaValue fOwn;
    const CColladaValue* fInUse = &fOwn;
};

// Attaches the holder to the element when nothing else is attached there (an object others may
// hold is never replaced); false when it stays unattached.
bool AttachHolder(CXmlElement* element, CColladaParamHolder* holder);

// Attaches the holder to the param element and binds it to the newparam its "ref" names (a target
// path resolved with the scope where a channel's own element stands, or a plain sid of a newparam in
// the enclosing scopes); otherwise it keeps its own value.
void ResolveParamRef(CColladaDoc& doc, CXmlElement* scope, CXmlElement* param, CColladaParamHolder* holder);
