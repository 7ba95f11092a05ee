#include "Orbilume/CSources/Models/CColladaRenderState.h"

#include <epoxy/gl.h>

#include <iterator>

#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaNewParam.h"
#include "Orbilume/CSources/Models/UColladaNumbers.h"
#include "Orbilume/CSources/Models/UColladaXml.h"

namespace {

using T = CColladaValueType;
using R = CColladaRenderStateRow;

constexpr SColladaEnumWord kFaces[] = {
    {"FRONT", GL_FRONT}, {"BACK", GL_BACK}, {"FRONT_AND_BACK", GL_FRONT_AND_BACK}};
constexpr SColladaEnumWord kWinding[] = {{"CW", GL_CW}, {"CCW", GL_CCW}};
constexpr SColladaEnumWord kModes[] = {{"POINT", GL_POINT}, {"LINE", GL_LINE}, {"FILL", GL_FILL}};
constexpr SColladaEnumWord kCompare[] = {
    {"NEVER", GL_NEVER},     {"LESS", GL_LESS},         {"LEQUAL", GL_LEQUAL}, {"EQUAL", GL_EQUAL},
    {"GREATER", GL_GREATER}, {"NOTEQUAL", GL_NOTEQUAL}, {"GEQUAL", GL_GEQUAL}, {"ALWAYS", GL_ALWAYS},
};
constexpr SColladaEnumWord kFactors[] = {
    {"ZERO", GL_ZERO},
    {"ONE", GL_ONE},
    {"SRC_COLOR", GL_SRC_COLOR},
    {"ONE_MINUS_SRC_COLOR", GL_ONE_MINUS_SRC_COLOR},
    {"DST_COLOR", GL_DST_COLOR},
    {"ONE_MINUS_DST_COLOR", GL_ONE_MINUS_DST_COLOR},
    {"SRC_ALPHA", GL_SRC_ALPHA},
    {"ONE_MINUS_SRC_ALPHA", GL_ONE_MINUS_SRC_ALPHA},
    {"DST_ALPHA", GL_DST_ALPHA},
    {"ONE_MINUS_DST_ALPHA", GL_ONE_MINUS_DST_ALPHA},
    {"CONSTANT_COLOR", GL_CONSTANT_COLOR},
    {"ONE_MINUS_CONSTANT_COLOR", GL_ONE_MINUS_CONSTANT_COLOR},
    {"CONSTANT_ALPHA", GL_CONSTANT_ALPHA},
    {"ONE_MINUS_CONSTANT_ALPHA", GL_ONE_MINUS_CONSTANT_ALPHA},
    {"SRC_ALPHA_SATURATE", GL_SRC_ALPHA_SATURATE},
};
constexpr SColladaEnumWord kEquations[] = {
    {"FUNC_ADD", GL_FUNC_ADD},
    {"FUNC_SUBTRACT", GL_FUNC_SUBTRACT},
    {"FUNC_REVERSE_SUBTRACT", GL_FUNC_REVERSE_SUBTRACT},
    {"MIN", GL_MIN},
    {"MAX", GL_MAX},
};

template <size_t N>
constexpr T Enum(const char* name, const SColladaEnumWord (&words)[N]) {
    return {name, T::kEnum, words, static_cast<uint32_t>(N), nullptr, 0, nullptr};
}

constexpr T kFaceType = Enum("cull_face", kFaces);
constexpr T kWindingType = Enum("front_face", kWinding);
constexpr T kBoolType = {"bool", T::kBool, nullptr, 0, nullptr, 0, nullptr};
constexpr T kPolygonMembers[] = {Enum("face", kFaces), Enum("mode", kModes)};
constexpr T kPolygonType = {"polygon_mode", T::kNone, nullptr, 0, kPolygonMembers, 2, nullptr};
constexpr T kAlphaMembers[] = {Enum("func", kCompare), {"value", T::kFloat, nullptr, 0, nullptr, 0, nullptr}};
constexpr T kAlphaType = {"alpha_func", T::kNone, nullptr, 0, kAlphaMembers, 2, nullptr};
constexpr T kBlendMembers[] = {Enum("src", kFactors), Enum("dest", kFactors)};
constexpr T kBlendType = {"blend_func", T::kNone, nullptr, 0, kBlendMembers, 2, nullptr};
constexpr T kBlendSeparateMembers[] = {Enum("src_rgb", kFactors), Enum("dest_rgb", kFactors),
                                       Enum("src_alpha", kFactors), Enum("dest_alpha", kFactors)};
constexpr T kBlendSeparateType = {"blend_func_separate", T::kNone, nullptr, 0,
                                  kBlendSeparateMembers, 4,        nullptr};
constexpr T kEquationType = Enum("blend_equation", kEquations);
constexpr T kEquationMembers[] = {Enum("rgb", kEquations), Enum("alpha", kEquations)};
constexpr T kEquationSeparateType = {"blend_equation_separate", T::kNone, nullptr, 0,
                                     kEquationMembers,          2,        nullptr};

const R kRows[] = {
    {"cull_face", &kFaceType, R::kCullFace, GL_POLYGON_BIT, 0},
    {"front_face", &kWindingType, R::kFrontFace, GL_POLYGON_BIT, 0},
    {"polygon_mode", &kPolygonType, R::kPolygonMode, GL_POLYGON_BIT, 0},
    {"texture2D", nullptr, R::kTexture, GL_TEXTURE_BIT, 0},
    {"texture2D_enable", &kBoolType, R::kTextureEnable, GL_TEXTURE_BIT, GL_TEXTURE_2D},
    {"textureRECT_enable", &kBoolType, R::kTextureEnable, GL_TEXTURE_BIT, GL_TEXTURE_RECTANGLE},
    {"cull_face_enable", &kBoolType, R::kEnable, GL_POLYGON_BIT, GL_CULL_FACE},
    {"alpha_func", &kAlphaType, R::kAlphaFunc, GL_COLOR_BUFFER_BIT, 0},
    {"blend_func", &kBlendType, R::kBlendFunc, GL_COLOR_BUFFER_BIT, 0},
    {"blend_func_separate", &kBlendSeparateType, R::kBlendFuncSeparate, GL_COLOR_BUFFER_BIT, 0},
    {"blend_equation", &kEquationType, R::kBlendEquation, GL_COLOR_BUFFER_BIT, 0},
    {"blend_equation_separate", &kEquationSeparateType, R::kBlendEquationSeparate, GL_COLOR_BUFFER_BIT, 0},
    {"alpha_test_enable", &kBoolType, R::kEnable, GL_COLOR_BUFFER_BIT, GL_ALPHA_TEST},
    {"blend_enable", &kBoolType, R::kEnable, GL_COLOR_BUFFER_BIT, GL_BLEND},
};

const T& TypeOf(const R& row) {
    // The sampler row carries its members with their defaults.
    return row.type ? *row.type : *T::Find("sampler2D", 9);
}

bool Truth(const CColladaValue& v) {
    if (T::IsBool(v.type()) || T::IsInt(v.type())) return v.ints()[0] != 0;
    if (T::IsFloat(v.type())) return v.floats()[0] != 0.0f;
    return false;
}

int32_t MemberEnum(const CColladaValue& v, uint32_t m, bool& ok) {
    const CColladaValue* member = v.member(m);
    if (!member) ok = false;
    return member ? member->SingleEnum() : 0;
}

}  // namespace

