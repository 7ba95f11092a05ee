#pragma once

#include <atomic>
#include <cstdint>

namespace plat {

// Process-wide counts of GL objects created (never lowered), bumped at every creation site in
// Platform/ and Common/OpenGL; tests and benchmarks read them to see that a steady state makes
// no new objects.
struct GLObjectCounts {
    std::atomic<uint64_t> textures{0};
    std::atomic<uint64_t> framebuffers{0};
    std::atomic<uint64_t> renderbuffers{0};
    std::atomic<uint64_t> programs{0};

    uint64_t Total() const {
        return textures.load(std::memory_order_relaxed) + framebuffers.load(std::memory_order_relaxed) +
               renderbuffers.load(std::memory_order_relaxed) + programs.load(std::memory_order_relaxed);
    }
};

GLObjectCounts& GLCreated();

inline void CountGLTextures(uint64_t n = 1) {
    GLCreated().textures.fetch_add(n, std::memory_order_relaxed);
}
inline void CountGLFramebuffers(uint64_t n = 1) {
    GLCreated().framebuffers.fetch_add(n, std::memory_order_relaxed);
}
inline void CountGLRenderbuffers(uint64_t n = 1) {
    GLCreated().renderbuffers.fetch_add(n, std::memory_order_relaxed);
}
inline void CountGLPrograms(uint64_t n = 1) {
    GLCreated().programs.fetch_add(n, std::memory_order_relaxed);
}

}  // namespace plat
