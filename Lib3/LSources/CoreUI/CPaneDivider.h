#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreUI/LFrame.h"

L_MESSAGE_ID(CPaneDivider_Change);

// A windowless frame that lays its visible children out in one row (or one column) with 5-pixel
// dividers between them, which the user drags to resize the neighbours. Each child's preferred size
// is its minimum while space allows; extra or missing space is spread in proportion. Every size is
// clamped at 0 and every share guards its divisor, so frames narrower than their gaps, or children
// that all prefer 0, lay out without faults. "CPaneDivider_Change" goes up after each drag.
class CPaneDivider : public LFrame {
public:
    static constexpr int32_t kGap = 5;
    enum : uint32_t { kSideBySide = 0, kStacked = 1 };

    CPaneDivider(LHandler* upper, LPane* owner);
    ~CPaneDivider() override;

    LMessage Handle(const LMessage& msg) override;
    void BoundsChanged(const CLRect& old) override;
    LPane* FindPaneAt(const CLPoint& p) override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;
    void Draw(LDrawContext& ctx) override;

    void SetOrientation(uint32_t orientation);
    uint32_t Orientation() const { return mOrientation; }
    // Moves divider i as a drag would, within its limits, adjusting both neighbours.
    void SetDividerPosition(uint32_t i, int32_t position);

    // New sizes for visible children first...last whose total grows by amount (shrinks when negative).
    void Distribute(int32_t amount, int32_t first, int32_t last);
    // Sizes in proportion to the preferred sizes over the whole frame.
    void LayoutFromScratch();

    std::vector<LPane*> VisibleChildren() const;
    // Divider i's band (frame-local); empty when there is no such divider.
    CLRect DividerBand(uint32_t i) const;
    int32_t DragPosition() const { return mDragPos; }
    int32_t DragMinimum() const { return mDragMin; }
    int32_t DragMaximum() const { return mDragMax; }

private:
    bool Stacked() const { return mOrientation == kStacked; }
    int32_t SizeAlong() const;
    int32_t StartOf(const LPane* p) const;
    int32_t EndOf(const LPane* p) const;
    int32_t PrefOf(LPane* p, LDrawContext& ctx) const;
    void SetSpan(LPane* p, int32_t start, int32_t size);
    CLRect BandAt(int32_t position) const;
    CRgn Bands() const;
    void InvalidateBands(const CRgn& before);
    // The divider under a frame-local point, or -1.
    int32_t DividerAt(const CLPoint& local) const;
    void BeginDrag(uint32_t i);
    void ApplyDrag(bool adjustNeighbour);
    CLPoint MouseLocal();

    uint32_t mOrientation = kSideBySide;
    int32_t mDragPos = -1;
    int32_t mDragMin = 0;
    int32_t mDragMax = 0;
    uint32_t mDragged = 0;
    CLPoint mDragStart;
    bool mNeedsLayout = true;
};
