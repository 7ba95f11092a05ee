#include "Specific/PlugInSupport/PlugInTexturePool.h"

#include <epoxy/gl.h>

namespace plugin {
namespace {
// Free textures kept per size; more go back to GL.
constexpr size_t kMaxFreePerSize = 4;
}  // namespace

PlugInTexturePool::PlugInTexturePool(uint32_t target)
    : fTarget(target), fState(std::make_shared<PlugInTexturePoolState>()) {}

PlugInTexturePool::~PlugInTexturePool() {
    std::lock_guard<std::mutex> lock(fState->mutex);
    fState->closed = true;
}

uint32_t PlugInTexturePool::MaxSize(uint32_t target) {
    GLint size = 0;
    glGetIntegerv(target == GL_TEXTURE_RECTANGLE ? GL_MAX_RECTANGLE_TEXTURE_SIZE : GL_MAX_TEXTURE_SIZE,
                  &size);
    return size > 0 ? static_cast<uint32_t>(size) : 0;
}

void PlugInTexturePool::Recycle(PlugInTexturePoolState& state, uint32_t name, uint32_t width,
                                uint32_t height) {
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.closed) return;
    std::vector<uint32_t>& names = state.free[{width, height}];
    if (names.size() < kMaxFreePerSize)
        names.push_back(name);
    else
        state.dead.push_back(name);
}

void PlugInTexturePool::DeleteDead(uint32_t keepWidth, uint32_t keepHeight) {
    std::vector<uint32_t> names;
    {
        std::lock_guard<std::mutex> lock(fState->mutex);
        names.swap(fState->dead);
        for (auto it = fState->free.begin(); it != fState->free.end();) {
            if (it->first == std::make_pair(keepWidth, keepHeight)) {
                ++it;
                continue;
            }
            names.insert(names.end(), it->second.begin(), it->second.end());
            it = fState->free.erase(it);
        }
    }
    if (!names.empty()) glDeleteTextures(static_cast<GLsizei>(names.size()), names.data());
}

PlugInTextureRef PlugInTexturePool::Acquire(uint32_t width, uint32_t height) {
    DeleteDead(width, height);
    uint32_t limit = MaxSize(fTarget);
    if (width == 0 || height == 0 || width > limit || height > limit) return {};
    GLuint name = 0;
    {
        std::lock_guard<std::mutex> lock(fState->mutex);
        auto it = fState->free.find({width, height});
        if (it != fState->free.end() && !it->second.empty()) {
            name = it->second.back();
            it->second.pop_back();
        }
    }
    if (!name) {
        glGenTextures(1, &name);
        if (!name) return {};
        GLint previous = 0;
        glGetIntegerv(fTarget == GL_TEXTURE_RECTANGLE ? GL_TEXTURE_BINDING_RECTANGLE : GL_TEXTURE_BINDING_2D,
                      &previous);
        glBindTexture(fTarget, name);
        glTexParameteri(fTarget, GL_TEXTURE_MAX_LEVEL, 0);
        glTexParameteri(fTarget, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(fTarget, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(fTarget, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(fTarget, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexImage2D(fTarget, 0, GL_RGBA8, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0,
                     GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
        glBindTexture(fTarget, static_cast<GLuint>(previous));
    }
    return PlugInTextureRef(new PlugInTexture(fState, name, fTarget, width, height));
}

void PlugInTexturePool::Purge() {
    DeleteDead(0, 0);
}

}  // namespace plugin
