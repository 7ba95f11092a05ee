#pragma once

#include <cstdint>
#include <vector>

class COpenGLContext_Cca;
class CColladaMaterial;
class CColladaMeshBuffer;
struct CColladaBatch;

// A batch left for the end of the render (blended), with the model-view it was met under.
struct SColladaDeferred {
    const CColladaMeshBuffer* buffer;
    const CColladaBatch* batch;
    CColladaMaterial* material;
    float matrix[16];
};

// What one render of a COLLADA document carries from batch to batch. Lives on the render thread for
// the length of one render.
struct CColladaDrawState {
    static constexpr uint32_t kTrackedUnits = 8;

    CColladaMaterial* material = nullptr;  // current material
    uint32_t clientArrays = 0;             // enabled client-array mask
    uint32_t frame = 0;
    uint32_t releaseFlag = 0;
    COpenGLContext_Cca* context = nullptr;
    std::vector<SColladaDeferred> deferred;
    uint32_t vertexBuffer = 0;  // the document's buffer object (0: none)
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    bool matrixIsView = false;
    uint32_t lightCount = 0;
    // The texture target enabled on each of the first units (0: none).
    uint32_t unitTargets[kTrackedUnits] = {};
};

// Enables a texture target on the active unit once per draw state (units from 8 up every time).
void EnableTextureUnit(CColladaDrawState& state, uint32_t unit, uint32_t target);
