#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Models/CColladaValueType.h"

class CColladaDoc;
class CColladaSurface;
class COpenGLContext_Cca;
class CXmlElement;

// A typed COLLADA FX value: bools and ints as signed words, floats, n x n matrices column-major, an
// enumeration member's value in word 0, samplers and surfaces as a borrowed surface. Members of a
// sampler are owned values indexed by member number. Numbers from the file that are not numbers
// read 0; conversions to integers saturate (NaN gives 0).
class CColladaValue {
public:
    CColladaValue() = default;
    CColladaValue(const CColladaValue&) = delete;
    CColladaValue& operator=(const CColladaValue&) = delete;

    // Reads text as a value of a type code 2..16; false for other codes.
    [[nodiscard]] bool ParseText(const LString& text, uint32_t code);
    // An enumeration row looks the whole (trimmed) text up; any other row parses with its code.
    [[nodiscard]] bool ParseTyped(const LString& text, const CColladaValueType& row);
    // Reads a value of the row from an element (samplers, surfaces, members, text).
    [[nodiscard]] bool ReadElement(CColladaDoc& doc, CXmlElement* element, const CColladaValueType& row);
    // Reads the element as the type its name names; false for other names.
    [[nodiscard]] bool ReadTypedChild(CColladaDoc& doc, CXmlElement* element);

    // Conversions into n outputs; outputs past what the value supplies are 0.
    void GetInts(int32_t* out, uint32_t n) const;
    void GetFloats(float* out, uint32_t n) const;
    // n x n column-major; leaves the output alone for types that are neither matrices nor vectors.
    void GetMatrix(float* out, uint32_t n) const;
    int32_t SingleEnum() const;
    float SingleFloat() const;

    // Texture parameters of the texture bound on the active unit, for sampler2D and samplerCUBE.
    void ApplySamplerStates(COpenGLContext_Cca& context) const;

    uint32_t type() const { return fType; }
    CColladaSurface* surface() const { return fSurface; }
    const CColladaValue* member(uint32_t i) const {
        return i < fMembers.size() ? fMembers[i].get() : nullptr;
    }
    const int32_t* ints() const { return fData.i; }
    const float* floats() const { return fData.f; }

    // Nearest integer, halves away from zero, in float; saturated, NaN 0.
    static int32_t RoundToInt(float x);
    // strtol in C notation, saturated to 32 bits; 0 for text that is not a number.
    static int32_t ReadInt(const char* token);
    // strtod stored as float (beyond the float range: infinity); 0 for text that is not a number.
    static float ReadFloat(const char* token);

private:
    void Clear();

    uint32_t fType = 0;
    std::vector<std::unique_ptr<CColladaValue>> fMembers;
    union {
        int32_t i[16];
        float f[16];
    } fData = {};
    CColladaSurface* fSurface = nullptr;
};
