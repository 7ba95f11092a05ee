#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Models/CColladaElement.h"
#include "Orbilume/CSources/Models/CColladaValue.h"

class COpenGLProgram;
class CColladaDoc;
class CColladaRenderState;
struct CColladaDrawState;

// A "bind" of a shader: the active uniform it was matched to (location -1 until then) and the value
// it sets (its own or a newparam's).
class CColladaShaderBind : public CColladaElement {
public:
    static constexpr Kind kKind = kShaderBind;
    Kind kind() const override { return kKind; }

    int32_t location() const { return fLocation; }
    uint32_t uniformType() const { return fUniformType; }
    const CColladaValue* inUse() const { return fInUse; }

private:
    friend class CColladaPass;
    int32_t fLocation = -1;
    uint32_t fUniformType = 0;
    CColladaValue fOwn;
    const CColladaValue* fInUse = nullptr;
};

// The object of a GLSL "pass": its render states, an optional colour target and clear colour, and
// one program built from the first vertex and the first fragment shader, whose active uniforms are
// bound to parameter values. Built on the loader thread (the program on the common context); applied
// on the render thread before each batch of a material that uses it.
class CColladaPass : public CColladaElement {
public:
    static constexpr Kind kKind = kPass;
    Kind kind() const override { return kKind; }
    // Includes larger than this are not read (the shader is skipped).
    static constexpr size_t kMaxIncludeBytes = size_t{1} << 20;

    CColladaPass();
    ~CColladaPass() override;

    // The attached pass, or a new one attached and built; null for other element names.
    static CColladaPass* Build(CColladaDoc& doc, CXmlElement* element);
    // Colour target, clear, render states, program (0 without a linked one), uniforms, samplers.
    void Apply(CColladaDrawState& state);

    const std::vector<CColladaRenderState*>& states() const { return fStates; }
    const std::vector<CColladaShaderBind*>& binds() const { return fBinds; }
    uint32_t mask() const { return fMask; }
    bool linked() const;
    uint32_t program() const;
    const LString& vertexSource() const { return fVertex; }
    const LString& fragmentSource() const { return fFragment; }
    bool clears() const { return fClear; }
    const float* clearColor() const { return fClearColor; }

private:
    void Fill(CColladaDoc& doc);
    void ReadShader(CColladaDoc& doc, CXmlElement* shader);
    void MatchUniforms(CColladaDoc& doc);

    std::unique_ptr<COpenGLProgram> fProgram;
    std::vector<CColladaRenderState*> fStates;
    std::vector<CColladaShaderBind*> fBinds;
    uint32_t fMask = 0;
    const CColladaValue* fColorTarget = nullptr;
    float fClearColor[4] = {0, 0, 0, 0};
    bool fClear = false;
    LString fVertex, fFragment;
};
