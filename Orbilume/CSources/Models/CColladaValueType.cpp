#include "Orbilume/CSources/Models/CColladaValueType.h"

#include <epoxy/gl.h>

#include <cstring>
#include <iterator>

namespace {

constexpr SColladaEnumWord kFilter[] = {
    {"NONE", GL_NEAREST},
    {"NEAREST", GL_NEAREST},
    {"LINEAR", GL_LINEAR},
    {"NEAREST_MIPMAP_NEAREST", GL_NEAREST_MIPMAP_NEAREST},
    {"LINEAR_MIPMAP_NEAREST", GL_LINEAR_MIPMAP_NEAREST},
    {"NEAREST_MIPMAP_LINEAR", GL_NEAREST_MIPMAP_LINEAR},
    {"LINEAR_MIPMAP_LINEAR", GL_LINEAR_MIPMAP_LINEAR},
};
constexpr SColladaEnumWord kWrap[] = {
    {"WRAP", GL_REPEAT},          {"MIRROR", GL_MIRRORED_REPEAT},
    {"CLAMP", GL_CLAMP_TO_EDGE},  {"BORDER", GL_CLAMP_TO_BORDER},
    {"NONE", GL_CLAMP_TO_BORDER},
};
constexpr uint32_t kWrapN = std::size(kWrap);
constexpr uint32_t kFilterN = std::size(kFilter);

constexpr CColladaValueType kSampler2DMembers[] = {
    {"wrap_s", 1, kWrap, kWrapN, nullptr, 0, "WRAP"},
    {"wrap_t", 1, kWrap, kWrapN, nullptr, 0, "WRAP"},
    {"minfilter", 1, kFilter, kFilterN, nullptr, 0, "NONE"},
    {"magfilter", 1, kFilter, kFilterN, nullptr, 0, "NONE"},
    {"mipfilter", 1, kFilter, kFilterN, nullptr, 0, "NONE"},
    {"border_color", 13, nullptr, 0, nullptr, 0, "0 0 0 0"},
    {"mipmap_maxlevel", 6, nullptr, 0, nullptr, 0, "255"},
    {"mipmap_bias", 10, nullptr, 0, nullptr, 0, "0"},
};
constexpr CColladaValueType kSamplerCubeMembers[] = {
    {"wrap_s", 1, kWrap, kWrapN, nullptr, 0, "WRAP"},
    {"wrap_t", 1, kWrap, kWrapN, nullptr, 0, "WRAP"},
    {"wrap_p", 1, kWrap, kWrapN, nullptr, 0, "WRAP"},
    {"minfilter", 1, kFilter, kFilterN, nullptr, 0, "NONE"},
    {"magfilter", 1, kFilter, kFilterN, nullptr, 0, "NONE"},
    {"mipfilter", 1, kFilter, kFilterN, nullptr, 0, "NONE"},
    {"border_color", 13, nullptr, 0, nullptr, 0, "0 0 0 0"},
    {"mipmap_maxlevel", 6, nullptr, 0, nullptr, 0, "255"},
    {"mipmap_bias", 10, nullptr, 0, nullptr, 0, "0"},
};

constexpr CColladaValueType kTypes[] = {
    {"bool", 2, nullptr, 0, nullptr, 0, nullptr},
    {"bool2", 3, nullptr, 0, nullptr, 0, nullptr},
    {"bool3", 4, nullptr, 0, nullptr, 0, nullptr},
    {"bool4", 5, nullptr, 0, nullptr, 0, nullptr},
    {"int", 6, nullptr, 0, nullptr, 0, nullptr},
    {"int2", 7, nullptr, 0, nullptr, 0, nullptr},
    {"int3", 8, nullptr, 0, nullptr, 0, nullptr},
    {"int4", 9, nullptr, 0, nullptr, 0, nullptr},
    {"float", 10, nullptr, 0, nullptr, 0, nullptr},
    {"float2", 11, nullptr, 0, nullptr, 0, nullptr},
    {"float3", 12, nullptr, 0, nullptr, 0, nullptr},
    {"float4", 13, nullptr, 0, nullptr, 0, nullptr},
    {"float2x2", 14, nullptr, 0, nullptr, 0, nullptr},
    {"float3x3", 15, nullptr, 0, nullptr, 0, nullptr},
    {"float4x4", 16, nullptr, 0, nullptr, 0, nullptr},
    {"surface", 17, nullptr, 0, nullptr, 0, nullptr},
    {"sampler1D", 18, nullptr, 0, nullptr, 0, nullptr},
    {"sampler2D", 19, nullptr, 0, kSampler2DMembers, std::size(kSampler2DMembers), nullptr},
    {"sampler3D", 20, nullptr, 0, nullptr, 0, nullptr},
    {"samplerCUBE", 21, nullptr, 0, kSamplerCubeMembers, std::size(kSamplerCubeMembers), nullptr},
    {"samplerRECT", 22, nullptr, 0, nullptr, 0, nullptr},
    {"samplerDEPTH", 23, nullptr, 0, nullptr, 0, nullptr},
};

bool Same(const char* a, const char* b, uint32_t n) {
    return std::strlen(a) == n && std::memcmp(a, b, n) == 0;
}

}  // namespace

const CColladaValueType* CColladaValueType::Find(const char* name, uint32_t length) {
    for (const CColladaValueType& t : kTypes)
        if (Same(t.name, name, length)) return &t;
    return nullptr;
}

const CColladaValueType* CColladaValueType::ForCode(uint32_t code) {
    for (const CColladaValueType& t : kTypes)
        if (t.code == code) return &t;
    return nullptr;
}

int32_t CColladaValueType::MemberIndex(const char* name, uint32_t length) const {
    for (uint32_t i = 0; i < memberCount; ++i)
        if (Same(members[i].name, name, length)) return static_cast<int32_t>(i);
    return -1;
}

uint32_t CColladaValueType::Components(uint32_t code) {
    if (code >= 2 && code <= 13) return (code - 2) % 4 + 1;
    return 0;
}

uint32_t CColladaValueType::MatrixSide(uint32_t code) {
    return code >= 14 && code <= 16 ? code - 12 : 0;
}
