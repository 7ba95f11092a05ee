#include "Platform/AppKit/Cursor.h"

#include <cstring>

#include "Platform/AppKit/Backend.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Graphics/BitmapImage.h"

namespace plat {

namespace {

struct NamedShape {
    const char* name;
    const char* selector;
    Cursor::Shape shape;
};

constexpr NamedShape kNames[] = {
    {"arrow", "arrowCursor", Cursor::Shape::kArrow},
    {"ibeam", "IBeamCursor", Cursor::Shape::kIBeam},
    {"crosshair", "crosshairCursor", Cursor::Shape::kCrosshair},
    {"resizeLeftRight", "resizeLeftRightCursor", Cursor::Shape::kResizeLeftRight},
    {"resizeUpDown", "resizeUpDownCursor", Cursor::Shape::kResizeUpDown},
    {"dragCopy", "dragCopyCursor", Cursor::Shape::kDragCopy},
    {"dragLink", "dragLinkCursor", Cursor::Shape::kDragLink},
};

}  // namespace

Cursor::Cursor(Shape shape, const BitmapImage* image, Point hotSpot)
    : fShape(shape), fImage(image), fHotSpot(hotSpot) {}

Cursor::~Cursor() = default;

Ref<Cursor> Cursor::Standard(Shape shape) {
    if (shape == Shape::kImage) return nullptr;
    return Adopt(new Cursor(shape, nullptr, {}));
}

Ref<Cursor> Cursor::Named(const char* name) {
    if (!name) return nullptr;
    for (const NamedShape& n : kNames)
        if (std::strcmp(name, n.name) == 0 || std::strcmp(name, n.selector) == 0) return Standard(n.shape);
    return nullptr;
}

Ref<Cursor> Cursor::WithImage(const BitmapImage* image, Point hotSpot) {
    if (!image) return nullptr;
    return Adopt(new Cursor(Shape::kImage, image, hotSpot));
}

const char* Cursor::Name() const {
    for (const NamedShape& n : kNames)
        if (n.shape == fShape) return n.name;
    return "image";
}

void Cursor::Set() const {
    PLAT_DCHECK_MAIN_THREAD();
    if (Backend* b = CurrentBackend()) b->SetCursor(this);
}

}  // namespace plat
