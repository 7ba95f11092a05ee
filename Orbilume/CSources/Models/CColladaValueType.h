#pragma once

#include <cstdint>

// One word of an enumeration table.
struct SColladaEnumWord {
    const char* word;
    int32_t value;
};

// A row of the value-type table or of a sampler's member table: name, type code (1 for an
// enumeration member, 2..23 for the COLLADA FX types), enumeration table, member table, default text.
struct CColladaValueType {
    enum Code : uint32_t {
        kNone = 0,
        kEnum = 1,
        kBool = 2,
        kBool4 = 5,
        kInt = 6,
        kInt4 = 9,
        kFloat = 10,
        kFloat4 = 13,
        kFloat2x2 = 14,
        kFloat3x3 = 15,
        kFloat4x4 = 16,
        kSurface = 17,
        kSampler1D = 18,
        kSampler2D = 19,
        kSampler3D = 20,
        kSamplerCube = 21,
        kSamplerRect = 22,
        kSamplerDepth = 23,
    };

    const char* name;
    uint32_t code;
    const SColladaEnumWord* words;
    uint32_t wordCount;
    const CColladaValueType* members;
    uint32_t memberCount;
    const char* defaultText;

    // The row of a type name, or null.
    static const CColladaValueType* Find(const char* name, uint32_t length);
    static const CColladaValueType* ForCode(uint32_t code);
    // The member row named name, or -1.
    int32_t MemberIndex(const char* name, uint32_t length) const;
    // Components of a bool/int/float vector code (1..4), 0 for others.
    static uint32_t Components(uint32_t code);
    // Side of a matrix code (2..4), 0 for others.
    static uint32_t MatrixSide(uint32_t code);
    static bool IsBool(uint32_t code) { return code >= 2 && code <= 5; }
    static bool IsInt(uint32_t code) { return code >= 6 && code <= 9; }
    static bool IsFloat(uint32_t code) { return code >= 10 && code <= 13; }
};
