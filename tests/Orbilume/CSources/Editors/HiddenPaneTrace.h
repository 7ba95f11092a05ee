// What a hidden pane leaves on the screen: pixels of its rectangle that no shown pane covers and
// that differ from the window's background.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "Common/Rgn/CRgn.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LPane.h"
#include "tests/support/WindowShot.h"

namespace panetrace {

// A pane's rectangle in its window (bounds are in the owner's coordinates).
inline CLRect InWindow(LPane* pane) {
    const CLPoint o = pane->Owner() ? pane->Owner()->GetOriginIn(nullptr) : CLPoint{0, 0};
    const CLRect b = pane->Bounds();
    return {b.left + o.x, b.top + o.y, b.right + o.x, b.bottom + o.y};
}

// The children of the frames that are not among the frames themselves, shown or hidden.
inline void Leaves(const std::vector<LFrame*>& frames, std::vector<LPane*>& shown,
                   std::vector<LPane*>& hidden) {
    for (LFrame* frame : frames)
        for (SSLink* l = frame->Children().First(); l && !l->IsEnd(); l = l->next) {
            auto* pane = static_cast<LPane*>(l);
            if (std::find(frames.begin(), frames.end(), pane) != frames.end()) continue;
            (pane->IsVisible() ? shown : hidden).push_back(pane);
        }
}

// "" when every pixel of the hidden panes outside the shown ones (widened by `margin` for rings and
// outer frames) has the background; otherwise where it does not. `frames`: the window's frame first,
// then the frames inside it whose children are looked at instead of them.
inline std::string Traces(const testsupport::WindowShot& shot, const std::vector<LFrame*>& frames,
                          uint32_t background, int32_t margin = 4) {
    std::vector<LPane*> shown, hidden;
    Leaves(frames, shown, hidden);
    LFrame* window = frames.front();
    std::vector<CLRect> covered;
    for (LPane* p : shown) {
        CLRect r = InWindow(p);
        r.Inset(-margin, -margin);
        covered.push_back(r);
    }
    const CLRect all = InWindow(window);
    std::ostringstream out;
    for (LPane* p : hidden) {
        CLRect r = InWindow(p);
        r &= all;
        if (r.IsEmpty()) continue;
        int stray = 0;
        for (int32_t y = r.top; y < r.bottom; ++y)
            for (int32_t x = r.left; x < r.right; ++x) {
                bool under = false;
                for (const CLRect& c : covered) under = under || c.Contain(CLPoint{x, y});
                if (!under && shot.Pixel(x, y) != background) ++stray;
            }
        if (stray > 0)
            out << stray << " pixels at " << r.left << "," << r.top << " " << r.Width() << "x" << r.Height()
                << "; ";
    }
    return out.str();
}

// "" when the two shots agree over the area (skipping `skip`, say a blinking caret); otherwise the
// bounding box of where they differ.
inline std::string Differences(const testsupport::WindowShot& a, const testsupport::WindowShot& b,
                               const CLRect& area, const CLRect& skip = {}) {
    int count = 0;
    CLRect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int32_t y = area.top; y < area.bottom; ++y)
        for (int32_t x = area.left; x < area.right; ++x) {
            if (skip.Contain(CLPoint{x, y}) || a.Pixel(x, y) == b.Pixel(x, y)) continue;
            ++count;
            box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                   std::max(box.bottom, y + 1)};
        }
    if (count == 0) return "";
    std::ostringstream out;
    out << count << " pixels within " << box.left << "," << box.top << " " << box.Width() << "x"
        << box.Height();
    return out.str();
}

}  // namespace panetrace