const CColladaRenderStateRow* CColladaRenderStateRow::Find(const LString& name) {
    for (const R& row : kRows)
        if (name == row.name) return &row;
    return nullptr;
}

bool CColladaRenderState::Read(CColladaDoc& doc, CXmlElement* element, const CColladaRenderStateRow& row,
                               CXmlElement* scope, CXmlElement* leftOut) {
    fRow = &row;
    fInUse = nullptr;
    LString index = element->GetAttribute("index");
    fUnit = index.IsEmpty() ? 0 : static_cast<int32_t>(UColladaNumbers::ToInt(index));
    const T& type = TypeOf(row);
    LString param = element->GetAttribute("param");
    if (!param.IsEmpty()) {
        CColladaNewParam* p = CColladaNewParam::Build(doc, doc.FindSidInScope(scope, leftOut, param));
        if (p) fInUse = &p->value();
    } else if (type.memberCount) {
        if (fOwn.ReadElement(doc, element, type)) fInUse = &fOwn;
    } else {
        LString value = element->GetAttribute("value");
        if (!value.IsEmpty() && fOwn.ParseTyped(value, type)) fInUse = &fOwn;
    }
    return fInUse != nullptr;
}

void CColladaRenderState::Apply(COpenGLContext_Cca& context) const {
    if (!fRow || !fInUse) return;
    const CColladaValue& v = *fInUse;
    COpenGLScope_Cca scope(context);
    bool ok = true;
    switch (fRow->kind) {
        case R::kEnable:
            if (Truth(v))
                glEnable(fRow->capability);
            else
                glDisable(fRow->capability);
            break;
        case R::kCullFace:
            glCullFace(static_cast<GLenum>(v.SingleEnum()));
            break;
        case R::kFrontFace:
            glFrontFace(static_cast<GLenum>(v.SingleEnum()));
            break;
        case R::kPolygonMode: {
            GLenum face = static_cast<GLenum>(MemberEnum(v, 0, ok)),
                   mode = static_cast<GLenum>(MemberEnum(v, 1, ok));
            if (ok) glPolygonMode(face, mode);
            break;
        }
        case R::kTextureEnable:
        case R::kTexture:
            // Units outside what GL offers would only raise an error.
            if (fUnit < 0 || fUnit > kMaxUnit) break;
            glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(fUnit));
            if (fRow->kind == R::kTexture) {
                v.ApplySamplerStates(context);
            } else if (Truth(v)) {
                glEnable(fRow->capability);
            } else {
                glDisable(fRow->capability);
            }
            break;
        case R::kAlphaFunc: {
            GLenum func = static_cast<GLenum>(MemberEnum(v, 0, ok));
            const CColladaValue* ref = v.member(1);
            if (ok && ref) glAlphaFunc(func, ref->SingleFloat());
            break;
        }
        case R::kBlendFunc: {
            GLenum src = static_cast<GLenum>(MemberEnum(v, 0, ok)),
                   dst = static_cast<GLenum>(MemberEnum(v, 1, ok));
            if (ok) glBlendFunc(src, dst);
            break;
        }
        case R::kBlendFuncSeparate: {
            GLenum f[4];
            for (uint32_t m = 0; m < 4; ++m) f[m] = static_cast<GLenum>(MemberEnum(v, m, ok));
            if (ok) glBlendFuncSeparate(f[0], f[1], f[2], f[3]);
            break;
        }
        case R::kBlendEquation:
            glBlendEquation(static_cast<GLenum>(v.SingleEnum()));
            break;
        case R::kBlendEquationSeparate: {
            GLenum rgb = static_cast<GLenum>(MemberEnum(v, 0, ok)),
                   alpha = static_cast<GLenum>(MemberEnum(v, 1, ok));
            if (ok) glBlendEquationSeparate(rgb, alpha);
            break;
        }
        default:
            break;
    }
}
