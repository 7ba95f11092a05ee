#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LFrame.h"

// A frame without window whose children are placed by a layout description that sees the pane's
// width and height as "cw" and "ch": the fixed size when a fixed width is set, else the description's
// preferred size when auto-sizing (or after a child came or went), else the current size. Never the
// pane under the mouse itself, so clicks on its background reach what lies behind. Main thread only.
class CScriptLayoutPane : public LFrame {
public:
    CScriptLayoutPane(LHandler* upper, LPane* owner, const LLayoutParts& parts, bool autoSize);

    // A width above 0 fixes both.
    void SetFixedSize(int32_t width, int32_t height);
    bool RelayoutPending() const { return mPending; }

    LMessage Handle(const LMessage& msg) override;
    void StateChanged(uint32_t op) override;
    void BoundsChanged(const CLRect& old) override;
    LPane* FindPaneAt(const CLPoint& p) override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;
    void DescriptionPrefer(LDrawContext& ctx, LLayoutDesc& description) override;
    void DescriptionApplied(LDrawContext& ctx, LLayoutDesc& description) override;

private:
    CLRect DescribedRect(LDrawContext& ctx);

    int32_t mFixedWidth = 0;
    int32_t mFixedHeight = 0;
    bool mAutoSize;
    bool mPending = false;
};
