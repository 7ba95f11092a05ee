#include "NDIPlugIn/NdiTextureOutput.h"

#include <epoxy/gl.h>

#include "Specific/PlugInSupport/PlugInTexturedStrip.h"

plat::PlugInRect NdiTextureOutput::Bounds() const {
    const plugin::PlugInTexture* t = fTexture.Get();
    return t ? plat::PlugInRect{0, 0, double(t->Width()), double(t->Height())} : plat::PlugInRect{};
}

bool NdiTextureOutput::CanRender(plat::PlugInGLContext* context) const {
    return context && fTexture;
}

bool NdiTextureOutput::Render(plat::PlugInGLContext* context, const plat::PlugInRect&) {
    if (!CanRender(context)) return false;
    const plugin::PlugInTexture& t = *fTexture.Get();
    const auto w = GLfloat(t.Width()), h = GLfloat(t.Height());
    // Rectangle texture coordinates count texels; row 0 of the frame is t = 0, drawn at the top.
    const GLfloat vertices[] = {-1, -1, 1, -1, -1, 1, 1, 1};
    const GLfloat texCoords[] = {0, h, w, h, 0, 0, w, 0};

    GLint program = 0, arrayBuffer = 0, activeTexture = 0, clientActiveTexture = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
    glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &clientActiveTexture);
    glActiveTexture(GL_TEXTURE0);
    glClientActiveTexture(GL_TEXTURE0);
    glPushAttrib(GL_TEXTURE_BIT | GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glUseProgram(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_TEXTURE_RECTANGLE);
    glBindTexture(GL_TEXTURE_RECTANGLE, t.Name());
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glColor4f(1, 1, 1, 1);
    plugin::DrawTexturedStrip(vertices, GL_FLOAT, texCoords);
    glFlush();
    glPopClientAttrib();
    glPopAttrib();
    glBindBuffer(GL_ARRAY_BUFFER, GLuint(arrayBuffer));
    glUseProgram(GLuint(program));
    glClientActiveTexture(GLenum(clientActiveTexture));
    glActiveTexture(GLenum(activeTexture));
    return true;
}
