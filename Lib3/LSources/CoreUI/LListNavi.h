#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LFrame.h"

class LListPane;
class LScrollBar;

L_MESSAGE_ID(LListNavi_Navi);

// The frame around one list pane: up to two scroll bars (made and deleted here), an optional column
// header and row header list that scroll in step with the list, and a corner pane. Turns bar parts
// and the wheel into scrolling and reports each user scroll with "LListNavi_Navi". Draws the list-box
// frame, focused while it has focus when made with the focus-frame flag. Main thread only.
class LListNavi : public LFrame {
public:
    enum : uint32_t {
        kVerticalBar = 1u << 0,
        kHorizontalBar = 1u << 1,
        kVerticalBarLeft = 1u << 2,
        kHorizontalBarTop = 1u << 3,
        kColumnHeaderBelow = 1u << 4,
        kRowHeaderRight = 1u << 5,
    };

    LListNavi(LPane* owner, uint32_t options, uint32_t focusFrame);
    ~LListNavi() override;

    LMessage Handle(const LMessage& msg) override;
    void Invalidate(const CRgn& invalid, const CRgn& erase) override;
    void StateChanged(uint32_t op) override;
    void BoundsChanged(const CLRect& old) override;
    bool IntersectsRegion(const CRgn& region) override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;
    void Draw(LDrawContext& ctx) override;

    void SetListPane(LListPane* list);
    void SetColumnHeader(LListPane* list);
    void SetRowHeader(LListPane* list);
    LListPane* ListPane() const { return fList; }
    LScrollBar* HorizontalBar() const { return fHBar; }
    LScrollBar* VerticalBar() const { return fVBar; }
    int32_t ColumnStep() const { return fColumnStep; }
    int32_t RowStep() const { return fRowStep; }

    void ScrollColumnsTo(int32_t column);
    void ScrollRowsTo(int32_t row);
    void UpdateScrollBars();
    void LayOut();

protected:
    LPane* fCorner = nullptr;

private:
    LListPane* ColumnReference() const;
    LListPane* RowReference() const;
    int32_t ScrollerWidth();
    // The frame ring in the owner's coordinates, or in the frame's own.
    CRgn FrameRing(int32_t style, bool local) const;
    LMessage HandleBar(const LMessage& msg, bool horizontal);
    LMessage HandleWheel(const LMessage& msg);

    LListPane* fList = nullptr;
    LListPane* fColumnHeader = nullptr;
    LListPane* fRowHeader = nullptr;
    LScrollBar* fHBar = nullptr;
    LScrollBar* fVBar = nullptr;
    uint32_t fOptions;
    int32_t fColumnStep = 1;
    int32_t fRowStep = 1;
    uint32_t fFocusFrame;
};
