#include "Lib3/LSources/CoreUI/CColorBtn.h"

#include <algorithm>
#include <cmath>

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPaint.h"
#include "Platform/Graphics/DrawContext.h"

namespace {

double Clamp01(float v) {
    if (!(v >= 0)) return 0;  // NaN too
    return v > 1 ? 1.0 : double(v);
}

uint32_t Byte(double v) {
    return uint32_t(std::lround(std::clamp(v, 0.0, 1.0) * 255));
}

uint32_t Pack(double r, double g, double b) {
    return Byte(r) << 16 | Byte(g) << 8 | Byte(b);
}

// A rectangle united with itself inset by 1 horizontally and grown by 1 vertically.
CRgn CutCorners(const CLRect& r) {
    CRgn out(r);
    out |= CRgn(CLRect{r.left + 1, r.top - 1, r.right - 1, r.bottom + 1});
    return out;
}

}  // namespace

CColorBtn::CColorBtn(LPane* owner) : LPane(owner, owner) {}

CLRect CColorBtn::FaceOf(const CLRect& b, bool pressed) {
    const int32_t n = pressed ? 0 : 1;
    return {b.left + 1, b.top + 2 - n, b.right - 2, b.bottom - 1 - n};
}

CRgn CColorBtn::OutlineOf(const CLRect& b, bool pressed) {
    if (pressed) return CutCorners({b.left, b.top + 2, b.right - 1, b.bottom - 1});
    CRgn shape = CutCorners({b.left, b.top + 1, b.right - 1, b.bottom - 2});
    CRgn shadow = shape;
    shadow.Shift(1, 1);
    shape |= shadow;
    return shape;
}

uint32_t CColorBtn::OverBlack(const LRGBA& c) {
    const double a = Clamp01(c.alpha);
    return Pack(Clamp01(c.red) * a, Clamp01(c.green) * a, Clamp01(c.blue) * a);
}

uint32_t CColorBtn::OverWhite(const LRGBA& c) {
    const double a = Clamp01(c.alpha);
    return Pack(1 - (1 - Clamp01(c.red)) * a, 1 - (1 - Clamp01(c.green)) * a, 1 - (1 - Clamp01(c.blue)) * a);
}

void CColorBtn::SetColor(float red, float green, float blue, float alpha) {
    fColor = {red, green, blue, alpha};
    Invalidate(CRgn(Bounds()), CRgn(Bounds()));
}

void CColorBtn::SetImage(const LImageH& image, uint32_t placement) {
    fImage = image;
    fPlacement = placement;
    Invalidate(CRgn(Bounds()), CRgn(Bounds()));
}

void CColorBtn::SetAttachedPane(LPane* pane) {
    fAttached = pane;
    PlaceAttached();
}

void CColorBtn::PlaceAttached() {
    if (fAttached) fAttached->SetBounds(FaceOf(Bounds(), fPressed));
}

void CColorBtn::SetPressed(bool pressed) {
    if (fPressed == pressed) return;
    CRgn area = OutlineOf(Bounds(), fPressed);
    fPressed = pressed;
    area |= OutlineOf(Bounds(), fPressed);
    Invalidate(area, area);
    PlaceAttached();
}

LMessage CColorBtn::Handle(const LMessage& msg) {
    if (msg.Is(LMouse_Click)) {
        Dispatch(LMessage(LPane_ReqFocus, this, Upper()));
        return LMessage(rClicked, this, Upper());
    }
    if (msg.Is(rClicked) && msg.sender == this) {
        SetPressed(true);
        return LMessage(LPane_ReqCapture, this, Upper());
    }
    if (msg.Is(LMouse_Move)) {
        SetPressed(Bounds().Contain(MouseInOwner()));
        return LMessage();
    }
    if (msg.Is(LMouse_Release)) {
        const bool inside = Bounds().Contain(MouseInOwner());
        SetPressed(false);
        if (inside) return LMessage(rSelected, this, Upper());
        return LMessage();
    }
    return LPane::Handle(msg);
}

void CColorBtn::StateChanged(uint32_t op) {
    if (op == kEnable || op == kDisable) {
        CRgn outline = OutlineOf(Bounds(), fPressed);
        Invalidate(outline, outline);
    } else if ((op == kShow || op == kHide) && fAttached) {
        fAttached->ChangeState(op);
    }
    LPane::StateChanged(op);
}

void CColorBtn::BoundsChanged(const CLRect& old) {
    LPane::BoundsChanged(old);
    PlaceAttached();
}

int32_t CColorBtn::PreferredWidth(LDrawContext&, int32_t kind) {
    if (kind < 0) return 0;
    return fImage.GetSize().width + 5;
}

int32_t CColorBtn::PreferredHeight(LDrawContext&, int32_t kind) {
    if (kind < 0) return 0;
    return fImage.GetSize().height + 5;
}

CLRect CColorBtn::ImageRect(const CLRect& face) const {
    const LImageSize size = fImage.GetSize();
    const int32_t fw = face.Width(), fh = face.Height();
    const bool fits = size.width <= fw && size.height <= fh;
    int32_t w = size.width, h = size.height;
    if ((fPlacement == kFit || (fPlacement == kCentreOrFit && !fits)) && w > 0 && h > 0) {
        // Scaled to the face, keeping the proportions.
        if (int64_t(fw) * h <= int64_t(fh) * w) {
            h = int32_t(int64_t(h) * fw / w);
            w = fw;
        } else {
            w = int32_t(int64_t(w) * fh / h);
            h = fh;
        }
    }
    const int32_t left = face.left + (fw - w) / 2;
    const int32_t top = face.top + (fh - h) / 2;
    return {left, top, left + w, top + h};
}

void CColorBtn::Draw(LDrawContext& ctx) {
    const CLRect& b = Bounds();
    if (b.IsEmpty()) return;
    const CLRect face = FaceOf(b, fPressed);
    CRgn frame = OutlineOf(b, fPressed);
    frame -= CRgn(face);
    const LColor frameColour = (State() & kEnabled) ? LColor() : LColor({128, 128, 128}, 2);
    LPaint(frame, frameColour).Fill(ctx);
    if (fAttached || face.IsEmpty()) return;

    ctx.ApplyPending();
    plat::DrawContext* native = ctx.Native();
    if (!native) return;
    auto colour = [](uint32_t rgb) {
        return plat::GfxColor{double(rgb >> 16 & 255) / 255, double(rgb >> 8 & 255) / 255,
                              double(rgb & 255) / 255, 1};
    };
    {
        plat::GStateScope state(*native);
        const plat::Rect faceRect{double(face.left), double(face.top), double(face.Width()),
                                  double(face.Height())};
        native->ClipToRects(&faceRect, 1);
        const double l = face.left, t = face.top, r = face.right, bt = face.bottom;
        native->SetFillColor(colour(OverBlack(fColor)));
        native->BeginPath();
        native->MoveTo(l, t);
        native->LineTo(r, t);
        native->LineTo(l, bt);
        native->ClosePath();
        native->FillPath();
        native->SetFillColor(colour(OverWhite(fColor)));
        native->BeginPath();
        native->MoveTo(r, t);
        native->LineTo(r, bt);
        native->LineTo(l, bt);
        native->ClosePath();
        native->FillPath();
    }
    ctx.MarkColorChanged();
    if (!fImage.IsEmpty()) fImage->Draw(ctx, ImageRect(face));
}
