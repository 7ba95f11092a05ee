#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LImage.h"
#include "Lib3/LSources/CoreUI/LPane.h"

// A colour swatch button: the face is split along its diagonal, the colour over black above it and
// over white below it, so transparency shows; an image may be drawn over it, or a pane (not owned)
// placed on the face instead. A press sends "CColorBtn::rClicked"; a handler above may take the
// click, else the button tracks it through the capture and sends "CColorBtn::rSelected" on a release
// inside. The face moves down one pixel while pressed.
class CColorBtn : public LPane {
public:
    static constexpr LMsgId rClicked{"CColorBtn::rClicked"};
    static constexpr LMsgId rSelected{"CColorBtn::rSelected"};
    enum : uint32_t { kFit = 1, kCentreOrFit = 2, kCentre = 0 };

    explicit CColorBtn(LPane* owner);

    LMessage Handle(const LMessage& msg) override;
    void StateChanged(uint32_t op) override;
    void BoundsChanged(const CLRect& old) override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;
    void Draw(LDrawContext& ctx) override;

    // Stored as given; drawing clamps each component to 0...1 (NaN as 0).
    void SetColor(float red, float green, float blue, float alpha);
    LRGBA GetColor() const { return fColor; }
    void SetImage(const LImageH& image, uint32_t placement);
    void SetAttachedPane(LPane* pane);
    LPane* AttachedPane() const { return fAttached; }
    bool IsPressed() const { return fPressed; }

    // Geometry in the coordinates of the bounds.
    static CLRect FaceOf(const CLRect& bounds, bool pressed);
    static CRgn OutlineOf(const CLRect& bounds, bool pressed);
    // The two halves' colours as 0xRRGGBB: over black (upper left) and over white (lower right).
    static uint32_t OverBlack(const LRGBA& colour);
    static uint32_t OverWhite(const LRGBA& colour);

private:
    void SetPressed(bool pressed);
    void PlaceAttached();
    CLRect ImageRect(const CLRect& face) const;

    LRGBA fColor{1, 1, 1, 1};
    LImageH fImage;
    uint32_t fPlacement = kCentre;
    LPane* fAttached = nullptr;
    bool fPressed = false;
};
