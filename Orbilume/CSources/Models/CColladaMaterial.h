#pragma once

#include <cstdint>

#include "Orbilume/CSources/Models/CColladaElement.h"

class CColladaCommonEffect;
class CColladaGlslEffect;
class CColladaDoc;
struct CColladaDrawState;

// The object of a material copy: the effect it instances (by copy, below its "instance_effect") and
// whether it draws both faces. A GLSL profile that builds is preferred to the common profile.
class CColladaMaterial : public CColladaElement {
public:
    static constexpr Kind kKind = kMaterial;
    Kind kind() const override { return kKind; }

    // The attached material, or a new one of the document's class attached and built; null when it
    // does not build.
    static CColladaMaterial* BuildFor(CColladaDoc& doc, CXmlElement* material);

    virtual void Apply(CColladaDrawState& state);
    [[nodiscard]] virtual bool Build(CColladaDoc& doc);

    // The texture unit of the material's n-th texture, or -1.
    int32_t TextureUnitOf(uint32_t n) const;

    CColladaCommonEffect* common() const { return fCommon; }
    CColladaGlslEffect* glsl() const { return fGlsl; }
    // Non-zero: double-sided or a cube sampler; the geometry draw then draws both faces.
    uint8_t flags() const { return fFlags; }

private:
    CColladaGlslEffect* fGlsl = nullptr;      // attached to its profile element
    CColladaCommonEffect* fCommon = nullptr;  // attached to its profile element
    uint8_t fFlags = 0;
};
