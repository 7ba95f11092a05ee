#include "Orbilume/CSources/Models/CColladaMeshBuffer.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Orbilume/CSources/Models/CColladaDrawState.h"
#include "Orbilume/CSources/Models/CColladaMaterial.h"

namespace {

void UploadArray(std::vector<float>& array, int32_t& offset, std::vector<uint8_t>& stream) {
    if (array.empty() || offset >= 0) return;
    uint64_t bytes = array.size() * sizeof(float);
    // Offsets are 32-bit: an array that would start or end past them stays in memory.
    if (stream.size() + bytes > INT32_MAX) return;
    offset = static_cast<int32_t>(stream.size());
    const auto* p = reinterpret_cast<const uint8_t*>(array.data());
    stream.insert(stream.end(), p, p + bytes);
}

void ReleaseArray(std::vector<float>& array, int32_t offset) {
    if (offset >= 0) std::vector<float>().swap(array);
}

// The pointer argument for an array: the offset into the bound buffer, or its memory.
const void* Bind(const std::vector<float>& array, int32_t offset, uint32_t buffer) {
    if (offset >= 0 && buffer) {
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        return reinterpret_cast<const void*>(static_cast<uintptr_t>(offset));
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return array.data();
}

}  // namespace

void CColladaMeshBuffer::Upload(std::vector<uint8_t>& stream) {
    if (!skinned) UploadArray(positions, positionOffset, stream);
    UploadArray(normals, normalOffset, stream);
    UploadArray(colors, colorOffset, stream);
    for (uint32_t u = 0; u < kUnits; ++u) UploadArray(texcoords[u], texOffsets[u], stream);
}

void CColladaMeshBuffer::Release() {
    ReleaseArray(positions, positionOffset);
    ReleaseArray(normals, normalOffset);
    ReleaseArray(colors, colorOffset);
    for (uint32_t u = 0; u < kUnits; ++u) ReleaseArray(texcoords[u], texOffsets[u]);
}

void CColladaMeshBuffer::ForgetOffsets() {
    positionOffset = normalOffset = colorOffset = -1;
    std::fill(std::begin(texOffsets), std::end(texOffsets), -1);
}

void CColladaMeshBuffer::BindArrays(CColladaDrawState& state) const {
    if (!state.context) return;
    COpenGLScope_Cca scope(*state.context);
    uint32_t buffer = state.vertexBuffer;
    glVertexPointer(3, GL_FLOAT, 0, Bind(positions, positionOffset, buffer));
    glNormalPointer(GL_FLOAT, 0, Bind(normals, normalOffset, buffer));
    glColorPointer(3, GL_FLOAT, 0, Bind(colors, colorOffset, buffer));
    for (uint32_t u = 0; u < kUnits; ++u) {
        if (texcoords[u].empty() && texOffsets[u] < 0) continue;
        glClientActiveTexture(GL_TEXTURE0 + u);
        glTexCoordPointer(2, GL_FLOAT, 0, Bind(texcoords[u], texOffsets[u], buffer));
    }
    glClientActiveTexture(GL_TEXTURE0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void CColladaMeshBuffer::DrawBatch(CColladaDrawState& state, const CColladaBatch& batch) const {
    if (!state.context) return;
    COpenGLScope_Cca scope(*state.context);
    uint32_t changed = batch.mask ^ state.clientArrays;
    if (changed & 1)
        (batch.mask & 1) ? glEnableClientState(GL_NORMAL_ARRAY) : glDisableClientState(GL_NORMAL_ARRAY);
    if (changed & 2)
        (batch.mask & 2) ? glEnableClientState(GL_COLOR_ARRAY) : glDisableClientState(GL_COLOR_ARRAY);
    if (changed >> 2) {
        for (uint32_t u = 0; u < kUnits; ++u) {
            uint32_t bit = 4u << u;
            if (!(changed & bit)) continue;
            glClientActiveTexture(GL_TEXTURE0 + u);
            (batch.mask & bit) ? glEnableClientState(GL_TEXTURE_COORD_ARRAY)
                               : glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
        glClientActiveTexture(GL_TEXTURE0);
    }
    state.clientArrays = batch.mask;
    if (batch.polyFirsts.empty())
        glDrawArrays(batch.mode, batch.first, batch.count);
    else
        glMultiDrawArrays(batch.mode, batch.polyFirsts.data(), batch.polyCounts.data(),
                          static_cast<GLsizei>(batch.polyFirsts.size()));
}

bool CColladaMeshBuffer::SameSets(const CColladaMeshBuffer& other) const {
    if (batches.size() != other.batches.size()) return false;
    for (size_t b = 0; b < batches.size(); ++b)
        if (!std::equal(std::begin(batches[b]->sets), std::end(batches[b]->sets),
                        std::begin(other.batches[b]->sets)))
            return false;
    return true;
}

void CColladaMeshBuffer::ExtendBounds(float* box) const {
    for (size_t i = 0; i + 2 < positions.size(); i += 3) {
        for (uint32_t a = 0; a < 3; ++a) {
            float v = positions[i + a];
            box[2 * a] = std::min(box[2 * a], v);
            box[2 * a + 1] = std::max(box[2 * a + 1], v);
        }
    }
}

uint64_t CColladaMeshBuffer::floats() const {
    uint64_t n = positions.size() + normals.size() + colors.size() + positionIndices.size();
    for (const auto& t : texcoords) n += t.size();
    return n;
}

void ApplyColladaMaterial(CColladaDrawState& state, CColladaMaterial* material) {
    if (material == state.material) return;
    if (!state.context) return;
    {
        COpenGLScope_Cca scope(*state.context);
        for (int32_t u = CColladaDrawState::kTrackedUnits - 1; u >= 0; --u) {
            if (!state.unitTargets[u]) continue;
            glActiveTexture(GL_TEXTURE0 + u);
            glDisable(state.unitTargets[u]);
            state.unitTargets[u] = 0;
        }
        glActiveTexture(GL_TEXTURE0);
        if (!material) {
            // GL's initial material, opaque.
            const float ambient[4] = {0.2f, 0.2f, 0.2f, 1}, diffuse[4] = {0.8f, 0.8f, 0.8f, 1};
            const float black[4] = {0, 0, 0, 1};
            glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
            glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
            glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
            glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
            glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 0);
            glDisable(GL_BLEND);
            glDisable(GL_ALPHA_TEST);
        }
    }
    if (material) material->Apply(state);
    state.material = material;
}
