#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LLayoutPanes.h"

class LDrawContext;
class LPane;
class LSLinkBase;

// A frame's child list as a layout run sees it: pane n (from 1) is the child at index n - 1;
// preferred sizes are asked with the drawing context of the frame's pane port.
class LPaneListLayout : public LLayoutPanes {
public:
    LPaneListLayout(const LSLinkBase& children, LDrawContext& ctx) : fChildren(children), fCtx(ctx) {}

    uint32_t CountPanes() const override;
    SLayoutRect PaneBounds(uint32_t n) const override;
    void SetPaneBounds(uint32_t n, const SLayoutRect& bounds) override;
    bool PaneVisible(uint32_t n) const override;
    int32_t PanePreferredWidth(uint32_t n, int32_t extent) override;
    int32_t PanePreferredHeight(uint32_t n, int32_t extent) override;

private:
    LPane* Pane(uint32_t n) const;

    const LSLinkBase& fChildren;
    LDrawContext& fCtx;
};
