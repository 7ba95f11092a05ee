#pragma once

#include <cstdint>

namespace plugin {

// A framebuffer object of the current context (EXT entry points, as Mesa offers them to
// compatibility contexts). Attach binds it with a texture as colour attachment 0, saving the
// previous binding; Detach takes the texture off and restores that binding. Delete it in the
// context that made it.
class PlugInFramebuffer {
public:
    PlugInFramebuffer() = default;
    ~PlugInFramebuffer() = default;  // makes no GL call: Delete first
    PlugInFramebuffer(const PlugInFramebuffer&) = delete;
    PlugInFramebuffer& operator=(const PlugInFramebuffer&) = delete;

    // False when no framebuffer could be made or the attachment is incomplete (then detached).
    [[nodiscard]] bool Attach(uint32_t target, uint32_t texture);
    void Detach();
    void Delete();

private:
    uint32_t fName = 0;
    uint32_t fTarget = 0;
    int32_t fPrevious = 0;
    bool fAttached = false;
};

}  // namespace plugin
