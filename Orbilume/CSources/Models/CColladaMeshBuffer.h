#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"

class CColladaMaterial;
struct CColladaDrawState;

// A run of vertices drawn with one mode: a plain range, or one range per polygon (or strip) drawn
// with glMultiDrawArrays.
struct CColladaBatch {
    static constexpr uint32_t kUnits = 8;
    uint32_t mode = 0;
    int32_t first = 0;
    int32_t count = 0;
    uint32_t mask = 0;  // bit 0 normals, bit 1 colours, bit 2 + u texture unit u
    LString symbol;
    std::vector<int32_t> polyFirsts;
    std::vector<int32_t> polyCounts;
    int32_t sets[kUnits] = {-1, -1, -1, -1, -1, -1, -1, -1};
};

// De-indexed vertex arrays of one mesh (not interleaved) and its batches. Arrays are uploaded into
// the document's one buffer object; an array without an offset draws from its memory copy.
class CColladaMeshBuffer {
public:
    static constexpr uint32_t kUnits = CColladaBatch::kUnits;

    // Appends every non-empty array without an offset to the stream, recording its byte offset.
    void Upload(std::vector<uint8_t>& stream);
    // Empties the memory copies of uploaded arrays.
    void Release();
    // Forgets every offset: after a failed upload the arrays draw from memory.
    void ForgetOffsets();
    // Array pointers for the draw state's buffer object (or memory).
    void BindArrays(CColladaDrawState& state) const;
    // Switches the client arrays the batch's mask changes and draws it.
    void DrawBatch(CColladaDrawState& state, const CColladaBatch& batch) const;
    // Same number of batches with the same texture-coordinate set on every unit.
    bool SameSets(const CColladaMeshBuffer& other) const;
    // Grows the box (min x, max x, ...) by the positions.
    void ExtendBounds(float* box) const;
    // The number of floats held in memory.
    uint64_t floats() const;

    LString id;
    std::vector<float> positions, normals, colors;
    std::vector<float> texcoords[kUnits];
    std::vector<uint32_t> positionIndices;
    int32_t positionOffset = -1, normalOffset = -1, colorOffset = -1;
    bool skinned = false;
    int32_t texOffsets[kUnits] = {-1, -1, -1, -1, -1, -1, -1, -1};
    std::vector<std::unique_ptr<CColladaBatch>> batches;
};

// Makes the material current: texture targets the draw state enabled are disabled and the material
// applies itself. A batch without material draws untextured with GL's default material.
void ApplyColladaMaterial(CColladaDrawState& state, CColladaMaterial* material);
