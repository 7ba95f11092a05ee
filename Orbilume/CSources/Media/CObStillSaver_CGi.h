#pragma once

#include <cstdint>
#include <cstdlib>

#include "Common/Mac/CRunLoopSignal.h"
#include "Common/Posix/CPsxMutex.h"
#include "Lib3/LSources/CoreData/LVariBufferBase.h"
#include "Platform/Foundation/Object.h"

class COpenGLContext_Cca;

// A captured frame: premultiplied pixels in A, R, G, B byte order, rows of width * 4 bytes, top row
// first. Immutable once handed to Write; released on any thread.
class CStillFrame : public plat::Object {
public:
    // Takes over a malloc'd buffer of width * 4 * height bytes.
    static plat::Ref<CStillFrame> Create(uint8_t* pixels, uint32_t width, uint32_t height) {
        return plat::Adopt(new CStillFrame(pixels, width, height));
    }
    const uint8_t* pixels() const { return fPixels; }
    uint32_t width() const { return fWidth; }
    uint32_t height() const { return fHeight; }
    size_t bytesPerRow() const { return size_t{fWidth} * 4; }

private:
    CStillFrame(uint8_t* pixels, uint32_t width, uint32_t height)
        : fPixels(pixels), fWidth(width), fHeight(height) {}
    ~CStillFrame() override { std::free(fPixels); }

    uint8_t* fPixels;
    uint32_t fWidth;
    uint32_t fHeight;
};

struct SStillOptions {
    float lossyCompressionQuality = 1.0f;  // kept for lossy writers; PNG ignores it
};

// Saves the rendered output as a PNG. Capture reads the bound framebuffer on the render thread in the
// middle of a frame and signals the main thread (the thread that made the saver), where Encode turns
// the rows top first and hands the frame to Write. Captures that come before the main thread runs
// leave one encode of the latest pixels. The mutex guards the pixel buffer and its size.
class CObStillSaver_CGi {
public:
    // Largest capture taken (a 16384 x 16384 viewport at most, 64 Mpixels).
    static constexpr uint64_t kMaxPixels = uint64_t{64} << 20;

    virtual ~CObStillSaver_CGi();
    CObStillSaver_CGi(const CObStillSaver_CGi&) = delete;
    CObStillSaver_CGi& operator=(const CObStillSaver_CGi&) = delete;

    // Main thread, from the run-loop signal.
    virtual void Encode();
    // Render thread, the frame still bound: reads the viewport's rectangle of the read framebuffer.
    // Nothing is read or signalled for an empty viewport or when the buffer cannot be sized.
    virtual void Capture(COpenGLContext_Cca& context);
    // Main thread: takes the frame to its destination; false when that failed.
    [[nodiscard]] virtual bool Write(const plat::Ref<CStillFrame>& image, const SStillOptions& options) = 0;

    // Size of the pixels waiting for Encode (0 x 0 when none).
    uint32_t capturedWidth();
    uint32_t capturedHeight();

protected:
    CObStillSaver_CGi();

    CPsxMutex mMutex;  // recursive

private:
    static void SignalEncode(void* self);

    CRunLoopSignal mSignal;
    LVariBuffer<unsigned char> mPixels;
    uint32_t mWidth = 0;
    uint32_t mHeight = 0;
};
