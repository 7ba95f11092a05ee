#pragma once

#include <cstdint>

#include "Common/Rgn/CRgn.h"
#include "Lib3/LSources/CoreData/LHandleBase.h"
#include "Lib3/LSources/CoreUI/CLRect.h"

namespace plat {
class BitmapImage;
}
class LDrawContext;

struct LImageSize {
    int32_t width = 0;
    int32_t height = 0;
};

// A reference-counted picture that draws itself into a rectangle and reports the shape it covers.
class LImage : public LHandleData {
public:
    static constexpr uint32_t kNativeKind = 134;

    // The shape at a rectangle: computed again when the size changes, moved when only the place does.
    CRgn GetShape(const CLRect& rect);
    // Empty when the image is opaque, else its shape.
    CRgn GetEraseShape(const CLRect& rect);

    virtual CRgn ComputeShape(const CLRect& rect) = 0;
    virtual bool IsValid() const = 0;
    virtual bool IsOpaque() const = 0;
    virtual LImageSize GetSize() const = 0;
    // The native image (not retained) and kNativeKind, or null and 0.
    virtual uint32_t GetNativeImage(plat::BitmapImage*& out) const = 0;
    virtual void Draw(LDrawContext& ctx, const CLRect& rect) = 0;

    // The image shared by every empty handle, kept for the life of the program.
    static LImage* Empty();

private:
    bool fHasShape = false;
    CLRect fShapeRect;
    CRgn fShape;
};

// A handle that always refers to an image: the shared empty image unless a valid one is given.
class LImageH : public LHandleBase {
public:
    LImageH() : LHandleBase(LImage::Empty()) {}
    // Adopts a valid image; an invalid one is deleted when nothing else holds it.
    explicit LImageH(LImage* image);

    LImage* Get() const { return static_cast<LImage*>(Data()); }
    LImage* operator->() const { return Get(); }
    LImageSize GetSize() const { return Get()->GetSize(); }
    bool IsEmpty() const { return Get() == LImage::Empty(); }
};
