#include "Platform/GL/GLShareGroup.h"

#include <epoxy/gl.h>

#include "Platform/GL/GLContext.h"

namespace plat {

void GLShareGroup::DeleteTextureLater(uint32_t name) {
    if (!name) return;
    std::lock_guard<std::mutex> lock(fMutex);
    fTextures.push_back(name);
}

void GLShareGroup::Collect() {
    GLContext* current = GLContext::Current();
    if (!current || current->ShareGroup() != this) return;
    std::vector<uint32_t> names;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        if (fTextures.empty()) return;
        names.swap(fTextures);
    }
    glDeleteTextures(static_cast<GLsizei>(names.size()), names.data());
}

size_t GLShareGroup::PendingDeletes() const {
    std::lock_guard<std::mutex> lock(fMutex);
    return fTextures.size();
}

}  // namespace plat
