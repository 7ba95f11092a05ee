#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Models/CColladaElement.h"

class CColladaDoc;
class CColladaParamHolder;
struct CColladaDrawState;

// A row of a common-profile parameter table: kind 1 holds a colour or a texture, kind 0 a float or a
// parameter reference.
struct CColladaCommonParam {
    const char* name;
    uint32_t kind;
    uint32_t materialTarget;  // GL enum, 0 when none
    uint32_t typeCode;        // 0 when none
    const char* defaultText;  // null when none
};

// A shading model of the common profile with its parameter table.
struct CColladaShadingModel {
    static constexpr uint32_t kParams = 10;
    static constexpr uint32_t kTransparent = 7;
    static constexpr uint32_t kTransparency = 8;

    const char* name;
    uint32_t model;  // constant 1, lambert 2, phong 3, blinn 4
    const CColladaCommonParam* params;

    static const CColladaShadingModel* Table(uint32_t& count);
};

// The object of a "profile_COMMON" element: the shading model, one parameter per row with its texture
// unit, and the transparency answer computed once per frame. Parameters attached to their elements
// are owned there; the others by the effect.
class CColladaCommonEffect : public CColladaElement {
public:
    static constexpr Kind kKind = kCommonEffect;
    Kind kind() const override { return kKind; }
    enum Answer : uint32_t { kOpaque = 0, kBlended = 1, kInvisible = 2 };
    enum Opaque : uint32_t { kOpaqueNone = 0, kOpaqueAlpha = 1, kOpaqueRgbZero = 2 };

    CColladaCommonEffect();
    ~CColladaCommonEffect() override;

    // Reads the profile; on success the effect is attached to it.
    [[nodiscard]] bool Read(CColladaDoc& doc, CXmlElement* profile);
    // 0 opaque, 1 blended (factors and colour stored), 2 invisible; computed once per frame.
    uint32_t TransparencyMode(const CColladaDrawState& state);
    // Fixed-function material, texture and blend state, inside a scope on the state's context.
    void Apply(CColladaDrawState& state);
    // The unit of the first parameter read from an element whose texcoord is the name; -1 when none.
    int32_t TextureUnitOfTexcoord(const LString& name) const;

    struct Param {
        CColladaParamHolder* holder;
        int32_t unit;
    };
    const std::vector<Param>& params() const { return fParams; }
    const CColladaShadingModel* model() const { return fModel; }
    uint32_t opaqueMode() const { return fOpaqueMode; }
    const uint32_t* blendFactors() const { return fBlend; }
    const float* blendColor() const { return fBlendColor; }

private:
    void ApplyParam(CColladaDrawState& state, uint32_t i);

    const CColladaShadingModel* fModel = nullptr;
    std::vector<Param> fParams;
    std::vector<std::unique_ptr<CColladaParamHolder>> fOwned;  // the holders that stayed unattached
    uint32_t fOpaqueMode = kOpaqueAlpha;
    uint32_t fLastFrame = 0;
    bool fTested = false;  // a new effect computes at its first test
    uint32_t fBlend[2] = {0, 0};
    float fBlendColor[4] = {0, 0, 0, 0};
    uint32_t fAnswer = kOpaque;
};
