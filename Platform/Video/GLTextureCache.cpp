#include "Platform/Video/GLTextureCache.h"

#include <epoxy/gl.h>

#include <cstddef>

#include "Platform/GL/GLBindingScope.h"
#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLObjectCounts.h"
#include "Platform/Video/PixelBuffer.h"

namespace plat {

namespace {

void Specify(PixelBuffer* image, bool withContents) {
    const uint8_t* pixels = nullptr;
    if (withContents && image->Lock(kPixelBufferLockReadOnly)) pixels = image->BaseAddress();
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(image->BytesPerRow() / 4));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    // Unsized: the driver then keeps the buffer's BGRA order, and uploads and reads are copies.
    glTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGBA, image->Width(), image->Height(), 0, GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if (pixels) image->Unlock(kPixelBufferLockReadOnly);
}

// The pixels of the buffer into the storage of a texture of its size.
void SpecifyContents(PixelBuffer* image) {
    if (!image->Lock(kPixelBufferLockReadOnly)) return;
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(image->BytesPerRow() / 4));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, 0, 0, image->Width(), image->Height(), GL_BGRA,
                    GL_UNSIGNED_INT_8_8_8_8_REV, image->BaseAddress());
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    image->Unlock(kPixelBufferLockReadOnly);
}

}  // namespace

uint32_t GLTexture::Target() const {
    return GL_TEXTURE_RECTANGLE_ARB;
}

GLTexture::GLTexture(GLTextureCache* cache, PixelBuffer* image, uint32_t name)
    : fCache(cache), fImage(image), fName(name) {}

GLTexture::~GLTexture() {
    fCache->Discard(fName, fImage ? fImage->Width() : 0, fImage ? fImage->Height() : 0);
}

Ref<GLTextureCache> GLTextureCache::Create(GLContext* context, GLPixelFormat* format) {
    if (!context || !format) return nullptr;
    return Adopt(new GLTextureCache(context));
}

GLTextureCache::GLTextureCache(GLContext* context) : fContext(context) {}

GLTextureCache::~GLTextureCache() {
    // Without a current context the names go with the share group.
    if (GLContext::Current()) DeletePending();
}

Ref<GLTexture> GLTextureCache::CreateTexture(PixelBuffer* image) {
    if (!image || !GLContext::Current()) return nullptr;
    // A released texture of the buffer's size keeps its storage for the new one: new storage of a
    // frame's size is allocated and cleared each time.
    GLuint name = TakeReleased(image->Width(), image->Height());
    const bool reused = name != 0;
    if (!reused) {
        glGenTextures(1, &name);
        CountGLTextures();
        if (!name) return nullptr;
    }
    {
        GLTextureBindingScope bind(GL_TEXTURE_RECTANGLE_ARB, name);
        glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        if (!reused)
            Specify(image, image->HasContents());
        else if (image->HasContents())
            SpecifyContents(image);
    }
    return Adopt(new GLTexture(this, image, name));
}

void GLTextureCache::Flush() {
    if (GLContext::Current()) DeletePending();
}

bool GLTextureCache::Download(GLTexture* texture) {
    if (!texture || !GLContext::Current()) return false;
    PixelBuffer* image = texture->Image();
    if (!image->Lock(0)) return false;
    {
        GLTextureBindingScope bind(GL_TEXTURE_RECTANGLE_ARB, texture->Name());
        glPixelStorei(GL_PACK_ROW_LENGTH, static_cast<GLint>(image->BytesPerRow() / 4));
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glGetTexImage(GL_TEXTURE_RECTANGLE_ARB, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                      image->BaseAddress());
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    }
    image->Unlock(0);
    return glGetError() == GL_NO_ERROR;
}

bool GLTextureCache::Upload(GLTexture* texture) {
    if (!texture || !GLContext::Current()) return false;
    {
        // The texture's storage has the buffer's size from its creation.
        GLTextureBindingScope bind(GL_TEXTURE_RECTANGLE_ARB, texture->Name());
        SpecifyContents(texture->Image());
    }
    return true;
}

size_t GLTextureCache::PendingDeletes() const {
    std::lock_guard<std::mutex> lock(fMutex);
    return fPending.size();
}

void GLTextureCache::Discard(uint32_t name, int32_t width, int32_t height) {
    std::lock_guard<std::mutex> lock(fMutex);
    fPending.push_back({name, width, height});
}

uint32_t GLTextureCache::TakeReleased(int32_t width, int32_t height) {
    uint32_t name = 0;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        for (size_t i = fPending.size(); i-- > 0;) {
            if (fPending[i].width == width && fPending[i].height == height) {
                name = fPending[i].name;
                fPending.erase(fPending.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
    }
    DeletePending();
    return name;
}

void GLTextureCache::DeletePending() {
    std::vector<Released> released;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        released.swap(fPending);
    }
    if (released.empty()) return;
    std::vector<uint32_t> names;
    names.reserve(released.size());
    for (const Released& r : released) names.push_back(r.name);
    glDeleteTextures(static_cast<GLsizei>(names.size()), names.data());
}

}  // namespace plat
