#include "Dunmire/DunmireHostState.h"

#include <epoxy/gl.h>

DunmireHostState::DunmireHostState() {
    glGetIntegerv(GL_ACTIVE_TEXTURE, &fActiveTexture);
    glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &fClientActiveTexture);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &fArrayBuffer);
    glGetIntegerv(GL_MATRIX_MODE, &fMatrixMode);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
}

DunmireHostState::~DunmireHostState() {
    glPopClientAttrib();
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(fArrayBuffer));
    glMatrixMode(static_cast<GLenum>(fMatrixMode));
    glClientActiveTexture(static_cast<GLenum>(fClientActiveTexture));
    glActiveTexture(static_cast<GLenum>(fActiveTexture));
}

void DunmireHostState::SaveTexture(uint32_t target) {
    fTarget = target;
    glActiveTexture(GL_TEXTURE0);
    fTargetEnabled = glIsEnabled(target);
    glGetTexParameteriv(target, GL_TEXTURE_WRAP_S, &fWrapS);
    glGetTexParameteriv(target, GL_TEXTURE_WRAP_T, &fWrapT);
    glGetTexParameteriv(target, GL_TEXTURE_MIN_FILTER, &fMinFilter);
    glGetTexParameteriv(target, GL_TEXTURE_MAG_FILTER, &fMagFilter);
}

void DunmireHostState::RestoreTexture() {
    if (!fTarget) return;
    glActiveTexture(GL_TEXTURE0);
    glTexParameteri(fTarget, GL_TEXTURE_WRAP_S, fWrapS);
    glTexParameteri(fTarget, GL_TEXTURE_WRAP_T, fWrapT);
    glTexParameteri(fTarget, GL_TEXTURE_MIN_FILTER, fMinFilter);
    glTexParameteri(fTarget, GL_TEXTURE_MAG_FILTER, fMagFilter);
    if (fTargetEnabled)
        glEnable(fTarget);
    else
        glDisable(fTarget);
}
