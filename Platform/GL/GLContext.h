#pragma once

#include <cstdint>
#include <vector>

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
    static Ref<GLContext> Create(GLPixelFormat* format, GLContext* shareWith);

    // The context current on the calling thread (made current through this class), or null.
    static GLContext* Current();
    // Makes no context current on the calling thread.
    [[nodiscard]] static bool ClearCurrent();

    [[nodiscard]] bool MakeCurrent();
    bool IsCurrent() const { return Current() == this; }

    // Attaches a surface (retained) or, with null, detaches it; rebinds when current on this thread.
    [[nodiscard]] bool SetSurface(GLSurface* surface);
    GLSurface* Surface() const { return fSurface.get(); }

    // Presents the attached surface; nothing to do without one.
    [[nodiscard]] bool Swap();
    // Swap interval for the attached surface; kept and applied again when the surface changes.
    [[nodiscard]] bool SetSwapInterval(int32_t interval);
    int32_t SwapInterval() const { return fSwapInterval; }

    GLPixelFormat* PixelFormat() const { return fFormat.get(); }
    // Shared by every context created from this one (and the one it was created from).
    GLShareGroup* ShareGroup() const { return fShareGroup.get(); }
    void* NativeContext() const { return fContext; }

    // This context's framebuffer object for drawing into the texture of that name: made on first
    // use and kept while the context lives (framebuffers are not shared with the group's other
    // contexts). Call with the context current; 0 when none can be made.
    uint32_t TextureFramebuffer(uint32_t texture);

private:
    GLContext(GLPixelFormat* format, void* context, Ref<GLShareGroup> group);
    ~GLContext() override;

    Ref<GLPixelFormat> fFormat;
    void* fContext;
    Ref<GLShareGroup> fShareGroup;
    Ref<GLSurface> fSurface;
    int32_t fSwapInterval = 0;
    bool fIntervalPending = false;
    struct SFramebuffer {
        uint32_t texture;
        uint32_t framebuffer;
    };
    std::vector<SFramebuffer> fFramebuffers;
};

}  // namespace plat
