#pragma once

#include <cstdint>

namespace plugin {

// Draws a 4-vertex triangle strip from client arrays: 2D positions, and 2D texture coordinates of
// texCoordType (GL_FLOAT, GL_INT, ...) on unit 0, with every other client array off. The caller
// saves and restores the client state and binds the texture.
void DrawTexturedStrip(const float vertices[8], uint32_t texCoordType, const void* texCoords);

}  // namespace plugin
