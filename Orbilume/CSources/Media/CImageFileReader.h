#pragma once

#include <cstdint>

#include "Platform/Foundation/Object.h"

namespace plat {
class BitmapImage;
class ImageSource;
}  // namespace plat
class COpenGLContext_Cca;
class LFsSpec;

// Reads an image file and uploads its first image into the GL texture the caller bound (the COLLADA
// surfaces load their textures with it). One thread at a time; UploadTexture takes the GL lock.
class CImageFileReader {
public:
    // Largest side and pixel count uploaded to targets GL does not limit here (rectangles, 1D, ...).
    static constexpr uint64_t kMaxSide = 16384;
    static constexpr uint64_t kMaxPixels = uint64_t{64} << 20;

    CImageFileReader();
    ~CImageFileReader();
    CImageFileReader(const CImageFileReader&) = delete;
    CImageFileReader& operator=(const CImageFileReader&) = delete;

    // Drops the image and source and reads the file; true when it holds an image of a known type.
    [[nodiscard]] bool Open(const LFsSpec& spec);
    // Decodes image 0 once (clears flipped); true when an image is held.
    [[nodiscard]] bool LoadImage();
    // Uploads the image at width x height (0: the image's own) into the bound texture of the target,
    // as GL_BGRA / GL_UNSIGNED_INT_8_8_8_8_REV. 2D and cube-map targets are halved (both sides together)
    // until they fit GL's maximum; anything still beyond the limits is refused. Unless flipped the
    // first row in memory is the image's bottom row.
    [[nodiscard]] bool UploadTexture(COpenGLContext_Cca& context, unsigned target, int internalFormat,
                                     uint32_t width, uint32_t height);

    bool flipped() const { return fFlipped; }
    void SetFlipped(bool flipped) { fFlipped = flipped; }
    const plat::BitmapImage* image() const { return fImage.get(); }

    // Maxima used instead of GL's (0: ask GL), for tests of large images on small limits.
    void SetTextureLimits(int32_t max2D, int32_t maxCube) {
        fMax2D = max2D;
        fMaxCube = maxCube;
    }
    // Size of the last upload's pixel buffer.
    uint64_t lastUploadBytes() const { return fLastUploadBytes; }

    // The size an upload asks for: halving against the maximum (when above 0) until both sides fit;
    // false when the result is still beyond the limits.
    static bool FitUploadSize(uint64_t& width, uint64_t& height, int32_t glMax);

private:
    plat::Ref<plat::ImageSource> fSource;
    plat::Ref<plat::BitmapImage> fImage;
    bool fFlipped = false;
    int32_t fMax2D = 0;
    int32_t fMaxCube = 0;
    uint64_t fLastUploadBytes = 0;
};
