#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Models/CColladaElement.h"

class CColladaDoc;
class CColladaMaterial;

// The object of a "bind_material": one entry per technique_common/instance_material whose material
// builds, with its bind pairs and bind_vertex_input triples.
class CColladaBindMaterial : public CColladaElement {
public:
    static constexpr Kind kKind = kBindMaterial;
    Kind kind() const override { return kKind; }

    struct Bind {
        LString semantic, target;
    };
    struct VertexInput {
        LString semantic, inputSemantic;
        int32_t inputSet;
    };
    struct Entry {
        LString symbol;
        CColladaMaterial* material;
        std::vector<Bind> binds;
        std::vector<VertexInput> vertexInputs;
    };

    // The attached binding, or a new one built and attached; null for other elements.
    static CColladaBindMaterial* Build(CColladaDoc& doc, CXmlElement* bindMaterial);

    // The material bound to the symbol, or null.
    CColladaMaterial* MaterialFor(const LString& symbol) const;
    // The texture units (below 8) a TEXCOORD input of the set feeds.
    std::vector<int32_t> UnitsForSet(int32_t set) const;

    const std::vector<Entry>& entries() const { return fEntries; }

private:
    std::vector<Entry> fEntries;
};
