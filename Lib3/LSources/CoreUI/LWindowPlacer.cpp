#include "Lib3/LSources/CoreUI/LWindowPlacer.h"

#include <algorithm>
#include <vector>

#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/ObjC/MCocoaU.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Screen.h"

namespace {

std::vector<plat::Screen> AllScreens() {
    return plat::Screens();
}

// Visible area of the display the rectangle overlaps most, else of the main display.
plat::IntRect VisibleScreenFor(const plat::IntRect& rect) {
    plat::IntRect screen;
    uint32_t best = BestScreen(rect);
    if (!ScreenBounds(best ? best : 1, true, &screen)) return {};
    return screen;
}

// Width and height the frame adds around the content.
void Borders(const LWindow* window, const plat::IntRect& content, plat::IntRect* frame) {
    CMacWindowMgr* mgr = CMacWindowMgr::Get();
    *frame = mgr ? mgr->FrameForContent(window, content) : content;
}

}  // namespace

LWindowPlacer::LWindowPlacer(LWindow* window, bool allScreens) : LHandler(nullptr), mWindow(window) {
    CMacWindowMgr* mgr = CMacWindowMgr::Get();
    if (!window || !window->NativeWindow() || !mgr) return;
    plat::IntRect content = mgr->ContentRect(window);
    plat::IntRect frame = mgr->FrameRect(window);
    mWidth = content.Width();
    mHeight = content.Height();
    plat::IntRect screen = allScreens ? mgr->ScreensUnion() : VisibleScreenFor(content);
    mLargest = {screen.left + (content.left - frame.left), screen.top + (content.top - frame.top),
                screen.right - (frame.right - content.right),
                screen.bottom - (frame.bottom - content.bottom)};
    mMaxWidth = std::max(0, mLargest.Width());
    mMaxHeight = std::max(0, mLargest.Height());
    mMinWidth = kMinimum;
    mMinHeight = kMinimum;
}

void LWindowPlacer::SetSizeLimits(int32_t minWidth, int32_t minHeight, int32_t maxWidth, int32_t maxHeight) {
    int32_t w = mMaxWidth, h = mMaxHeight;
    mMinWidth = std::min(minWidth, w);
    mMinHeight = std::min(minHeight, h);
    mMaxWidth = std::min(maxWidth, w);
    mMaxHeight = std::min(maxHeight, h);
}

void LWindowPlacer::SetMinSize(int32_t width, int32_t height) {
    mMinWidth = std::min(width, mMaxWidth);
    mMinHeight = std::min(height, mMaxHeight);
}

int32_t LWindowPlacer::ClampWidth(int32_t width) const {
    return std::max(std::min(width, mMaxWidth), mMinWidth);
}

int32_t LWindowPlacer::ClampHeight(int32_t height) const {
    return std::max(std::min(height, mMaxHeight), mMinHeight);
}

uint32_t BestScreen(const plat::IntRect& rect) {
    uint32_t best = 0;
    int64_t bestArea = 0;
    for (const plat::Screen& s : AllScreens()) {
        int64_t area = MCocoaU::ToCLRect(s.frame).OverlapArea(rect);
        if (area > bestArea) {
            bestArea = area;
            best = s.displayId;
        }
    }
    return best;
}

bool ScreenBounds(uint32_t display, bool visible, plat::IntRect* out) {
    for (const plat::Screen& s : AllScreens()) {
        if (s.displayId != display) continue;
        if (out) *out = MCocoaU::ToCLRect(visible ? s.visibleFrame : s.frame);
        return true;
    }
    return false;
}

plat::IntRect ScreensUnion(bool skipMain) {
    plat::IntRect all;
    std::vector<plat::Screen> screens = AllScreens();
    for (size_t i = skipMain ? 1 : 0; i < screens.size(); ++i) all.Union(MCocoaU::ToCLRect(screens[i].frame));
    return all;
}

plat::IntRect ConstrainRect(const LWindow* window, const plat::IntRect& content) {
    plat::IntRect screen = VisibleScreenFor(content);
    if (screen.IsEmpty()) return content;
    plat::IntRect frame;
    Borders(window, content, &frame);
    int32_t dx = 0, dy = 0;
    if (frame.right > screen.right) dx = screen.right - frame.right;
    if (frame.left + dx < screen.left) dx = screen.left - frame.left;
    if (frame.bottom > screen.bottom) dy = screen.bottom - frame.bottom;
    if (frame.top + dy < screen.top) dy = screen.top - frame.top;
    plat::IntRect r = content;
    r.Shift(dx, dy);
    return r;
}

