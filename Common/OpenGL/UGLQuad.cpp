#include "Common/OpenGL/UGLQuad.h"

#include <epoxy/gl.h>

void UGLQuad::DrawFlipped(float s, float t) {
    const GLfloat vertices[] = {-1, 1, -1, -1, 1, 1, 1, -1};
    const GLfloat coords[] = {0, 0, 0, t, s, 0, s, t};
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, vertices);
    glTexCoordPointer(2, GL_FLOAT, 0, coords);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}
