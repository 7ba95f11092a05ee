#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "Specific/PlugInSupport/PlugInTexture.h"

namespace plugin {

// What a pool shares with its textures, which may outlive it.
struct PlugInTexturePoolState {
    std::mutex mutex;
    std::map<std::pair<uint32_t, uint32_t>, std::vector<uint32_t>> free;  // by (width, height)
    std::vector<uint32_t> dead;  // to delete at the pool's next GL call
    bool closed = false;         // the pool is gone: names coming back are left to the share group
};

// Textures of one target (RGBA8, defined from BGRA 8-8-8-8 reversed, no mipmaps), reused by size.
// Acquire and Purge make GL calls in the current context (of the share group the textures belong
// to); textures come back from any thread without one.
class PlugInTexturePool {
public:
    explicit PlugInTexturePool(uint32_t target);
    ~PlugInTexturePool();  // no GL call: Purge before, under a context of the share group
    PlugInTexturePool(const PlugInTexturePool&) = delete;
    PlugInTexturePool& operator=(const PlugInTexturePool&) = delete;

    // A texture of that size with one reference for the caller, its contents undefined; empty when
    // the size is 0 or beyond the GL limit for the target. Deletes the names queued meanwhile and
    // the free textures of other sizes.
    PlugInTextureRef Acquire(uint32_t width, uint32_t height);
    // Deletes every free and queued name.
    void Purge();

    // The largest side a texture of the target may have in the current context.
    static uint32_t MaxSize(uint32_t target);
    // Called by a texture's last release.
    static void Recycle(PlugInTexturePoolState& state, uint32_t name, uint32_t width, uint32_t height);

private:
    void DeleteDead(uint32_t keepWidth, uint32_t keepHeight);

    uint32_t fTarget;
    std::shared_ptr<PlugInTexturePoolState> fState;
};

}  // namespace plugin
