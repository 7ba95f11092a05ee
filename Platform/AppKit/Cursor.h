#pragma once

#include <cstdint>

#include "Platform/Foundation/Geometry.h"
#include "Platform/Foundation/Object.h"

namespace plat {

class BitmapImage;

// A mouse cursor: one of the standard shapes, or an image with a hot spot (image pixels from its
// top-left). Set() hands it to the backend, which shows it over the application's windows. Cursors
// are immutable; main thread only.
class Cursor : public Object {
public:
    enum class Shape : uint32_t {
        kImage,
        kArrow,
        kIBeam,
        kCrosshair,
        kResizeLeftRight,
        kResizeUpDown,
        kDragCopy,
        kDragLink,
    };

    static Ref<Cursor> Standard(Shape shape);
    static Ref<Cursor> Arrow() { return Standard(Shape::kArrow); }
    // "arrow", "ibeam", "crosshair", "resizeLeftRight", "resizeUpDown", "dragCopy", "dragLink", or the
    // selector-style names ("arrowCursor", "IBeamCursor", "resizeLeftRightCursor", ...); null for others.
    static Ref<Cursor> Named(const char* name);
    // Null without an image.
    static Ref<Cursor> WithImage(const BitmapImage* image, Point hotSpot);

    Shape GetShape() const { return fShape; }
    // The standard name ("arrow", ...), "image" for image cursors.
    const char* Name() const;
    const BitmapImage* Image() const { return fImage.get(); }
    Point HotSpot() const { return fHotSpot; }

    void Set() const;

private:
    Cursor(Shape shape, const BitmapImage* image, Point hotSpot);
    ~Cursor() override;

    Shape fShape;
    Ref<const BitmapImage> fImage;
    Point fHotSpot;
};

}  // namespace plat
