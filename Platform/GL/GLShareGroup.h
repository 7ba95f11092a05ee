#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "Platform/Foundation/Object.h"

namespace plat {

// The objects shared by a set of contexts created from one another. Textures released on a thread
// without a context of the group are queued here and deleted by the next Collect.
class GLShareGroup final : public Object {
public:
    static Ref<GLShareGroup> Create() { return Adopt(new GLShareGroup); }

    // Any thread.
    void DeleteTextureLater(uint32_t name);
    // Deletes the queued names when a context of this group is current on the calling thread.
    void Collect();
    size_t PendingDeletes() const;

private:
    GLShareGroup() = default;
    ~GLShareGroup() override = default;

    mutable std::mutex fMutex;
    std::vector<uint32_t> fTextures;
};

}  // namespace plat
