#pragma once

#include <cstdint>
#include <vector>

#include "Orbilume/CSources/Models/CColladaElement.h"

class CColladaDoc;
class CColladaPass;

// The object of a "technique" of the GLSL profile: its passes that built (at least one) and the OR
// of their attribute masks.
class CColladaTechnique : public CColladaElement {
public:
    static constexpr Kind kKind = kTechnique;
    Kind kind() const override { return kKind; }

    // The attached technique, or a new one; null (nothing left attached) without a pass that builds.
    static CColladaTechnique* Build(CColladaDoc& doc, CXmlElement* element);

    const std::vector<CColladaPass*>& passes() const { return fPasses; }
    uint32_t mask() const { return fMask; }

private:
    std::vector<CColladaPass*> fPasses;
    uint32_t fMask = 0;
};

// The object of a "profile_GLSL": its techniques that built (at least one). The material applies the
// first pass of the selected technique.
class CColladaGlslEffect : public CColladaElement {
public:
    static constexpr Kind kKind = kGlslEffect;
    Kind kind() const override { return kKind; }

    // The attached effect, or a new one; null (nothing left attached) without a technique that builds.
    static CColladaGlslEffect* Build(CColladaDoc& doc, CXmlElement* element);

    const std::vector<CColladaTechnique*>& techniques() const { return fTechniques; }
    uint32_t selected() const { return fSelected; }
    // The first pass of the selected technique, or null.
    CColladaPass* FirstPass() const;
    // Whether a binding of any pass was matched to a cube-map sampler uniform.
    bool UsesCubeSampler() const;

private:
    std::vector<CColladaTechnique*> fTechniques;
    uint32_t fSelected = 0;
};
