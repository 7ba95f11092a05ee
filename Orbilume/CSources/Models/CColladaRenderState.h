#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Models/CColladaElement.h"
#include "Orbilume/CSources/Models/CColladaValue.h"

class CColladaDoc;
class COpenGLContext_Cca;

// A row of the render-state table: the element name, the value's type (with its enumeration and
// member tables; member rows have no default, so a state lacking a member does not read), how it is
// applied, the GL attribute group it touches and the capability of enable rows.
struct CColladaRenderStateRow {
    enum StateKind : uint32_t {
        kEnable = 0,
        kCullFace,
        kFrontFace,
        kPolygonMode,
        kTextureEnable,
        kTexture,
        kAlphaFunc,
        kBlendFunc,
        kBlendFuncSeparate,
        kBlendEquation,
        kBlendEquationSeparate,
    };
    const char* name;
    const CColladaValueType* type;
    uint32_t kind;
    uint32_t attributeGroup;
    uint32_t capability;

    // The row of an element name (exact match), or null.
    static const CColladaRenderStateRow* Find(const LString& name);
};

// One fixed-function state of a pass, attached to its element: its row, texture unit and value
// (its own or a newparam's). Applying it does not restore anything: the document's render pushes and
// pops the attribute groups around a frame.
class CColladaRenderState : public CColladaElement {
public:
    static constexpr Kind kKind = kRenderState;
    Kind kind() const override { return kKind; }
    static constexpr int32_t kMaxUnit = 31;

    // Reads the state's value from the element ("param" attribute: a newparam searched from scope,
    // leaving leftOut out; else the members or the "value" attribute). The state is attached; false
    // when no value was read (then the caller detaches it).
    [[nodiscard]] bool Read(CColladaDoc& doc, CXmlElement* element, const CColladaRenderStateRow& row,
                            CXmlElement* scope, CXmlElement* leftOut);
    // Sets the state on the current context (inside a scope on it).
    void Apply(COpenGLContext_Cca& context) const;

    const CColladaRenderStateRow* row() const { return fRow; }
    int32_t unit() const { return fUnit; }
    const CColladaValue* inUse() const { return fInUse; }

private:
    const CColladaRenderStateRow* fRow = nullptr;
    int32_t fUnit = 0;
    CColladaValue fOwn;
    const CColladaValue* fInUse = nullptr;
};
