#include "Lib3/LSources/CoreUI/LWindowPlacer.h"

#include <algorithm>
#include <vector>

#include "Lib3/LSources/CoreUI/CLRectConvert.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Platform/AppKit/Screen.h"

namespace {

int64_t OverlapArea(const CLRect& a, const CLRect& b) {
    if (!a.overlap(b)) return 0;
    int64_t w = int64_t(std::min(a.right, b.right)) - std::max(a.left, b.left);
    int64_t h = int64_t(std::min(a.bottom, b.bottom)) - std::max(a.top, b.top);
    return w * h;
}

std::vector<plat::Screen> AllScreens() {
    return plat::Screens();
}

// Visible area of the display the rectangle overlaps most, else of the main display.
CLRect VisibleScreenFor(const CLRect& rect) {
    CLRect screen;
    uint32_t best = BestScreen(rect);
    if (!ScreenBounds(best ? best : 1, true, &screen)) return {};
    return screen;
}

// Width and height the frame adds around the content.
void Borders(const LWindow* window, const CLRect& content, CLRect* frame) {
    LWindowServices* services = LWindowServices::Get();
    *frame = services ? services->FrameForContent(window, content) : content;
}

}  // namespace

LWindowPlacer::LWindowPlacer(LWindow* window, bool allScreens) : LHandler(nullptr), mWindow(window) {
    LWindowServices* services = LWindowServices::Get();
    if (!window || !window->NativeWindow() || !services) return;
    CLRect content = services->ContentRect(window);
    CLRect frame = services->FrameRect(window);
    mWidth = content.Width();
    mHeight = content.Height();
    CLRect screen = allScreens ? services->ScreensUnion() : VisibleScreenFor(content);
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

uint32_t BestScreen(const CLRect& rect) {
    uint32_t best = 0;
    int64_t bestArea = 0;
    for (const plat::Screen& s : AllScreens()) {
        int64_t area = OverlapArea(ToCLRect(s.frame), rect);
        if (area > bestArea) {
            bestArea = area;
            best = s.displayId;
        }
    }
    return best;
}

bool ScreenBounds(uint32_t display, bool visible, CLRect* out) {
    for (const plat::Screen& s : AllScreens()) {
        if (s.displayId != display) continue;
        if (out) *out = ToCLRect(visible ? s.visibleFrame : s.frame);
        return true;
    }
    return false;
}

CLRect ScreensUnion(bool skipMain) {
    CLRect all;
    std::vector<plat::Screen> screens = AllScreens();
    for (size_t i = skipMain ? 1 : 0; i < screens.size(); ++i) all.Union(ToCLRect(screens[i].frame));
    return all;
}

CLRect ConstrainRect(const LWindow* window, const CLRect& content) {
    CLRect screen = VisibleScreenFor(content);
    if (screen.IsEmpty()) return content;
    CLRect frame;
    Borders(window, content, &frame);
    int32_t dx = 0, dy = 0;
    if (frame.right > screen.right) dx = screen.right - frame.right;
    if (frame.left + dx < screen.left) dx = screen.left - frame.left;
    if (frame.bottom > screen.bottom) dy = screen.bottom - frame.bottom;
    if (frame.top + dy < screen.top) dy = screen.top - frame.top;
    CLRect r = content;
    r.Shift(dx, dy);
    return r;
}

CLRect SetContentRectOnScreen(LWindow* window, const CLRect& content) {
    LWindowServices* services = LWindowServices::Get();
    if (!services || !window || !window->NativeWindow()) return {};
    CLRect r = ConstrainRect(window, content);
    services->SetContentRect(window, r);
    CLRect result = services->ContentRect(window);
    if (result == r) return result;
    // The window system moved it: give up the part of the frame that still overflows.
    CLRect screen = VisibleScreenFor(r);
    CLRect frame = services->FrameRect(window);
    int32_t overX = std::max(0, frame.right - screen.right) + std::max(0, screen.left - frame.left);
    int32_t overY = std::max(0, frame.bottom - screen.bottom) + std::max(0, screen.top - frame.top);
    if (overX == 0 && overY == 0) return result;
    r.right -= std::min(overX, r.Width());
    r.bottom -= std::min(overY, r.Height());
    r = ConstrainRect(window, r);
    services->SetContentRect(window, r);
    return services->ContentRect(window);
}

CLRect PlaceWindow(LHandler* frame, LWindow* window, const CLRect& rect, const CLPoint* relativeOrigin) {
    if (!window || !window->NativeWindow()) return {};
    LWindowPlacer placer(window, false);
    if (frame) LHandler::Dispatch(LMessage(LWindowPlacer_Grow, &placer, frame));
    placer.SetSize(placer.ClampWidth(rect.Width()), placer.ClampHeight(rect.Height()));
    if (frame) LHandler::Dispatch(LMessage(LWindowPlacer_Sizing, &placer, frame));
    CLRect target{rect.left, rect.top, rect.left + placer.Width(), rect.top + placer.Height()};
    if (relativeOrigin) target.Shift(relativeOrigin->x, relativeOrigin->y);
    return SetContentRectOnScreen(window, target);
}

namespace {

CLRect Probe(CLPoint p, int32_t dx, int32_t dy) {
    return {p.x, p.y, p.x + dx, p.y + dy};
}

CLPoint TopLeft(const CLRect& r) {
    return {r.left, r.top};
}

}  // namespace

bool StaggerWindow(const SStaggerSettings& settings, LWindow* window) {
    LWindowServices* services = LWindowServices::Get();
    if (!services || !window || !window->NativeWindow()) return false;
    // A step of 0 would never move the candidate.
    const int32_t dx = int32_t(std::clamp<uint32_t>(settings.dx, 1, 4096));
    const int32_t dy = int32_t(std::clamp<uint32_t>(settings.dy, 1, 4096));
    const CLRect content = services->ContentRect(window);
    const CLRect frame = services->FrameRect(window);
    CLRect screen;
    if (!ScreenBounds(1, true, &screen)) return false;
    const CLPoint start = TopLeft(content);
    CLPoint cand = start;
    auto crossesRight = [&](CLPoint c) { return frame.right + (c.x - start.x) > screen.right; };
    auto crossesBottom = [&](CLPoint c) { return frame.bottom + (c.y - start.y) > screen.bottom; };

    // Every move lands on a grid point inside the screen, so the walk ends; the cap guards odd setups.
    for (int moves = 0; moves < 100000; ++moves) {
        bool collided = false;
        for (LWindow* w = services->NextVisibleWindow(nullptr); w; w = services->NextVisibleWindow(w)) {
            if (w == window) continue;
            if (Probe(TopLeft(services->ContentRect(w)), dx, dy).overlap(Probe(cand, dx, dy))) {
                collided = true;
                break;
            }
        }
        if (!collided) {
            if (cand == start) return false;
            CLRect moved = content;
            moved.Shift(cand.x - start.x, cand.y - start.y);
            services->SetContentRect(window, moved);
            return true;
        }
        CLPoint next = cand;
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
