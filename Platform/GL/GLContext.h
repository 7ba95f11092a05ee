#pragma once

#include <cstdint>

#include "Platform/Foundation/Object.h"

namespace plat {

class GLPixelFormat;
class GLShareGroup;
class GLSurface;

// A desktop OpenGL context (compatibility profile) on the process's EGL display. Contexts created
// with a share partner join its share group; a context without a surface is current surfaceless.
class GLContext final : public Object {
public:
    // An owned reference, or null when EGL refuses.
    static GLContext* Create(GLPixelFormat* format, GLContext* shareWith);

    // The context current on the calling thread (made current through this class), or null.
    static GLContext* Current();
    // Makes no context current on the calling thread.
    static bool ClearCurrent();

    bool MakeCurrent();
    bool IsCurrent() const { return Current() == this; }

    // Attaches a surface (retained) or, with null, detaches it; rebinds when current on this thread.
    bool SetSurface(GLSurface* surface);
    GLSurface* Surface() const { return fSurface; }

    // Presents the attached surface; nothing to do without one.
    bool Swap();
    // Swap interval for the attached surface; kept and applied again when the surface changes.
    bool SetSwapInterval(int32_t interval);
    int32_t SwapInterval() const { return fSwapInterval; }

    GLPixelFormat* PixelFormat() const { return fFormat; }
    // Shared by every context created from this one (and the one it was created from).
    GLShareGroup* ShareGroup() const { return fShareGroup; }
    void* NativeContext() const { return fContext; }

private:
    GLContext(GLPixelFormat* format, void* context, GLShareGroup* group);
    ~GLContext() override;

    GLPixelFormat* fFormat;
    void* fContext;
    GLShareGroup* fShareGroup;
    GLSurface* fSurface = nullptr;
    int32_t fSwapInterval = 0;
    bool fIntervalPending = false;
};

}  // namespace plat
