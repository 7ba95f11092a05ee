#include "Platform/GL/GLBindingScope.h"

#include <epoxy/gl.h>

namespace plat {

namespace {

GLenum BindingQuery(uint32_t target) {
    return target == GL_TEXTURE_RECTANGLE ? GL_TEXTURE_BINDING_RECTANGLE : GL_TEXTURE_BINDING_2D;
}

}  // namespace

GLTextureBindingScope::GLTextureBindingScope(uint32_t target, uint32_t texture) : fTarget(target) {
    glGetIntegerv(BindingQuery(target), &fSaved);
    glBindTexture(target, texture);
}

GLTextureBindingScope::~GLTextureBindingScope() {
    glBindTexture(fTarget, static_cast<GLuint>(fSaved));
}

GLFramebufferBindingScope::GLFramebufferBindingScope() {
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &fSavedDraw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &fSavedRead);
}

GLFramebufferBindingScope::GLFramebufferBindingScope(uint32_t framebuffer) : GLFramebufferBindingScope() {
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
}

void GLFramebufferBindingScope::Restore() {
    if (fRestored) return;
    fRestored = true;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(fSavedDraw));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(fSavedRead));
}

}  // namespace plat
