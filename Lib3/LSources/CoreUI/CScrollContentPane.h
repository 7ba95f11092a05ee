#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LFrame.h"

// A frame without window that shows its first child at a scroll offset. Mode 0: the child takes the
// pane's size; 1: the pane's height and its preferred width (horizontal scrolling); 2: the pane's width
// and its preferred height (vertical scrolling). Its preferred size is the child's. Main thread only.
class CScrollContentPane : public LFrame {
public:
    enum : uint32_t { kFill = 0, kHorizontal = 1, kVertical = 2 };

    CScrollContentPane(LHandler* upper, LPane* owner, uint32_t mode);

    void SetScrollOffset(int32_t x, int32_t y);
    CLPoint ScrollOffset() const { return {mX, mY}; }
    uint32_t Mode() const { return mMode; }

    LMessage Handle(const LMessage& msg) override;
    void BoundsChanged(const CLRect& old) override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;

private:
    LPane* Content() const;
    void PlaceChild(bool keepSize);

    int32_t mX = 0;
    int32_t mY = 0;
    uint32_t mMode;
};
