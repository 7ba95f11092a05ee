#pragma once

#include <cstdint>

#include "Orbilume/CSources/Models/CColladaElement.h"
#include "Orbilume/CSources/Models/CColladaFloatParam.h"

class CColladaDoc;
struct CColladaDrawState;

// The object of a light copy: its kind and parameters, and the fixed-function light they set up in
// the light's own space (the caller has loaded the node's world matrix).
class CColladaLight : public CColladaElement {
public:
    static constexpr Kind kKind = kLight;
    Kind kind() const override { return kKind; }
    enum Type : uint32_t { kNone = 0, kAmbient = 1, kDirectional = 2, kPoint = 3, kSpot = 4 };

    // The attached light of a light copy, or a new one attached and read (kept also when it has no
    // known kind: it then sets up nothing).
    static CColladaLight* Build(CColladaDoc& doc, CXmlElement* light);

    // The first child of technique_common that names a kind; false when there is none.
    [[nodiscard]] bool Read(CColladaDoc& doc);
    // Takes the next light number of the draw state; lights past what GL offers are skipped.
    void Apply(CColladaDrawState& state);

    uint32_t type() const { return fType; }
    CColladaParamList& params() { return fParams; }

private:
    CColladaParamList fParams;
    uint32_t fType = kNone;
};
