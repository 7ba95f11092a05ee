#include "Platform/GL/GLContext.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>

#include <utility>

#include "Platform/GL/GLDisplay.h"
#include "Platform/GL/GLObjectCounts.h"
#include "Platform/GL/GLPixelFormat.h"
#include "Platform/GL/GLShareGroup.h"
#include "Platform/GL/GLSurface.h"

namespace plat {

namespace {

thread_local GLContext* tCurrent = nullptr;

EGLDisplay Display() {
    return static_cast<EGLDisplay>(GLDisplay::Get());
}

}  // namespace

Ref<GLContext> GLContext::Create(GLPixelFormat* format, GLContext* shareWith) {
    EGLDisplay display = Display();
    if (!display || !format) return nullptr;
    // No profile request: Mesa then gives the compatibility profile of its highest version.
    const EGLint attributes[] = {EGL_NONE};
    EGLContext share = shareWith ? static_cast<EGLContext>(shareWith->fContext) : EGL_NO_CONTEXT;
    EGLContext context =
        eglCreateContext(display, static_cast<EGLConfig>(format->NativeConfig()), share, attributes);
    if (context == EGL_NO_CONTEXT) return nullptr;
    Ref<GLShareGroup> group = shareWith ? shareWith->fShareGroup : GLShareGroup::Create();
    return Adopt(new GLContext(format, context, std::move(group)));
}

GLContext::GLContext(GLPixelFormat* format, void* context, Ref<GLShareGroup> group)
    : fFormat(format), fContext(context), fShareGroup(std::move(group)) {}

GLContext::~GLContext() {
    if (tCurrent == this) (void)ClearCurrent();  // going away: nothing to report to
    eglDestroyContext(Display(), static_cast<EGLContext>(fContext));
}

uint32_t GLContext::TextureFramebuffer(uint32_t texture) {
    for (const SFramebuffer& f : fFramebuffers)
        if (f.texture == texture) return f.framebuffer;
    // Bounded: past this many textures the oldest framebuffer goes.
    constexpr size_t kMax = 64;
    if (fFramebuffers.size() >= kMax) {
        glDeleteFramebuffers(1, &fFramebuffers.front().framebuffer);
        fFramebuffers.erase(fFramebuffers.begin());
    }
    GLuint name = 0;
    glGenFramebuffers(1, &name);
    if (!name) return 0;
    CountGLFramebuffers();
    fFramebuffers.push_back({texture, name});
    return name;
}

GLContext* GLContext::Current() {
    return tCurrent;
}

bool GLContext::ClearCurrent() {
    EGLDisplay display = Display();
    if (!display) return false;
    tCurrent = nullptr;
    return eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT) == EGL_TRUE;
}

bool GLContext::MakeCurrent() {
    EGLDisplay display = Display();
    if (!display) return false;
    EGLSurface surface = fSurface ? static_cast<EGLSurface>(fSurface->NativeSurface()) : EGL_NO_SURFACE;
    if (!eglMakeCurrent(display, surface, surface, static_cast<EGLContext>(fContext))) return false;
    tCurrent = this;
    if (fSurface && fIntervalPending) fIntervalPending = eglSwapInterval(display, fSwapInterval) != EGL_TRUE;
    return true;
}

bool GLContext::SetSurface(GLSurface* surface) {
    if (surface == fSurface) return true;
    Ref<GLSurface> old = std::exchange(fSurface, Ref<GLSurface>(surface));
    fIntervalPending = true;
    return tCurrent == this ? MakeCurrent() : true;
}

bool GLContext::Swap() {
    if (!fSurface) return true;
    return eglSwapBuffers(Display(), static_cast<EGLSurface>(fSurface->NativeSurface())) == EGL_TRUE;
}

bool GLContext::SetSwapInterval(int32_t interval) {
    fSwapInterval = interval;
    fIntervalPending = true;
    if (tCurrent != this || !fSurface) return true;
    fIntervalPending = eglSwapInterval(Display(), interval) != EGL_TRUE;
    return !fIntervalPending;
}

}  // namespace plat
