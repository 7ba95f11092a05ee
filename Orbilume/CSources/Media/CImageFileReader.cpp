#include "Orbilume/CSources/Media/CImageFileReader.h"

#include <epoxy/gl.h>

#include <cstdlib>
#include <string>

#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Platform/Graphics/BitmapImage.h"
#include "Platform/Graphics/ImageScaling.h"
#include "Platform/Graphics/ImageSource.h"

namespace {

bool IsCubeTarget(unsigned target) {
    return target == GL_TEXTURE_CUBE_MAP ||
           (target >= GL_TEXTURE_CUBE_MAP_POSITIVE_X && target <= GL_TEXTURE_CUBE_MAP_NEGATIVE_Z);
}

}  // namespace

CImageFileReader::CImageFileReader() = default;
CImageFileReader::~CImageFileReader() = default;

bool CImageFileReader::Open(const LFsSpec& spec) {
    fImage = nullptr;
    fSource = nullptr;
    LString path = CMacFileU::PathFromLFsSpec(spec);
    if (path.Length() == 0) return false;
    fSource = plat::ImageSource::CreateWithFile(std::string(path.CStr(), path.Length()));
    return static_cast<bool>(fSource);
}

bool CImageFileReader::LoadImage() {
    if (fImage) return true;
    if (!fSource) return false;
    fImage = fSource->CreateImage();
    fFlipped = false;
    return static_cast<bool>(fImage);
}

bool CImageFileReader::FitUploadSize(uint64_t& width, uint64_t& height, int32_t glMax) {
    if (glMax > 0) {
        auto max = static_cast<uint64_t>(glMax);
        while (width > max || height > max) {
            width /= 2;
            height /= 2;
        }
    }
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
}

bool CImageFileReader::UploadTexture(COpenGLContext_Cca& context, unsigned target, int internalFormat,
                                     uint32_t width, uint32_t height) {
    if (!LoadImage()) return false;
    uint64_t w = width ? width : static_cast<uint64_t>(fImage->Width());
    uint64_t h = height ? height : static_cast<uint64_t>(fImage->Height());
    int32_t glMax = 0;
    if (target == GL_TEXTURE_2D || IsCubeTarget(target)) {
        bool cube = target != GL_TEXTURE_2D;
        glMax = cube ? fMaxCube : fMax2D;
        if (glMax <= 0) {
            COpenGLScope_Cca scope(context);
            glGetIntegerv(cube ? GL_MAX_CUBE_MAP_TEXTURE_SIZE : GL_MAX_TEXTURE_SIZE, &glMax);
        }
    }
    if (!FitUploadSize(w, h, glMax)) return false;
    size_t rowBytes = static_cast<size_t>(w) * 4;
    size_t bytes = rowBytes * static_cast<size_t>(h);
    auto* pixels = static_cast<uint8_t*>(std::malloc(bytes));
    if (!pixels) return false;
    fLastUploadBytes = bytes;
    // Unless flipped, drawn upside down: the first row in memory is the image's bottom row.
    bool drawn = plat::DrawImageScaled(*fImage, pixels, static_cast<int32_t>(w), static_cast<int32_t>(h),
                                       rowBytes, !fFlipped);
    if (drawn) {
        COpenGLScope_Cca scope(context);
        GLint alignment = 4;
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexImage2D(target, 0, internalFormat, static_cast<GLsizei>(w), static_cast<GLsizei>(h), 0, GL_BGRA,
                     GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    }
    std::free(pixels);
    return drawn;
}
