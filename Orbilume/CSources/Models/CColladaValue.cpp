#include "Orbilume/CSources/Models/CColladaValue.h"

#include <epoxy/gl.h>

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/Stream/CXmlElement.h"
#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/CoreString/UCharIn.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaSurface.h"
#include "Orbilume/CSources/Models/UColladaXml.h"

namespace {

constexpr SColladaEnumWord kBoolWords[] = {{"false", 0}, {"true", 1}, {"0", 0}, {"1", 1}};

bool LookUp(const SColladaEnumWord* words, uint32_t n, const unsigned char* text, uint32_t length,
            int32_t& value) {
    for (uint32_t i = 0; i < n; ++i) {
        if (std::strlen(words[i].word) == length && std::memcmp(words[i].word, text, length) == 0) {
            value = words[i].value;
            return true;
        }
    }
    return false;
}

int32_t SaturateToInt(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return INT32_MAX;
    if (x <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(x);
}

}  // namespace

int32_t CColladaValue::RoundToInt(float x) {
    float r = x < 0 ? x - 0.49999997f : x + 0.49999997f;
    return SaturateToInt(std::trunc(r));
}

int32_t CColladaValue::ReadInt(const char* token) {
    errno = 0;
    long long v = std::strtoll(token, nullptr, 0);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

float CColladaValue::ReadFloat(const char* token) {
    double d = std::strtod(token, nullptr);
    if (std::isnan(d)) return std::nanf("");
    if (d > FLT_MAX) return HUGE_VALF;
    if (d < -FLT_MAX) return -HUGE_VALF;
    return static_cast<float>(d);
}

void CColladaValue::Clear() {
    fType = 0;
    fMembers.clear();
    std::memset(&fData, 0, sizeof(fData));
    fSurface = nullptr;
}

bool CColladaValue::ParseText(const LString& text, uint32_t code) {
    if (code < CColladaValueType::kBool || code > CColladaValueType::kFloat4x4) return false;
    Clear();
    fType = code;
    LStrCharIn in(text);
    LVariStr<64> token;
    if (uint32_t side = CColladaValueType::MatrixSide(code)) {
        for (uint32_t c = 0; c < side; ++c) fData.f[c * side + c] = 1.0f;
        for (uint32_t k = 0; k < side * side; ++k) {
            token.Reset();
            if (!UCharIn::Read(in, token)) break;
            fData.f[(k % side) * side + k / side] = ReadFloat(token.CStr());
        }
        return true;
    }
    uint32_t n = CColladaValueType::Components(code);
    for (uint32_t k = 0; k < n; ++k) {
        token.Reset();
        if (!UCharIn::Read(in, token)) break;
        if (CColladaValueType::IsBool(code)) {
            if (!LookUp(kBoolWords, 4, token.Text(), token.Length(), fData.i[k])) break;
        } else if (CColladaValueType::IsInt(code)) {
            fData.i[k] = ReadInt(token.CStr());
        } else {
            fData.f[k] = ReadFloat(token.CStr());
        }
    }
    return true;
}

bool CColladaValue::ParseTyped(const LString& text, const CColladaValueType& row) {
    if (row.code != CColladaValueType::kEnum) return ParseText(text, row.code);
    const unsigned char* s = text.Text();
    uint32_t b = 0, e = text.Length();
    while (b < e && UCharIn::IsSpace(s[b])) ++b;
    while (e > b && UCharIn::IsSpace(s[e - 1])) --e;
    int32_t value;
    if (!LookUp(row.words, row.wordCount, s + b, e - b, value)) return false;
    Clear();
    fType = CColladaValueType::kEnum;
    fData.i[0] = value;
    return true;
}

bool CColladaValue::ReadElement(CColladaDoc& doc, CXmlElement* element, const CColladaValueType& row) {
    if (!element) return false;
    uint32_t k = row.code;
    Clear();
    if (k == CColladaValueType::kSampler2D || k == CColladaValueType::kSamplerCube) {
        if (CXmlElement* source = element->FindChild("source")) {
            LString sid = UColladaXml::FirstToken(source);
            CXmlElement* found = doc.FindSidInScope(element->Parent(), element, sid);
            if (found) fSurface = CColladaSurface::Build(doc, found->FindChild("surface"));
        }
    }
    if (k == CColladaValueType::kSurface) {
        fSurface = CColladaSurface::Build(doc, element);
        if (!fSurface) return false;
        fType = k;
        return true;
    }
    if (row.memberCount) {
        for (CXmlElement* c = UColladaXml::FirstChild(element); c; c = UColladaXml::Next(c)) {
            LString name = UColladaXml::Name(c);
            int32_t m = row.MemberIndex(name.CStr(), name.Length());
            if (m < 0) continue;
            auto value = std::make_unique<CColladaValue>();
            // A member may give its value as a "value" attribute (render states) or as its text.
            const CColladaValueType& mrow = row.members[m];
            LString attribute = mrow.memberCount ? LString() : c->GetAttribute("value");
            if (!attribute.IsEmpty() ? !value->ParseTyped(attribute, mrow)
                                     : !value->ReadElement(doc, c, mrow))
                continue;
            if (fMembers.size() <= static_cast<size_t>(m)) fMembers.resize(static_cast<size_t>(m) + 1);
            if (!fMembers[static_cast<size_t>(m)]) fMembers[static_cast<size_t>(m)] = std::move(value);
        }
        fMembers.resize(row.memberCount);
        for (uint32_t m = 0; m < row.memberCount; ++m) {
            if (fMembers[m]) continue;
            const CColladaValueType& mrow = row.members[m];
            auto value = std::make_unique<CColladaValue>();
            if (!mrow.defaultText || !value->ParseTyped(LString(mrow.defaultText), mrow)) return false;
            fMembers[m] = std::move(value);
        }
    } else {
        CColladaSurface* surface = fSurface;
        if (!ParseTyped(UColladaXml::Text(element), row)) {
            if (!row.defaultText || !ParseTyped(LString(row.defaultText), row)) return false;
        }
        fSurface = surface;
    }
    fType = k;
    return true;
}

bool CColladaValue::ReadTypedChild(CColladaDoc& doc, CXmlElement* element) {
    if (!element) return false;
    LString name = UColladaXml::Name(element);
    const CColladaValueType* row = CColladaValueType::Find(name.CStr(), name.Length());
    return row && ReadElement(doc, element, *row);
}

void CColladaValue::GetInts(int32_t* out, uint32_t n) const {
    std::memset(out, 0, n * sizeof(int32_t));
    uint32_t c = CColladaValueType::Components(fType);
    uint32_t m = c < n ? c : n;
    for (uint32_t k = 0; k < m; ++k)
        out[k] = CColladaValueType::IsFloat(fType) ? RoundToInt(fData.f[k]) : fData.i[k];
}

void CColladaValue::GetFloats(float* out, uint32_t n) const {
    std::memset(out, 0, n * sizeof(float));
    uint32_t c = CColladaValueType::Components(fType);
    uint32_t m = c < n ? c : n;
    for (uint32_t k = 0; k < m; ++k)
        out[k] = CColladaValueType::IsFloat(fType) ? fData.f[k] : static_cast<float>(fData.i[k]);
}

void CColladaValue::GetMatrix(float* out, uint32_t n) const {
    uint32_t side = CColladaValueType::MatrixSide(fType);
    uint32_t comps = CColladaValueType::Components(fType);
    if (!side && !comps) return;
    for (uint32_t c = 0; c < n; ++c)
        for (uint32_t r = 0; r < n; ++r) out[c * n + r] = r == c ? 1.0f : 0.0f;
    if (side) {
        for (uint32_t c = 0; c < n && c < side; ++c)
            for (uint32_t r = 0; r < n && r < side; ++r) out[c * n + r] = fData.f[c * side + r];
        return;
    }
    float v[4];
    GetFloats(v, 4);
    for (uint32_t k = 0; k < comps && k < n; ++k) out[k * n + k] = v[k];
}

int32_t CColladaValue::SingleEnum() const {
    if (CColladaValueType::IsInt(fType) || fType == CColladaValueType::kEnum) return fData.i[0];
    return 0;
}

float CColladaValue::SingleFloat() const {
    if (CColladaValueType::IsBool(fType) || CColladaValueType::IsInt(fType))
        return static_cast<float>(fData.i[0]);
    if (CColladaValueType::IsFloat(fType)) return fData.f[0];
    return 0.0f;
}

void CColladaValue::ApplySamplerStates(COpenGLContext_Cca& context) const {
    GLenum target;
    static constexpr GLenum k2D[] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_MIN_FILTER,
                                     GL_TEXTURE_MAG_FILTER};
    static constexpr GLenum kCube[] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R,
                                       GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER};
    const GLenum* names;
    uint32_t enums, border, bias;
    if (fType == CColladaValueType::kSampler2D) {
        target = GL_TEXTURE_2D, names = k2D, enums = 4, border = 5, bias = 7;
    } else if (fType == CColladaValueType::kSamplerCube) {
        target = GL_TEXTURE_CUBE_MAP, names = kCube, enums = 5, border = 6, bias = 8;
    } else {
        return;
    }
    COpenGLScope_Cca scope(context);
    for (uint32_t m = 0; m < enums; ++m)
        if (const CColladaValue* v = member(m)) glTexParameteri(target, names[m], v->SingleEnum());
    if (const CColladaValue* v = member(border)) {
        float color[4];
        v->GetFloats(color, 4);
        glTexParameterfv(target, GL_TEXTURE_BORDER_COLOR, color);
    }
    if (const CColladaValue* v = member(bias)) glTexParameterf(target, GL_TEXTURE_LOD_BIAS, v->SingleFloat());
}
