#include "Specific/PlugInSupport/PlugInTexturedStrip.h"

#include <epoxy/gl.h>

#include <initializer_list>

namespace plugin {

void DrawTexturedStrip(const float vertices[8], uint32_t texCoordType, const void* texCoords) {
    for (GLenum array : {GL_COLOR_ARRAY, GL_NORMAL_ARRAY, GL_SECONDARY_COLOR_ARRAY, GL_FOG_COORD_ARRAY,
                         GL_INDEX_ARRAY, GL_EDGE_FLAG_ARRAY})
        glDisableClientState(array);
    glClientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, vertices);
    glTexCoordPointer(2, texCoordType, 0, texCoords);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

}  // namespace plugin
