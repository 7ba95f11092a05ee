#pragma once

#include <cstdint>

// Scoped saves of GL bindings: each binds for the length of a scope and puts the previous binding
// back when it ends. They need a GL context current on the calling thread for their whole life.
namespace plat {

// Binds a texture to a target (GL_TEXTURE_2D or GL_TEXTURE_RECTANGLE) of the active texture unit.
class GLTextureBindingScope {
public:
    GLTextureBindingScope(uint32_t target, uint32_t texture);
    ~GLTextureBindingScope();
    GLTextureBindingScope(const GLTextureBindingScope&) = delete;
    GLTextureBindingScope& operator=(const GLTextureBindingScope&) = delete;

private:
    uint32_t fTarget;
    int32_t fSaved = 0;
};

// Saves the draw and read framebuffer bindings and, when given a framebuffer, binds it to both.
// Restore() puts them back early (the destructor then does nothing), for callers that must restore
// them before other state.
class GLFramebufferBindingScope {
public:
    GLFramebufferBindingScope();
    explicit GLFramebufferBindingScope(uint32_t framebuffer);
    ~GLFramebufferBindingScope() { Restore(); }
    GLFramebufferBindingScope(const GLFramebufferBindingScope&) = delete;
    GLFramebufferBindingScope& operator=(const GLFramebufferBindingScope&) = delete;

    void Restore();

private:
    int32_t fSavedDraw = 0;
    int32_t fSavedRead = 0;
    bool fRestored = false;
};

}  // namespace plat
