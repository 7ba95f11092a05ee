#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LOffscreen.h"

// A drawing context over an offscreen buffer's bitmap, for drawing outside any window. The buffer
// stays locked for the context's life; its bounds are (0, 0, width, height).
class CBitmapDrawContext : public LDrawContext {
public:
    explicit CBitmapDrawContext(const LOffscreenH& buffer);
    ~CBitmapDrawContext();

    bool IsBitmap() const { return fBitmap; }
    // 0 for a buffer without bitmap (a layer, or none).
    uint32_t BitsPerPixel() const { return fBitsPerPixel; }
    const CLRect& Bounds() const { return fBounds; }

private:
    LOffscreenH fBuffer;
    bool fBitmap = false;
    uint32_t fBitsPerPixel = 0;
    CLRect fBounds;
};
