#pragma once

// Full-viewport quads for copies between textures.
class UGLQuad {
public:
    // Draws the bound texture over the viewport upside down (texture coordinates up to s, t), so that
    // the first row written is the texture's top row. Fixed-function, client arrays.
    static void DrawFlipped(float s, float t);
};