plat::IntRect SetContentRectOnScreen(LWindow* window, const plat::IntRect& content) {
    CMacWindowMgr* mgr = CMacWindowMgr::Get();
    if (!mgr || !window || !window->NativeWindow()) return {};
    plat::IntRect r = ConstrainRect(window, content);
    mgr->SetContentRect(window, r);
    plat::IntRect result = mgr->ContentRect(window);
    if (result == r) return result;
    // The window system moved it: give up the part of the frame that still overflows.
    plat::IntRect screen = VisibleScreenFor(r);
    plat::IntRect frame = mgr->FrameRect(window);
    int32_t overX = std::max(0, frame.right - screen.right) + std::max(0, screen.left - frame.left);
    int32_t overY = std::max(0, frame.bottom - screen.bottom) + std::max(0, screen.top - frame.top);
    if (overX == 0 && overY == 0) return result;
    r.right -= std::min(overX, r.Width());
    r.bottom -= std::min(overY, r.Height());
    r = ConstrainRect(window, r);
    mgr->SetContentRect(window, r);
    return mgr->ContentRect(window);
}

plat::IntRect PlaceWindow(LHandler* frame, LWindow* window, const plat::IntRect& rect,
                          const plat::IntPoint* relativeOrigin) {
    if (!window || !window->NativeWindow()) return {};
    LWindowPlacer placer(window, false);
    if (frame) LHandler::Dispatch(LMessage(LWindowPlacer_Grow, &placer, frame));
    placer.SetSize(placer.ClampWidth(rect.Width()), placer.ClampHeight(rect.Height()));
    if (frame) LHandler::Dispatch(LMessage(LWindowPlacer_Sizing, &placer, frame));
    plat::IntRect target{rect.left, rect.top, rect.left + placer.Width(), rect.top + placer.Height()};
    if (relativeOrigin) target.Shift(relativeOrigin->x, relativeOrigin->y);
    return SetContentRectOnScreen(window, target);
}

namespace {

plat::IntRect Probe(plat::IntPoint p, int32_t dx, int32_t dy) {
    return {p.x, p.y, p.x + dx, p.y + dy};
}

plat::IntPoint TopLeft(const plat::IntRect& r) {
    return {r.left, r.top};
}

}  // namespace

bool StaggerWindow(const SStaggerSettings& settings, LWindow* window) {
    CMacWindowMgr* mgr = CMacWindowMgr::Get();
    if (!mgr || !window || !window->NativeWindow()) return false;
    // A step of 0 would never move the candidate.
    const int32_t dx = int32_t(std::clamp<uint32_t>(settings.dx, 1, 4096));
    const int32_t dy = int32_t(std::clamp<uint32_t>(settings.dy, 1, 4096));
    const plat::IntRect content = mgr->ContentRect(window);
    const plat::IntRect frame = mgr->FrameRect(window);
    plat::IntRect screen;
    if (!ScreenBounds(1, true, &screen)) return false;
    const plat::IntPoint start = TopLeft(content);
    plat::IntPoint cand = start;
    auto crossesRight = [&](plat::IntPoint c) { return frame.right + (c.x - start.x) > screen.right; };
    auto crossesBottom = [&](plat::IntPoint c) { return frame.bottom + (c.y - start.y) > screen.bottom; };

    // Every move lands on a grid point inside the screen, so the walk ends; the cap guards odd setups.
    for (int moves = 0; moves < 100000; ++moves) {
        bool collided = false;
        for (LWindow* w = mgr->NextVisibleWindow(nullptr); w; w = mgr->NextVisibleWindow(w)) {
            if (w == window) continue;
            if (Probe(TopLeft(mgr->ContentRect(w)), dx, dy).Overlaps(Probe(cand, dx, dy))) {
                collided = true;
                break;
            }
        }
        if (!collided) {
            if (cand == start) return false;
            plat::IntRect moved = content;
            moved.Shift(cand.x - start.x, cand.y - start.y);
            mgr->SetContentRect(window, moved);
            return true;
        }
        plat::IntPoint next = cand;
        if (settings.mode == 1) {
            next.y += dy;
            if (crossesBottom(next)) {
                next.x += dx;
                if (crossesRight(next)) next.x = start.x;
                next.y = start.y;
            }
        } else if (settings.mode == 0) {
            next.x += dx;
            if (crossesRight(next)) {
                next.x = start.x;
                next.y += dy;
                if (crossesBottom(next)) return false;
            }
        } else {
            next.x += dx;
            if (crossesRight(next)) next.x = start.x;
            next.y += dy;
            if (crossesBottom(next)) next.y = start.y;
        }
        if (next == start) return false;
        cand = next;
    }
    return false;
}
