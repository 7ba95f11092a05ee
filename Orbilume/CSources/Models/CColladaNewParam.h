#pragma once

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Models/CColladaElement.h"
#include "Orbilume/CSources/Models/CColladaValue.h"

class CColladaDoc;

// The object of a "newparam": its semantic and the value of its first typed child that reads.
class CColladaNewParam : public CColladaElement {
public:
    static constexpr Kind kKind = kNewParam;
    Kind kind() const override { return kKind; }
    // A parameter reference names the whole value: no member part.
    bool ResolveTarget(SColladaTarget& target) override;

    static CColladaNewParam* Build(CColladaDoc& doc, CXmlElement* element);
    // Builds every "newparam" child of the element, in order.
    static void BuildNewParams(CColladaDoc& doc, CXmlElement* element);

    const LString& semantic() const { return fSemantic; }
    CColladaValue& value() { return fValue; }

private:
    LString fSemantic;
    CColladaValue fValue;
};
