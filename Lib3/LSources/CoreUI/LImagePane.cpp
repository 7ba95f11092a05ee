#include "Lib3/LSources/CoreUI/LImagePane.h"

LImagePane::LImagePane(LPane* upper) : LPane(upper, upper) {
    ChangeState(kLock);
}

int32_t LImagePane::PreferredWidth(LDrawContext&, int32_t) {
    return fImage.GetSize().width;
}

int32_t LImagePane::PreferredHeight(LDrawContext&, int32_t) {
    return fImage.GetSize().height;
}

void LImagePane::Draw(LDrawContext& ctx) {
    fImage->Draw(ctx, PlacementRect());
}

CLRect LImagePane::PlacementRect(const LImageH& image) const {
    LImageSize size = image.GetSize();
    CLRect r{0, 0, size.width, size.height};
    switch (fPlacement) {
        case kFit:
            r.MaxFit(Bounds());
            return r;
        case kCenter:
            r.CenterOf(Bounds());
            return r;
        default:
            return Bounds();
    }
}

void LImagePane::SetImage(const LImageH& image) {
    if (image.IsSame(fImage)) return;
    if (!IsVisible()) {
        fImage = image;
        return;
    }
    CLRect oldRect = PlacementRect(fImage);
    CRgn invalid = fImage->GetShape(oldRect);
    CRgn erase = invalid;  // the old picture's area, where the new one may not reach
    LImageH old = fImage;
    fImage = image;
    CLRect newRect = PlacementRect(fImage);
    CRgn newShape = fImage->GetShape(newRect);
    invalid |= newShape;
    erase -= newShape;
    erase |= fImage->GetEraseShape(newRect);
    Invalidate(invalid, erase);
}
