#pragma once

#include <cstdint>

#include "Common/Memory/CRefObj.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLFBO.h"
#include "Common/OpenGL/COpenGLRenderbuffer.h"
#include "Common/OpenGL/COpenGLTexture.h"
#include "Common/OpenGL/CRefH.h"

namespace plat {
class Object;
}

// A private context with a framebuffer object, a rectangle colour texture and an optional depth
// buffer. Users bind fbo() inside a scope on context() with the viewport at the size and read texture().
class COpenGLFBOTarget : public CRefObj {
public:
    COpenGLFBOTarget(uint32_t width, uint32_t height, const SOpenGLOp* op);
    ~COpenGLFBOTarget() override;

    // Replaces the texture (and depth storage) by one of the new size; nothing when unchanged.
    void SetSize(uint32_t width, uint32_t height);

    COpenGLContext_Cca& context() { return fContext; }
    uint32_t fbo() const { return fFBO.name(); }
    COpenGLTexture* texture() const { return fTexture.Get(); }
    uint32_t width() const { return fWidth; }
    uint32_t height() const { return fHeight; }
    uint32_t depthFormat() const { return fDepthFormat; }
    bool depthWanted() const { return fDepthWanted; }

    // One retained object the composition renderer keeps with the target (its drawing renderer).
    plat::Object* drawingSlot() const { return fDrawing.get(); }
    void SetDrawingSlot(plat::Object* object);

private:
    uint32_t fDepthFormat;
    COpenGLContext_Cca fContext;
    COpenGLFBO fFBO;
    CRefH<COpenGLTexture> fTexture;
    COpenGLRenderbuffer fDepth;
    uint32_t fWidth = 0;
    uint32_t fHeight = 0;
    bool fDepthWanted;
    plat::Ref<plat::Object> fDrawing;
};
