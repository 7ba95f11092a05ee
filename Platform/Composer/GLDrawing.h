#pragma once

#include <cstdint>
#include <string>

#include "Platform/Composer/Image.h"
#include "Platform/GL/GLBindingScope.h"

namespace plat {
class GLContext;
}

// Drawing helpers shared by the renderer, the built-in nodes and the image conversions. Every call
// needs a GL context current on the calling thread.
namespace plat::gldraw {

// Makes a context current for a while, when it is not already (null: whatever is current), and
// makes the previous one current again on destruction.
class ContextSwitch {
public:
    explicit ContextSwitch(GLContext* context);
    ~ContextSwitch();
    ContextSwitch(const ContextSwitch&) = delete;
    ContextSwitch& operator=(const ContextSwitch&) = delete;
    bool Ok() const { return fOk; }

private:
    GLContext* fPrevious;
    bool fSwitched;
    bool fOk;
};

// Saves what composition drawing changes (enables, blending, colour, viewport, scissor, texture
// bindings and environment, client arrays, pixel store, program, framebuffers) and puts it back
// on destruction. With identity matrices, the three matrix stacks start from the identity too.
class StateScope {
public:
    explicit StateScope(bool identityMatrices = false);
    ~StateScope();
    StateScope(const StateScope&) = delete;
    StateScope& operator=(const StateScope&) = delete;

private:
    int32_t fProgram = 0;
    GLFramebufferBindingScope fFramebuffers;
    bool fMatrices;
};

// A framebuffer object around a texture, bound while it lives, with the viewport set to the
// texture (inside a StateScope, which restores the viewport).
class TextureFramebuffer {
public:
    explicit TextureFramebuffer(const TextureView& texture);
    ~TextureFramebuffer();
    TextureFramebuffer(const TextureFramebuffer&) = delete;
    TextureFramebuffer& operator=(const TextureFramebuffer&) = delete;
    bool Complete() const { return fComplete; }

private:
    GLFramebufferBindingScope fPrevious;
    uint32_t fFramebuffer = 0;
    bool fComplete = false;
    bool fOwned = false;
};

// Passes the vertex through and texture coordinate 0 on (gl_TexCoord[0]).
extern const char kPassThroughVertexShader[];

// A linked program, or 0 with the compiler's log.
uint32_t CompileProgram(const char* vertexSource, const char* fragmentSource, std::string* log);

// A new RGBA8 texture, linear filtering, clamped to the edge; 0 on failure.
uint32_t NewTexture(uint32_t target, uint32_t width, uint32_t height);

// Texture coordinates (s0, t0, s1, t1) that show the texture upright over a quad from bottom
// left to top right: rectangle textures count in texels, flipped ones run t downwards.
void UprightCoordinates(const TextureView& texture, float out[4]);

// A triangle strip (x0, y0), (x0, y1), (x1, y0), (x1, y1) from client arrays, with texture
// coordinates to match.
void DrawQuad(const float position[4], const float texCoord[4]);

// Fixed-function drawing of a texture on unit 0 over the quad, upright; replace or modulate with the
// current colour.
void DrawTexture(const TextureView& texture, const float position[4], bool modulate);

}  // namespace plat::gldraw
