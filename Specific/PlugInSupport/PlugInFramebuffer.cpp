#include "Specific/PlugInSupport/PlugInFramebuffer.h"

#include <epoxy/gl.h>

namespace plugin {

bool PlugInFramebuffer::Attach(uint32_t target, uint32_t texture) {
    if (fAttached) Detach();
    if (!fName) glGenFramebuffersEXT(1, &fName);
    if (!fName) return false;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &fPrevious);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fName);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, target, texture, 0);
    fTarget = target;
    fAttached = true;
    if (glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT) {
        Detach();
        return false;
    }
    return true;
}

void PlugInFramebuffer::Detach() {
    if (!fAttached) return;
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, fTarget, 0, 0);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(fPrevious));
    fAttached = false;
}

void PlugInFramebuffer::Delete() {
    Detach();
    if (fName) glDeleteFramebuffersEXT(1, &fName);
    fName = 0;
}

}  // namespace plugin
