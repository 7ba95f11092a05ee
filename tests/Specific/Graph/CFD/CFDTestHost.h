#pragma once

#include <cstdint>
#include <vector>

#include "Platform/Composer/PlugInInterface.h"
#include "Platform/GL/GLContext.h"
#include "Specific/Graph/CFD/CExtTex.h"

namespace cfdtest {

// The plug-in context of a host call over a plat::GLContext (current on the calling thread).
class GLHost final : public plat::PlugInContext {
public:
    explicit GLHost(plat::GLContext* context) : fContext(context) {}
    plat::PlugInGLContext* GLContext() const override { return Handle(fContext); }
    plat::PlugInGLPixelFormat* PixelFormat() const override { return nullptr; }
    plat::PlugInGLContext* CreateSharingContext() override;
    void DestroyContext(plat::PlugInGLContext* context) override;
    bool MakeCurrent(plat::PlugInGLContext* context) override;
    plat::PlugInGLContext* CurrentContext() const override { return Handle(plat::GLContext::Current()); }
    plat::PlugInValue UserInfo(const char*) const override { return {}; }
    void SetUserInfo(const char*, const plat::PlugInValue&) override {}

    static plat::PlugInGLContext* Handle(plat::GLContext* c) {
        return reinterpret_cast<plat::PlugInGLContext*>(c);
    }
    static plat::GLContext* From(plat::PlugInGLContext* c) { return reinterpret_cast<plat::GLContext*>(c); }

private:
    plat::GLContext* fContext;
};

// An RGBA float image (rows bottom first) in a texture of the host's share group, bound as the
// composition runtime binds input images: unit 0, texture matrix mapping 0..1 over the image.
class TestImage final : public cfd::CExtTex {
public:
    TestImage(uint32_t width, uint32_t height, const std::vector<float>& rgba, uint32_t target);
    ~TestImage() override;
    bool Bind(plat::PlugInGLContext* context) override;
    void Unbind(plat::PlugInGLContext* context) override;
    bool valid() const override { return fBound; }
    uint32_t target() const override { return fTarget; }

    uint32_t binds = 0;

private:
    uint32_t fWidth, fHeight, fTarget, fName = 0;
    bool fBound = false;
};

// An image that never binds.
class NoImage final : public cfd::CExtTex {
public:
    bool Bind(plat::PlugInGLContext*) override { return false; }
    void Unbind(plat::PlugInGLContext*) override {}
    bool valid() const override { return false; }
    uint32_t target() const override { return 0; }
};

// A whole field (RGBA floats, rows bottom first) read in the current context.
struct Field {
    uint32_t width = 0, height = 0;
    std::vector<float> data;
    const float* At(uint32_t x, uint32_t y) const { return &data[(size_t(y) * width + x) * 4]; }
};
Field ReadField(uint32_t texture);

// The GL error of a context of the share group, made current for the check through the host.
uint32_t ErrorIn(GLHost& host, plat::PlugInGLContext* context);

}  // namespace cfdtest
