#pragma once

#include <cstdint>
#include <vector>

class COpenGLContext_Cca;
class CColladaMaterial;

// What one render of a COLLADA document carries from batch to batch. Lives on the render thread for
// the length of one render.
struct CColladaDrawState {
    static constexpr uint32_t kTrackedUnits = 8;

    CColladaMaterial* material = nullptr;  // current material
    uint32_t clientArrays = 0;             // enabled client-array mask
    uint32_t frame = 0;
    uint32_t releaseFlag = 0;
    COpenGLContext_Cca* context = nullptr;
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    bool matrixIsView = false;
    uint32_t lightCount = 0;
    // The texture target enabled on each of the first units (0: none).
    uint32_t unitTargets[kTrackedUnits] = {};
};

// Enables a texture target on the active unit once per draw state (units from 8 up every time).
void EnableTextureUnit(CColladaDrawState& state, uint32_t unit, uint32_t target);
