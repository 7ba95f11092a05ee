#pragma once

#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LPane.h"

// A one-pixel rectangle in a colour just inside the pane's bounds. Main thread only.
class CFrameBoxPane : public LPane {
public:
    explicit CFrameBoxPane(LPane* owner);

    void StateChanged(uint32_t op) override;
    void Draw(LDrawContext& ctx) override;

    const LColor& FrameColor() const { return fColour; }
    void SetFrameColor(const LColor& colour);
    // The one-pixel ring inside the bounds.
    CRgn Ring() const;

private:
    LColor fColour;
};
