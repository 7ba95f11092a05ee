#include "Lib3/LSources/CoreUI/LImage.h"

namespace {
class LEmptyImage : public LImage {
public:
    CRgn ComputeShape(const CLRect&) override { return CRgn(); }
    bool IsValid() const override { return false; }
    bool IsOpaque() const override { return true; }
    LImageSize GetSize() const override { return {}; }
    uint32_t GetNativeImage(plat::BitmapImage*& out) const override {
        out = nullptr;
        return 0;
    }
    void Draw(LDrawContext&, const CLRect&) override {}
};
}  // namespace

LImage* LImage::Empty() {
    static LImage* empty = [] {
        LImage* e = new LEmptyImage;
        e->Retain();  // never freed
        return e;
    }();
    return empty;
}

CRgn LImage::GetShape(const CLRect& rect) {
    if (!fHasShape || !rect.congruent(fShapeRect)) {
        fShape = ComputeShape(rect);
        fShapeRect = rect;
        fHasShape = true;
    }
    if (rect.left != fShapeRect.left || rect.top != fShapeRect.top) {
        fShape.Shift(rect.left - fShapeRect.left, rect.top - fShapeRect.top);
        fShapeRect = rect;
    }
    return fShape;
}

CRgn LImage::GetEraseShape(const CLRect& rect) {
    return IsOpaque() ? CRgn() : GetShape(rect);
}

LImageH::LImageH(LImage* image) : LHandleBase(LImage::Empty()) {
    if (image && image->IsValid()) {
        SetData(image);
    } else if (image && image->Count() == 0) {
        delete image;
    }
}
