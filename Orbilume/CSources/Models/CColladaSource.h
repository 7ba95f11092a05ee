#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Models/CColladaElement.h"

class CColladaDoc;

// The object of a "bool_array", "int_array", "float_array", "Name_array" or "IDREF_array": at most
// `count` tokens, numbers as floats or names as strings.
class CColladaDataArray : public CColladaElement {
public:
    static constexpr Kind kKind = kDataArray;
    Kind kind() const override { return kKind; }
    enum Type : uint32_t { kBool = 1, kInt = 2, kFloat = 3, kName = 4, kIdRef = 5 };

    // The attached array, or a new one read and attached; null for other element names.
    static CColladaDataArray* Build(CXmlElement* element);

    uint32_t type() const { return fType; }
    bool strings() const { return fType >= kName; }
    uint64_t size() const { return strings() ? fNames.size() : fFloats.size(); }
    const std::vector<float>& floats() const { return fFloats; }
    const std::vector<LString>& names() const { return fNames; }

private:
    uint32_t fType = 0;
    std::vector<float> fFloats;
    std::vector<LString> fNames;
};

// The accessor of a "source": its data array, count, offset, stride and the lanes of its named params.
class CColladaAccessor : public CColladaElement {
public:
    static constexpr Kind kKind = kAccessor;
    Kind kind() const override { return kKind; }

    // The attached accessor of a source, or a new one; null without technique_common/accessor or when
    // its array does not resolve.
    static CColladaAccessor* Build(CColladaDoc& doc, CXmlElement* source);

    // Up to n lane values of entry i into out. The number read; -1 when i or a position is negative
    // (the reader then fails what it reads for).
    int32_t ReadValues(int64_t i, uint32_t n, float* out) const;
    int32_t ReadNames(int64_t i, uint32_t n, LString* out) const;

    CColladaDataArray* array() const { return fArray; }
    int64_t count() const { return fCount; }
    uint32_t lanes() const { return static_cast<uint32_t>(fLanes.size()); }

private:
    // The array positions of entry i's first n lanes; false when one is negative.
    bool Positions(int64_t i, uint32_t& n, int64_t* positions) const;

    CColladaDataArray* fArray = nullptr;
    int64_t fCount = 0;
    int64_t fOffset = 0;
    int64_t fStride = 1;
    std::vector<uint32_t> fLanes;  // position inside the stride
};

// An input semantic: name, number, components and default values.
struct SColladaSemantic {
    const char* name;
    uint32_t number;
    uint32_t components;
    float defaults[4];
    enum : uint32_t { kPosition = 0, kColor, kNormal, kTexcoord, kJoint, kWeight, kInput, kOutput };
    static const SColladaSemantic* Find(const LString& name);
};

struct SColladaInput {
    const SColladaSemantic* semantic;
    CColladaAccessor* accessor;
    int32_t offset;
    int32_t set;
};

// A primitive element or "vertex_weights": count, inputs, the concatenated indices of every child
// named by the tag (with where each child's indices start) and the vcount entries.
struct SColladaIndexedList {
    int64_t count = 0;
    std::vector<SColladaInput> inputs;
    uint32_t stride = 1;
    std::vector<int32_t> indices;
    std::vector<uint64_t> chunks;  // start of each tagged child in indices
    std::vector<int32_t> vcount;

    // False when count is 0 or there is no input.
    [[nodiscard]] bool Read(CColladaDoc& doc, CXmlElement* element, const char* tag);
    // Adds the element's inputs (through "vertices") with the offset and set handed down; the
    // largest offset, or -1 when none was added.
    static int32_t CollectInputs(CColladaDoc& doc, std::vector<SColladaInput>& inputs, CXmlElement* element,
                                 int32_t offset, int32_t set, bool throughVertices = true);
};
