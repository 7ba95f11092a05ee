#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Platform/Foundation/Geometry.h"

class LWindow;

// Placement messages, sent from a placer to the frame being placed.
L_MESSAGE_ID(LWindowPlacer_Grow);    // collect the size limits
L_MESSAGE_ID(LWindowPlacer_Sizing);  // the size is about to be applied; handlers may change it
L_MESSAGE_ID(LWindowPlacer_Prefer);

// Negotiates a window's content size with its frame: the frame answers "LWindowPlacer_Grow" by
// setting limits, and "LWindowPlacer_Sizing" by adjusting the current size. All sizes are content
// sizes; the maximum is what the screen's visible area leaves after the window's borders.
class LWindowPlacer : public LHandler {
public:
    static constexpr int32_t kMinimum = 40;

    // The screen is the union of all displays when allScreens, else the display the window's content
    // overlaps most (the main display when none). Without a window every size is zero.
    LWindowPlacer(LWindow* window, bool allScreens);

    LWindow* Window() const { return mWindow; }
    int32_t Width() const { return mWidth; }
    int32_t Height() const { return mHeight; }
    void SetSize(int32_t width, int32_t height) {
        mWidth = width;
        mHeight = height;
    }
    int32_t MinWidth() const { return mMinWidth; }
    int32_t MinHeight() const { return mMinHeight; }
    int32_t MaxWidth() const { return mMaxWidth; }
    int32_t MaxHeight() const { return mMaxHeight; }
    // The largest content rectangle whose frame fits the screen.
    const CLRect& LargestContent() const { return mLargest; }

    // Each value is first limited to the maximum width or height.
    void SetSizeLimits(int32_t minWidth, int32_t minHeight, int32_t maxWidth, int32_t maxHeight);
    void SetMinSize(int32_t width, int32_t height);

    // Clamps a size into the limits; the minimum wins when they cross.
    int32_t ClampWidth(int32_t width) const;
    int32_t ClampHeight(int32_t height) const;

private:
    LWindow* mWindow;
    int32_t mWidth = 0, mHeight = 0;
    int32_t mMinWidth = 0, mMinHeight = 0;
    int32_t mMaxWidth = 0, mMaxHeight = 0;
    CLRect mLargest;
};

// Screens, in global coordinates. Displays are numbered from 1 in the order of the screen list; the
// first is the main display.
// The display whose bounds overlap the rectangle most; 0 when none does.
uint32_t BestScreen(const CLRect& rect);
// Bounds (or visible bounds) of a display; false when there is no such display.
bool ScreenBounds(uint32_t display, bool visible, CLRect* out);
// The bounding rectangle of all displays, without the main one when asked.
CLRect ScreensUnion(bool skipMain);

// Moves a content rectangle so that the window's frame lies on the screen that the rectangle overlaps
// most (else the main display), in its visible area; when the frame is larger, the left and top
// edges win.
CLRect ConstrainRect(const LWindow* window, const CLRect& content);
// Constrains the rectangle and sets it as the window's content; answers the content that resulted.
CLRect SetContentRectOnScreen(LWindow* window, const CLRect& content);
// Sizes the window within the limits its frame sets and puts its content at rect's top-left (moved by
// relativeOrigin when given), on screen. Answers the resulting content rectangle (empty without a
// native window).
CLRect PlaceWindow(LHandler* frame, LWindow* window, const CLRect& rect,
                   const CLPoint* relativeOrigin = nullptr);

// How new windows cascade: mode 0 rows, 1 columns, else diagonally; steps in pixels.
struct SStaggerSettings {
    uint32_t mode = 2;
    uint32_t dx = 18;
    uint32_t dy = 18;
};
// Moves the window away from the visible windows whose top-left corner lies within one step of its
// own. Answers whether it moved.
bool StaggerWindow(const SStaggerSettings& settings, LWindow* window);
