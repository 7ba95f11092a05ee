#include "Platform/Composer/ImageConversion.h"

#include <epoxy/gl.h>

#include <cstring>
#include <vector>

#include "Platform/Composer/BufferImage.h"
#include "Platform/Composer/GLDrawing.h"
#include "Platform/Composer/GLTextureImage.h"
#include "Platform/Composer/ImageDerived.h"
#include "Platform/Composer/ImageTexturePool.h"
#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLShareGroup.h"

namespace plat {

namespace {

constexpr float kFullQuad[4] = {-1, -1, 1, 1};

bool RenderCopy(const TextureView& source, TextureView& destination) {
    destination.name = gldraw::NewTexture(destination.target, destination.width, destination.height);
    if (!destination.name) return false;
    gldraw::StateScope scope(true);
    gldraw::TextureFramebuffer framebuffer(destination);
    if (!framebuffer.Complete()) {
        glDeleteTextures(1, &destination.name);
        return false;
    }
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_CULL_FACE);
    gldraw::DrawTexture(source, kFullQuad, false);
    return true;
}

bool Upload(const BufferImage& buffer, bool upright, TextureView& out, ImageTexturePool* pool) {
    out.name = pool ? pool->TakeTexture(out.target, out.width, out.height)
                    : gldraw::NewTexture(out.target, out.width, out.height);
    if (!out.name) return false;
    gldraw::StateScope scope;
    const uint8_t* pixels = buffer.Data();
    std::vector<uint8_t> reversed;
    size_t rowLength = buffer.BytesPerRow() / 4;
    if (upright) {
        size_t row = size_t{out.width} * 4;
        reversed.resize(row * out.height);
        for (uint32_t y = 0; y < out.height; ++y)
            std::memcpy(reversed.data() + row * (out.height - 1 - y), buffer.Row(y), row);
        pixels = reversed.data();
        rowLength = out.width;
    }
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(rowLength));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glBindTexture(out.target, out.name);
    glTexSubImage2D(out.target, 0, 0, 0, static_cast<GLsizei>(out.width), static_cast<GLsizei>(out.height),
                    GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
    out.flipped = !upright;
    return true;
}

}  // namespace

bool TextureForImage(const Image& image, uint32_t target, bool upright, TextureView& out,
                     ImageTexturePool* pool) {
    GLContext* current = GLContext::Current();
    if (!current) return false;
    GLShareGroup* group = current->ShareGroup();
    if (image.Kind() == ImageKind::Texture) {
        const auto& texture = static_cast<const GLTextureImage&>(image);
        if (texture.ShareGroup() != group) return false;
        const TextureView& own = texture.Texture();
        uint32_t wanted = target ? target : own.target;
        if (own.target == wanted && !(upright && own.flipped)) {
            out = own;
            return true;
        }
        if (ImageDerivedAccess::FindTexture(image, group, wanted, upright, out)) return true;
        TextureView copy{0, wanted, own.width, own.height, false};
        if (!RenderCopy(own, copy)) return false;
        ImageDerivedAccess::AddTexture(image, group, true, copy);
        out = copy;
        return true;
    }
    uint32_t wanted = target ? target : GL_TEXTURE_2D;
    if (pool && pool->Group() != group) pool = nullptr;
    if (ImageDerivedAccess::FindTexture(image, group, wanted, upright, out)) return true;
    TextureView uploaded{0, wanted, image.Width(), image.Height(), false};
    if (!Upload(static_cast<const BufferImage&>(image), upright, uploaded, pool)) return false;
    ImageDerivedAccess::AddTexture(image, group, upright, uploaded, pool);
    out = uploaded;
    return true;
}

const BufferImage* BufferForImage(const Image& image) {
    if (image.Kind() == ImageKind::Buffer) return static_cast<const BufferImage*>(&image);
    if (const BufferImage* kept = ImageDerivedAccess::Buffer(image)) return kept;
    const auto& texture = static_cast<const GLTextureImage&>(image);
    GLContext* current = GLContext::Current();
    if (!current || current->ShareGroup() != texture.ShareGroup()) return nullptr;
    Ref<BufferImage> buffer = BufferImage::Create(texture.Width(), texture.Height());
    if (!buffer) return nullptr;
    const TextureView& view = texture.Texture();
    {
        gldraw::StateScope scope;
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_SKIP_ROWS, 0);
        glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(view.target, view.name);
        glGetTexImage(view.target, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, buffer->MutableData());
    }
    if (!view.flipped) {
        size_t row = buffer->BytesPerRow();
        std::vector<uint8_t> swap(row);
        uint8_t* data = buffer->MutableData();
        for (uint32_t top = 0, bottom = view.height - 1; top < bottom; ++top, --bottom) {
            std::memcpy(swap.data(), data + row * top, row);
            std::memcpy(data + row * top, data + row * bottom, row);
            std::memcpy(data + row * bottom, swap.data(), row);
        }
    }
    return ImageDerivedAccess::SetBuffer(image, std::move(buffer));
}

}  // namespace plat
