#include "Orbilume/CSources/Models/CColladaDrawState.h"

#include <epoxy/gl.h>

#include "Common/OpenGL/COpenGLScope_Cca.h"

void EnableTextureUnit(CColladaDrawState& state, uint32_t unit, uint32_t target) {
    if (unit < CColladaDrawState::kTrackedUnits) {
        if (state.unitTargets[unit] == target) return;
        state.unitTargets[unit] = target;
    }
    if (!state.context) return;
    COpenGLScope_Cca scope(*state.context);
    glEnable(target);
}
