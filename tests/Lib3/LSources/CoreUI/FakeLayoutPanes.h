#pragma once

#include <ostream>
#include <utility>
#include <vector>

#include "Lib3/LSources/CoreUI/LLayoutPanes.h"

// A frame's child panes for layout tests: bounds, visibility and preferred sizes; an extent
// above 0 is answered as the preferred size, as a wrapping pane would.
class FakeLayoutPanes : public LLayoutPanes {
public:
    struct Pane {
        SLayoutRect bounds;
        bool visible = true;
        int32_t prefW = 0;
        int32_t prefH = 0;
    };
    std::vector<Pane> panes;

    explicit FakeLayoutPanes(std::vector<Pane> p = {}) : panes(std::move(p)) {}

    uint32_t CountPanes() const override { return uint32_t(panes.size()); }
    SLayoutRect PaneBounds(uint32_t n) const override { return panes.at(n - 1).bounds; }
    void SetPaneBounds(uint32_t n, const SLayoutRect& r) override { panes.at(n - 1).bounds = r; }
    bool PaneVisible(uint32_t n) const override { return panes.at(n - 1).visible; }
    int32_t PanePreferredWidth(uint32_t n, int32_t extent) override {
        return extent > 0 ? extent : panes.at(n - 1).prefW;
    }
    int32_t PanePreferredHeight(uint32_t n, int32_t extent) override {
        return extent > 0 ? extent : panes.at(n - 1).prefH;
    }
};

inline bool operator==(const SLayoutRect& a, const SLayoutRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline std::ostream& operator<<(std::ostream& os, const SLayoutRect& r) {
    return os << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}
